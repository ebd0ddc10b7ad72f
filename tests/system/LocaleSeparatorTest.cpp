// The decimal separator of the user's locale, read from the C library's locale data.
#include "system/LocaleSeparator.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <map>
#include <string>

namespace ziffa {
namespace {

bool Installed(const char *name) {
    const locale_t locale = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return false;
    freelocale(locale);
    return true;
}

TEST(LocaleSeparator, TheLocaleNameComesFromLcAllThenLcNumericThenLang) {
    struct Case {
        std::map<std::string, std::string> environment;
        std::string name;
    };
    const Case cases[] = {
        {{}, "C"},
        {{{"LANG", "pl_PL.UTF-8"}}, "pl_PL.UTF-8"},
        {{{"LANG", "pl_PL.UTF-8"}, {"LC_NUMERIC", "en_US.UTF-8"}}, "en_US.UTF-8"},
        {{{"LANG", "pl_PL.UTF-8"}, {"LC_NUMERIC", "en_US.UTF-8"}, {"LC_ALL", "C"}}, "C"},
        // An empty variable counts as unset.
        {{{"LC_ALL", ""}, {"LC_NUMERIC", ""}, {"LANG", "pl_PL.UTF-8"}}, "pl_PL.UTF-8"},
        {{{"LC_ALL", ""}}, "C"},
        // Other categories don't decide numbers.
        {{{"LC_MESSAGES", "pl_PL.UTF-8"}, {"LC_MONETARY", "pl_PL.UTF-8"}}, "C"},
    };
    for (const Case &c : cases) {
        const std::string name =
            NumericLocaleName([&](std::string_view variable) -> std::optional<std::string> {
                const auto found = c.environment.find(std::string(variable));
                if (found == c.environment.end())
                    return std::nullopt;
                return found->second;
            });
        EXPECT_EQ(name, c.name) << testing::PrintToString(c.environment);
    }
}

TEST(LocaleSeparator, FromTheRadixCharacter) {
    const std::pair<std::string, char> cases[] = {
        {".", '.'}, {",", ','},    {"'", '\''}, {"\xD9\xAB", '.'} /* U+066B, Arabic */,
        {"", '.'},  {",,", '.'},   {"0", '.'},  {"a", '.'},
        {" ", '.'}, {"+", '.'},    {"-", '.'},  {"*", '.'},
        {"/", '.'}, {"^", '.'},    {"(", '.'},  {")", '.'},
        {"!", '.'}, {"\x80", '.'}, {"\t", '.'},
    };
    for (const auto &[radix, separator] : cases)
        EXPECT_EQ(SeparatorFromRadix(radix), separator) << testing::PrintToString(radix);
}

TEST(LocaleSeparator, FromTheCLibrarysLocales) {
    EXPECT_EQ(LocaleDecimalSeparator("C"), '.');
    EXPECT_EQ(LocaleDecimalSeparator("POSIX"), '.');
    EXPECT_EQ(LocaleDecimalSeparator("C.UTF-8"), '.');
    // scripts/install-deps.sh generates the Polish locale.
    ASSERT_TRUE(Installed("pl_PL.UTF-8"));
    EXPECT_EQ(LocaleDecimalSeparator("pl_PL.UTF-8"), ',');
    EXPECT_EQ(LocaleDecimalSeparator("pl_PL.utf8"), ',');
    // A locale that isn't installed gives ".", whatever its separator would be.
    EXPECT_EQ(LocaleDecimalSeparator("xx_YY.UTF-8"), '.');
    EXPECT_EQ(LocaleDecimalSeparator("pl_PL/../../../etc/passwd"), '.');
    // Locales whose separator is "," where they aren't installed.
    for (const char *name : {"de_DE.UTF-8", "en_DE.UTF-8", "fr_FR.UTF-8"}) {
        if (!Installed(name)) {
            EXPECT_EQ(LocaleDecimalSeparator(name), '.') << name;
        }
    }
}

TEST(LocaleSeparator, OfThisProcesssEnvironment) {
    // ctest runs this with LC_ALL=C, with LC_ALL=pl_PL.UTF-8 and with LC_ALL=en_DE.UTF-8, English
    // as used in Germany, which writes "1,5" but which the C library doesn't have.
    const char *all = std::getenv("LC_ALL");
    const std::string name = all != nullptr ? all : "";
    if (name == "pl_PL.UTF-8")
        EXPECT_EQ(LocaleDecimalSeparator(), ',');
    else if ((name == "en_DE.UTF-8" && !Installed("en_DE.UTF-8")) || name == "C")
        EXPECT_EQ(LocaleDecimalSeparator(), '.');
    else
        GTEST_SKIP() << "for LC_ALL=C, pl_PL.UTF-8 or an uninstalled en_DE.UTF-8";
}

} // namespace
} // namespace ziffa
