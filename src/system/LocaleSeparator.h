#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ziffa {

// The value of an environment variable, nothing when it is unset.
using LocaleEnvironment = std::function<std::optional<std::string>(std::string_view name)>;

// The name of the locale that decides the user's numbers: the first of LC_ALL, LC_NUMERIC and
// LANG that is set and not empty, or "C" when none is.
std::string NumericLocaleName(const LocaleEnvironment &environment);

// The decimal separator that a locale's radix character gives as one Windows-1250 character:
// the character itself when it is one ASCII punctuation mark that expressions don't use for
// anything else, "." otherwise. (The C library's locales use ",", "." and the Arabic U+066B,
// which Windows-1250 can't hold.)
char SeparatorFromRadix(std::string_view radix);

// The decimal separator of the named locale, read from the C library's locale data with newlocale
// and nl_langinfo_l (the process's own locale is left alone); "." when that locale isn't
// installed.
char LocaleDecimalSeparator(const std::string &localeName);

// The decimal separator of the user's environment (LC_ALL, LC_NUMERIC, LANG), the one every mode
// of the program uses.
char LocaleDecimalSeparator();

} // namespace ziffa
