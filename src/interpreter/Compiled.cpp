#include "interpreter/Compiled.h"

#include "interpreter/CompiledNative.h"
#include "interpreter/CompiledPower.h"
#include "interpreter/CompiledProgram.h"
#include "interpreter/Evaluator.h"
#include "interpreter/FloatFault.h"
#include "interpreter/NumberText.h"
#include "interpreter/Tables.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <unordered_map>

namespace ziffa {

using namespace compiled;

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int OperatorKind(char c) {
    switch (c) {
    case '+':
        return 0;
    case '-':
        return 1;
    case '*':
        return 2;
    case '/':
        return 3;
    case '^':
        return 4;
    default:
        return -1;
    }
}

[[noreturn]] void ThrowBadLiteral() {
    throw FloatFault(FloatFault::Kind::Overflow, FloatFault::Operation::Number,
                     "Floating point overflow: the number is too large");
}

// The x87 status word's invalid-operation and overflow flags. They are sticky: once one of the
// evaluator's own operations has overflowed or been invalid, the flag stays set. A flag may also
// have been left by other code; that only costs a second, checked evaluation.
constexpr unsigned kInvalidFlag = 0x01;
constexpr unsigned kOverflowFlag = 0x08;

#if defined(__x86_64__) || defined(__i386__)
unsigned FloatFlags(long double after) {
    std::uint16_t status;
    // The input ties the read to the value computed last, so the read can't move before it.
    __asm__ __volatile__("fnstsw %0" : "=a"(status) : "f"(after));
    return status & (kInvalidFlag | kOverflowFlag);
}

void ClearFloatFlags() {
    __asm__ __volatile__("fnclex" ::: "memory");
}
#else
// Without the x87 flags every evaluation is checked.
unsigned FloatFlags(long double) {
    return kInvalidFlag;
}

void ClearFloatFlags() {}
#endif

} // namespace

// Turns the text into the program in one pass from left to right, with explicit stacks in place
// of recursion.
//
// The text splits at the last occurrence of the first of "+-*/^" that occurs outside parentheses,
// and its parts split the same way: the tree that results is the one of five precedence levels,
// lowest "+", then "-", "*", "/", "^", all associating to the left, which the operator stack
// below builds. Between two operators (or an operator and the start or end of a parenthesised
// part) stands an atom: nothing, a name or number, or a parenthesis with the name before it.
//
// Each level of the tree makes its own checks before its parts are evaluated. When a node is
// complete, its checks are made; if one fails, the node's code (everything emitted since its
// first part began) is replaced by a single fault instruction. An outer node is completed after
// its inner ones, so its fault replaces theirs, as its checks come first in the evaluation; code
// left of a node is kept, so faults keep their order.
class ExpressionCompiler {
public:
    ExpressionCompiler(std::string_view text, int variableCount, const std::string *names,
                       char separator, Program &out)
        : text_(text), variableCount_(variableCount), names_(names), separator_(separator),
          code_(out.code), constants_(out.constants) {}

    // The whole program of a text.
    static CompiledExpression Build(std::string_view text, int variableCount,
                                    const std::string *names, char separator, Execution execution);

private:
    void Compile();

    struct Operand {
        int start; // the operand's text is [start, end)
        int end;
        std::size_t code; // its code begins here
        bool empty;
    };
    struct PendingOperator {
        int kind;
        int position;
    };
    // A parenthesised part (or the whole text) being read, and the atom being read in it.
    struct Group {
        std::size_t operandBase;
        std::size_t operatorBase;
        int atomStart;
        std::size_t atomCode;
        int open = -1;      // the atom's first "(", if any
        int close = -1;     // its matching ")", once read
        int extra = -1;     // the first character after that ")", which is a fault
        int extraDepth = 0; // parentheses open in the part being skipped after it
    };

    int Position(std::size_t index) const { return static_cast<int>(index); }

    void EmitFault(int code, int position) {
        code_.push_back({kFault, static_cast<std::uint8_t>(code), 0, position});
    }
    void ReplaceByFault(std::size_t from, int code, int position) {
        code_.resize(from);
        EmitFault(code, position);
    }
    void EmitConstant(long double value) {
        constants_.push_back(value);
        code_.push_back({kPushConst, 0, static_cast<std::int32_t>(constants_.size() - 1), 0});
    }

    bool TopLevelFault();
    void CompileName(std::string_view name, int offset);
    void StartAtom(Group &group, int position);
    void FinishAtom(Group &group, int end);
    void FinishGroup(Group &group);
    void PushOperator(Group &group, int kind, int position);
    void Reduce();

