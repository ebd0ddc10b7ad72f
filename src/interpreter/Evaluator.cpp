#include "interpreter/Evaluator.h"

#include "interpreter/Codepage.h"
#include "interpreter/Compiled.h"

namespace ziffa {

char ExprDecimalSeparator = '.';

std::string NormalizeExpression(std::string_view text) {
    std::string out(text);
    NormalizeExpressionInPlace(out);
    return out;
}

void NormalizeExpressionInPlace(std::string &text) {
    LowerCase1250InPlace(text);
    const char separator = ExprDecimalSeparator;
    std::size_t kept = 0;
    for (const char c : text) {
        if (c == ' ')
            continue;
        text[kept++] = c == ',' || c == '.' ? separator : c;
    }
    text.resize(kept);
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
