#pragma once

#include <string>

namespace ziffa {

// Writes a scale label as C's %g with precision 6 does in the "C" locale: six significant
// digits, fixed notation for decimal exponents -4 to 5, exponent notation (sign and at least two
// digits) otherwise, trailing zeros and a trailing point removed, "." as the decimal point.
std::string FormatScaleNumber(double value);

} // namespace ziffa
