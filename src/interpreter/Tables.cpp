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
        return ErrorMessageTable[7];
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
    switch (index) {
    case 0:
        return std::sin(RoundToDouble(argument));
    case 1:
        return std::cos(RoundToDouble(argument));
    case 2:
        if (AboveOne(argument)) {
            errorCode = 16;
            return 0;
        }
        return std::asin(RoundToDouble(argument));
    case 3:
        if (AboveOne(argument)) {
            errorCode = 16;
            return 0;
        }
        return std::acos(RoundToDouble(argument));
    case 4:
        return std::fabs(RoundToDouble(argument));
    case 5:
        return std::exp(RoundToDouble(argument));
    case 6:
        if (BelowZero(argument)) {
            errorCode = 14;
            return 0;
        }
        return std::log(RoundToDouble(argument));
    case 7:
        if (BelowZero(argument)) {
            errorCode = 14;
            return 0;
        }
        return std::log10(RoundToDouble(argument));
    case 8:
        if (BelowZero(argument)) {
            errorCode = 14;
            return 0;
        }
        return Factorial(argument);
    case 9: {
        const double x = RoundToDouble(argument);
        const double c = std::cos(x);
        if (EqualsZero(c)) {
            errorCode = 15;
            return 0;
        }
        return static_cast<long double>(std::sin(x)) / static_cast<long double>(c);
    }
    case 10: {
        const double x = RoundToDouble(argument);
        const double s = std::sin(x);
        if (EqualsZero(s)) {
            errorCode = 15;
            return 0;
        }
        return static_cast<long double>(std::cos(x)) / static_cast<long double>(s);
    }
    case 11:
        if (BelowZero(argument)) {
            errorCode = 14;
            return 0;
        }
        return std::sqrt(RoundToDouble(argument));
    default:
        errorCode = 7;
        return 0;
    }
}

} // namespace ziffa
