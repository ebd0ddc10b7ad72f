#pragma once

// Which window library the executable may load. A library runs with the user's rights as soon as
// it is loaded, so the executable loads only a file that no other user could have put in its place
// or changed, and only a whole one: a file cut short would be mapped past its end and end the
// program with a bus error.

#include "system/FileDescriptor.h"

#include <filesystem>
#include <string>

#include <sys/types.h>

namespace ziffa {

// A library file, opened and checked for loading.
//
// Trusted: the file and every folder of its full path (links resolved) belong to root or to the
// user that runs the program, and no group and no other user may write them. A folder that
// everyone may write, sticky or not (/tmp), is no place for a library.
//
// Whole: an ELF file of this machine's class whose program headers, section headers and the
// bytes of every segment and section lie within the file. (Other classes are left to the loader,
// which refuses them before mapping anything.)
class LibraryFile {
public:
    enum class State {
        Missing, // no file of that name
        Refused, // another user could have put it there or changed it, or it can't be opened
        Damaged, // no ELF file, or shorter than its headers say
        Ready,
    };

    // Opens and checks the file for the given user (the program's effective user).
    LibraryFile(const std::filesystem::path &file, uid_t user);
    LibraryFile(const LibraryFile &) = delete;
    LibraryFile &operator=(const LibraryFile &) = delete;

    State state() const noexcept { return state_; }
    // Why the file is refused or damaged, in Polish, to follow a colon.
    const std::string &reason() const noexcept { return reason_; }
    // The name to load the file by: its descriptor's (/proc/self/fd/N), so that the file loaded
    // is the one that was checked, whatever happens to its name meanwhile; where /proc is
    // missing, its full path, which no other user can change once every folder of it is trusted.
    const std::string &loadName() const noexcept { return loadName_; }

private:
    void Check(const std::filesystem::path &file, uid_t user);

    FileDescriptor fd_;
    State state_ = State::Missing;
    std::string reason_;
    std::string loadName_;
};

} // namespace ziffa
