#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ziffa {

// Buffered writing to a file descriptor (the headless mode's standard output) that remembers its
// first failure: after it, nothing more is written, and Failed() and Error() tell the caller,
// who reports it.
class FdOutput {
public:
    explicit FdOutput(int fd, std::size_t capacity = 64 * 1024);
    FdOutput(const FdOutput &) = delete;
    FdOutput &operator=(const FdOutput &) = delete;

    void Write(std::string_view text);
    void Write(char c) { Write(std::string_view(&c, 1)); }

    // Writes out what is buffered. Returns false once any write has failed.
    bool Flush();

    bool Failed() const noexcept { return error_ != 0; }
    // The errno of the failed write.
    int Error() const noexcept { return error_; }

private:
    void WriteAll(std::string_view text);

    int fd_;
    std::size_t capacity_;
    std::string buffer_;
    int error_ = 0;
};

} // namespace ziffa
