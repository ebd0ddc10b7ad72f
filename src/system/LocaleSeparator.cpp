#include "system/LocaleSeparator.h"

#include <cstdlib>
#include <langinfo.h>
#include <locale.h>

namespace ziffa {

std::string NumericLocaleName(const LocaleEnvironment &environment) {
    for (const std::string_view name : {"LC_ALL", "LC_NUMERIC", "LANG"})
        if (std::optional<std::string> value = environment(name); value && !value->empty())
            return *value;
    return "C";
}

char SeparatorFromRadix(std::string_view radix) {
    if (radix.size() != 1)
        return '.';
    const char c = radix[0];
    const bool punctuation = (c >= '!' && c <= '/') || (c >= ':' && c <= '@') ||
                             (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
    // Operators, parentheses and the factorial's "!" would change how an expression reads.
    const std::string_view language = "+-*/^()!";
    if (!punctuation || language.find(c) != std::string_view::npos)
        return '.';
    return c;
}

char LocaleDecimalSeparator(const std::string &localeName) {
    const locale_t locale =
        newlocale(LC_NUMERIC_MASK, localeName.c_str(), static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return '.';
    const char *radix = nl_langinfo_l(RADIXCHAR, locale);
    const char separator = SeparatorFromRadix(radix != nullptr ? radix : "");
    freelocale(locale);
    return separator;
}

char LocaleDecimalSeparator() {
    return LocaleDecimalSeparator(
        NumericLocaleName([](std::string_view name) -> std::optional<std::string> {
            const char *value = std::getenv(std::string(name).c_str());
            if (value == nullptr)
                return std::nullopt;
            return std::string(value);
        }));
}

} // namespace ziffa
