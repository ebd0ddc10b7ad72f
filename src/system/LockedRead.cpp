#include "system/LockedRead.h"

#include "system/ErrnoText.h"
#include "system/FileDescriptor.h"

#include <cerrno>
#include <cstdint>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ziffa {

namespace fs = std::filesystem;

namespace {

constexpr const char *kCannotRead = "Nie można odczytać pliku";

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// Takes the shared lock, waiting up to the patience for a writer to let the file go. False when
// the writer still holds it then; true also where the file system has no locks.
bool LockForReading(int fd, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

std::optional<std::string>
ReadWholeFileLocked(const fs::path &file, std::chrono::milliseconds patience, std::size_t maxSize) {
    // O_NONBLOCK: a FIFO in the file's place must not stall the open.
    const FileDescriptor fd = OpenFile(file, O_RDONLY | O_NONBLOCK);
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw FileError(file, kCannotRead, LastError());
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw FileError(file, kCannotRead, LastError());
    if (!S_ISREG(st.st_mode))
        throw FileError(file, kCannotRead,
                        S_ISDIR(st.st_mode) ? "w jego miejscu jest folder"
                                            : "to nie jest zwykły plik");
    if (!LockForReading(fd.get(), patience))
        throw FileError(file, kCannotRead,
                        "zapisuje go właśnie inny program, który nie skończył w ciągu " +
                            (patience.count() % 1000 == 0
                                 ? std::to_string(patience.count() / 1000) + " s"
                                 : std::to_string(patience.count()) + " ms"));
    // Read through the locked descriptor: its file may since have been replaced under its name,
    // but never by half.
    const std::string tooLarge = "plik jest większy niż " + std::to_string(maxSize >> 20) + " MB";
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize)
        throw FileError(file, kCannotRead, tooLarge);
    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size) + 1);
    char buffer[65536];
    for (;;) {
        const ReadOutcome read = ReadSome(fd.get(), buffer, sizeof buffer);
        if (read.error)
            throw FileError(file, kCannotRead, read.error);
        if (read.bytes == 0)
            return text;
        if (text.size() + read.bytes > maxSize)
            throw FileError(file, kCannotRead, tooLarge);
        text.append(buffer, read.bytes);
    }
}

} // namespace ziffa
