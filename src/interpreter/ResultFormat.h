#pragma once

#include <string>

namespace ziffa {

// The result text of a value: at most 15 significant digits, fixed notation for decimal exponents
// from -3 to 15, an exponent form such as 1E15 outside, "INF", "-INF", "NAN" and "0".
std::string FormatResultValue(long double value, char decimalSeparator);

// The same with ExprDecimalSeparator as the separator.
std::string FormatResultValue(long double value);

} // namespace ziffa
