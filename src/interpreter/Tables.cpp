#include "interpreter/Tables.h"

#include "interpreter/FloatFault.h"

#include <cfloat>
#include <cmath>
#include <string>

namespace ziffa {

// Windows-1250 bytes: \xB3 l-stroke, \xEA e-ogonek, \xB9 a-ogonek, \xBF z-dot, \x9C s-acute,
// \xF3 o-acute.
const std::array<std::string_view, 17> ErrorMessageTable = {
    "Brak b\xB3\xEA"
    "du",
    "Brak zamkni\xEA"
    "cia nawiasu",
    "Zb\xEA"
    "dne zamkni\xEA"
    "cie nawiasu",
    "B\xB3\xB9"
    "d w sk\xB3"
    "adni wyra\xBF"
    "enia",
    "Brak operatora przed nawiasem",
    "Brak wyra\xBF"
    "enia po lewej stronie operatora",
    "Funkcja nie istnieje",
    "Nieznany b\xB3\xB9"
    "d. Nieprzewidziana sytuacja",
    "Zb\xEA"
    "dny drugi separator dziesi\xEA"
    "tny",
    "Brak wyra\xBF"
    "enia po prawej stronie operatora",
    "Wyra\xBF"
    "enie puste",
    "Brak operatora za nawiasem",
    "B\xB3\xB9"
    "d dzielenia przez zero",
    "Symbol nieoznaczony",
    "Ujemna warto\x9C\xE6 argumentu funkcji",
    "Nieokre\x9Clona warto\x9C\xE6 funkcji",
    "Argument funkcji wi\xEA"
    "kszy od 1.0",
};

std::string_view ErrorMessage(int code) {
    if (code < 0 || code >= static_cast<int>(ErrorMessageTable.size()))
        return ErrorMessageTable[CodeOf(FaultCode::Unexpected)];
    return ErrorMessageTable[static_cast<std::size_t>(code)];
}

std::optional<double> LookupConstant(std::string_view text) {
    for (const Constant &c : ConstantTable)
        if (c.name == text)
            return c.value;
    return std::nullopt;
}

std::optional<int> LookupFunction(std::string_view name) {
    for (std::size_t i = 0; i < FunctionTable.size(); ++i)
        if (FunctionTable[i] == name)
            return static_cast<int>(i);
    return std::nullopt;
}

namespace {

using Operation = FloatFault::Operation;

[[noreturn]] void Overflow(Operation operation) {
    throw FloatFault(FloatFault::Kind::Overflow, operation);
}

[[noreturn]] void Invalid(Operation operation) {
    throw FloatFault(FloatFault::Kind::InvalidOperation, operation);
}

bool IsNan(long double v) {
    return std::isnan(v);
}

// Checks the result of an operation on two operands: an infinity from finite operands is an
// overflow, a NaN from operands that are not NaN an invalid operation.
long double Checked(long double result, long double a, long double b, Operation what) {
    if (std::isinf(result) && std::isfinite(a) && std::isfinite(b))
        Overflow(what);
    if (IsNan(result) && !IsNan(a) && !IsNan(b))
        Invalid(what);
    return result;
}

long double Factorial(long double argument) {
    // The product exceeds the long double range from 1755 on, however large the argument.
    const long double n = std::trunc(argument);
    long double result = 1;
    for (long double i = 1; i <= n; i += 1)
        result = CheckedMultiply(result, i);
    return result;
}

} // namespace

double RoundToDouble(long double value) {
    if (std::isfinite(value) && (value > DBL_MAX || value < -DBL_MAX)) {
        // Values that round down to DBL_MAX are fine; only a rounding to infinity overflows.
        const double rounded = static_cast<double>(value);
        if (std::isinf(rounded))
            Overflow(Operation::RoundingToDouble);
        return rounded;
    }
    return static_cast<double>(value);
}

long double CheckedAdd(long double a, long double b) {
    return Checked(a + b, a, b, Operation::Addition);
}

long double CheckedSubtract(long double a, long double b) {
    return Checked(a - b, a, b, Operation::Subtraction);
}

long double CheckedMultiply(long double a, long double b) {
    return Checked(a * b, a, b, Operation::Multiplication);
}

long double CheckedDivide(long double a, long double b) {
    const long double result = a / b;
    if (std::isinf(result) && std::isfinite(a) && b != 0)
        Overflow(Operation::Division);
    if (IsNan(result) && !IsNan(a) && !IsNan(b))
        Invalid(Operation::Division);
    return result;
}

long double ApplyFunction(int index, long double argument, int &errorCode) {
    // A refused argument: the fault, and 0.
    const auto refuse = [&errorCode](FaultCode fault) {
        errorCode = CodeOf(fault);
        return 0.0L;
    };
    // The argument rounded to double, as the math library's functions take it.
    const auto rounded = [argument] { return RoundToDouble(argument); };
    // One row a function, its check first.
    switch (static_cast<Function>(index)) {
    // clang-format off
    case Function::Sine:        return std::sin(rounded());
    case Function::Cosine:      return std::cos(rounded());
    case Function::Arcsine:     return AboveOne(argument) ? refuse(FaultCode::ArgumentAboveOne) : std::asin(rounded());
    case Function::Arccosine:   return AboveOne(argument) ? refuse(FaultCode::ArgumentAboveOne) : std::acos(rounded());
    case Function::Absolute:    return std::fabs(rounded());
    case Function::Exponential: return std::exp(rounded());
    case Function::Logarithm:   return BelowZero(argument) ? refuse(FaultCode::NegativeArgument) : std::log(rounded());
    case Function::Logarithm10: return BelowZero(argument) ? refuse(FaultCode::NegativeArgument) : std::log10(rounded());
    case Function::Factorial:   return BelowZero(argument) ? refuse(FaultCode::NegativeArgument) : Factorial(argument);
    case Function::SquareRoot:  return BelowZero(argument) ? refuse(FaultCode::NegativeArgument) : std::sqrt(rounded());
    // clang-format on
    case Function::Tangent: {
        const double x = rounded();
        const double c = std::cos(x);
        if (EqualsZero(c))
            return refuse(FaultCode::UndefinedValue);
        return static_cast<long double>(std::sin(x)) / static_cast<long double>(c);
    }
    case Function::Cotangent: {
        const double x = rounded();
        const double s = std::sin(x);
        if (EqualsZero(s))
            return refuse(FaultCode::UndefinedValue);
        return static_cast<long double>(std::cos(x)) / static_cast<long double>(s);
    }
    }
    return refuse(FaultCode::Unexpected);
}

} // namespace ziffa
