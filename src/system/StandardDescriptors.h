#pragma once

// The three standard descriptors, 0, 1 and 2, as a program meets them at its start. Plain C++, no
// Qt.

namespace ziffa {

// Opens /dev/null on each of the standard descriptors that the program was started without
// (`ziffa 2>&-`). The system gives a new file the lowest free number, so otherwise the first files
// the program opens would take them, and whatever is written to standard error (a library's
// warning) would go into a settings file or the display server's connection. Called first thing,
// before anything opens a file.
//
// A closed standard input or output stays unusable as it was: 0 is opened for writing only and 1
// for reading only, so that reading standard input or writing standard output fails as on a
// closed descriptor (and is reported as such). Standard error takes the writes and drops them.
void ReserveStandardDescriptors() noexcept;

} // namespace ziffa
