// The compiled form against the recursive reference evaluator on random expressions: well-formed
// and broken, with and without variables, under both decimal separators, biased toward the cases
// where the rules are subtle (signs, separators, empty parentheses, functions, unbalanced
// parentheses, zero divisions, infinities and NaNs, overflow). The seed is fixed.
#include "Differential.h"
#include "Support.h"

#include "interpreter/ExpressionText.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

#ifndef ZIFFA_DIFFERENTIAL_COUNT
#define ZIFFA_DIFFERENTIAL_COUNT 200000
#endif

namespace ziffa {
namespace {

using reference::Variables;

class ExpressionGenerator {
public:
    explicit ExpressionGenerator(std::uint64_t seed) : rng_(seed) {}

    int Below(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

    template <std::size_t N> const char *Pick(const char *const (&list)[N]) {
        return list[Below(static_cast<int>(N))];
    }

    // A text that follows the grammar, up to depth levels deep.
    std::string Expression(int depth) {
        const int kind = depth <= 0 ? Below(4) : Below(16);
        switch (kind) {
        case 0:
            return Number();
        case 1:
            return Name();
        case 2:
            return Pick(kProducers);
        case 3:
            return Chance(10) ? std::string() : Number();
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
            return Expression(depth - 1) + Operator() + Expression(depth - 1);
        case 9:
            return std::string(1, "+-"[Below(2)]) + Expression(depth - 1);
        case 10:
        case 11:
            return Pick(kFunctions) + Parenthesised(Expression(depth - 1));
        case 12:
        case 13:
            return Parenthesised(Expression(depth - 1));
        case 14:
            // Operators next to each other, and signs after operators.
            return Expression(depth - 1) + Operator() + Operator() + Expression(depth - 1);
        default:
            return Expression(depth - 1) + Operator() + Parenthesised(Expression(depth - 1));
        }
    }

    // Breaks a text at random: inserts, deletes or doubles characters.
    std::string Mutate(std::string text) {
        const int edits = 1 + Below(3);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at =
                text.empty() ? 0
                             : static_cast<std::size_t>(Below(static_cast<int>(text.size()) + 1));
            switch (Below(3)) {
            case 0:
                text.insert(at, 1, "()+-*/^.,x0a1"[Below(13)]);
                break;
            case 1:
                if (at < text.size())
                    text.erase(at, 1);
                break;
            default:
                if (at < text.size())
                    text.insert(at, text.substr(at, static_cast<std::size_t>(1 + Below(4))));
                break;
            }
        }
        return text;
    }

    Variables MakeVariables() {
        static const char *const kNames[] = {"x",  "y", "sin", "0", "5", "pi",  "x",
                                             "e1", "a", "12",  "r", ".", "1.5", ""};
        Variables vars;
        const int count = Chance(30) ? 0 : 1 + Below(5);
        for (int i = 0; i < count; ++i) {
            std::string name = kNames[Below(static_cast<int>(std::size(kNames)))];
            if (name == "1.5")
                name[1] = ExprDecimalSeparator;
            vars.names.push_back(name);
        }
        vars.values = Values(count);
        return vars;
    }

    std::vector<double> Values(int count) {
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // 134217727 and 262143 have a square and a cube exactly halfway between two doubles.
        const double kValues[] = {0,    -0.0, 1,    -1,        2.5,    1e308,  -1e308,  5e-324,
                                  nan,  inf,  -inf, 0.5,       3,      1755,   200,     1e300,
                                  2,    3.7,  -2.5, 1e-5,      0.125,  1e154,  4.5e307, -3,
                                  -0.5, 0.1,  -1.1, 134217727, 262143, -262143};
        std::vector<double> values;
        for (int i = 0; i < count; ++i)
            values.push_back(Chance(70) ? kValues[Below(static_cast<int>(std::size(kValues)))]
                                        : (static_cast<double>(Below(2000)) - 1000) / 64);
        return values;
    }

private:
    std::string Number() {
        static const char *const kNumbers[] = {"0",
                                               "1",
                                               "2",
                                               "3",
                                               "10",
                                               "0.5",
                                               ".5",
                                               "5.",
                                               "3.7",
                                               "1755",
                                               "1754",
                                               "200",
                                               "171",
                                               "1e5",
                                               "1..2",
                                               "1.2.3",
                                               "007",
                                               "0.0",
                                               "123456789012345678901234567890",
                                               "0.1",
                                               "4",
                                               "9999999999999999999",
                                               "1.",
                                               "."};
        if (Chance(1))
            return std::string(5000, '9'); // beyond the range of long double
        if (Chance(1))
            return std::string(1, '0') + ExprDecimalSeparator + std::string(5000, '0') +
                   '1'; // below it
        std::string n = kNumbers[Below(static_cast<int>(std::size(kNumbers)))];
        for (char &c : n)
            if (c == '.')
                c = ExprDecimalSeparator;
        return n;
    }

