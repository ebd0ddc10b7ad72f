#include "interpreter/compiled/CompiledPower.h"

#include <cmath>
#include <cstring>

namespace ziffa::compiled {

namespace {

#if defined(__x86_64__) || defined(__i386__)
#define ZIFFA_FMA_TARGET [[gnu::target("fma")]]
#else
#define ZIFFA_FMA_TARGET
#endif

// The quick way of QuickPower, compiled with the fused multiply-add instructions.
ZIFFA_FMA_TARGET bool QuickPowerFma(double x, int n, double &result) noexcept {
    // x^k = h + l exactly, but for the rounding of l, which is far below what the test needs.
    double h = x, l = 0;
    for (int k = 1; k < n; ++k) {
        const double product = h * x;
        l = __builtin_fma(l, x, __builtin_fma(h, x, -product));
        h = product;
    }
    // For a zero base, the product is the zero pow gives: -0 for -0 and an odd exponent, +0
    // otherwise (the sum below would lose its sign).
    const double product = h;
    if (n > 2) {
        // h is the product of rounded products and may be a unit off: h + l rounded, and what
        // that rounding left out, exactly (|l| is far below |h|).
        const double sum = h + l;
        l -= sum - h;
        h = sum;
    }
    std::uint64_t bits;
    std::memcpy(&bits, &h, sizeof bits);
    const auto biased = static_cast<unsigned>(bits >> 52) & 0x7FF;
    if (biased - kFastBiasedLow >= kFastBiasedSpan) {
        if (x == 0) {
            result = product;
            return true;
        }
        return false;
    }
    // The exact power and a margin on its side of h must still round to h: h - reach rounds back
    // to h only while reach is below half the spacing of the doubles under h, which is never
    // more than the spacing above it.
    const double magnitude = std::fabs(h);
    const double reach = __builtin_fma(magnitude, kPowerMargin, std::fabs(l));
    if (magnitude - reach != magnitude)
        return false;
    result = h;
    return true;
}

} // namespace

bool HasFusedMultiplyAdd() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("fma") != 0;
    }();
    return has;
#elif defined(FP_FAST_FMA)
    return true;
#else
    return false;
#endif
}

bool QuickPower(double base, int n, double &result) noexcept {
    return QuickPowerFma(base, n, result);
}

double PowerOfDoubles(double base, double exponent) noexcept {
    if (exponent >= kFastExponentLow && exponent <= kFastExponentHigh && HasFusedMultiplyAdd()) {
        const int n = static_cast<int>(exponent);
        double result;
        if (n == exponent && QuickPowerFma(base, n, result))
            return result;
    }
    return std::pow(base, exponent);
}

} // namespace ziffa::compiled
