#include "components/ScaleNumber.h"

#include <charconv>

namespace ziffa {

std::string FormatScaleNumber(double value) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    std::string text(buffer, result.ptr);
    // %g writes the exponent with a sign and at least two digits.
    const auto e = text.find('e');
    if (e != std::string::npos) {
        std::size_t digits = e + 1;
        if (digits < text.size() && text[digits] != '+' && text[digits] != '-')
            text.insert(digits, 1, '+');
        ++digits;
        if (text.size() - digits < 2)
            text.insert(digits, 1, '0');
    }
    return text;
}

} // namespace ziffa
