#pragma once

#include <stdexcept>
#include <string>

namespace ziffa {

// Thrown when the evaluator's own arithmetic overflows the long double range or performs an
// invalid operation (infinity minus infinity, zero times infinity, infinity over infinity), and
// when a finite value is too large to be rounded to double for a math function.
class FloatFault : public std::runtime_error {
public:
    enum class Kind { Overflow, InvalidOperation };

    FloatFault(Kind kind, const std::string &what) : std::runtime_error(what), kind_(kind) {}

    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

} // namespace ziffa
