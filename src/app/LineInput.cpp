#include "app/LineInput.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <poll.h>
#include <unistd.h>

namespace ziffa {

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

} // namespace

LineReader::LineReader(int fd, std::size_t maxLength, std::function<void()> beforeWait)
    : fd_(fd), maxLength_(maxLength), beforeWait_(std::move(beforeWait)),
      buffer_(new char[kBlockSize]) {}

bool LineReader::Fill() {
    if (atEnd_ || error_ != 0)
        return false;
    if (beforeWait_)
        beforeWait_();
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.get(), kBlockSize);
        if (n > 0) {
            begin_ = 0;
            end_ = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            atEnd_ = true;
            return false;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor left non-blocking by whoever shares it: wait for input.
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, -1) >= 0 || errno == EINTR)
                continue;
        }
        if (errno != EINTR) {
            error_ = errno;
            return false;
        }
    }
}

LineReader::Status LineReader::Next(std::string &line) {
    line.clear();
    bool any = false; // whether this line has begun
    Status skipped = Status::Line;
    // A "\r" before the "\n" is not part of the line, so one more character may be held.
    const std::size_t limit = maxLength_ + 1;
    auto skip = [&](Status why) {
        skipped = why;
        line.clear();
        line.shrink_to_fit();
    };
    for (;;) {
        if (begin_ == end_ && !Fill()) {
            if (error_ != 0)
                return Status::ReadError;
            if (!any)
                return Status::End;
            break;
        }
        any = true;
        const char *start = buffer_.get() + begin_;
        const std::size_t available = end_ - begin_;
        const auto *newline = static_cast<const char *>(std::memchr(start, '\n', available));
        const std::size_t length =
            newline != nullptr ? static_cast<std::size_t>(newline - start) : available;
        if (skipped == Status::Line) {
            if (length > limit - line.size()) {
                skip(Status::TooLong);
            } else {
                try {
                    line.append(start, length);
                } catch (const std::bad_alloc &) {
                    skip(Status::OutOfMemory);
                }
            }
        }
        begin_ += length;
        if (newline != nullptr) {
            ++begin_;
            break;
        }
    }
    if (skipped != Status::Line)
        return skipped;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > maxLength_) {
        line.clear();
        return Status::TooLong;
    }
    return Status::Line;
}

} // namespace ziffa
