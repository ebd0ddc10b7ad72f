#include "system/WholeFile.h"

#include "system/ErrnoText.h"
#include "system/FileDescriptor.h"
#include "system/FileLock.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>

namespace ziffa {

namespace fs = std::filesystem;

FileError::FileError(const fs::path &file, const std::string &action, std::error_code code)
    : FileError(file, action, ErrorCodeText(code)) {
    code_ = code;
}

FileError::FileError(const fs::path &file, const std::string &action, const std::string &reason)
    : std::runtime_error(action + " \"" + file.string() + "\": " + reason), path_(file) {}

std::string NotRegularReason(mode_t mode) {
    return S_ISDIR(mode) ? "w jego miejscu jest folder" : "to nie jest zwykły plik";
}

namespace {

// Reads all of a regular file, under a shared lock first when a patience for it is given.
std::optional<std::string> ReadWhole(const fs::path &file, std::size_t maxSize,
                                     std::optional<std::chrono::milliseconds> lockPatience) {
    // The message names the file and the reason; the user sees it as it stands.
    constexpr const char *kCannotRead = "Nie można odczytać pliku";
    // O_NONBLOCK: a FIFO in the file's place must not stall the open.
    FileDescriptor fd = OpenFile(file, O_RDONLY | O_NONBLOCK);
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        throw FileError(file, kCannotRead, std::error_code(errno, std::generic_category()));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throw FileError(file, kCannotRead, std::error_code(errno, std::generic_category()));
    }
    if (!S_ISREG(st.st_mode)) {
        throw FileError(file, kCannotRead, NotRegularReason(st.st_mode));
    }
    // Where the file system has no locks, its writers take none either: the file is read as it
    // stands. The text is read through the locked descriptor: its file may since have been
    // replaced under its name, but never by half.
    if (lockPatience &&
        LockFileWithin(fd.get(), LockKind::Shared, *lockPatience) == FileLock::Busy) {
        const auto ms = lockPatience->count();
        throw FileError(
            file, kCannotRead,
            "zapisuje go właśnie inny program, który nie skończył w ciągu " +
                (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms"));
    }
    const std::string tooLarge = "plik jest większy niż " + std::to_string(maxSize >> 20) + " MB";
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize) {
        throw FileError(file, kCannotRead, tooLarge);
    }
    // One byte of room beyond the size, so the read that meets the end needs no reallocation.
    std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            // The file grew while being read.
            if (got > maxSize) {
                throw FileError(file, kCannotRead, tooLarge);
            }
            text.resize(std::min(maxSize + 1, 2 * text.size()));
        }
        const ReadOutcome read = ReadSome(fd.get(), text.data() + got, text.size() - got);
        if (read.error) {
            throw FileError(file, kCannotRead, read.error);
        }
        if (read.bytes == 0) {
            break;
        }
        got += read.bytes;
    }
    if (got > maxSize) {
        throw FileError(file, kCannotRead, tooLarge);
    }
    text.resize(got);
    return text;
}

} // namespace

std::optional<std::string> ReadWholeFile(const fs::path &file, std::size_t maxSize) {
    return ReadWhole(file, maxSize, std::nullopt);
}

std::optional<std::string>
ReadWholeFileLocked(const fs::path &file, std::chrono::milliseconds patience, std::size_t maxSize) {
    return ReadWhole(file, maxSize, patience);
}

} // namespace ziffa
