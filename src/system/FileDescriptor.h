#pragma once

// File descriptors: their owner, and reads and writes that the system's interruptions, partial
// transfers and non-blocking descriptors don't cut short (POSIX). Every other part of the program
// reads and writes descriptors through these.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

#include <sys/types.h>

namespace ziffa {

// Owns a file descriptor and closes it when it goes. Moves, never copies.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor &&other) noexcept;
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor();

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }

    // Closes now and reports a failure, which some file systems only reveal at this point.
    std::error_code Close() noexcept;

private:
    int fd_;
};

// Opens a file as open(2) does, close-on-exec and never as the controlling terminal, and again
// when a signal interrupts the opening. An invalid descriptor on failure, with errno set.
FileDescriptor OpenFile(const std::filesystem::path &file, int flags, mode_t mode = 0);

// What one read gave: the bytes it read (none at the end of the input), or why it failed.
struct ReadOutcome {
    std::size_t bytes = 0;
    std::error_code error;
};

// Reads up to size bytes with one successful read. A read that a signal interrupts is repeated,
// and a descriptor left non-blocking by whoever shares it is waited for until input comes.
ReadOutcome ReadSome(int fd, char *buffer, std::size_t size);

// Reads up to size bytes at offset with one successful read, again when a signal interrupts it.
ReadOutcome ReadSomeAt(int fd, char *buffer, std::size_t size, std::uint64_t offset);

// Reads what a non-blocking descriptor holds now, up to size bytes, without waiting: none, with
// the error EAGAIN, when it holds nothing. Again when a signal interrupts the read.
ReadOutcome ReadAvailable(int fd, char *buffer, std::size_t size);

// Writes every byte from the descriptor's position on, going on after a write that takes only part
// of them. A write that a signal interrupts is repeated, and a descriptor left non-blocking by
// whoever shares it is waited for until it takes more. Returns the error of the first failed write;
// a write that takes nothing and gives no reason fails as an input/output error rather than being
// tried forever.
std::error_code WriteAll(int fd, std::string_view bytes);

} // namespace ziffa
