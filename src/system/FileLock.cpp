#include "system/FileLock.h"

#include <cerrno>
#include <thread>

#include <sys/file.h>

namespace ziffa {

FileLock TryLockFile(int fd, LockKind kind) {
    const int operation = (kind == LockKind::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    for (;;) {
        if (::flock(fd, operation) == 0)
            return FileLock::Taken;
        if (errno != EINTR)
            return errno == EWOULDBLOCK ? FileLock::Busy : FileLock::Unsupported;
    }
}

FileLock LockFileWithin(int fd, LockKind kind, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const FileLock lock = TryLockFile(fd, kind);
        if (lock != FileLock::Busy || std::chrono::steady_clock::now() >= deadline)
            return lock;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace ziffa
