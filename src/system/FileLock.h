#pragma once

// Advisory whole-file locks (flock), as the safe replacement and its readers take them (POSIX).

#include <chrono>

namespace ziffa {

enum class LockKind { Shared, Exclusive };

// What an attempt to lock gave: the lock, a holder that keeps it, or a file system without locks.
enum class FileLock { Taken, Busy, Unsupported };

// Tries once, without waiting.
FileLock TryLockFile(int fd, LockKind kind);

// Tries until the lock is taken or the patience is spent; Busy when another holder still has it.
FileLock LockFileWithin(int fd, LockKind kind, std::chrono::milliseconds patience);

} // namespace ziffa
