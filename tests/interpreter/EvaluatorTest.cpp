#include "Support.h"

#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace ziffa {
namespace {

using test::Bits;

struct Vars {
    std::vector<std::string> names;
    std::vector<double> values;
};

struct Outcome {
    long double value;
    int code;
    int position;
};

Outcome Eval(const std::string &text, const Vars &vars = {}) {
    int code = 0, position = -1;
    const long double v =
        EvaluateExpression(text, code, position, static_cast<int>(vars.names.size()),
                           vars.values.data(), vars.names.data(), 0);
    return {v, code, code ? position : -1};
}

struct ValueCase {
    const char *text;
    long double expected;
};

class Values : public testing::TestWithParam<ValueCase> {};

TEST_P(Values, BitForBit) {
    const ValueCase &c = GetParam();
    const Outcome o = Eval(c.text);
    EXPECT_EQ(o.code, 0) << c.text << " at " << o.position;
    EXPECT_EQ(Bits(o.value), Bits(c.expected)) << c.text;
}

const long double kPi = 3.141592653589793;

INSTANTIATE_TEST_SUITE_P(
    Grammar, Values,
    testing::Values(ValueCase{"(3)", 3}, ValueCase{"-(-2)", 2}, ValueCase{"+-2", -2},
                    ValueCase{"2+-3", -1}, ValueCase{"2^3^4", 4096}, ValueCase{"-2^2", -4},
                    ValueCase{"10-4-3", 3}, ValueCase{"2/4/8", 0.0625L}, ValueCase{"2-3+4", 3},
                    ValueCase{"8/2*4", 16}, ValueCase{"-2*3", -6}, ValueCase{"2*(-3)", -6},
                    ValueCase{".5", 0.5L}, ValueCase{"5.", 5}, ValueCase{"0*0", 0},
                    ValueCase{"((((7))))", 7}, ValueCase{"1+2*3^2", 19}, ValueCase{"007", 7},
                    ValueCase{"-0", 0}));

// Literals convert to the nearest long double and the sum is made in long double, not double.
INSTANTIATE_TEST_SUITE_P(Precision, Values,
                         testing::Values(ValueCase{"0.1", 0.1L}, ValueCase{"1/3", 1.0L / 3.0L},
                                         ValueCase{"0.1+0.2", 0.1L + 0.2L},
                                         ValueCase{"123456789012345678901234567890",
                                                   123456789012345678901234567890.0L},
                                         ValueCase{"2^0.5", std::pow(2.0, 0.5)}));

INSTANTIATE_TEST_SUITE_P(
    Functions, Values,
    testing::Values(ValueCase{"sin(0)", 0}, ValueCase{"cos(0)", 1}, ValueCase{"abs(-3)", 3},
                    ValueCase{"exp(0)", 1}, ValueCase{"sqrt(0)", 0}, ValueCase{"ln(1)", 0},
                    ValueCase{"log10(100)", 2}, ValueCase{"asin(1)", std::asin(1.0)},
                    ValueCase{"!(0)", 1}, ValueCase{"!(0.9)", 1}, ValueCase{"!(3.7)", 6},
                    ValueCase{"!(20)", 2432902008176640000.0L}, ValueCase{"tg(0)", 0},
                    ValueCase{"sin(2)", std::sin(2.0)},
                    // The argument is rounded to double before the function.
                    ValueCase{"sin(1/3)", std::sin(static_cast<double>(1.0L / 3.0L))},
                    ValueCase{"tg(1)", static_cast<long double>(std::sin(1.0)) /
                                           static_cast<long double>(std::cos(1.0))},
                    ValueCase{"ctg(1)", static_cast<long double>(std::cos(1.0)) /
                                            static_cast<long double>(std::sin(1.0))},
                    ValueCase{"pi", kPi}, ValueCase{"e", 2.71828182845905},
                    ValueCase{"h", 6.626076e-34}, ValueCase{"k", 1.380651e-23},
                    ValueCase{"R", 10973731.53}, ValueCase{"2*pi", 2 * kPi}));

// Results of the math library pass on silently.
TEST(Evaluator, MathLibraryDefaultsPassOn) {
    EXPECT_EQ(Eval("ln(0)").value, -std::numeric_limits<long double>::infinity());
    EXPECT_EQ(Eval("ln(0)").code, 0);
    EXPECT_TRUE(std::isnan(Eval("asin(-2)").value));
    EXPECT_EQ(Eval("asin(-2)").code, 0);
    EXPECT_EQ(Eval("exp(1000)").value, std::numeric_limits<long double>::infinity());
    EXPECT_TRUE(std::isnan(Eval("(-8)^(1/3)").value));
    EXPECT_EQ(Eval("0^(-1)").value, std::numeric_limits<long double>::infinity());
    EXPECT_GT(Eval("tg(pi/2)").value, 1.6e16L);
    EXPECT_EQ(Eval("!(1754)").code, 0);
    EXPECT_TRUE(std::isfinite(Eval("!(1754)").value));
    EXPECT_EQ(Eval("ln(0)+ln(0)").value, -std::numeric_limits<long double>::infinity());
}

struct FaultCase {
    const char *text;
    int code;
    int position;
};

class Faults : public testing::TestWithParam<FaultCase> {};

TEST_P(Faults, CodeAndPosition) {
    const FaultCase &c = GetParam();
    const Outcome o = Eval(c.text);
    EXPECT_EQ(o.code, c.code) << c.text;
    EXPECT_EQ(o.position, c.position) << c.text;
    EXPECT_EQ(Bits(o.value), Bits(0.0L)) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Structure, Faults,
    testing::Values(FaultCase{"", 10, 0}, FaultCase{".", 3, 0}, FaultCase{"()", 10, 1},
                    FaultCase{"sin()", 10, 4}, FaultCase{"2*-3", 9, 2}, FaultCase{"2^-2", 9, 2},
                    FaultCase{"2--3", 9, 2}, FaultCase{"--3", 9, 1}, FaultCase{"2*", 9, 2},
                    FaultCase{"*2", 5, 0}, FaultCase{"/2", 5, 0}, FaultCase{"^2", 5, 0},
                    FaultCase{"2**3", 9, 2}, FaultCase{"(2+3", 1, 4}, FaultCase{"2+3)", 2, 3},
                    FaultCase{")(", 2, 0}, FaultCase{"(1))(", 2, 3}, FaultCase{"sin(2)+(", 1, 8},
                    FaultCase{"1.2.3", 8, 3}, FaultCase{"1..", 8, 2}, FaultCase{"1.a.", 3, 2},
                    FaultCase{"1e5", 3, 1}, FaultCase{"1e-5", 3, 1}, FaultCase{"3!", 3, 1},
                    FaultCase{"sin3", 3, 0}, FaultCase{"2(3)", 4, 1}, FaultCase{".5(3)", 4, 2},
                    FaultCase{"xyz(1)", 6, 0}, FaultCase{"pi(2)", 6, 0}, FaultCase{"(2)3", 11, 3},
                    FaultCase{"(2)(3)", 11, 3}, FaultCase{"sin(2)3", 11, 6}, FaultCase{"-", 9, 1},
                    FaultCase{"+", 9, 1}, FaultCase{"r", 3, 0}, FaultCase{"PI", 3, 0},
                    FaultCase{"1+(2*(3+))", 9, 8}, FaultCase{"2+(", 1, 3}, FaultCase{"(((", 1, 3},
                    FaultCase{"a b", 3, 0}, FaultCase{"\t1", 3, 0}, FaultCase{"1,5", 3, 1}));

INSTANTIATE_TEST_SUITE_P(Arithmetic, Faults,
                         testing::Values(FaultCase{"1/0", 12, 2}, FaultCase{"0/0", 13, 1},
                                         FaultCase{"0^0", 13, 1}, FaultCase{"1+sin(2)/0", 12, 9},
                                         FaultCase{"xyz(1/0)", 12, 6}, FaultCase{"2(1/0)", 12, 4},
                                         FaultCase{"(1/0)+", 9, 6}, FaultCase{"1/(1-1)", 12, 2},
                                         FaultCase{"(1-1)^0", 13, 5}));

INSTANTIATE_TEST_SUITE_P(Refused, Faults,
                         testing::Values(FaultCase{"asin(1.0000001)", 16, 5},
                                         FaultCase{"acos(2)", 16, 5}, FaultCase{"ln(-1)", 14, 3},
                                         FaultCase{"log10(-0.5)", 14, 6},
                                         FaultCase{"sqrt(-1)", 14, 5}, FaultCase{"!(-1)", 14, 2},
                                         FaultCase{"ctg(0)", 15, 4}, FaultCase{"1+ln(-1)", 14, 5}));

// A NaN counts as equal to 0 for the zero tests, as below 0 for the sign tests, and passes the
// test for arguments above 1.
INSTANTIATE_TEST_SUITE_P(
    NotANumber, Faults,
    testing::Values(FaultCase{"asin(2)", 16, 5}, FaultCase{"1/asin(-2)", 12, 2},
                    FaultCase{"asin(-2)/asin(-2)", 13, 8}, FaultCase{"0/asin(-2)", 13, 1},
                    FaultCase{"asin(-2)^0", 13, 8}, FaultCase{"ln(asin(-2))", 14, 3},
                    FaultCase{"sqrt(asin(-2))", 14, 5}, FaultCase{"!(asin(-2))", 14, 2},
                    FaultCase{"tg(asin(-2))", 15, 3}, FaultCase{"ctg(asin(-2))", 15, 4},
                    FaultCase{"tg(exp(1000))", 15, 3}));

TEST(Evaluator, NanPassesTheAboveOneTest) {
    const Outcome o = Eval("asin(asin(-2))");
    EXPECT_EQ(o.code, 0);
    EXPECT_TRUE(std::isnan(o.value));
}

TEST(Evaluator, NonZeroCodeOnEntryChangesNothing) {
    int code = 3, position = 42;
    EXPECT_EQ(EvaluateExpression("1+1", code, position, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(position, 42);
}

TEST(Evaluator, PositionOffsetIsAdded) {
    int code = 0, position = 0;
    EvaluateExpression("1/0", code, position, 0, nullptr, nullptr, 10);
    EXPECT_EQ(code, 12);
    EXPECT_EQ(position, 12);
}

TEST(Evaluator, Variables) {
    const Vars vars{{"x", "sin", "x", "5", "0"}, {2, 5, 9, 50, 100}};
    EXPECT_EQ(Eval("x", vars).value, 2);
    EXPECT_EQ(Eval("sin", vars).value, 5);
    EXPECT_EQ(Bits(Eval("sin(x)", vars).value), Bits(std::sin(2.0)));
    EXPECT_EQ(Eval("x(3)", vars).code, 6);
    EXPECT_EQ(Eval("x(3)", vars).position, 0);
    // A variable named like a number is read in place of it, the "0" of a leading sign too.
    EXPECT_EQ(Eval("5+1", vars).value, 51);
    EXPECT_EQ(Eval("-1", vars).value, 99);
    // A variable named like a constant is never read.
    const Vars pi{{"pi"}, {1}};
    EXPECT_EQ(Bits(Eval("pi", pi).value), Bits(kPi));
    // Names are compared exactly.
    const Vars upper{{"X"}, {1}};
    EXPECT_EQ(Eval("x", upper).code, 3);
}

struct FloatFaultCase {
    const char *text;
    FloatFault::Kind kind;
};

class FloatFaults : public testing::TestWithParam<FloatFaultCase> {};

TEST_P(FloatFaults, Throw) {
    const FloatFaultCase &c = GetParam();
    try {
        Eval(c.text);
        ADD_FAILURE() << c.text << " did not throw";
    } catch (const FloatFault &f) {
        EXPECT_EQ(f.kind(), c.kind) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Overflow, FloatFaults,
    testing::Values(FloatFaultCase{"!(1755)", FloatFault::Kind::Overflow},
                    FloatFaultCase{"!(100000)", FloatFault::Kind::Overflow},
                    FloatFaultCase{"!(exp(1000))", FloatFault::Kind::Overflow},
                    FloatFaultCase{"sin(!(200))", FloatFault::Kind::Overflow},
                    FloatFaultCase{"!(200)^2", FloatFault::Kind::Overflow},
                    FloatFaultCase{"2^!(200)", FloatFault::Kind::Overflow},
                    FloatFaultCase{"!(1000)*!(1000)", FloatFault::Kind::Overflow},
                    FloatFaultCase{"!(1754)+!(1754)*1000", FloatFault::Kind::Overflow},
                    FloatFaultCase{"ln(0)-ln(0)", FloatFault::Kind::InvalidOperation},
                    FloatFaultCase{"exp(1000)*0", FloatFault::Kind::InvalidOperation},
                    FloatFaultCase{"exp(1000)/exp(1000)", FloatFault::Kind::InvalidOperation}));

TEST(Evaluator, HugeLiteralIsAFloatFault) {
    EXPECT_THROW(Eval(std::string(6000, '9')), FloatFault);
}

TEST(Evaluator, StructuralFaultOfAnOuterLevelComesFirst) {
    // The right operand's fault is never reached when the left one fails.
    EXPECT_EQ(Eval("1/0+ln(-1)").code, 12);
    // A refused argument is reported before an overflow that comes later.
    EXPECT_EQ(Eval("ln(-1)+!(2000)").code, 14);
}

TEST(Evaluator, CommaSeparator) {
    test::SeparatorScope comma(',');
    EXPECT_EQ(Bits(Eval("2,5").value), Bits(2.5L));
    EXPECT_EQ(Eval("2.5").code, 3);
    EXPECT_EQ(Eval("2.5").position, 1);
    EXPECT_EQ(Eval(",").code, 3);
    EXPECT_EQ(Eval("1,2,3").code, 8);
    EXPECT_EQ(Eval("1,2,3").position, 3);
}

} // namespace
} // namespace ziffa

namespace ziffa {
namespace {

// Deep nesting and long chains end in a value or a clear fault, never in a stack overflow.
TEST(Evaluator, DeepTextsDoNotCrash) {
    const std::string nested = std::string(6000, '(') + "1" + std::string(6000, ')');
    const Outcome n = Eval(nested);
    EXPECT_TRUE(n.code == 7 || (n.code == 0 && n.value == 1)) << n.code;
    std::string chain = "1";
    for (int i = 0; i < 6000; ++i)
        chain += "+1";
    const Outcome c = Eval(chain);
    EXPECT_TRUE(c.code == 7 || (c.code == 0 && c.value == 6001)) << c.code;
}

} // namespace
} // namespace ziffa
