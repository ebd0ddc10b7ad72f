#include "interpreter/ExpressionText.h"

#include "interpreter/Codepage.h"
#include "interpreter/compiled/CompiledExpression.h"

#include <array>

namespace ziffa {

char ExprDecimalSeparator = '.';

std::string NormalizeExpression(std::string_view text) {
    std::string out(text);
    NormalizeExpressionInPlace(out);
    return out;
}

void NormalizeExpressionInPlace(std::string &text) {
    // One pass through a table of every byte's image: lowered (the code page's letters only
    // where the text has any), and "," and "." turned into the separator. Spaces are dropped.
    std::array<char, 256> image;
    for (std::size_t b = 0; b < image.size(); ++b)
        image[b] = static_cast<char>(b);
    for (char c = 'A'; c <= 'Z'; ++c)
        image[static_cast<unsigned char>(c)] = static_cast<char>(c - 'A' + 'a');
    if (!IsAscii(text))
        for (std::size_t b = 0x80; b < image.size(); ++b)
            image[b] = LowerChar1250(static_cast<char>(b));
    image[','] = image['.'] = ExprDecimalSeparator;
    std::size_t kept = 0;
    for (const char c : text)
        if (c != ' ')
            text[kept++] = image[static_cast<unsigned char>(c)];
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
