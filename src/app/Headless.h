#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace ziffa {

// Exit statuses of the headless mode.
enum HeadlessStatus { StatusOk = 0, StatusFault = 1, StatusFloatFault = 2, StatusUsage = 64 };

// Whether the command line asks for a mode that needs no window (--eval, --help, or any other
// first argument beginning with "--" that the windowed program doesn't know).
bool IsHeadlessCommandLine(std::span<const std::string> args);

// Runs the headless mode on the arguments after the program name. Text arguments and input
// lines are UTF-8; decimalSeparator is the one the user's locale gives.
int RunHeadless(std::span<const std::string> args, char decimalSeparator, std::istream &in,
                std::ostream &out, std::ostream &err);

// The usage text printed by --help and on usage errors.
std::string HeadlessUsage();

} // namespace ziffa
