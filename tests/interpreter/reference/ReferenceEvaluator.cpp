// The straightforward recursive evaluator, kept as the reference that the compiled form is
// compared with: it works directly on the text, splitting it at operators and calling itself on
// the parts, exactly in the order of the evaluator's rules. Its recursion follows the nesting, so
// it stops with code 7 beyond kMaxDepth levels; compare only texts within that depth.
#include "ReferenceEvaluator.h"

#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"
#include "interpreter/NumberText.h"
#include "interpreter/Tables.h"

#include <cmath>

namespace ziffa::reference {

namespace {

// Deep enough for any expression a person types, shallow enough for the stack of a sanitizer
// build: each level of a chain or of parentheses is one frame.
constexpr int kMaxDepth = kReferenceMaxDepth;

constexpr std::string_view kOperatorOrder = "+-*/^";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The evaluation of one text: the substrings are views into the outermost text, and offset is
// the index of a substring's first character in it.
class Evaluation {
public:
    Evaluation(int &errorCode, int &errorPosition, int variableCount, const double *values,
               const std::string *names)
        : code_(errorCode), position_(errorPosition), count_(variableCount), values_(values),
          names_(names) {}

    long double Evaluate(std::string_view text, int off, int depth);

private:
    long double Fault(int code, int position) {
        code_ = code;
        position_ = position;
        return 0;
    }

    long double Binary(std::string_view text, int off, int depth, std::size_t s, std::size_t op);
    long double NameOrNumber(std::string_view text, int off);
    long double Parenthesised(std::string_view text, int off, int depth, std::size_t i);

    int &code_;
    int &position_;
    int count_;
    const double *values_;
    const std::string *names_;
};

long double Evaluation::Evaluate(std::string_view text, int off, int depth) {
    if (code_ != 0)
        return 0;
    if (depth > kMaxDepth)
        return Fault(7, off);
    const int len = static_cast<int>(text.size());
    if (len == 0)
        return Fault(10, off);
    if (len == 1 && text[0] == ExprDecimalSeparator)
        return Fault(3, off);

    for (std::size_t op = 0; op < kOperatorOrder.size(); ++op) {
        int level = 0;
        std::size_t split = std::string_view::npos;
        for (std::size_t k = 0; k < text.size(); ++k) {
            const char c = text[k];
            if (c == '(')
                ++level;
            else if (c == ')')
                --level;
            if (level < 0)
                return Fault(2, off + static_cast<int>(k));
            if (c == kOperatorOrder[op] && level == 0)
                split = k;
        }
        if (level > 0)
            return Fault(1, off + len);
        if (split != std::string_view::npos)
            return Binary(text, off, depth, split, op);
    }

    const std::size_t i = text.find('(');
    if (i == std::string_view::npos)
        return NameOrNumber(text, off);
    return Parenthesised(text, off, depth, i);
}

long double Evaluation::Binary(std::string_view text, int off, int depth, std::size_t s,
                               std::size_t op) {
    const int si = static_cast<int>(s);
    if (s == 0 && op >= 2)
        return Fault(5, off);
    if (s == text.size() - 1)
        return Fault(9, off + si + 1);
    // A leading sign means 0 + x or 0 - x, with "0" read like any other operand.
    const std::string_view left = s == 0 ? std::string_view("0") : text.substr(0, s);
    const long double l = Evaluate(left, off, depth + 1);
    if (code_ != 0)
        return 0;
    const long double r = Evaluate(text.substr(s + 1), off + si + 1, depth + 1);
    if (code_ != 0)
        return 0;
    switch (op) {
    case 0:
        return CheckedAdd(l, r);
    case 1:
        return CheckedSubtract(l, r);
    case 2:
        return CheckedMultiply(l, r);
    case 3:
        if (EqualsZero(l) && EqualsZero(r))
            return Fault(13, off + si);
        if (EqualsZero(r))
            return Fault(12, off + si + 1);
        return CheckedDivide(l, r);
    case 4:
        if (EqualsZero(l) && EqualsZero(r))
            return Fault(13, off + si);
        {
            const double base = RoundToDouble(l);
            const double exponent = RoundToDouble(r);
            return std::pow(base, exponent);
        }
    default:
        code_ = 7;
        position_ = off + si;
        return -1;
    }
}

long double Evaluation::NameOrNumber(std::string_view text, int off) {
    if (const auto constant = LookupConstant(text))
        return *constant;
    for (int v = 0; v < count_; ++v)
        if (names_[v] == text)
            return values_[v];
    int separators = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c == ExprDecimalSeparator)
            ++separators;
        if (!IsDigit(c) && c != ExprDecimalSeparator)
            return Fault(3, off + static_cast<int>(k));
        if (separators > 1)
            return Fault(8, off + static_cast<int>(k));
    }
    const auto value = ConvertNumberLiteral(text, ExprDecimalSeparator);
    if (!value)
        throw FloatFault(FloatFault::Kind::Overflow, FloatFault::Operation::Number);
    return *value;
}

long double Evaluation::Parenthesised(std::string_view text, int off, int depth, std::size_t i) {
    int level = 0;
    std::size_t j = i;
    for (; j < text.size(); ++j) {
        if (text[j] == '(')
            ++level;
        else if (text[j] == ')')
            --level;
        if (level == 0)
            break;
    }
    const int ii = static_cast<int>(i);
    if (j + 1 < text.size())
        return Fault(11, off + static_cast<int>(j) + 1);
    const long double argument = Evaluate(text.substr(i + 1, j - i - 1), off + ii + 1, depth + 1);
    if (code_ != 0)
        return 0;
    if (i == 0)
        return argument;
    if (const auto function = LookupFunction(text.substr(0, i))) {
        int code = 0;
        const long double value = ApplyFunction(*function, argument, code);
        if (code != 0)
            return Fault(code, off + ii + 1);
        return value;
    }
    if (IsDigit(text[0]) || text[0] == ExprDecimalSeparator)
        return Fault(4, off + ii);
    return Fault(6, off);
}

} // namespace

long double EvaluateExpression(std::string_view text, int &errorCode, int &errorPosition,
                               int variableCount, const double *variableValues,
                               const std::string *variableNames, int positionOffset) {
    if (errorCode != 0)
        return 0;
    Evaluation evaluation(errorCode, errorPosition, variableCount, variableValues, variableNames);
    return evaluation.Evaluate(text, positionOffset, 0);
}

} // namespace ziffa::reference
