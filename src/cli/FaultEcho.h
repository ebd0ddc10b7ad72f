#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace ziffa {

// The line that tells a fault code on standard output: "BŁĄD: ", the code's message and a line
// end, in UTF-8.
std::string FaultLine(int code);

// Writes the expression (Windows-1250, written as UTF-8) on a line of its own, then a caret
// under the character at position (a byte index; a negative one counts as 0) on the next.
void EchoWithCaret(std::ostream &err, std::string_view cp1250Text, int position);

} // namespace ziffa