    std::string_view text_;
    int variableCount_;
    const std::string *names_;
    char separator_;
    std::vector<Instruction> &code_;
    std::vector<long double> &constants_;
    std::vector<Operand> operands_;
    std::vector<PendingOperator> operators_;
    std::vector<Group> groups_;
    static constexpr std::size_t kMaxLiterals = 4096;
    std::unordered_map<std::string_view, std::int32_t> literals_;
};

// The checks that only the whole text can fail: the empty text, the lone separator, and the
// parentheses, which then balance in every part.
bool ExpressionCompiler::TopLevelFault() {
    const int len = Position(text_.size());
    if (len == 0) {
        EmitFault(10, 0);
        return true;
    }
    if (len == 1 && text_[0] == separator_) {
        EmitFault(3, 0);
        return true;
    }
    int depth = 0;
    for (std::size_t k = 0; k < text_.size(); ++k) {
        if (text_[k] == '(')
            ++depth;
        else if (text_[k] == ')' && --depth < 0) {
            EmitFault(2, Position(k));
            return true;
        }
    }
    if (depth > 0) {
        EmitFault(1, len);
        return true;
    }
    return false;
}

// A text without operator and without parenthesis, at offset in the whole text: a constant, a
// variable or a number, looked up in this order.
void ExpressionCompiler::CompileName(std::string_view name, int offset) {
    if (name.size() == 1 && name[0] == separator_) {
        EmitFault(3, offset);
        return;
    }
    if (const auto constant = LookupConstant(name)) {
        EmitConstant(*constant);
        return;
    }
    for (int v = 0; v < variableCount_; ++v)
        if (names_[v] == name) {
            code_.push_back({kPushVar, 0, v, 0});
            return;
        }
    int separators = 0;
    for (std::size_t k = 0; k < name.size(); ++k) {
        const char c = name[k];
        if (c == separator_)
            ++separators;
        if (!IsDigit(c) && c != separator_) {
            EmitFault(3, offset + Position(k));
            return;
        }
        if (separators > 1) {
            EmitFault(8, offset + Position(k));
            return;
        }
    }
    // A literal seen before shares its constant (a long sum often repeats one number).
    if (const auto known = literals_.find(name); known != literals_.end()) {
        code_.push_back({kPushConst, 0, known->second, 0});
        return;
    }
    if (const auto value = ConvertNumberLiteral(name, separator_)) {
        EmitConstant(*value);
        if (literals_.size() < kMaxLiterals)
            literals_.emplace(name, code_.back().index);
    } else {
        code_.push_back({kBadLiteral, 0, 0, offset});
    }
}

void ExpressionCompiler::StartAtom(Group &group, int position) {
    group.atomStart = position;
    group.atomCode = code_.size();
    group.open = group.close = group.extra = -1;
    group.extraDepth = 0;
}

// Ends the atom [group.atomStart, end) and pushes it as an operand.
void ExpressionCompiler::FinishAtom(Group &group, int end) {
    const int start = group.atomStart;
    if (group.extra >= 0) {
        // Text after the ")" of a parenthesis: the atom's own check, before its argument.
        ReplaceByFault(group.atomCode, 11, group.extra);
    } else if (group.open < 0) {
        if (start == end) {
            operands_.push_back({start, end, code_.size(), true});
            return;
        }
        CompileName(
            text_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)),
            start);
    } else if (group.open > start) {
        // The argument's code is in place; the name is looked at after it has been evaluated.
        const std::string_view name = text_.substr(static_cast<std::size_t>(start),
                                                   static_cast<std::size_t>(group.open - start));
        if (const auto function = LookupFunction(name))
            code_.push_back({kFunction, static_cast<std::uint8_t>(*function), 0, group.open + 1});
        else if (IsDigit(name[0]) || name[0] == separator_)
            EmitFault(4, group.open);
        else
            EmitFault(6, start);
    }
    operands_.push_back({start, end, group.atomCode, false});
}

