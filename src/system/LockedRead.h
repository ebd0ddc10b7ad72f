#pragma once

// Reading a file that another process may be writing in place (POSIX).

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "system/WholeFile.h"

namespace ziffa {

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
