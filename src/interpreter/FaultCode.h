#pragma once

#include <cstdint>

namespace ziffa {

// The faults of an expression, by the codes that the evaluator reports (errorCode) and that index
// ErrorMessageTable (Tables.h).
enum class FaultCode : std::uint8_t {
    None = 0,
    UnclosedParenthesis = 1,         // a "(" without its ")"
    UnopenedParenthesis = 2,         // a ")" without its "("
    Syntax = 3,                      // a name that is no constant, variable or number
    NoOperatorBeforeParenthesis = 4, // a number before "("
    NoLeftOperand = 5,               // "*", "/" or "^" with nothing on its left
    UnknownFunction = 6,             // a name before "(" that is no function
    Unexpected = 7,                  // what should never happen
    SecondSeparator = 8,             // a number with two decimal separators
    NoRightOperand = 9,              // an operator with nothing on its right
    Empty = 10,                      // an empty text or part
    NoOperatorAfterParenthesis = 11, // text after a ")"
    DivisionByZero = 12,             // x/0
    Indeterminate = 13,              // 0/0 or 0^0
    NegativeArgument = 14,           // ln, log10, "!" or sqrt of a number below 0
    UndefinedValue = 15,             // tg or ctg where it has no value
    ArgumentAboveOne = 16,           // asin or acos of a number above 1
};

// The code of a fault, as the evaluator reports it.
constexpr int CodeOf(FaultCode fault) {
    return static_cast<int>(fault);
}

} // namespace ziffa
