#include "system/FileDescriptor.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace ziffa {

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

bool AsksToWait(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// Waits until a descriptor left non-blocking is ready; a wait that a signal interrupts ends too,
// and the caller tries again.
std::error_code WaitUntilReady(int fd, short events) {
    pollfd ready{fd, events, 0};
    if (::poll(&ready, 1, -1) < 0 && errno != EINTR) {
        return LastError();
    }
    return {};
}

} // namespace

FileDescriptor::FileDescriptor(FileDescriptor &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::error_code FileDescriptor::Close() noexcept {
    const int fd = std::exchange(fd_, -1);
    if (fd >= 0 && ::close(fd) != 0) {
        return LastError();
    }
    return {};
}

FileDescriptor OpenFile(const std::filesystem::path &file, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(file.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

ReadOutcome ReadSome(int fd, char *buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            return {static_cast<std::size_t>(n), {}};
        }
        if (errno == EINTR) {
            continue;
        }
        if (!AsksToWait(errno)) {
            return {0, LastError()};
        }
        if (auto error = WaitUntilReady(fd, POLLIN)) {
            return {0, error};
        }
    }
}

ReadOutcome ReadSomeAt(int fd, char *buffer, std::size_t size, std::uint64_t offset) {
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (n >= 0) {
            return {static_cast<std::size_t>(n), {}};
        }
        if (errno != EINTR) {
            return {0, LastError()};
        }
    }
}

ReadOutcome ReadAvailable(int fd, char *buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            return {static_cast<std::size_t>(n), {}};
        }
        if (errno != EINTR) {
            return {0, LastError()};
        }
    }
}

std::error_code WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n == 0) {
            return std::make_error_code(std::errc::io_error);
        } else if (errno == EINTR) {
            continue;
        } else if (!AsksToWait(errno)) {
            return LastError();
        } else if (auto error = WaitUntilReady(fd, POLLOUT)) {
            return error;
        }
    }
    return {};
}

} // namespace ziffa
