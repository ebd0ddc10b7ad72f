#include "interpreter/NumberText.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace ziffa {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The "C" locale as an object, so that conversions never depend on the process's locale.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Copies the text with the separator turned into "." for the C locale's conversion.
std::string ToCNumber(std::string_view text, char separator) {
    std::string copy(text);
    if (separator != '.')
        for (char &c : copy)
            if (c == separator)
                c = '.';
    return copy;
}

} // namespace

std::string_view TrimBlanks(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::optional<double> ConvertRegionalNumber(std::string_view text, char separator) {
    // Grammar: [+-] digits* [sep digits*] [(E|e) [+-] digits+], and at least the separator or a
    // digit in the mantissa.
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissaChars = 0;
    while (i < n && IsDigit(text[i])) {
        ++i;
        ++mantissaChars;
    }
    if (i < n && text[i] == separator) {
        ++i;
        ++mantissaChars;
        while (i < n && IsDigit(text[i]))
            ++i;
    }
    if (mantissaChars == 0)
        return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        const std::size_t digitsStart = i;
        while (i < n && IsDigit(text[i]))
            ++i;
        if (i == digitsStart)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;

    std::string c = ToCNumber(text, separator);
    // strtod reads "." or "-." as no number; the separator alone (with an optional sign and
    // exponent) reads as 0.
    const std::size_t dot = c.find('.');
    if (dot != std::string::npos) {
        const bool digitBefore = dot > 0 && IsDigit(c[dot - 1]);
        const bool digitAfter = dot + 1 < c.size() && IsDigit(c[dot + 1]);
        if (!digitBefore && !digitAfter)
            c.insert(c.begin() + static_cast<std::ptrdiff_t>(dot), '0');
    }
    errno = 0;
    char *end = nullptr;
    const double value = strtod_l(c.c_str(), &end, CLocale());
    if (end != c.c_str() + c.size())
        return std::nullopt;
    if (errno == ERANGE && std::isinf(value))
        return std::nullopt;
    return value;
}

std::optional<long double> ConvertNumberLiteral(std::string_view text, char separator) {
    std::string c = ToCNumber(text, separator);
    if (!c.empty() && c.back() == '.')
        c.push_back('0');
    if (!c.empty() && c.front() == '.')
        c.insert(c.begin(), '0');
    errno = 0;
    char *end = nullptr;
    const long double value = strtold_l(c.c_str(), &end, CLocale());
    if (end != c.c_str() + c.size())
        return std::nullopt;
    if (errno == ERANGE && std::isinf(value))
        return std::nullopt;
    return value;
}

} // namespace ziffa
