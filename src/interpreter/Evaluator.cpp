#include "interpreter/Evaluator.h"

#include "interpreter/Codepage.h"
#include "interpreter/Compiled.h"

namespace ziffa {

char ExprDecimalSeparator = '.';

std::string NormalizeExpression(std::string_view text) {
    const std::string lowered = LowerCase1250(text);
    std::string out;
    out.reserve(lowered.size());
    for (char c : lowered) {
        if (c == ' ')
            continue;
        out.push_back(c == ',' || c == '.' ? ExprDecimalSeparator : c);
    }
    return out;
}

long double EvaluateExpression(std::string_view text, int &errorCode, int &errorPosition,
                               int variableCount, const double *variableValues,
                               const std::string *variableNames, int positionOffset) {
    if (errorCode != 0)
        return 0;
    // One evaluation: the interpreter, which needs no machine code set up.
    const CompiledExpression program = CompileExpression(
        text, variableCount, variableNames, ExprDecimalSeparator, Execution::Interpreted);
    const long double value = program.Evaluate(variableValues, errorCode, errorPosition);
    if (errorCode != 0)
        errorPosition += positionOffset;
    return value;
}

} // namespace ziffa
