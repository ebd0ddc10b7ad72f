// The compact form of compiled programs: how many bytes a long text's program takes, and the
// parts of the code whose size depends on the text (numbers kept in the code, operands and
// positions of one, two or four bytes, runs of parentheses), each against the reference reading.
#include "Differential.h"
#include "Support.h"

#include "interpreter/NumberText.h"
#include "interpreter/compiled/CompiledExpression.h"

#include <climits>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace ziffa {
namespace {

using reference::Compare;
using reference::Variables;
using test::Bits;

// unit repeated to about length characters, then last.
std::string Repeat(const std::string &unit, std::size_t length, const std::string &last) {
    std::string text;
    text.reserve(length + last.size());
    while (text.size() + unit.size() <= length)
        text += unit;
    return text + last;
}

// The program of a long text takes about the text's length, whatever the text is made of.
TEST(CompiledCode, ProgramOfALongTextTakesAboutItsLength) {
    constexpr std::size_t kLength = 1'000'000;
    std::string decimals;
    for (int i = 0; decimals.size() < kLength; ++i)
        decimals.append("0.").append(std::to_string(100000 + i % 900000)).append("+");
    decimals += "1";
    const struct {
        const char *name;
        std::string text;
        double bytesPerCharacter;
    } cases[] = {
        {"sum of literals", Repeat("1+", kLength, "1"), 1.05},
        {"products of a variable", Repeat("x*x+", kLength, "x"), 1.3},
        {"polynomial", Repeat("x+1.5*x-x*x/2+", kLength, "x"), 1.2},
        {"functions", Repeat("sin(x)*2+sqrt(x)/3-ln(x+1)^2+abs(x)*0.5-exp(1)/7+", kLength, "1"),
         0.85},
        {"distinct decimals", decimals, 0.7},
        {"divisions", Repeat("x/", kLength, "x"), 1.55},
        {"nested parentheses", std::string(kLength, '(') + "7" + std::string(kLength, ')'), 0.0001},
    };
    const std::string names[] = {"x"};
    for (const auto &c : cases) {
        const CompiledExpression program =
            CompileExpression(c.text, 1, names, '.', Execution::Interpreted);
        const double perCharacter =
            static_cast<double>(program.ProgramBytes()) / static_cast<double>(c.text.size());
        EXPECT_LE(perCharacter, c.bytesPerCharacter) << c.name;
        const double x = 1;
        int code = 0, position = 0;
        program.Evaluate(&x, code, position);
        EXPECT_EQ(code, 0) << c.name;
    }
}

// Numbers of up to 32 bits of digits and 27 decimals are kept in the code and divided by their
// power of ten when read: the value is the conversion's, bit for bit, pushed or folded into an
// operation, interpreted or as machine code.
TEST(CompiledCode, NumbersKeptInTheCodeAreTheConversionsValue) {
    std::vector<std::string> numbers = {"0",
                                        "0.0",
                                        "00.00",
                                        "007",
                                        ".5",
                                        "5.",
                                        "0.1",
                                        "0.3",
                                        "1.50",
                                        "255",
                                        "256",
                                        "65535",
                                        "65536",
                                        "4294967295",
                                        "4294967296",
                                        "0004294967295.000",
                                        "429496729.5",
                                        "0.4294967295",
                                        "0.4294967296",
                                        "0.000000000000000000000000001",
                                        "0.0000000000000000000000000001",
                                        "1.000000000000000000000000001",
                                        "0.100000000000000000000000000000",
                                        "123456.789",
                                        "3.141592653589793238"};
    std::mt19937_64 rng(20240611);
    for (int i = 0; i < 20000; ++i) {
        std::string n;
        const int whole = static_cast<int>(rng() % 7), fraction = static_cast<int>(rng() % 14);
        for (int k = 0; k < whole; ++k)
            n += static_cast<char>('0' + rng() % 10);
        if (fraction > 0 || whole == 0)
            n += '.';
        for (int k = 0; k < fraction || n == "."; ++k)
            n += static_cast<char>('0' + (rng() % 3 == 0 ? 0 : rng() % 10));
        numbers.push_back(n);
    }
    const std::string names[] = {"x"};
    const double x = 3;
    for (char separator : {'.', ','}) {
        for (std::string n : numbers) {
            for (char &c : n)
                if (c == '.')
                    c = separator;
            const auto expected = ConvertNumberLiteral(n, separator);
            ASSERT_TRUE(expected) << n;
            for (const std::string &text : {n, "x*" + n, "x-" + n, n + "/x"}) {
                long double want = *expected;
                if (text[0] == 'x')
                    want = text[1] == '*' ? x * want : x - want;
                else if (text != n)
                    want = want / x;
                for (Execution e : {Execution::Interpreted, Execution::Native}) {
                    const CompiledExpression program =
                        CompileExpression(text, 1, names, separator, e);
                    int code = 0, position = 0;
                    const long double value = program.Evaluate(&x, code, position);
                    ASSERT_EQ(code, 0) << text;
                    ASSERT_EQ(Bits(value), Bits(want)) << text;
                }
            }
        }
    }
}

// Operands of one, two and four bytes: more than 256 variables and more than 65,536 constants.
TEST(CompiledCode, ManyVariablesAndConstants) {
    Variables vars;
    for (int i = 0; i < 300; ++i) {
        vars.names.push_back(std::string(1, 'v').append(std::to_string(i)));
        vars.values.push_back(i % 7 == 0 ? 0.0 : 1.0 + i / 8.0);
    }
    const std::vector<std::vector<double>> valueSets = {vars.values};
    for (const char *text : {"v299/v1+v255^v256-v2*v280", "v254/v255/v256/v257", "v7/v300",
                             "v2^v299*v298", "v299/v0", "v1/v0", "v256^v0", "v0^v0", "v0/v299"}) {
        EXPECT_EQ(Compare(text, vars, valueSets), "") << text;
    }

    // Numbers too long for the code are constants, each converted and stored once.
    std::string text;
    std::vector<std::string> numbers;
    for (int i = 0; i < 70000; ++i) {
        numbers.push_back(
            std::string("1.00000000000000000000000").append(std::to_string(100000 + i)));
        text += numbers.back() + "+";
    }
    text += numbers[65537] + "*" + numbers[300];
    long double expected = 0;
    for (const std::string &n : numbers)
        expected += *ConvertNumberLiteral(n, '.');
    expected +=
        *ConvertNumberLiteral(numbers[65537], '.') * *ConvertNumberLiteral(numbers[300], '.');
    const CompiledExpression program = CompileExpression(text, 0, nullptr, '.');
    int code = 0, position = 0;
    EXPECT_EQ(Bits(program.Evaluate(nullptr, code, position)), Bits(expected));
    EXPECT_EQ(code, 0);
}

// Positions are kept as the change from the position before; changes of one, two and four
// bytes, forward and backward, give the reference's faults. A long variable name moves the
// faults far apart without deep recursion in the reference.
TEST(CompiledCode, FaultPositionsFarApart) {
    for (std::size_t length : {1u, 120u, 200u, 40000u, 70000u}) {
        const std::string name(length, 'a');
        Variables vars;
        vars.names = {"x", "y", name};
        const std::vector<std::vector<double>> valueSets = {
            {0, 0, 1}, {2, 0, -1}, {-2, 1, 3}, {1, 1, 0}, {0.5, -1, 2}};
        const std::string texts[] = {
            name + "/x",
            "x/y+" + name + "/x",
            "ln(x+" + name + "/y)",
            "sqrt(y-" + name + ")/x+x^y",
            "x^y+" + name + "^y",
            "asin(" + name + ")/(x*y)",
            "tg(" + name + "*0)/x+" + name + "/y",
            "x/y/" + name + "/(" + name + "-1)/" + name,
            "sin(" + name + ")/y+!(" + name + ")",
            "(1/" + name + ")(x)",
            name + "+x/(" + name + "+)",
        };
        for (const std::string &text : texts)
            EXPECT_EQ(Compare(text, vars, valueSets), "") << length << ": " << text.substr(0, 80);
    }
}

// Runs of "(" take two entries of the compiler's stack; faults inside and around them keep their
// positions, at every depth.
TEST(CompiledCode, RunsOfParentheses) {
    Variables vars;
    vars.names = {"x"};
    const std::vector<std::vector<double>> valueSets = {{0}, {2}};
    const char *const texts[] = {
        "1/x",      "x+",   "()",     "2)(3",    "sin(x)",          "-x", "*x", "1/(x)+(2",
        "(x)(1/x)", "x(1)", "2((x))", "((x)/x)", "(((x+(((1/x)))))"};
    for (const char *inner : texts)
        for (int depth : {1, 2, 3, 7, 40, 300}) {
            const std::string open(static_cast<std::size_t>(depth), '(');
            const std::string close(static_cast<std::size_t>(depth), ')');
            for (const std::string &text :
                 {open + inner + close, "sin" + open + inner + close + "/x",
                  "x-" + open + "(" + inner + ")+" + open + inner + close + close + ")",
                  open + inner + ")" + open + "x" + close + close})
                EXPECT_EQ(Compare(text, vars, valueSets), "") << text;
        }
}

// A single value on the left of an operator is read after the right operand when that is more
// than a value: the order of the faults, their positions and the values stay the reference's.
TEST(CompiledCode, ValuesReadAfterTheRightOperand) {
    Variables vars;
    for (int i = 0; i < 260; ++i)
        vars.names.push_back(std::string(1, 'v').append(std::to_string(i)));
    vars.names.push_back("x");
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::vector<double>> valueSets;
    for (double x : {0.0, -0.0, 1.0, -2.5, 1e308, inf, nan}) {
        std::vector<double> values(260, 0.0);
        for (int i = 1; i < 260; ++i)
            values[static_cast<std::size_t>(i)] = i % 3 == 0 ? x : 1.0 / i;
        values.push_back(x);
        valueSets.push_back(values);
    }
    const char *const texts[] = {"0/(x-x)",
                                 "5/(x-x)",
                                 "0^(x-x)",
                                 "2^(x*x)",
                                 "2-(1/x)",
                                 "x/(1/0)",
                                 "x-(x/x)",
                                 "0.5/(x+1)",
                                 "0.5^(x+1)",
                                 "2.75-(x*x)",
                                 "300/(x+1)",
                                 "300^(x*x)",
                                 "255/(x-1)",
                                 "pi/(x+1)",
                                 "pi-(x*x)",
                                 "v1/(x+1)",
                                 "v255^(x-x)",
                                 "v259/(x*x)",
                                 "v259-(x*x)",
                                 "v3/(v6*x)",
                                 "2-(!(1755))",
                                 "1e/(x)",
                                 "2+(x+(3*(x-1)))",
                                 "(2)/(x*0)",
                                 "-x/(x*x)",
                                 "-(2/(x+x))",
                                 "4*(x^(x-x))",
                                 "x^(0^(x*x))",
                                 "1/(1+1/(1+1/(1+x)))",
                                 "1-(2/(3^(4-(5*(6+(7-x))))))",
                                 "2/(x*x)/(x-x)",
                                 "2/(3/(x-x))",
                                 "0/(0/(x*x))",
                                 "1+x*(2+x*(3+x*(4+x)))",
                                 "3-(x-(x-(x-(x-(x-(x-(x-x)))))))",
                                 "ln(2)-(x*2)",
                                 "0.000000001/(x*x)",
                                 "4294967295-(x*x)",
                                 "4294967296/(x+1)"};
    for (const char *text : texts)
        EXPECT_EQ(Compare(text, vars, valueSets), "") << text;
}

// Positions are ints: a longer text is refused before anything of it is read.
TEST(CompiledCode, TextLongerThanItsPositionsCanIndexIsRefused) {
    const char text[] = "1";
    const std::string_view tooLong(text, static_cast<std::size_t>(INT_MAX) + 1);
    EXPECT_THROW(CompileExpression(tooLong, 0, nullptr, '.'), std::length_error);
}

} // namespace
} // namespace ziffa
