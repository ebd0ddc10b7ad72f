#pragma once

#include "interpreter/FaultCode.h"

#include <array>
#include <optional>
#include <string_view>

namespace ziffa {

// The twelve built-in functions, in the order in which their names are tried.
inline constexpr std::array<std::string_view, 12> FunctionTable = {
    "sin", "cos", "asin", "acos", "abs", "exp", "ln", "log10", "!", "tg", "ctg", "sqrt"};

// The functions by their indexes into FunctionTable.
enum class Function {
    Sine,
    Cosine,
    Arcsine,
    Arccosine,
    Absolute,
    Exponential,
    Logarithm,
    Logarithm10,
    Factorial,
    Tangent,
    Cotangent,
    SquareRoot,
};

struct Constant {
    std::string_view name;
    double value;
};

// The five named constants, in lookup order. Names are compared exactly (case-sensitive).
inline constexpr std::array<Constant, 5> ConstantTable = {{
    {"pi", 3.141592653589793},
    {"e", 2.71828182845905},
    {"h", 6.626076e-34},
    {"k", 1.380651e-23},
    {"R", 10973731.53},
}};

// The message of every error code 0..16, as Windows-1250 text.
extern const std::array<std::string_view, 17> ErrorMessageTable;

// The message for a code, or the message of code 7 for a code outside 0..16.
std::string_view ErrorMessage(int code);

// The value of the constant whose name equals the whole text, if any.
std::optional<double> LookupConstant(std::string_view text);

// Index into FunctionTable of the function whose name equals the text, if any.
std::optional<int> LookupFunction(std::string_view name);

// Applies the function FunctionTable[index] to an evaluated argument. On a refused argument sets
// errorCode to 14, 15 or 16 and returns 0. Throws FloatFault when the argument can't be rounded
// to double or the factorial overflows.
long double ApplyFunction(int index, long double argument, int &errorCode);

// Rounds a value to double, throwing FloatFault when a finite value overflows the double range.
double RoundToDouble(long double value);

// The evaluator's arithmetic, checked: each throws FloatFault on overflow or an invalid operation.
long double CheckedAdd(long double a, long double b);
long double CheckedSubtract(long double a, long double b);
long double CheckedMultiply(long double a, long double b);
long double CheckedDivide(long double a, long double b);

// The comparisons with zero as the evaluator makes them: a NaN counts as equal to 0 and as below 0.
inline bool EqualsZero(long double v) {
    return v == 0 || v != v;
}
inline bool BelowZero(long double v) {
    return v < 0 || v != v;
}
inline bool AboveOne(long double v) {
    return v > 1;
}

} // namespace ziffa
