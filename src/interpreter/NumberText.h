#pragma once

#include <optional>
#include <string_view>

namespace ziffa {

// Removes leading and trailing characters with codes 0 to 32.
std::string_view TrimBlanks(std::string_view text);

// The regional text-to-number conversion: an optional sign, digits with at most one separator
// (digits may be missing on either side, the separator alone reads as 0), an optional exponent
// ("E" or "e", an optional sign, digits), nothing else. Fails on anything else and on a value
// beyond the double range. Independent of the process's locale.
std::optional<double> ConvertRegionalNumber(std::string_view text, char separator);

// Converts an expression number literal (one or more digits with at most one separator, already
// checked) to the nearest long double. Returns nothing when the value is beyond the range.
std::optional<long double> ConvertNumberLiteral(std::string_view text, char separator);

} // namespace ziffa
