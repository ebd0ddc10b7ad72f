#pragma once

#include <string>
#include <string_view>

namespace ziffa {

// The one character accepted as a decimal separator in expressions. "." until the calculator
// window (or the headless mode) sets it once from the user's locale.
extern char ExprDecimalSeparator;

// Lower-cases the text by the Windows-1250 rules, deletes every space and turns every "," and
// "." into ExprDecimalSeparator. Text is 8-bit Windows-1250.
std::string NormalizeExpression(std::string_view text);

// The same, done in place: the text never grows, so no copy is needed.
void NormalizeExpressionInPlace(std::string &text);

// Evaluates a normalised expression. errorCode must be 0 on entry; on return it is 0 on success
// or the code (1..16) of the first fault, with errorPosition the zero-based index of the fault in
// the outermost text. Returns 0 whenever a fault is reported. If errorCode is not 0 on entry the
// call returns 0 and changes neither output. Throws FloatFault on overflow or an invalid
// operation in its own arithmetic.
long double EvaluateExpression(std::string_view text, int &errorCode, int &errorPosition,
                               int variableCount, const double *variableValues,
                               const std::string *variableNames, int positionOffset = 0);

} // namespace ziffa
