#pragma once

// The safe replacement of a file: the file is always either the old one, whole, or the new one,
// whole, whenever the writing process is killed and whatever fails (POSIX).

#include <filesystem>
#include <string_view>

#include "system/WholeFile.h"

namespace ziffa {

// Replaces a file's contents so that the file is always either the old one, whole, or the new
// one, whole. A file that exists but that the user may not write is refused, as when written in
// place. Otherwise writes a temporary file beside it, flushes it to disk and renames it over the
// old file, keeping the old file's permissions (and owner, where allowed). A symbolic link is
// written through: its final target is replaced and the link stays.
//
// Where no temporary file can be made beside it (a folder that takes no new files, a name too long
// for one) but the file itself can be written, the file is written in place, and that is made safe
// against a kill at any moment by a journal: a whole copy of the new contents, written first (and
// itself through a temporary file) into journalFolder, which is created when missing. The file is
// then written and flushed, and the journal removed. A later RecoverInterruptedReplace finishes a
// save that was killed between the two. Without a journal folder the in-place write is refused.
// Two processes writing one file in place take turns (an advisory lock on the file).
//
// Temporary files that killed saves left beside the file (or in the journal folder) are removed
// first; those of saves that are still running, in this process or another, stay. Throws FileError
// on any failure, with the old file as it was, or (only where the in-place write itself failed part
// way) with the journal left for RecoverInterruptedReplace. The temporary file is removed.
void ReplaceFile(const std::filesystem::path &file, std::string_view contents,
                 const std::filesystem::path &journalFolder);

// Makes the file whole again after a save that was killed while writing it in place: when
// journalFolder holds the journal of such a save and no running process is making that save
// (one that is gets a moment to finish), the journal's contents are written into the file and
// the journal is removed. Also removes what killed saves left behind, as ReplaceFile does. Does
// nothing without a journal. Throws FileError when the save can't be finished (the file can't be
// written, or the journal can't be read): the file may then hold a mix of the old and the new, and
// the journal stays for a later attempt.
void RecoverInterruptedReplace(const std::filesystem::path &file,
                               const std::filesystem::path &journalFolder);

// The journal of the in-place saves of a file (see ReplaceFile): a name in the journal folder
// derived from the file's full path, with its links resolved.
std::filesystem::path JournalFileOf(const std::filesystem::path &file,
                                    const std::filesystem::path &journalFolder);

// Whether a new file can be created in a folder: a real probe that creates and removes an empty
// temporary file there. False for a missing folder or a plain file in its place.
bool CanCreateFilesIn(const std::filesystem::path &folder);

} // namespace ziffa
