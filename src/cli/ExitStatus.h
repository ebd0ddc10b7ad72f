#pragma once

namespace ziffa {

// The exit statuses of every mode; those of 64 and up are the numbers of sysexits.
enum class ExitStatus : int {
    Ok = 0,
    // A fault in the expression or the function, a line too long, a points file that can't be
    // opened, a picture that can't be written.
    Fault = 1,
    // The evaluator's own arithmetic overflowed or was invalid, or memory ran out for a line.
    FloatFault = 2,
    Usage = 64,           // EX_USAGE: a command line the program doesn't take
    Software = 70,        // EX_SOFTWARE: an exception escaped the window library
    NoWindowLibrary = 72, // EX_OSFILE: the window library is missing or can't be loaded
    IoError = 74,         // EX_IOERR: standard output couldn't be written or standard input read
};

// The number the process ends with.
constexpr int ExitCode(ExitStatus status) {
    return static_cast<int>(status);
}

} // namespace ziffa
