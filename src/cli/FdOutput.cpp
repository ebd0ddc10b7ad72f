#include "cli/FdOutput.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace ziffa {

FdOutput::FdOutput(int fd, std::size_t capacity) : fd_(fd), capacity_(capacity) {
    buffer_.reserve(capacity_);
}

void FdOutput::Write(std::string_view text) {
    if (error_ != 0)
        return;
    if (buffer_.size() + text.size() <= capacity_) {
        buffer_.append(text);
        return;
    }
    Flush();
    if (text.size() < capacity_)
        buffer_.append(text);
    else
        WriteAll(text);
}

bool FdOutput::Flush() {
    if (!buffer_.empty()) {
        WriteAll(buffer_);
        buffer_.clear();
    }
    return error_ == 0;
}

void FdOutput::WriteAll(std::string_view text) {
    while (!text.empty() && error_ == 0) {
        const ssize_t n = ::write(fd_, text.data(), text.size());
        if (n > 0)
            text.remove_prefix(static_cast<std::size_t>(n));
        else if (n == 0)
            error_ = EIO; // nothing written and no reason given: don't spin
        else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor left non-blocking by whoever shares it: wait for room.
            pollfd ready{fd_, POLLOUT, 0};
            if (::poll(&ready, 1, -1) < 0 && errno != EINTR)
                error_ = errno;
        } else if (errno != EINTR)
            error_ = errno;
    }
}

} // namespace ziffa
