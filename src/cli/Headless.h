#pragma once

#include <climits>
#include <cstddef>
#include <exception>
#include <iosfwd>
#include <span>
#include <string>

namespace ziffa {

// Exit statuses of the modes without a window (the numbers of 64 and up are those of sysexits).
enum HeadlessStatus {
    StatusOk = 0,
    StatusFault = 1,      // a fault in the expression (or a refused line)
    StatusFloatFault = 2, // the evaluator's own arithmetic overflowed or was invalid; no memory
    StatusUsage = 64,
    StatusIoError = 74, // standard output couldn't be written or standard input read
};

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
// maxLineLength are refused. A failed read or write is reported on err with StatusIoError.
int RunHeadless(std::span<const std::string> args, char decimalSeparator, int in, int out,
                std::ostream &err, std::size_t maxLineLength = kMaxExpressionLength);

// The usage text printed by --help and on usage errors.
std::string HeadlessUsage();

// The Polish text of an exception that ends a run without a window, to follow "ziffa: ": the
// evaluator's floating-point faults by their kind, a lack of memory, and any other exception's
// own words after "nieoczekiwany błąd: ".
std::string ExceptionText(const std::exception &e);

} // namespace ziffa
