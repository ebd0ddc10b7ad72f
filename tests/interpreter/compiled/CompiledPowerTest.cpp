// "^" with a small whole exponent takes a quicker way than pow where it can prove pow's result.
// These compare that way, in C++ and in the machine code, with pow itself over many millions of
// random doubles and of doubles chosen where the quick way is most likely to be wrong: squares,
// cubes and fourth powers that are exactly a midpoint between two doubles or next to one, next to
// a power of two, at the edges of the range the quick way takes, and beyond it.
#include "Support.h"

#include "interpreter/compiled/CompiledExpression.h"
#include "interpreter/compiled/CompiledPower.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

// Values per exponent; the sanitizer build runs fewer.
#ifndef ZIFFA_POWER_COUNT
#define ZIFFA_POWER_COUNT 8000000
#endif

namespace ziffa {
namespace {

using compiled::kFastExponentHigh;
using compiled::kFastExponentLow;
using test::Bits;

class PowerOperands {
public:
    PowerOperands(int n, std::uint64_t seed) : n_(n), rng_(seed) {}

    // The next operand, from one of the families in turn.
    double Next() {
        switch (family_++ % kFamilies) {
        case 0: // any bits: every sign, magnitude, infinity and NaN
            return std::bit_cast<double>(rng_());
        case 1:
        case 2: // full mantissas of moderate size, where nearly every power is quick
            return std::ldexp(Mantissa(), Between(-60, 60)) * Sign();
        case 3: // whole numbers whose power has about 54 bits: exact, or exactly a midpoint
            return std::ldexp(static_cast<double>(WholeNear54Bits() + Between(-2, 2)),
                              Between(-200 / n_, 200 / n_)) *
                   Sign();
        case 4: // a few units in the last place from the n-th root of a power of two
            return Nudge(std::ldexp(std::exp2(static_cast<double>(Between(0, n_ - 1)) / n_),
                                    Between(-250 / n_, 250 / n_))) *
                   Sign();
        case 5: // next to the n-th roots of the ends of the quick way's range
            return Nudge(std::exp2((rng_() & 1 ? -960.0 : 1023.0) / n_) *
                         (1 + static_cast<double>(Between(-64, 64)) * 0x1p-40)) *
                   Sign();
        case 6: // the graph's grids and decimal fractions
            return (rng_() & 1) ? -4 + 0.05 * Between(0, 160)
                                : static_cast<double>(Between(-100000, 100000)) / 1000;
        case 7: // tiny and huge
            return std::ldexp(Mantissa(), Between(-1074, 1023)) * Sign();
        default: { // zeros, infinities, a NaN, the ends of the double range and of the quick range
            const double special[] = {0,
                                      std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::denorm_min(),
                                      std::numeric_limits<double>::min(),
                                      std::numeric_limits<double>::max(),
                                      1,
                                      0x1p-960,
                                      0x1p1023,
                                      0x1p-480,
                                      0x1p511};
            const double x = special[Between(0, static_cast<int>(std::size(special)) - 1)];
            return (rng_() & 1 ? x : Nudge(x)) * Sign();
        }
        }
    }

    // Whether the operand made as number family of the sequence has a random mantissa of moderate
    // size.
    static bool Moderate(unsigned family) {
        const unsigned f = family % kFamilies;
        return f == 1 || f == 2;
    }

private:
    static constexpr unsigned kFamilies = 9;

    int Between(int low, int high) {
        return low + static_cast<int>(rng_() % static_cast<std::uint64_t>(high - low + 1));
    }
    double Sign() { return rng_() & 1 ? -1.0 : 1.0; }
    double Mantissa() { return 1 + static_cast<double>(rng_() >> 12) * 0x1p-52; }
    double Nudge(double x) {
        for (int k = Between(-3, 3); k != 0; k += k < 0 ? 1 : -1)
            x = std::nextafter(x, k < 0 ? 0.0 : 1e300);
        return x;
    }
    // A whole number whose n-th power has 53 or 54 significant bits.
    std::int64_t WholeNear54Bits() {
        const double low = std::exp2(52.0 / n_), high = std::exp2(54.0 / n_);
        return static_cast<std::int64_t>(low + static_cast<double>(rng_() >> 11) * 0x1p-53 *
                                                   (high - low));
    }