// The node of the operator on top of the operator stack, with its two operands.
void ExpressionCompiler::Reduce() {
    const PendingOperator op = operators_.back();
    operators_.pop_back();
    const Operand right = operands_.back();
    operands_.pop_back();
    Operand &left = operands_.back();
    const int a = left.start, b = right.end, s = op.position;
    int fault = 0, position = 0;
    if (b - a == 1 && text_[static_cast<std::size_t>(a)] == separator_)
        fault = 3, position = a;
    else if (s == a && op.kind >= 2)
        fault = 5, position = a;
    else if (s == b - 1)
        fault = 9, position = s + 1;
    if (fault != 0) {
        ReplaceByFault(left.code, fault, position);
    } else if (code_.size() == right.code + 1 &&
               (code_.back().op == kPushConst || code_.back().op == kPushVar)) {
        // The right operand is a single load: fold it into the operation.
        Instruction &last = code_.back();
        last.op =
            static_cast<std::uint8_t>((last.op == kPushConst ? kAddConst : kAddVar) + op.kind);
        last.position = s;
    } else {
        code_.push_back({static_cast<std::uint8_t>(kAdd + op.kind), 0, 0, s});
    }
    left = {a, b, left.code, false};
}

void ExpressionCompiler::PushOperator(Group &group, int kind, int position) {
    while (operators_.size() > group.operatorBase && operators_.back().kind >= kind)
        Reduce();
    Operand &left = operands_.back();
    if (left.empty && kind <= 1) {
        // A leading sign: the left operand is the text "0", read like any other operand.
        left = {position, position, code_.size(), false};
        CompileName("0", position);
    }
    operators_.push_back({kind, position});
}

// Ends the part of group: completes its pending operators, leaving its one operand.
void ExpressionCompiler::FinishGroup(Group &group) {
    while (operators_.size() > group.operatorBase)
        Reduce();
    Operand &only = operands_.back();
    if (only.empty)
        EmitFault(10, only.start);
}

void ExpressionCompiler::Compile() {
    if (TopLevelFault())
        return;
    // A long text is mostly an alternation of operands and operators: one instruction for every
    // two characters saves growing the code many times.
    code_.reserve(text_.size() / 2 + 16);
    groups_.push_back({0, 0, 0, 0});
    StartAtom(groups_.back(), 0);
    const std::size_t n = text_.size();
    for (std::size_t k = 0; k <= n; ++k) {
        Group &group = groups_.back();
        const int p = Position(k);
        const char c = k < n ? text_[k] : '\0';
        const int kind = k < n ? OperatorKind(c) : -1;
        const bool end = k == n;
        if (group.extra >= 0) {
            // Skipping the rest of an atom that already has its fault.
            if (!end && c == '(') {
                ++group.extraDepth;
                continue;
            }
            if (!end && c == ')' && group.extraDepth > 0) {
                --group.extraDepth;
                continue;
            }
            if (!end && group.extraDepth > 0)
                continue;
            if (!end && kind < 0 && c != ')')
                continue;
        }
        if (end) {
            FinishAtom(group, p);
            FinishGroup(group);
        } else if (kind >= 0) {
            FinishAtom(group, p);
            PushOperator(group, kind, p);
            StartAtom(group, p + 1);
        } else if (c == '(') {
            if (group.close >= 0) {
                group.extra = p;
                group.extraDepth = 1;
            } else {
                group.open = p;
                Group inner{operands_.size(), operators_.size(), 0, 0};
                groups_.push_back(inner);
                StartAtom(groups_.back(), p + 1);
            }
        } else if (c == ')') {
            FinishAtom(group, p);
            FinishGroup(group);
            operands_.pop_back();
            groups_.pop_back();
            groups_.back().close = p;
        } else if (group.close >= 0) {
            group.extra = p;
        }
    }
}

namespace {

std::shared_ptr<const Program> EmptyTextProgram() {
    static const std::shared_ptr<const Program> program = [] {
        auto p = std::make_shared<Program>();
        p->code.push_back({kFault, 10, 0, 0});
        return p;
    }();
    return program;
}

} // namespace

CompiledExpression::CompiledExpression() : program_(EmptyTextProgram()) {}

std::size_t CompiledExpression::Size() const noexcept {
    return program_->code.size();
}

