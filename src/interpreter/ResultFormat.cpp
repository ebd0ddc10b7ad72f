#include "interpreter/ResultFormat.h"

#include "interpreter/ExpressionText.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ziffa {

namespace {

struct Decimal {
    std::string digits; // 1 to 15 digits, the first not 0, no trailing zeros
    int exponent;       // the magnitude is 0.digits times ten to this power
};

// The significant digits of a positive normal value: rounded to 18 digits (nearest, ties to even),
// then to 15 with the 16th digit deciding, trailing zeros dropped.
Decimal SignificantDigits(long double magnitude) {
    std::array<char, 64> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::scientific, 17);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(result.ptr - buffer.data()));
    // text is "d.ddddddddddddddddde[+-]x..."
    std::string digits;
    digits.reserve(18);
    std::size_t i = 0;
    for (; i < text.size() && text[i] != 'e'; ++i)
        if (text[i] != '.')
            digits.push_back(text[i]);
    int exponent10 = 0;
    std::from_chars(text.data() + i + 1 + (text[i + 1] == '+' ? 1 : 0), text.data() + text.size(),
                    exponent10);
    int exponent = exponent10 + 1;

    const bool roundUp = digits[15] >= '5';
    digits.resize(15);
    if (roundUp) {
        int k = 14;
        while (k >= 0 && digits[static_cast<std::size_t>(k)] == '9') {
            digits[static_cast<std::size_t>(k)] = '0';
            --k;
        }
        if (k < 0) {
            digits.assign(1, '1');
            ++exponent;
        } else {
            ++digits[static_cast<std::size_t>(k)];
        }
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    return {digits, exponent};
}

} // namespace

std::string FormatResultValue(long double value, char decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0 || std::fabs(value) < LDBL_MIN)
        return "0";

    const Decimal d = SignificantDigits(std::fabs(value));
    const int e = d.exponent;
    std::string out;
    if (value < 0)
        out.push_back('-');
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            out += '0';
            out += decimalSeparator;
            out.append(static_cast<std::size_t>(-e), '0');
            out += d.digits;
        } else {
            const std::size_t whole = static_cast<std::size_t>(e);
            if (d.digits.size() <= whole) {
                out += d.digits;
                out.append(whole - d.digits.size(), '0');
            } else {
                out.append(d.digits, 0, whole);
                out += decimalSeparator;
                out.append(d.digits, whole);
            }
        }
    } else {
        out += d.digits[0];
        if (d.digits.size() > 1) {
            out += decimalSeparator;
            out.append(d.digits, 1);
        }
        out += 'E';
        out += std::to_string(e - 1);
    }
    return out;
}

std::string FormatResultValue(long double value) {
    return FormatResultValue(value, ExprDecimalSeparator);
}

} // namespace ziffa
