#pragma once

// The power function of "^": the math library's pow of two doubles, with a quicker way to the
// same result for small whole exponents. Used by the interpreter of compiled programs; the
// machine code has the same quick way inline for constant exponents. Internal to the interpreter
// library.
//
// The bound it relies on. glibc (2.28 and later) states a worst-case error of 0.54 units in the
// last place (ULP) for pow, made of two parts: pow computes an approximation of the exact power
// and rounds it once to nearest, which accounts for 0.5 ULP, and the approximation's own error
// accounts for the rest, under 0.04 ULP, where glibc's analysis counts a relative error of 2^-53
// as one ULP. So wherever the exact power lies farther than 0.04 * 2^-53 of its magnitude from
// every rounding boundary (the midpoint between two neighbouring doubles), the approximation lies
// on the same side of every boundary as the exact power, and pow returns the exact power
// correctly rounded.
//
// The quick way. The exact power is carried as a pair h + l: h the product of doubles, l the
// rounding errors, each one exact by a fused multiply-add, and carried on from step to step (the
// only rounding, that of l itself at each step, stays below 2^-40 of the margin below); above the
// square, h becomes h + l rounded and l the exact remainder, so that h is the nearest double. The
// result is h when |h| - (|h| * kPowerMargin + |l|) still rounds to |h|, that is when the exact
// power lies at least kPowerMargin * |h| from every rounding boundary: 2^-57 = 0.0625 * 2^-53,
// over half as much again as the 0.04 * 2^-53 needed. (Rounding down to |h| is the stricter side:
// the doubles below a power of two lie twice as close.) h must also lie in [2^-960, 2^1023): a
// normal result far from the underflow and the overflow, where every rounding error is a double
// itself and pow's special paths for tiny and huge results don't come in. A zero base, exact, gives
// the product of its zeros, the signed zero that pow gives it by the rules of C's Annex F. Every
// other case calls pow: for operands with random mantissas about one power in eleven.

#include <cstdint>

namespace ziffa::compiled {

// The whole exponents that have the quick way.
inline constexpr int kFastExponentLow = 1;
inline constexpr int kFastExponentHigh = 4;

// The least distance from a rounding boundary, as a fraction of the result (2^-53 / 16).
inline constexpr double kPowerMargin = 0x1p-57;

// The results the quick way takes have a biased exponent (the 11 bits of the double) in
// [kFastBiasedLow, kFastBiasedLow + kFastBiasedSpan): magnitudes in [2^-960, 2^1023).
inline constexpr unsigned kFastBiasedLow = 1023 - 960;
inline constexpr unsigned kFastBiasedSpan = (1023 + 1022) - kFastBiasedLow + 1;

// Whether the processor has the fused multiply-add that the quick way needs (on x86-64, FMA3).
bool HasFusedMultiplyAdd() noexcept;

// pow(base, n) for n in [kFastExponentLow, kFastExponentHigh] where the quick way can tell it:
// returns true with the value in result, or false where only pow can tell. Needs
// HasFusedMultiplyAdd().
bool QuickPower(double base, int n, double &result) noexcept;

// Exactly what std::pow(base, exponent) returns, by the quick way where it can tell.
double PowerOfDoubles(double base, double exponent) noexcept;

} // namespace ziffa::compiled
