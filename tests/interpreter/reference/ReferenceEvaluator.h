#pragma once

#include <string>
#include <string_view>

namespace ziffa::reference {

// The recursion limit of the reference evaluator: a text nested deeper ends in code 7.
inline constexpr int kReferenceMaxDepth = 5000;

// The recursive evaluator, with the interface and the results of ziffa::EvaluateExpression
// (except code 7 beyond kReferenceMaxDepth levels). Reads ExprDecimalSeparator.
long double EvaluateExpression(std::string_view text, int &errorCode, int &errorPosition,
                               int variableCount, const double *variableValues,
                               const std::string *variableNames, int positionOffset = 0);

} // namespace ziffa::reference
