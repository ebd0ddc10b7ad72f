#pragma once

// The power function of "^": the math library's pow of two doubles, with a quicker way to the
// same result for small whole exponents. Shared by the interpreter of compiled programs and, for
// the constants below, by the machine code, which has the same quick way inline. Internal to the
// interpreter library.
//
// Why the quick way gives pow's own result. glibc (2.28 and later) states a worst-case error of
// 0.54 units in the last place for pow. Its result is an approximation of the exact power rounded
// once to nearest: 0.5 of those units is that rounding, and the rest, under 0.04 units, is the
// approximation's error, where a unit is a relative error of 2^-53. So wherever the exact power
// lies farther than 0.04 * 2^-53 of its magnitude from every rounding boundary (the midpoint
// between two neighbouring doubles), the approximation lies on the same side of each boundary as
// the exact power, and pow returns the exact power correctly rounded.
//
// The quick way computes the exact power as a pair h + l (h the product of the doubles, l its
// rounding error, exact by a fused multiply-add, carried from step to step), and takes h when
// |l| + |h| * kPowerMargin still rounds back to h: then the exact power is at least
// kPowerMargin * |h| from every boundary, half as much again as the 0.04 * 2^-53 that is
// needed. It also requires h to lie in [2^-960, 2^1023): normal results far from the underflow
// and the overflow, where each rounding error is itself a double and pow's special paths for
// tiny and huge results don't come in. Every other case calls pow: for random operands about one
// power in ten.

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