    std::string Name() {
        static const char *const kNameTexts[] = {"x", "y",   "pi", "e",   "h", "k", "R",
                                                 "r", "sin", "z",  "xyz", "0", "5", "12"};
        return Pick(kNameTexts);
    }

    static std::string Parenthesised(const std::string &inner) {
        std::string out(1, '(');
        out.append(inner);
        out.push_back(')');
        return out;
    }

    std::string Operator() { return std::string(1, "+-*/^"[Below(5)]); }

    static constexpr const char *kFunctions[] = {
        "sin", "cos",  "asin", "acos", "abs", "exp", "ln", "log10", "!", "tg",
        "ctg", "sqrt", "sin",  "ln",   "!",   "",    "",   "xyz",   "2", "pi"};
    // Texts that make infinities, NaNs, overflow and the refused arguments.
    static constexpr const char *kProducers[] = {"ln(0)",
                                                 "asin(2)",
                                                 "asin(-2)",
                                                 "acos(-2)",
                                                 "!(1755)",
                                                 "!(200)",
                                                 "exp(1000)",
                                                 "exp(-1000)",
                                                 "0^(-1)",
                                                 "(-8)^(1/3)",
                                                 "1/0",
                                                 "0/0",
                                                 "0^0",
                                                 "tg(pi/2)",
                                                 "ctg(0)",
                                                 "sqrt(-0)",
                                                 "!(1000)*!(1000)",
                                                 "exp(1000)-exp(1000)",
                                                 "0*exp(1000)",
                                                 "x/0",
                                                 "!(x)",
                                                 "ln(x)",
                                                 "exp(x)",
                                                 "sin(!(200))",
                                                 "!(1754)*10",
                                                 "exp(710)/exp(710)",
                                                 "1/ln(0)",
                                                 "exp(-ln(0))",
                                                 "x^y",
                                                 "(!(1754)*10)^0",
                                                 "ln(-1)",
                                                 "sqrt(x)",
                                                 "acos(x)",
                                                 "tg(x)",
                                                 "log10(0)",
                                                 "(x*0)/(y*0)",
                                                 "x^2",
                                                 "y^3",
                                                 "(x*y)^4",
                                                 "x^2^2"};

    std::mt19937_64 rng_;
};

TEST(CompiledDifferential, AgreesWithTheReferenceOnRandomExpressions) {
    ExpressionGenerator gen(20260601);
    int compared = 0, skipped = 0, failures = 0;
    for (int n = 0; n < ZIFFA_DIFFERENTIAL_COUNT; ++n) {
        test::SeparatorScope separator(gen.Chance(25) ? ',' : '.');
        std::string text = gen.Expression(1 + gen.Below(5));
        if (gen.Chance(30))
            text = gen.Mutate(text);
        const Variables vars = gen.MakeVariables();
        const std::vector<std::vector<double>> valueSets = {
            vars.values, gen.Values(static_cast<int>(vars.names.size()))};
        bool wasSkipped = false;
        // Machine code for one text in four: its set-up takes system calls, which cost more
        // here than all the rest; the interpreter runs every text.
        const std::string difference =
            reference::Compare(text, vars, valueSets, &wasSkipped, n % 4 == 0);
        skipped += wasSkipped;
        ++compared;
        if (!difference.empty()) {
            ADD_FAILURE() << difference;
            if (++failures >= 20)
                break;
        }
    }
    EXPECT_GE(compared, ZIFFA_DIFFERENTIAL_COUNT);
    EXPECT_LT(skipped, compared / 100);
}

} // namespace
} // namespace ziffa