CompiledExpression ExpressionCompiler::Build(std::string_view text, int variableCount,
                                             const std::string *names, char separator,
                                             Execution execution) {
    auto program = std::make_shared<Program>();
    ExpressionCompiler(text, variableCount, names, separator, *program).Compile();
    std::vector<Instruction> &code = program->code;
    // The code is straight, so nothing after the first fault instruction can run.
    const auto end = std::find_if(code.begin(), code.end(), [](const Instruction &i) {
        return i.op == kFault || i.op == kBadLiteral;
    });
    if (end != code.end())
        code.erase(end + 1, code.end());
    else
        code.push_back({kReturn, 0, 0, 0});
    if (code.capacity() > code.size() + code.size() / 4 + 64)
        code.shrink_to_fit();
    program->constants.shrink_to_fit();
    // The most values alive at once; slot 0 of the interpreter's stack takes the accumulator's
    // initial value.
    int depth = 0, deepest = 0;
    for (const Instruction &i : code) {
        if (i.op == kPushConst || i.op == kPushVar)
            deepest = std::max(deepest, ++depth);
        else if (i.op >= kAdd && i.op <= kPow)
            --depth;
    }
    program->maxDepth = deepest;
    program->stackSize = deepest + 1;

    CompiledExpression out;
    out.variableCount_ = variableCount;
    if (execution == Execution::Native) {
        out.native_ = NativeCode::Generate(*program);
        if (out.native_)
            out.entry_ = out.native_->EntryPoint();
    }
    out.program_ = std::move(program);
    return out;
}

CompiledExpression CompileExpression(std::string_view text, int variableCount,
                                     const std::string *variableNames, char decimalSeparator,
                                     Execution execution) {
    return ExpressionCompiler::Build(text, variableCount, variableNames, decimalSeparator,
                                     execution);
}

CompiledExpression CompileExpression(std::string_view text, int variableCount,
                                     const std::string *variableNames) {
    return CompileExpression(text, variableCount, variableNames, ExprDecimalSeparator,
                             Execution::Native);
}

