#pragma once

// Whole-file reading and safe replacement of small text files (POSIX).

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace ziffa {

// A file that exists but can't be read, or that can't be written. what() names the file and the
// reason (in the C library's message language, paths as the file system spells them).
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

// The largest file ReadWholeFile accepts. Far above anything the program writes; a larger file is
// damage, refused with a FileError rather than read into memory.
inline constexpr std::size_t kMaxReadFileSize = std::size_t{128} << 20;

// Reads all of a regular file. Returns nothing when the file doesn't exist (a missing file, a
// dangling symbolic link, or a plain file where a folder of the path should be). Throws FileError
// when it exists but can't be read: no permission, a folder or a device in its place, larger
// than maxSize.
std::optional<std::string> ReadWholeFile(const std::filesystem::path &file,
                                         std::size_t maxSize = kMaxReadFileSize);

// Replaces a file's contents so that the file is always either the old one, whole, or the new
// one, whole. A file that exists but that the user may not write is refused, as when written in
// place. Otherwise writes a temporary file beside it, flushes it to disk and renames it over the
// old file, keeping the old file's permissions (and owner, where allowed). A symbolic link is
// written through: its final target is replaced and the link stays. Where no temporary file can be
// made beside it (a folder that takes no new files, a name too long for one) but the file itself
// can be written, the file is written directly, after reserving the space for the new contents; the
// rare failure past that point (a crash, or a file system that over-commits space) can leave it
// partly written. Throws FileError on any failure; the temporary file is removed.
void ReplaceFile(const std::filesystem::path &file, std::string_view contents);

// Whether a new file can be created in a folder: a real probe that creates and removes an empty
// temporary file there. False for a missing folder or a plain file in its place.
bool CanCreateFilesIn(const std::filesystem::path &folder);

} // namespace ziffa
