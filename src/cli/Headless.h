#pragma once

#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"

#include <climits>
#include <cstddef>
#include <iosfwd>

namespace ziffa {

// The longest expression the evaluator takes: its fault positions are ints.
inline constexpr std::size_t kMaxExpressionLength = INT_MAX;

// Runs a command line that needs no window (see NeedsWindowLibrary): --eval, --help, or a usage
// error, which is told on err. --eval reads expression lines from the file descriptor in and
// writes answers to out; messages go to err. Text arguments and input lines are UTF-8;
// decimalSeparator is the one the user's locale gives. Lines longer than maxLineLength are
// refused. A failed read or write is reported on err with ExitStatus::IoError.
ExitStatus RunHeadless(CommandLine commandLine, char decimalSeparator, int in, int out,
                       std::ostream &err, std::size_t maxLineLength = kMaxExpressionLength);

} // namespace ziffa
