#include "interpreter/ResultFormat.h"

#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace ziffa {
namespace {

struct FormatCase {
    long double value;
    const char *expected;
};

class Format : public testing::TestWithParam<FormatCase> {};

TEST_P(Format, Text) {
    EXPECT_EQ(FormatResultValue(GetParam().value, '.'), GetParam().expected);
}

constexpr long double kInf = std::numeric_limits<long double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, Format,
    testing::Values(FormatCase{4, "4"}, FormatCase{1.0L / 3, "0.333333333333333"},
                    FormatCase{2.0L / 3, "0.666666666666667"}, FormatCase{-2.5L, "-2.5"},
                    FormatCase{1200, "1200"}, FormatCase{123456789012345.0L, "123456789012345"},
                    FormatCase{1e15L, "1E15"}, FormatCase{0.0001L, "0.0001"},
                    FormatCase{0.00001L, "1E-5"}, FormatCase{6.626076e-34, "6.626076E-34"},
                    FormatCase{999999999999999.0L, "999999999999999"},
                    // Rounded to 15 digits this is 10^15.
                    FormatCase{999999999999999.5L, "1E15"},
                    FormatCase{0.000099999999999999999L, "0.0001"}, FormatCase{0.5L, "0.5"},
                    FormatCase{-0.001L, "-0.001"}, FormatCase{0, "0"}, FormatCase{-0.0L, "0"},
                    FormatCase{LDBL_MIN, "3.36210314311209E-4932"}, FormatCase{LDBL_MIN / 2, "0"},
                    FormatCase{kInf, "INF"}, FormatCase{-kInf, "-INF"},
                    FormatCase{std::numeric_limits<long double>::quiet_NaN(), "NAN"},
                    FormatCase{-std::numeric_limits<long double>::quiet_NaN(), "NAN"},
                    FormatCase{2 * 3.141592653589793L, "6.28318530717959"},
                    FormatCase{2432902008176640000.0L, "2.43290200817664E18"},
                    FormatCase{1e16L, "1E16"}, FormatCase{123.456L, "123.456"},
                    FormatCase{1e-4000L, "1E-4000"}, FormatCase{LDBL_MAX, "1.18973149535723E4932"},
                    // The 16th digit decides, after the rounding to 18 digits.
                    FormatCase{0.1234567890123455L, "0.123456789012346"},
                    FormatCase{0.1234567890123449L, "0.123456789012345"}));

TEST(Format, CommaSeparator) {
    EXPECT_EQ(FormatResultValue(0.5L, ','), "0,5");
    EXPECT_EQ(FormatResultValue(1.25e20L, ','), "1,25E20");
    EXPECT_EQ(FormatResultValue(1200, ','), "1200");
}

} // namespace
} // namespace ziffa
