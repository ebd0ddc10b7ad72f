#pragma once

// The windowed program and the pictures live in a shared library, which the executable loads only
// when it needs them, so that the modes without a window start as fast as a plain program. In a
// build tree the library lies beside the executable; installed, in a private folder among the
// libraries (lib/ziffa/ or lib/<multiarch>/ziffa/), whose path relative to the executable's
// folder is fixed when the build is configured.

#include "cli/CommandLine.h"

#include <filesystem>
#include <iosfwd>
#include <vector>

namespace ziffa {

// The entry of the window library: it draws the picture that commandLine asks for, or else runs
// the windowed program, and returns the exit status. argc and argv are the whole command line,
// for Qt's own options; executable is the running program's own path, after which the settings
// file is named. Both sides are built together, so the parsed command line passes as it is.
using WindowLibraryEntry = int (*)(int argc, char **argv, const char *executable,
                                   const CommandLine &commandLine);
inline constexpr const char *kWindowLibraryEntryName = "ziffa_window_main";

// The path of the running executable: /proc/self/exe, or else the name it was started by, made
// absolute. Empty when neither can be found.
std::filesystem::path ExecutablePath();

// Where the window library may lie, in the order tried: beside the executable (a build tree),
// then the installed layout.
std::vector<std::filesystem::path> WindowLibraryCandidates(const std::filesystem::path &executable);

// Loads the window library and runs its entry with the command line. When the library is missing,
// refused (another user could have put it there, or it is damaged: see LibraryFile) or can't be
// loaded, says so on err and returns ExitStatus::NoWindowLibrary's code.
int RunWindowLibrary(int argc, char **argv, const CommandLine &commandLine, std::ostream &err);

} // namespace ziffa
