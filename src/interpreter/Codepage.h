#pragma once

#include <string>
#include <string_view>

namespace ziffa {

// Lower-cases 8-bit Windows-1250 text by the code page's rules (Polish capitals too).
std::string LowerCase1250(std::string_view text);
void LowerCase1250InPlace(std::string &text);
char LowerChar1250(char c);

// Whether every byte of the text is ASCII (below 128), where UTF-8 and Windows-1250 agree.
bool IsAscii(std::string_view text);

// Conversions between UTF-8 and Windows-1250 through iconv. A character that Windows-1250 can't
// hold becomes "?"; invalid UTF-8 bytes become "?" too. ASCII text is copied as it is.
std::string Utf8ToCp1250(std::string_view utf8);
std::string Cp1250ToUtf8(std::string_view cp1250);

} // namespace ziffa
