#pragma once

#include <stdexcept>

namespace ziffa {

// Thrown when the evaluator's own arithmetic overflows the long double range or performs an
// invalid operation (infinity minus infinity, zero times infinity, infinity over infinity), and
// when a finite value is too large to be rounded to double for a math function.
// what() names the fault and the operation in Polish, UTF-8, as the user reads it.
class FloatFault : public std::runtime_error {
public:
    enum class Kind { Overflow, InvalidOperation };
    // Where the fault arose: one of the evaluator's operations, the rounding of a value to
    // double for a math function, or the reading of a number too large for the range.
    enum class Operation {
        Addition,
        Subtraction,
        Multiplication,
        Division,
        RoundingToDouble,
        Number
    };

    FloatFault(Kind kind, Operation operation);

    Kind kind() const noexcept { return kind_; }
    Operation operation() const noexcept { return operation_; }

private:
    Kind kind_;
    Operation operation_;
};

} // namespace ziffa