namespace {

// The evaluator's arithmetic. The checked forms are the evaluator's own; the fast forms are plain
// operations, whose overflow or invalid operation is seen afterwards in the status flags.
template <bool Checked> inline long double Add(long double a, long double b) {
    if constexpr (Checked)
        return CheckedAdd(a, b);
    else
        return a + b;
}
template <bool Checked> inline long double Subtract(long double a, long double b) {
    if constexpr (Checked)
        return CheckedSubtract(a, b);
    else
        return a - b;
}
template <bool Checked> inline long double Multiply(long double a, long double b) {
    if constexpr (Checked)
        return CheckedMultiply(a, b);
    else
        return a * b;
}
template <bool Checked> inline long double Divide(long double a, long double b) {
    if constexpr (Checked)
        return CheckedDivide(a, b);
    else
        return a / b;
}
// The math library's power of the operands rounded to double (see CompiledPower.h).
template <bool Checked> inline long double Power(long double a, long double b) {
    if constexpr (Checked) {
        const double base = RoundToDouble(a);
        const double exponent = RoundToDouble(b);
        return PowerOfDoubles(base, exponent);
    } else {
        return PowerOfDoubles(static_cast<double>(a), static_cast<double>(b));
    }
}

// "/" with its checks: 0/0 is fault 13 at the operator, x/0 fault 12 at the divisor. Returns
// false with the fault set, or true with the quotient in result.
template <bool Checked>
inline bool DivideAt(long double left, long double right, const Instruction &in,
                     long double &result, int &errorCode, int &errorPosition) {
    if (EqualsZero(right)) {
        errorCode = EqualsZero(left) ? 13 : 12;
        errorPosition = in.position + (errorCode == 12);
        return false;
    }
    result = Divide<Checked>(left, right);
    return true;
}

// "^" with its check: 0^0 is fault 13 at the operator.
template <bool Checked>
inline bool PowerAt(long double left, long double right, const Instruction &in, long double &result,
                    int &errorCode, int &errorPosition) {
    if (EqualsZero(left) && EqualsZero(right)) {
        errorCode = 13;
        errorPosition = in.position;
        return false;
    }
    result = Power<Checked>(left, right);
    return true;
}

// Runs the program. Returns with errorCode set on a fault; in the fast form, a fault that can't
// be reported without the checked arithmetic sets kRecheck instead.
template <bool Checked>
long double Run(const Program &program, const double *values, long double *stack, int &errorCode,
                int &errorPosition) {
    const Instruction *ip = program.code.data();
    const long double *constants = program.constants.data();
    long double acc = 0;
    long double *sp = stack;
    for (;; ++ip) {
        switch (ip->op) {
        case kPushConst:
            *++sp = acc;
            acc = constants[ip->index];
            break;
        case kPushVar:
            *++sp = acc;
            acc = values[ip->index];
            break;
        case kAdd:
            acc = Add<Checked>(*sp--, acc);
            break;
        case kSub:
            acc = Subtract<Checked>(*sp--, acc);
            break;
        case kMul:
            acc = Multiply<Checked>(*sp--, acc);
            break;
        case kDiv: {
            const long double left = *sp--;
            if (!DivideAt<Checked>(left, acc, *ip, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kPow: {
            const long double left = *sp--;
            if (!PowerAt<Checked>(left, acc, *ip, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kAddConst:
            acc = Add<Checked>(acc, constants[ip->index]);
            break;
        case kSubConst:
            acc = Subtract<Checked>(acc, constants[ip->index]);
            break;
        case kMulConst:
            acc = Multiply<Checked>(acc, constants[ip->index]);
            break;
        case kDivConst: {
            const long double right = constants[ip->index];
            if (!DivideAt<Checked>(acc, right, *ip, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kPowConst: {
            const long double right = constants[ip->index];
            if (!PowerAt<Checked>(acc, right, *ip, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kAddVar:
            acc = Add<Checked>(acc, values[ip->index]);
            break;
        case kSubVar:
            acc = Subtract<Checked>(acc, values[ip->index]);
            break;
        case kMulVar:
            acc = Multiply<Checked>(acc, values[ip->index]);
            break;
        case kDivVar: {
            const long double right = values[ip->index];
            if (!DivideAt<Checked>(acc, right, *ip, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kPowVar: {
            const long double right = values[ip->index];
            if (!PowerAt<Checked>(acc, right, *ip, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kFunction: {
            int code = 0;
            acc = ApplyFunction(ip->small, acc, code);
            if (code != 0) {
                errorCode = code;
                errorPosition = ip->position;
                return 0;
            }
            break;
        }
        case kFault:
            errorCode = ip->small;
            errorPosition = ip->position;
            return 0;
        case kBadLiteral:
            if constexpr (Checked)
                ThrowBadLiteral();
            errorCode = kRecheck;
            return 0;
        case kReturn:
            return acc;
        default:
            __builtin_unreachable();
        }
    }
}

} // namespace

long double CompiledExpression::RunChecked(const double *values, int &errorCode,
                                           int &errorPosition) const {
    ClearFloatFlags();
    std::vector<long double> stack(static_cast<std::size_t>(program_->stackSize));
    int code = 0, position = 0;
    const long double value = Run<true>(*program_, values, stack.data(), code, position);
    ClearFloatFlags();
    if (code != 0) {
        errorCode = code;
        errorPosition = position;
        return 0;
    }
    return value;
}

long double CompiledExpression::Interpret(const double *values, int &code, int &position) const {
    constexpr int kLocalStack = 32;
    long double local[kLocalStack];
    std::vector<long double> heap;
    long double *stack = local;
    if (program_->stackSize > kLocalStack) {
        heap.resize(static_cast<std::size_t>(program_->stackSize));
        stack = heap.data();
    }
    try {
        return Run<false>(*program_, values, stack, code, position);
    } catch (const std::exception &) {
        // A fault thrown by a function may come after an unchecked fault of the arithmetic.
        code = kRecheck;
        return 0;
    }
}

long double CompiledExpression::NativeFault(const double *values, const int *out, int &errorCode,
                                            int &errorPosition) const {
    // The machine code asks for a checked evaluation when an unchecked fault may have happened.
    if (out[0] == kRecheck)
        return RunChecked(values, errorCode, errorPosition);
    errorCode = out[0];
    errorPosition = out[1];
    return 0;
}

std::size_t CompiledExpression::EvaluateMany(const double *values, std::size_t stride,
                                             std::size_t count, long double *results) const {
    if (count == 0)
        return 0;
    if (native_ != nullptr && stride <= std::numeric_limits<std::size_t>::max() / sizeof(double))
        return native_->RunMany(values, stride * sizeof(double), count, results);
    for (std::size_t i = 0; i < count; ++i) {
        int code = 0, position = 0;
        long double value;
        try {
            value = EvaluateInterpreted(values + i * stride, code, position);
        } catch (const FloatFault &) {
            return i;
        }
        if (code != 0)
            return i;
        results[i] = value;
    }
    return count;
}

long double CompiledExpression::EvaluateInterpreted(const double *values, int &errorCode,
                                                    int &errorPosition) const {
    if (errorCode != 0)
        return 0;
    int code = 0, position = 0;
    const long double value = Interpret(values, code, position);
    // An overflow or invalid operation of the fast arithmetic, if any, came before the end or the
    // fault reached: the checked evaluation finds it where the evaluator would.
    if (code == kRecheck || FloatFlags(value) != 0)
        return RunChecked(values, errorCode, errorPosition);
    if (code != 0) {
        errorCode = code;
        errorPosition = position;
        return 0;
    }
    return value;
}

} // namespace ziffa
