#pragma once

// A file read whole (also under a lock that keeps out a writer in place), and the error that a file
// which can't be read or written throws (POSIX).

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include <sys/types.h>

namespace ziffa {

// A file that exists but can't be read, or that can't be written. what() says so in Polish and
// names the file and the reason (the system's own put into Polish by ErrnoText, paths as the file
// system spells them).
class FileError : public std::runtime_error {
public:
    FileError(const std::filesystem::path &file, const std::string &action, std::error_code code);
    FileError(const std::filesystem::path &file, const std::string &action,
              const std::string &reason);

    const std::filesystem::path &path() const noexcept { return path_; }
    std::error_code code() const noexcept { return code_; }

private:
    std::filesystem::path path_;
    std::error_code code_;
};

// Why something that isn't a regular file can't be read or written as one, by its file mode.
std::string NotRegularReason(mode_t mode);

// The largest file ReadWholeFile accepts. Far above anything the program writes; a larger file is
// damage, refused with a FileError rather than read into memory.
inline constexpr std::size_t kMaxReadFileSize = std::size_t{128} << 20;

// Reads all of a regular file. Returns nothing when the file doesn't exist (a missing file, a
// dangling symbolic link, or a plain file where a folder of the path should be). Throws FileError
// when it exists but can't be read: no permission, a folder or a device in its place, larger
// than maxSize.
std::optional<std::string> ReadWholeFile(const std::filesystem::path &file,
                                         std::size_t maxSize = kMaxReadFileSize);

// How long a read waits for another process to finish writing the file in place.
inline constexpr std::chrono::milliseconds kReadPatience = std::chrono::seconds(3);

// Reads all of a regular file as ReadWholeFile does, but under a shared lock on the file: a
// process that writes it in place (ReplaceFile) holds the lock exclusively from before it writes
// the journal until the file is whole again, so the text read is never part old and part new,
// however slow the writer. Waits up to patience for such a writer; throws FileError when it has
// not finished by then, as for a file that can't be read. (Where the file system has no locks, the
// writer takes none either, and the file is read as it stands.)
std::optional<std::string> ReadWholeFileLocked(const std::filesystem::path &file,
                                               std::chrono::milliseconds patience = kReadPatience,
                                               std::size_t maxSize = kMaxReadFileSize);

} // namespace ziffa
