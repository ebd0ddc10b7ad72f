#pragma once

#include "cli/ExitStatus.h"

#include <climits>
#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>

namespace ziffa {

// The longest expression the evaluator takes: its fault positions are ints.
inline constexpr std::size_t kMaxExpressionLength = INT_MAX;

// Whether the command line asks for a mode that needs no window (--eval, --help, or any other
// first argument beginning with "--" that the windowed program doesn't know).
bool IsHeadlessCommandLine(std::span<const std::string> args);

// Whether the command line asks for a picture (--plot or --points anywhere).
bool IsPictureCommandLine(std::span<const std::string> args);

// Whether the command line needs the window library: the windowed program and the pictures.
bool NeedsWindowLibrary(std::span<const std::string> args);

// Runs the headless mode on the arguments after the program name, reading expression lines from
// the file descriptor in and writing answers to out; messages go to err. Text arguments and input
// lines are UTF-8; decimalSeparator is the one the user's locale gives. Lines longer than
// maxLineLength are refused. A failed read or write is reported on err with ExitStatus::IoError.
ExitStatus RunHeadless(std::span<const std::string> args, char decimalSeparator, int in, int out,
                       std::ostream &err, std::size_t maxLineLength = kMaxExpressionLength);

} // namespace ziffa
