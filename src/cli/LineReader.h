#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace ziffa {

// Reads lines from a file descriptor in large blocks, for the headless mode's standard input.
// A read failure is told apart from the end of the input, and a line that is too long or that
// memory can't hold is skipped whole, so the lines after it are still read.
class LineReader {
public:
    enum class Status {
        Line,        // a line, without its "\n" and a "\r" before it
        End,         // no more input
        TooLong,     // a line longer than the limit, skipped
        OutOfMemory, // a line that memory couldn't hold, skipped
        ReadError,   // reading failed; Error() tells why
    };

    // beforeWait runs before each read that may wait for more input (the caller flushes its
    // answers there, so a program talking to it line by line sees them).
    LineReader(int fd, std::size_t maxLength, std::function<void()> beforeWait = {});

    // Reads the next line into line, which keeps its capacity from one line to the next.
    Status Next(std::string &line);

    // The errno of the failed read.
    int Error() const noexcept { return error_; }

private:
    bool Fill();
    std::size_t UnreadBytes() const;

    int fd_;
    std::size_t maxLength_;
    std::function<void()> beforeWait_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    int error_ = 0;
};

} // namespace ziffa
