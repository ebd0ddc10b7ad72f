#include "Support.h"

#include "interpreter/Codepage.h"
#include "interpreter/ExpressionText.h"

#include <gtest/gtest.h>

namespace ziffa {
namespace {

struct NormalizeCase {
    char separator;
    const char *input; // UTF-8
    const char *expected;
};

class Normalize : public testing::TestWithParam<NormalizeCase> {};

TEST_P(Normalize, Text) {
    const NormalizeCase &c = GetParam();
    test::SeparatorScope scope(c.separator);
    EXPECT_EQ(Cp1250ToUtf8(NormalizeExpression(Utf8ToCp1250(c.input))), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, Normalize,
                         testing::Values(NormalizeCase{'.', " 2 , 5 * PI ", "2.5*pi"},
                                         NormalizeCase{',', " 2 , 5 * PI ", "2,5*pi"},
                                         NormalizeCase{',', "1.5+2,5", "1,5+2,5"},
                                         NormalizeCase{'.', "E X i T", "exit"},
                                         NormalizeCase{'.', "ŻÓŁĆ ĄĘŚŹŃ", "żółćąęśźń"},
                                         NormalizeCase{'.', "ŠŤŽ ĽŔ", "šťžľŕ"},
                                         // Tabs and other control characters stay.
                                         NormalizeCase{'.', "1\t+ 2", "1\t+2"},
                                         NormalizeCase{'.', "", ""},
                                         NormalizeCase{'.', "   ", ""}));

TEST(Codepage, RoundTripAndReplacement) {
    EXPECT_EQ(Cp1250ToUtf8(Utf8ToCp1250("BŁĄD: żółw")), "BŁĄD: żółw");
    EXPECT_EQ(Utf8ToCp1250("ł"), "\xB3");
    // Characters the code page can't hold, and broken UTF-8, become "?".
    EXPECT_EQ(Utf8ToCp1250("a€b"), "a\x80"
                                   "b");
    EXPECT_EQ(Utf8ToCp1250("a日b"), "a?b");
    EXPECT_EQ(Utf8ToCp1250("a\xFF"
                           "b"),
              "a?b");
    EXPECT_EQ(Utf8ToCp1250("a\xC5"), "a?");
    EXPECT_EQ(Cp1250ToUtf8("\x98"), "?");
}

TEST(Codepage, LowerCaseKeepsNonLetters) {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        if (b < 'A' || (b > 'Z' && b < 0x80)) {
            EXPECT_EQ(LowerChar1250(c), c) << b;
        }
    }
    EXPECT_EQ(LowerChar1250('\xD7'), '\xD7'); // the multiplication sign
}

} // namespace
} // namespace ziffa