    int n_;
    std::mt19937_64 rng_;
    unsigned family_ = 0;
};

bool Same(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool Same(long double a, long double b) {
    return std::memcmp(&a, &b, 10) == 0;
}

std::string Hex(double x) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", x);
    return text;
}

// The quick way in C++ (and PowerOfDoubles around it), and in the machine code of "x^n" over the
// same operands, all against pow.
TEST(CompiledPower, QuickWayGivesWhatPowGives) {
    if (!compiled::HasFusedMultiplyAdd())
        GTEST_SKIP() << "no fused multiply-add: pow is always called";
    const std::string names[] = {"x"};
    constexpr std::size_t kBlock = 1 << 16;
    for (int n = kFastExponentLow; n <= kFastExponentHigh; ++n) {
        PowerOperands operands(n, 7001 + static_cast<std::uint64_t>(n));
        const CompiledExpression program = CompileExpression("x^" + std::to_string(n), 1, names);
        std::vector<double> xs(kBlock), expected(kBlock);
        std::vector<long double> results(kBlock);
        long long quick = 0, moderate = 0, moderateQuick = 0, failures = 0;
        unsigned family = 0;
        for (long long done = 0; done < ZIFFA_POWER_COUNT; done += kBlock) {
            for (std::size_t i = 0; i < kBlock; ++i) {
                xs[i] = operands.Next();
                expected[i] = std::pow(xs[i], static_cast<double>(n));
            }
            for (std::size_t i = 0; i < kBlock; ++i, ++family) {
                double r = 0;
                const bool isQuick = compiled::QuickPower(xs[i], n, r);
                quick += isQuick;
                if (PowerOperands::Moderate(family)) {
                    ++moderate;
                    moderateQuick += isQuick;
                }
                const double viaFunction = compiled::PowerOfDoubles(xs[i], n);
                if ((isQuick && !Same(r, expected[i])) || !Same(viaFunction, expected[i])) {
                    ADD_FAILURE() << Hex(xs[i]) << "^" << n << ": pow " << Hex(expected[i])
                                  << ", quick " << (isQuick ? Hex(r) : "none") << ", function "
                                  << Hex(viaFunction);
                    if (++failures > 10)
                        return;
                }
            }
            // The machine code over the block: where it stops (a variable that is not finite),
            // the point is evaluated on its own.
            for (std::size_t i = 0; i < kBlock;) {
                const std::size_t stop =
                    i + program.EvaluateMany(xs.data() + i, 1, kBlock - i, results.data() + i);
                if (stop < kBlock) {
                    int code = 0, position = 0;
                    results[stop] = program.Evaluate(&xs[stop], code, position);
                    ASSERT_EQ(code, 0) << Hex(xs[stop]);
                }
                for (; i <= stop && i < kBlock; ++i)
                    if (!Same(results[i], static_cast<long double>(expected[i]))) {
                        ADD_FAILURE() << "machine code: " << Hex(xs[i]) << "^" << n << ": pow "
                                      << Hex(expected[i]) << ", machine code " << Bits(results[i]);
                        if (++failures > 10)
                            return;
                    }
            }
        }
        // A quick way that gave up everywhere would be no faster than pow.
        EXPECT_GT(static_cast<double>(moderateQuick) / static_cast<double>(moderate), 0.85)
            << "n = " << n;
        // The shares of quick powers, in the test report.
        RecordProperty("quick" + std::to_string(n), std::to_string(quick));
        RecordProperty(
            "moderateQuickShare" + std::to_string(n),
            std::to_string(static_cast<double>(moderateQuick) / static_cast<double>(moderate)));
    }
}

// The machine code's call of pow, where the quick way can't tell, must keep the values held in
// registers around it, and the quick way must keep the order and the checks of the operators
// around it. The bases here are exactly midpoints or infinities, so pow is called.
TEST(CompiledPower, PowCalledWithValuesHeldAround) {
    const std::string names[] = {"x", "y"};
    const double midpointSquare = 134217727; // 2^27 - 1: its square has 54 bits, the last one 1
    const double midpointCube = 262143;      // 2^18 - 1: its cube has 54 bits, the last one 1
    struct Case {
        const char *text;
        long double (*value)(double x, double y);
    };
    const Case cases[] = {
        {"(y+0.5)*x^2", [](double x, double y) { return (y + 0.5L) * std::pow(x, 2.0); }},
        {"y-(y*3-(y+1)*x^3)",
         [](double x, double y) {
             return y - (y * 3.0L - (y + 1.0L) * static_cast<long double>(std::pow(x, 3.0)));
         }},
        {"(x^2)^2+(y*2)^4",
         [](double x, double y) {
             return static_cast<long double>(std::pow(std::pow(x, 2.0), 2.0)) +
                    static_cast<long double>(std::pow(y * 2.0, 4.0));
         }},
        {"x^1*y^3", [](double x, double y) {
             return static_cast<long double>(std::pow(x, 1.0)) *
                    static_cast<long double>(std::pow(y, 3.0));
         }}};
    for (const Case &c : cases)
        for (Execution e : {Execution::Native, Execution::Interpreted}) {
            const CompiledExpression program = CompileExpression(c.text, 2, names, '.', e);
            for (double x : {midpointSquare, midpointCube, -midpointCube, 1.5, 0x1p-500})
                for (double y : {midpointCube, -midpointSquare, 0.1, 3.0}) {
                    const double values[] = {x, y};
                    int code = 0, position = 0;
                    const long double v = program.Evaluate(values, code, position);
                    EXPECT_EQ(code, 0);
                    EXPECT_EQ(Bits(v), Bits(c.value(x, y)))
                        << c.text << " x=" << Hex(x) << " y=" << Hex(y)
                        << (e == Execution::Native ? " (machine code)" : " (interpreter)");
                }
        }
}

} // namespace
} // namespace ziffa
