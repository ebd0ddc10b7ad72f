#include "interpreter/NumberText.h"

#include <gtest/gtest.h>
#include <optional>

namespace ziffa {
namespace {

struct RegionalCase {
    const char *text;
    char separator;
    std::optional<double> expected;
};

class Regional : public testing::TestWithParam<RegionalCase> {};

TEST_P(Regional, Conversion) {
    const RegionalCase &c = GetParam();
    const auto got = ConvertRegionalNumber(c.text, c.separator);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.text;
    if (got) {
        EXPECT_EQ(*got, *c.expected) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, Regional,
    testing::Values(RegionalCase{"7", '.', 7}, RegionalCase{"-4", '.', -4},
                    RegionalCase{"+4", '.', 4}, RegionalCase{"1e3", '.', 1000},
                    RegionalCase{"1E-3", '.', 0.001}, RegionalCase{".5", '.', 0.5},
                    RegionalCase{".", '.', 0}, RegionalCase{"-.", '.', -0.0},
                    RegionalCase{"5.", '.', 5}, RegionalCase{"2,5", ',', 2.5},
                    RegionalCase{"2.5", ',', std::nullopt}, RegionalCase{"2,5", '.', std::nullopt},
                    RegionalCase{"pi", '.', std::nullopt}, RegionalCase{"2*3", '.', std::nullopt},
                    RegionalCase{"", '.', std::nullopt}, RegionalCase{"-", '.', std::nullopt},
                    RegionalCase{"1e", '.', std::nullopt}, RegionalCase{"e3", '.', std::nullopt},
                    RegionalCase{"1.2.3", '.', std::nullopt},
                    RegionalCase{"1e400", '.', std::nullopt},
                    RegionalCase{"inf", '.', std::nullopt}, RegionalCase{"nan", '.', std::nullopt},
                    RegionalCase{"0x10", '.', std::nullopt}, RegionalCase{" 1", '.', std::nullopt},
                    RegionalCase{"1 ", '.', std::nullopt}, RegionalCase{"1e-400", '.', 0}));

TEST(NumberText, TrimBlanks) {
    EXPECT_EQ(TrimBlanks("  x  "), "x");
    EXPECT_EQ(TrimBlanks("\t\x01 a b \r\n"), "a b");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks("\xA0x"), "\xA0x");
}

TEST(NumberText, LiteralIsNearestLongDouble) {
    EXPECT_EQ(*ConvertNumberLiteral("0.1", '.'), 0.1L);
    EXPECT_EQ(*ConvertNumberLiteral("0,1", ','), 0.1L);
    EXPECT_EQ(*ConvertNumberLiteral(".5", '.'), 0.5L);
    EXPECT_EQ(*ConvertNumberLiteral("5.", '.'), 5.0L);
    EXPECT_FALSE(ConvertNumberLiteral(std::string(5000, '9'), '.').has_value());
}

} // namespace
} // namespace ziffa
