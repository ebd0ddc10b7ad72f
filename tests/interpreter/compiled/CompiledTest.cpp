#include "Support.h"

#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"
#include "interpreter/compiled/CompiledExpression.h"

#include "ReferenceEvaluator.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace ziffa {
namespace {

using test::Bits;

struct Result {
    long double value = 0;
    int code = 0;
    int position = -1;
    int fault = -1; // FloatFault kind, or -1
};

Result RunProgram(const CompiledExpression &program, const std::vector<double> &values) {
    Result r;
    try {
        r.value = program.Evaluate(values.data(), r.code, r.position);
    } catch (const FloatFault &f) {
        r.fault = static_cast<int>(f.kind());
    }
    return r;
}

// The same text in both forms, with the same variables.
std::vector<Result> RunBoth(const std::string &text, const std::vector<std::string> &names,
                            const std::vector<double> &values) {
    std::vector<Result> out;
    for (Execution e : {Execution::Native, Execution::Interpreted})
        out.push_back(RunProgram(
            CompileExpression(text, static_cast<int>(names.size()), names.data(), '.', e), values));
    return out;
}

struct Case {
    const char *text;
    int code;
    int position;
    long double value; // when code is 0
};

class Faults : public testing::TestWithParam<Case> {};

// The order of faults: structure of a level before its operands, left before right, a function's
// argument before its name, arithmetic checks last.
TEST_P(Faults, SameInBothForms) {
    const Case &c = GetParam();
    const std::vector<std::string> names = {"x", "sin"};
    const std::vector<double> values = {2, 5};
    for (const Result &r : RunBoth(c.text, names, values)) {
        EXPECT_EQ(r.fault, -1) << c.text;
        EXPECT_EQ(r.code, c.code) << c.text;
        EXPECT_EQ(r.position, c.code ? c.position : -1) << c.text;
        if (c.code == 0) {
            EXPECT_EQ(Bits(r.value), Bits(c.value)) << c.text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Order, Faults,
    testing::Values(Case{"", 10, 0, 0}, Case{".", 3, 0, 0}, Case{"()", 10, 1, 0},
                    Case{"sin()", 10, 4, 0}, Case{"xyz(1/0)", 12, 6, 0}, Case{"2(1/0)", 12, 4, 0},
                    Case{"(1/0)+", 9, 6, 0}, Case{"1/0+2*", 12, 2, 0}, Case{"1/0++2", 9, 4, 0},
                    Case{"(2)(1/0)", 11, 3, 0}, Case{"2*-3", 9, 2, 0}, Case{"*+3", 5, 0, 0},
                    Case{"(2+3", 1, 4, 0}, Case{"(1))(", 2, 3, 0}, Case{"1+sin(2)/0", 12, 9, 0},
                    Case{"0/0", 13, 1, 0}, Case{"x^0*0^0", 13, 5, 0}, Case{"ln(-1)+1/0", 14, 3, 0},
                    Case{"1/0+ln(-1)", 12, 2, 0}, Case{"asin(1+x)", 16, 5, 0},
                    Case{"ctg(0)", 15, 4, 0}, Case{"x(3)", 6, 0, 0}, Case{"1.2.3", 8, 3, 0},
                    Case{"-x", 0, 0, -2}, Case{"sin", 0, 0, 5}, Case{"sin(0)", 0, 0, 0},
                    Case{"2^3^2", 0, 0, 64}, Case{"1-(2-(3-(4-(5-(6-x)))))", 0, 0, -1},
                    Case{"1-(2-(3-(4-(5-sin(0)))))", 0, 0, 3}));

// A leading sign reads the text "0" like any operand, and a variable named like a number is read
// in its place.
TEST(Compiled, VariablesNamedLikeNumbers) {
    const std::vector<std::string> names = {"0", "5"};
    const std::vector<double> values = {7, 11};
    const Case cases[] = {{"-1", 0, 0, 6}, {"+1", 0, 0, 8},         {"5", 0, 0, 11},
                          {"5.", 0, 0, 5}, {"1/0", 0, 0, 1.0L / 7}, {"0.0/0.0", 13, 3, 0}};
    for (const Case &c : cases)
        for (const Result &r : RunBoth(c.text, names, values)) {
            EXPECT_EQ(r.code, c.code) << c.text;
            EXPECT_EQ(r.position, c.code ? c.position : -1) << c.text;
            EXPECT_EQ(Bits(r.value), Bits(c.value)) << c.text;
        }
}

// An overflow or invalid operation comes first wherever it happens before another fault, and
// also where its infinity or NaN vanishes afterwards.
TEST(Compiled, FloatFaultsComeInTheirPlace) {
    const std::string tooLarge(5000, '9');
    const struct {
        const char *text;
        FloatFault::Kind kind;
    } cases[] = {
        {"!(1000)*!(1000)+xyz(1)", FloatFault::Kind::Overflow},
        {"(!(1000)*!(1000))/0", FloatFault::Kind::Overflow},
        {"exp(1000)-exp(1000)+1/0", FloatFault::Kind::InvalidOperation},
        {"(!(1754)*100)^0", FloatFault::Kind::Overflow},
        {"1/(!(1754)*100)", FloatFault::Kind::Overflow},
        {"exp(-(!(1754)*100))", FloatFault::Kind::Overflow},
        {"sin(!(200))", FloatFault::Kind::Overflow},
        {"(0*exp(1000))^0", FloatFault::Kind::InvalidOperation},
        {"1+(!(1754)*100)*0+ctg(0)", FloatFault::Kind::Overflow},
        {"2+tg(!(1754)*100-!(1754)*100)", FloatFault::Kind::Overflow},
        {tooLarge.c_str(), FloatFault::Kind::Overflow},
    };
    for (const auto &c : cases) {
        int code = 0, position = -1;
        EXPECT_THROW(reference::EvaluateExpression(c.text, code, position, 0, nullptr, nullptr),
                     FloatFault)
            << c.text;
        for (const Result &r : RunBoth(c.text, {}, {}))
            EXPECT_EQ(r.fault, static_cast<int>(c.kind)) << c.text;
    }
}

TEST(Compiled, InfinitiesAndNaNsOfTheMathLibraryPassSilently) {
    for (const char *text : {"ln(0)", "exp(1000)", "asin(-2)", "0^(-1)", "1/ln(0)", "-ln(0)*2"}) {
        int code = 0, position = -1;
        const long double expected =
            reference::EvaluateExpression(text, code, position, 0, nullptr, nullptr);
        for (const Result &r : RunBoth(text, {}, {})) {
            EXPECT_EQ(r.code, 0) << text;
            EXPECT_EQ(r.fault, -1) << text;
            EXPECT_EQ(Bits(r.value), Bits(expected)) << text;
        }
    }
}

// Variables bind when the text is compiled; one program serves every set of values.
TEST(Compiled, OneProgramManyValues) {
    const std::vector<std::string> names = {"x", "y"};
    const CompiledExpression program = CompileExpression("sin(x)*cos(y)+x/y", 2, names.data());
    for (double x = -3; x <= 3; x += 0.75)
        for (double y = -2; y <= 2; y += 0.5) {
            const std::vector<double> values = {x, y};
            int code = 0, position = -1;
            const long double expected = reference::EvaluateExpression(
                "sin(x)*cos(y)+x/y", code, position, 2, values.data(), names.data());
            const Result r = RunProgram(program, values);
            EXPECT_EQ(r.code, code);
            EXPECT_EQ(r.position, position);
            EXPECT_EQ(Bits(r.value), Bits(expected));
        }
}

TEST(Compiled, OutputsStayWhenTheCodeIsSetOnEntry) {
    const CompiledExpression program = CompileExpression("1/0", 0, nullptr);
    int code = 4, position = 9;
    EXPECT_EQ(program.Evaluate(nullptr, code, position), 0);
    EXPECT_EQ(code, 4);
    EXPECT_EQ(position, 9);
    const CompiledExpression empty;
    code = 0;
    empty.Evaluate(nullptr, code, position);
    EXPECT_EQ(code, 10);
    EXPECT_EQ(position, 0);
}

TEST(Compiled, EvaluateExpressionAddsThePositionOffset) {
    int code = 0, position = -1;
    EvaluateExpression("(2+3", code, position, 0, nullptr, nullptr, 10);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(position, 14);
}

#if defined(__x86_64__) && defined(__linux__)
TEST(Compiled, MachineCodeWhereThePlatformAllowsIt) {
    const std::string names[] = {"x", "y"};
    EXPECT_TRUE(CompileExpression("sin(x)*cos(y)", 2, names).IsNative());
    EXPECT_FALSE(
        CompileExpression("sin(x)*cos(y)", 2, names, '.', Execution::Interpreted).IsNative());
    // Too deep for the x87 registers: interpreted, with the same results.
    EXPECT_FALSE(
        CompileExpression("x*y-(x*y-(x*y-(x*y-(x*y-(x*y-(x*y-x))))))", 2, names).IsNative());
    // A chain to the right whose left operands are single values holds none of them.
    EXPECT_TRUE(CompileExpression("1-(2/(3^(4-(5*(6+(7-x))))))", 2, names).IsNative());
    EXPECT_TRUE(CompileExpression("1+x*(2+x*(3+x*(4+x*(5+x*(6+x*(7+x))))))", 2, names).IsNative());
}

// Machine code is made up to a size: a long program full of checks and calls is interpreted,
// with the same results.
TEST(Compiled, MachineCodeOfBoundedSize) {
    // Both below the most instructions machine code takes, the first with about 120 bytes of
    // code for each check.
    std::string checks, products;
    for (int i = 0; i < 3000; ++i)
        checks += "sqrt(x)/x+";
    for (int i = 0; i < 5000; ++i)
        products += "x*x+";
    checks += "1";
    products += "1";
    const std::string names[] = {"x"};
    EXPECT_FALSE(CompileExpression(checks, 1, names).IsNative());
    EXPECT_TRUE(CompileExpression(products, 1, names).IsNative());
    for (const std::string &text : {checks, products})
        for (double x : {2.0, 0.0, -1.0}) {
            const std::vector<Result> r = RunBoth(text, {"x"}, {x});
            EXPECT_EQ(r[0].code, r[1].code);
            EXPECT_EQ(r[0].position, r[1].position);
            EXPECT_EQ(Bits(r[0].value), Bits(r[1].value));
        }
}

// How often the eight bytes occur in the process's readable mappings that are executable, and in
// those that are neither executable nor writable and belong to no file.
struct Occurrences {
    int executable = 0;
    int readOnlyAnonymous = 0;
};

Occurrences FindInMappings(const unsigned char (&bytes)[8]) {
    Occurrences found;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::string range, permissions, offset, device, inode, path;
        fields >> range >> permissions >> offset >> device >> inode >> path;
        const bool executable = permissions[2] == 'x';
        const bool readOnlyAnonymous = permissions.substr(0, 3) == "r--" && path.empty();
        if (permissions[0] != 'r' || (!executable && !readOnlyAnonymous))
            continue;
        const std::size_t dash = range.find('-');
        const auto begin = std::stoull(range.substr(0, dash), nullptr, 16);
        const auto end = std::stoull(range.substr(dash + 1), nullptr, 16);
        const auto *first = reinterpret_cast<const unsigned char *>(begin);
        const auto *last = reinterpret_cast<const unsigned char *>(end);
        for (const unsigned char *at = first; at + 8 <= last; ++at)
            if (at[0] == bytes[0] && std::memcmp(at, bytes, 8) == 0)
                ++(executable ? found.executable : found.readOnlyAnonymous);
    }
    return found;
}

// The numbers of the text are data: they live in a page of their own that is readable only, not
// in the code's executable page.
TEST(Compiled, ConstantsAreNotInExecutableMemory) {
    // A whole number of 53 significant bits, a double exactly, made at run time so that its bits
    // appear in no instruction of this program.
    const long long whole = (1LL << 52) + 2 * (std::rand() % 100000) + 123456789;
    const std::string number = std::to_string(whole);
    const auto value = static_cast<double>(whole);
    unsigned char bytes[8];
    std::memcpy(bytes, &value, sizeof bytes);
    const std::string names[] = {"x"};
    const Occurrences before = FindInMappings(bytes);
    const CompiledExpression program = CompileExpression("x*" + number, 1, names, '.');
    ASSERT_TRUE(program.IsNative());
    const Occurrences after = FindInMappings(bytes);
    EXPECT_EQ(after.executable, 0);
    EXPECT_EQ(after.readOnlyAnonymous, before.readOnlyAnonymous + 1);
    const double x = 2;
    int code = 0, position = 0;
    EXPECT_EQ(program.Evaluate(&x, code, position), 2 * static_cast<long double>(value));
}
#endif

// Many hoisted calls, and calls with values held in registers around them.
TEST(Compiled, ManyCallsAgreeWithTheInterpreter) {
    std::string text = "1";
    for (int i = 0; i < 100; ++i)
        text += i % 3 ? "+sin(x)*cos(" + std::to_string(i) + ")" : "-exp(x)/(2-abs(x))";
    text += "+(1-(2-(3-(4-ln(2+x)))))";
    for (double x : {-1.5, 0.0, 0.25, 3.0}) {
        const std::vector<Result> r = RunBoth(text, {"x"}, {x});
        EXPECT_EQ(r[0].code, r[1].code);
        EXPECT_EQ(Bits(r[0].value), Bits(r[1].value)) << x;
    }
}

// Machine code leaves out the checks that the ranges of the values make needless (every variable
// is finite once checked on entry): texts at the edges of those ranges, against the reference.
TEST(Compiled, ChecksLeftOutOnlyWhereNeedless) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double values[] = {0, -0.0, 1, -1, 0.5, 2, 1e154, 1e308, -1e308, 5e-324, inf, -inf, nan};
    const char *const texts[] = {"(x+y)*(x-y)/(1+x*x)",
                                 "1/(1+x*x)",
                                 "1/(x*x)",
                                 "1/(x-y)",
                                 "x*x*x*x*x*x*x*x*x*x*x*x*x*x*x*x*x",
                                 "((x*x)*(x*x))*((x*x)*(x*x))*((y*y)*(y*y))",
                                 "ln(1+y*y)",
                                 "ln(x*x)",
                                 "ln(abs(x))",
                                 "log10(abs(x)+0)",
                                 "exp(-x*x)",
                                 "exp(x)*exp(x)",
                                 "exp(sin(x))/y",
                                 "sqrt(abs(x))+ln(1+y*y)-exp(-x*x)",
                                 "asin(sin(x))",
                                 "acos(cos(x)*2)",
                                 "asin(x*x)",
                                 "sqrt(x*x)/sqrt(y*y)",
                                 "sqrt(-x*x)",
                                 "!(x*x)",
                                 "tg(x*x*x)",
                                 "x^(y*y)",
                                 "(x*x)^0",
                                 "1/sin(x)",
                                 "1/(2+sin(x))",
                                 "(1+x*x)/(1+y*y)*x*y"};
    const std::vector<std::string> names = {"x", "y"};
    for (const char *text : texts) {
        const CompiledExpression program = CompileExpression(text, 2, names.data());
        for (double x : values)
            for (double y : {1.0, 0.0, 1e308, nan, inf}) {
                const std::vector<double> v = {x, y};
                Result expected;
                try {
                    expected.value = reference::EvaluateExpression(
                        text, expected.code, expected.position, 2, v.data(), names.data());
                } catch (const FloatFault &f) {
                    expected.fault = static_cast<int>(f.kind());
                }
                const Result r = RunProgram(program, v);
                EXPECT_EQ(r.fault, expected.fault) << text << " x=" << x << " y=" << y;
                EXPECT_EQ(r.code, expected.code) << text << " x=" << x << " y=" << y;
                EXPECT_EQ(Bits(r.value), Bits(expected.value)) << text << " x=" << x << " y=" << y;
            }
    }
}

// Many points in one call: each value is the one Evaluate gives, and the call stops at the first
// point that faults or throws, in both forms, with calls (whose registers must survive) and
// without.
TEST(Compiled, ManyPointsStopAtTheFirstFault) {
    const std::vector<std::string> names = {"x", "y"};
    // Three values a point, the third not a variable: the stride need not be the count.
    const std::vector<double> points = {1, 2, 9, -0.5, 4, 9, 0, 3, 9, 2.5, -1, 9, 1e300, 1e300, 9};
    const std::size_t count = points.size() / 3;
    for (const char *text : {"(x+y)*(x-y)/(1+x*x)", "y/x", "sin(x)*cos(y)+ln(y)",
                             "exp(x)*exp(x)*exp(y)^2", "x/y*2^x+1", "x+", "!(x)*y"})
        for (Execution e : {Execution::Native, Execution::Interpreted}) {
            const CompiledExpression program = CompileExpression(text, 2, names.data(), '.', e);
            std::vector<long double> results(count, -1.0L);
            std::size_t first = 0;
            while (first < count) {
                const std::size_t stop =
                    first + program.EvaluateMany(points.data() + 3 * first, 3, count - first,
                                                 results.data() + first);
                ASSERT_LE(stop, count) << text;
                for (std::size_t p = first; p <= stop && p < count; ++p) {
                    const Result r = RunProgram(program, {points[3 * p], points[3 * p + 1]});
                    if (p < stop) {
                        EXPECT_EQ(r.code, 0) << text << " at point " << p;
                        EXPECT_EQ(r.fault, -1) << text << " at point " << p;
                        EXPECT_EQ(Bits(results[p]), Bits(r.value)) << text << " at point " << p;
                    } else {
                        EXPECT_EQ(Bits(results[p]), Bits(-1.0L)) << "not written at the stop";
                    }
                }
                first = stop + 1;
            }
        }
    const CompiledExpression division = CompileExpression("y/x", 2, names.data());
    std::vector<long double> results(count);
    EXPECT_EQ(division.EvaluateMany(points.data(), 3, count, results.data()), 2u) << "x = 0";
    EXPECT_EQ(division.EvaluateMany(points.data(), 3, 0, results.data()), 0u);
    EXPECT_EQ(CompileExpression("x+", 2, names.data())
                  .EvaluateMany(points.data(), 3, count, results.data()),
              0u);
}

// Neither compiling nor evaluating follows the nesting, so no input overflows the stack.
TEST(Compiled, LongAndDeepInput) {
    const std::string nested = std::string(1000000, '(') + "7" + std::string(1000000, ')');
    Result r = RunProgram(CompileExpression(nested, 0, nullptr), {});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.value, 7);

    std::string sum = "1";
    sum.reserve(10000000);
    while (sum.size() < 10000000)
        sum += "+1";
    r = RunProgram(CompileExpression(sum, 0, nullptr), {});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.value, static_cast<long double>((sum.size() + 1) / 2));

    // A chain to the right keeps every value: the interpreter's stack grows on the heap.
    std::string right;
    for (int i = 0; i < 200000; ++i)
        right.append("1-(");
    right.push_back('1');
    right.append(200000, ')');
    r = RunProgram(CompileExpression(right, 0, nullptr), {});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.value, 1);

    const std::string unbalanced = std::string(1000000, '(') + "1";
    r = RunProgram(CompileExpression(unbalanced, 0, nullptr), {});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.position, 1000001);
}

} // namespace
} // namespace ziffa
