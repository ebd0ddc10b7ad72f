#include "interpreter/compiled/Compiler.h"

#include "interpreter/FaultCode.h"
#include "interpreter/NumberText.h"
#include "interpreter/Tables.h"
#include "interpreter/compiled/CompiledProgram.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <unordered_map>

namespace ziffa::compiled {

namespace {

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<Operator> OperatorOf(char c) {
    switch (c) {
    case '+':
        return Operator::Add;
    case '-':
        return Operator::Subtract;
    case '*':
        return Operator::Multiply;
    case '/':
        return Operator::Divide;
    case '^':
        return Operator::Power;
    default:
        return std::nullopt;
    }
}

// "+" and "-" may stand with nothing on their left, as signs.
constexpr bool MayBeSign(Operator op) {
    return op == Operator::Add || op == Operator::Subtract;
}

// "+" and "*" give the same bits with their operands either way round.
constexpr bool Commutes(Operator op) {
    return op == Operator::Add || op == Operator::Multiply;
}

// The functions whose check may refuse their argument, so that their instruction carries the
// argument's position: all but "sin", "cos", "abs" and "exp".
constexpr bool ChecksArgument(std::size_t index) {
    const std::string_view name = FunctionTable[index];
    return name != "sin" && name != "cos" && name != "abs" && name != "exp";
}
static_assert(FunctionTable.size() <= 256, "a function's index is one byte");

constexpr bool ConstantNamesAreNoNumbers() {
    for (const Constant &c : ConstantTable)
        if (c.name.empty() || IsDigit(c.name[0]))
            return false;
    return true;
}
static_assert(ConstantNamesAreNoNumbers(), "numbers skip the lookup of constants");

// A number literal of at most 32 bits of digits and at most kMaxScale digits after the
// separator (trailing zeros left out), kept in the code: the digits as a whole number and the
// number of them after the separator.
struct SmallNumber {
    std::uint32_t digits;
    unsigned scale;
};

std::optional<SmallNumber> ReadSmallNumber(std::string_view text, char separator) {
    std::uint64_t digits = 0;
    unsigned scale = 0;
    bool fraction = false;
    unsigned zeros = 0; // zeros after the separator not yet taken into digits
    for (const char c : text) {
        if (c == separator) {
            fraction = true;
            continue;
        }
        const auto d = static_cast<unsigned>(c - '0');
        if (fraction && d == 0) {
            ++zeros;
            continue;
        }
        for (; zeros > 0; --zeros, ++scale)
            if ((digits *= 10) > 0xFFFFFFFF || scale >= kMaxScale)
                return std::nullopt;
        digits = digits * 10 + d;
        if (fraction)
            ++scale;
        if (digits > 0xFFFFFFFF || scale > kMaxScale)
            return std::nullopt;
    }
    return SmallNumber{static_cast<std::uint32_t>(digits), scale};
}

// A stack of small entries that grows by realloc, as ByteCode does: a deep stack is never
// copied, and never takes twice its size while it grows.
template <class T> class GrowingStack {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    GrowingStack() = default;
    GrowingStack(const GrowingStack &) = delete;
    GrowingStack &operator=(const GrowingStack &) = delete;
    ~GrowingStack() { std::free(entries_); }

    bool Empty() const noexcept { return size_ == 0; }
    T &Top() noexcept { return entries_[size_ - 1]; }
    T Top() const noexcept { return entries_[size_ - 1]; }
    void Push(T entry) {
        if (size_ == capacity_) {
            const std::size_t capacity = std::max<std::size_t>(64, 2 * capacity_);
            void *grown = std::realloc(entries_, capacity * sizeof(T));
            if (grown == nullptr)
                throw std::bad_alloc();
            entries_ = static_cast<T *>(grown);
            capacity_ = capacity;
        }
        entries_[size_++] = entry;
    }
    void Pop() noexcept { --size_; }

private:
    T *entries_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// The positions of the operators waiting for their right operand and of the "(" of the parts
// being read, innermost last; the text tells which is which. Each takes two bytes, the distance
// from the one below (a larger one waits in a stack of its own), and a run of "(" that follow
// each other takes two bytes for all of them, so that a deep nesting needs next to nothing.
// Positions are below 2^31.
class MarkStack {
public:
    bool Empty() const noexcept { return marks_.Empty(); }
    std::uint32_t Top() const noexcept { return top_; }
    void Push(std::uint32_t position) {
        const std::uint32_t distance = position - top_;
        if (distance < kFar) {
            marks_.Push(static_cast<std::uint16_t>(distance));
        } else {
            far_.Push(distance);
            marks_.Push(kFar);
        }
        top_ = position;
    }
    // Pushes the "(" that follows the "(" on top.
    void PushNextParenthesis() {
        if (!marks_.Empty() && (marks_.Top() & kRun) != 0 && marks_.Top() != kLongestRun)
            ++marks_.Top();
        else
            marks_.Push(kRun | 1);
        ++top_;
    }
    void Pop() noexcept {
        std::uint16_t &top = marks_.Top();
        if ((top & kRun) != 0) {
            --top_;
            if (--top == kRun)
                marks_.Pop();
            return;
        }
        if (top == kFar) {
            top_ -= far_.Top();
            far_.Pop();
        } else {
            top_ -= top;
        }
        marks_.Pop();
    }

private:
    // An entry is a distance below kFar, kFar, or kRun and how many "(" follow the mark below.
    static constexpr std::uint16_t kFar = 0x7FFF;
    static constexpr std::uint16_t kRun = 0x8000;
    static constexpr std::uint16_t kLongestRun = 0xFFFF;
    GrowingStack<std::uint16_t> marks_;
    GrowingStack<std::uint32_t> far_;
    std::uint32_t top_ = static_cast<std::uint32_t>(-1); // the position on top, -1 for none
};

// A value that an instruction loads: its source and its operand (PushBase(source) is the
// instruction that pushes it).
struct Value {
    Source source;
    std::uint32_t operand;
    unsigned scale = 0; // of a decimal number
};

// An operand waiting for its operator: where its code begins or, for a single value on the left
// of an operator, the value itself. Its code is left out until the operator is complete: then it
// is read before a right operand that is a single value too, as usual, and otherwise after the
// right operand, by the operation itself (kRevConst and the "+" and "*" of kAddConst), so that no
// stack slot holds it meanwhile, however deep the right operand nests. A value can't fault, so
// the faults keep their order.
struct Operand {
    bool held;
    std::size_t code; // where its code begins, when not held
    Value value;      // when held
};

// The waiting operands, four bytes each: a code offset below 2^31 (a larger one waits in a
// stack of its own), or, with the top bit set, a held value of at most 24 bits and its source
// and scale.
class OperandStack {
public:
    static bool CanHold(const Value &v) { return v.operand < (1u << 24); }

    void Push(std::size_t code) {
        if (code < kLarge) {
            entries_.Push(static_cast<std::uint32_t>(code));
        } else {
            large_.Push(code);
            entries_.Push(kLarge);
        }
    }
    void PushHeld(const Value &v) {
        entries_.Push(kHeld | static_cast<std::uint32_t>(v.source) << 29 | v.scale << 24 |
                      v.operand);
    }
    Operand Top() const {
        const std::uint32_t top = entries_.Top();
        if ((top & kHeld) != 0)
            return {true, 0, {static_cast<Source>(top >> 29 & 3), top & 0xFFFFFF, top >> 24 & 31}};
        return {false, top == kLarge ? large_.Top() : top, {}};
    }
    // Whether the operand on top is not held and has no code from code on.
    bool TopIsEmpty(std::size_t code) const { return !Top().held && Top().code == code; }
    void Pop() noexcept {
        if (entries_.Top() == kLarge)
            large_.Pop();
        entries_.Pop();
    }
    void ReplaceTop(std::size_t code) {
        if (code < kLarge && entries_.Top() != kLarge) {
            entries_.Top() = static_cast<std::uint32_t>(code);
        } else {
            Pop();
            Push(code);
        }
    }

private:
    static constexpr std::uint32_t kHeld = 0x80000000;
    static constexpr std::uint32_t kLarge = 0x7FFFFFFF;
    GrowingStack<std::uint32_t> entries_;
    GrowingStack<std::size_t> large_;
};

} // namespace

// Turns the text into the program in one pass from left to right, with explicit stacks in place
// of recursion. (Outside the anonymous namespace: there the compiler would inline its members,
// each called once, into one large function, which runs slower.)
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
// left of a node is kept, so faults keep their order. Nothing after the first fault can run.
//
// The stacks hold what can't be found again: where each waiting operand's code begins (or its
// value, Operand), and the positions of the waiting operators and of the open "(" (MarkStack).
// An operand's text begins after the operator or "(" below its own on the mark stack and ends
// before the one above it, or where the reading stands; an operand is empty when it has no code.
class ExpressionCompiler {
public:
    ExpressionCompiler(std::string_view text, int variableCount, const std::string *names,
                       char separator, Program &out)
        : text_(text), variableCount_(variableCount), names_(names), separator_(separator),
          code_(out.code), constants_(out.constants) {}

    void Compile();

private:
    int Position(std::size_t index) const { return static_cast<int>(index); }
    // Where the text of an operand begins whose mark would be pushed next: after the mark on top.
    int StartAfterTopMark() const {
        return marks_.Empty() ? 0 : static_cast<int>(marks_.Top()) + 1;
    }
    bool TopOperandEmpty() const { return operands_.TopIsEmpty(code_.size()); }
    bool OperatorOnTop() const { return !marks_.Empty() && text_[marks_.Top()] != '('; }

    // The change of the position from the last instruction that carries one.
    std::int32_t PositionChange(int position) {
        const std::int32_t change = position - lastPosition_;
        lastPosition_ = position;
        return change;
    }
    void EmitWithOperand(int base, const Value &v);
    void EmitWithPosition(int base, std::initializer_list<std::uint8_t> bytes, int position);
    void EmitLoad(const Value &v) { EmitWithOperand(PushBase(v.source), v); }
    void EmitWithValue(Operator op, const Value &v, int position);
    void EmitWithLeftValue(Operator op, const Value &v, int position);
    std::optional<Value> SingleLoadAt(std::size_t offset) const;
    bool Foldable(Operator op, const Value &v) const;
    void EmitOperator(Operator op, int position);
    void EmitFunction(int index, int position);
    void EmitFault(FaultCode fault, int position);
    void ReplaceByFault(std::size_t from, FaultCode fault, int position) {
        code_.Truncate(from);
        EmitFault(fault, position);
    }
    Value Constant(long double value) {
        constants_.push_back(value);
        return {Source::Const, static_cast<std::uint32_t>(constants_.size() - 1)};
    }

    bool TopLevelFault();
    void CompileName(std::string_view name, int offset);
    void CompileNumber(std::string_view digits, int offset);
    void StartAtom(int position);
    void FinishAtom(int end);
    void FinishPart(int end);
    void PushOperator(Operator op, int position);
    void Reduce(int end);

    std::string_view text_;
    int variableCount_;
    const std::string *names_;
    char separator_;
    ByteCode &code_;
    std::vector<long double> &constants_;
    OperandStack operands_;
    MarkStack marks_;
    // The atom being read in the innermost part.
    int atomStart_ = 0;
    std::size_t atomCode_ = 0;
    int open_ = -1;      // the atom's first "(", if any
    int close_ = -1;     // its matching ")", once read
    int extra_ = -1;     // the first character after that ")", which is a fault
    int extraDepth_ = 0; // parentheses open in the part being skipped after it
    std::int32_t lastPosition_ = 0;
    // Numbers kept as constants (those too long for the code) and named constants, by their
    // text, so that each is converted and stored once.
    static constexpr std::size_t kMaxLiterals = 4096;
    std::unordered_map<std::string_view, std::uint32_t> literals_;
};

// An instruction with the value's operand (and a decimal number's scale) after its opcode.
void ExpressionCompiler::EmitWithOperand(int base, const Value &v) {
    const unsigned width = UnsignedWidth(v.operand);
    const bool decimal = v.source == Source::Decimal;
    std::uint8_t *at = code_.Extend(1u + kWidthBytes[width] + decimal);
    at[0] = Opcode(base, width);
    WriteUnsigned(at + 1, v.operand, width);
    if (decimal)
        at[1 + kWidthBytes[width]] = static_cast<std::uint8_t>(v.scale);
}

// An instruction with the bytes after its opcode, then the change of the position.
void ExpressionCompiler::EmitWithPosition(int base, std::initializer_list<std::uint8_t> bytes,
                                          int position) {
    const std::int32_t change = PositionChange(position);
    const unsigned width = SignedWidth(change);
    std::uint8_t *at = code_.Extend(1u + bytes.size() + kWidthBytes[width]);
    at[0] = Opcode(base, width);
    std::copy(bytes.begin(), bytes.end(), at + 1);
    WriteUnsigned(at + 1 + bytes.size(), static_cast<std::uint32_t>(change), width);
}

// The operator with the value as its right operand, in place of a push of the value and the
// operator. The value must not be 0 for "/" and "^", and a variable's index must fit a byte for
// them.
void ExpressionCompiler::EmitWithValue(Operator op, const Value &v, int position) {
    const int base = ValueBase(op, v.source);
    if (v.source == Source::Var && ChecksOperands(op))
        EmitWithPosition(base, {static_cast<std::uint8_t>(v.operand)}, position);
    else
        EmitWithOperand(base, v);
}

// The operator with the value as its left operand and the accumulator as its right one. The value
// of "/" and "^" must fit a byte.
void ExpressionCompiler::EmitWithLeftValue(Operator op, const Value &v, int position) {
    const int base = LeftValueBase(op, v.source);
    const auto operand = static_cast<std::uint8_t>(v.operand);
    if (Commutes(op))
        EmitWithValue(op, v, position);
    else if (!ChecksOperands(op))
        EmitWithOperand(base, v);
    else if (v.source == Source::Decimal)
        EmitWithPosition(base, {operand, static_cast<std::uint8_t>(v.scale)}, position);
    else
        EmitWithPosition(base, {operand}, position);
}

// The value of the code from offset to the end, when that is one load.
std::optional<Value> ExpressionCompiler::SingleLoadAt(std::size_t offset) const {
    if (offset >= code_.size())
        return std::nullopt;
    const std::uint8_t *load = code_.data() + offset;
    if (BaseOf(*load) > kPushDecimal || offset + InstructionLength(load) != code_.size())
        return std::nullopt;
    const unsigned width = WidthOf(*load);
    const auto source = static_cast<Source>(BaseOf(*load) - kPushConst);
    const unsigned scale = source == Source::Decimal ? load[1 + kWidthBytes[width]] : 0u;
    return Value{source, ReadUnsigned(load + 1, width), scale};
}

// Whether the operator can take the value as its right operand: "/" and "^" by a value that is
// never 0 have no check; by a variable, a check with the position, and the index in a byte.
bool ExpressionCompiler::Foldable(Operator op, const Value &v) const {
    if (!ChecksOperands(op))
        return true;
    if (v.source == Source::Var)
        return v.operand <= 0xFF;
    if (v.source == Source::Const)
        return constants_[v.operand] != 0;
    return v.operand != 0;
}

void ExpressionCompiler::EmitOperator(Operator op, int position) {
    if (ChecksOperands(op))
        EmitWithPosition(StackBase(op), {}, position);
    else
        *code_.Extend(1) = Opcode(StackBase(op), 0);
}

void ExpressionCompiler::EmitFunction(int index, int position) {
    if (ChecksArgument(static_cast<std::size_t>(index))) {
        EmitWithPosition(kFunction, {static_cast<std::uint8_t>(index)}, position);
        return;
    }
    std::uint8_t *at = code_.Extend(2);
    at[0] = Opcode(kFunction, 0);
    at[1] = static_cast<std::uint8_t>(index);
}

// A fault carries its whole position: the positions of the instructions before it need not be
// known where it replaces some of them.
void ExpressionCompiler::EmitFault(FaultCode fault, int position) {
    std::uint8_t *at = code_.Extend(6);
    at[0] = Opcode(kFault, 0);
    at[1] = static_cast<std::uint8_t>(fault);
    WriteUnsigned(at + 2, static_cast<std::uint32_t>(position), 3);
}

// The checks that only the whole text can fail: the empty text, the lone separator, and the
// parentheses, which then balance in every part.
bool ExpressionCompiler::TopLevelFault() {
    const int len = Position(text_.size());
    if (len == 0) {
        EmitFault(FaultCode::Empty, 0);
        return true;
    }
    if (len == 1 && text_[0] == separator_) {
        EmitFault(FaultCode::Syntax, 0);
        return true;
    }
    int depth = 0;
    for (std::size_t k = 0; k < text_.size(); ++k) {
        if (text_[k] == '(')
            ++depth;
        else if (text_[k] == ')' && --depth < 0) {
            EmitFault(FaultCode::UnopenedParenthesis, Position(k));
            return true;
        }
    }
    if (depth > 0) {
        EmitFault(FaultCode::UnclosedParenthesis, len);
        return true;
    }
    return false;
}

// A text without operator and without parenthesis, at offset in the whole text: a constant, a
// variable or a number, looked up in this order.
void ExpressionCompiler::CompileName(std::string_view name, int offset) {
    if (name.size() == 1 && name[0] == separator_) {
        EmitFault(FaultCode::Syntax, offset);
        return;
    }
    // No constant's name begins with a digit, so numbers skip the lookup.
    const auto constant = IsDigit(name[0]) ? std::nullopt : LookupConstant(name);
    if (constant) {
        // A named constant is stored once, under its name.
        if (const auto known = literals_.find(name); known != literals_.end()) {
            EmitLoad({Source::Const, known->second});
            return;
        }
        const Value v = Constant(*constant);
        literals_.emplace(name, v.operand);
        EmitLoad(v);
        return;
    }
    for (int v = 0; v < variableCount_; ++v)
        if (names_[v] == name) {
            EmitLoad({Source::Var, static_cast<std::uint32_t>(v)});
            return;
        }
    int separators = 0;
    for (std::size_t k = 0; k < name.size(); ++k) {
        const char c = name[k];
        if (c == separator_)
            ++separators;
        if (!IsDigit(c) && c != separator_) {
            EmitFault(FaultCode::Syntax, offset + Position(k));
            return;
        }
        if (separators > 1) {
            EmitFault(FaultCode::SecondSeparator, offset + Position(k));
            return;
        }
    }
    CompileNumber(name, offset);
}

// Digits with at most one separator.
void ExpressionCompiler::CompileNumber(std::string_view digits, int) {
    if (const auto small = ReadSmallNumber(digits, separator_)) {
        if (small->scale == 0)
            EmitLoad({Source::Whole, small->digits});
        else
            EmitLoad({Source::Decimal, small->digits, small->scale});
        return;
    }
    // A literal seen before shares its constant (a long sum often repeats one number).
    if (const auto known = literals_.find(digits); known != literals_.end()) {
        EmitLoad({Source::Const, known->second});
        return;
    }
    if (const auto value = ConvertNumberLiteral(digits, separator_)) {
        const Value v = Constant(*value);
        if (literals_.size() < kMaxLiterals)
            literals_.emplace(digits, v.operand);
        EmitLoad(v);
    } else {
        *code_.Extend(1) = Opcode(kBadLiteral, 0);
    }
}

void ExpressionCompiler::StartAtom(int position) {
    atomStart_ = position;
    atomCode_ = code_.size();
    open_ = close_ = extra_ = -1;
    extraDepth_ = 0;
}

// Ends the atom [atomStart_, end) and pushes it as an operand.
void ExpressionCompiler::FinishAtom(int end) {
    const int start = atomStart_;
    if (extra_ >= 0) {
        // Text after the ")" of a parenthesis: the atom's own check, before its argument.
        ReplaceByFault(atomCode_, FaultCode::NoOperatorAfterParenthesis, extra_);
    } else if (open_ < 0) {
        if (start < end)
            CompileName(text_.substr(static_cast<std::size_t>(start),
                                     static_cast<std::size_t>(end - start)),
                        start);
    } else if (open_ > start) {
        // The argument's code is in place; the name is looked at after it has been evaluated.
        const std::string_view name =
            text_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(open_ - start));
        if (const auto function = LookupFunction(name))
            EmitFunction(*function, open_ + 1);
        else if (IsDigit(name[0]) || name[0] == separator_)
            EmitFault(FaultCode::NoOperatorBeforeParenthesis, open_);
        else
            EmitFault(FaultCode::UnknownFunction, start);
    }
    operands_.Push(atomCode_);
}

// The node of the operator on top of the mark stack, with the two operands on top of the operand
// stack; the reading stands at end.
void ExpressionCompiler::Reduce(int end) {
    const int s = static_cast<int>(marks_.Top());
    const Operator op = *OperatorOf(text_[static_cast<std::size_t>(s)]);
    marks_.Pop();
    // The right operand has its code; the left one may be a value held back.
    const std::size_t right = operands_.Top().code;
    operands_.Pop();
    const Operand leftOperand = operands_.Top();
    const bool held = leftOperand.held;
    const std::size_t left = held ? right : leftOperand.code; // where the node's code begins
    operands_.ReplaceTop(left);
    const int a = StartAfterTopMark(), b = end;
    FaultCode fault = FaultCode::None;
    int position = 0;
    if (b - a == 1 && text_[static_cast<std::size_t>(a)] == separator_)
        fault = FaultCode::Syntax, position = a;
    else if (s == a && !MayBeSign(op))
        fault = FaultCode::NoLeftOperand, position = a;
    else if (s == b - 1)
        fault = FaultCode::NoRightOperand, position = s + 1;
    if (fault != FaultCode::None) {
        ReplaceByFault(left, fault, position);
        return;
    }
    if (const auto value = SingleLoadAt(right)) {
        // The right operand is a single load: the left one is read first, and the right one is
        // folded into the operation where the operation can take it.
        if (!held && !ChecksOperands(op)) {
            // The same operand after another opcode.
            code_.Byte(right) = Opcode(ValueBase(op, value->source), WidthOf(code_.Byte(right)));
            return;
        }
        code_.Truncate(right);
        if (held)
            EmitLoad(leftOperand.value);
        if (Foldable(op, *value)) {
            EmitWithValue(op, *value, s);
        } else {
            EmitLoad(*value);
            EmitOperator(op, s);
        }
    } else if (held) {
        EmitWithLeftValue(op, leftOperand.value, s);
    } else {
        EmitOperator(op, s);
    }
}

// The operators of the same or a higher precedence before it are complete.
void ExpressionCompiler::PushOperator(Operator op, int position) {
    while (OperatorOnTop() && *OperatorOf(text_[marks_.Top()]) >= op)
        Reduce(position);
    if (MayBeSign(op) && TopOperandEmpty()) {
        // A leading sign: the left operand is the text "0", read like any other operand.
        CompileName("0", position);
    }
    // A single value on the left is held back (see Operand).
    const std::size_t left = operands_.Top().code;
    if (const auto value = SingleLoadAt(left);
        value && OperandStack::CanHold(*value) && (!ChecksOperands(op) || value->operand <= 0xFF)) {
        code_.Truncate(left);
        operands_.Pop();
        operands_.PushHeld(*value);
    }
    marks_.Push(static_cast<std::uint32_t>(position));
}

// Ends the innermost part (or the whole text): completes its waiting operators, leaving its one
// operand.
void ExpressionCompiler::FinishPart(int end) {
    while (OperatorOnTop())
        Reduce(end);
    if (TopOperandEmpty())
        EmitFault(FaultCode::Empty, StartAfterTopMark());
}

void ExpressionCompiler::Compile() {
    if (TopLevelFault())
        return;
    StartAtom(0);
    const std::size_t n = text_.size();
    for (std::size_t k = 0; k <= n; ++k) {
        const int p = Position(k);
        const char c = k < n ? text_[k] : '\0';
        const std::optional<Operator> op = k < n ? OperatorOf(c) : std::nullopt;
        const bool end = k == n;
        if (extra_ >= 0) {
            // Skipping the rest of an atom that already has its fault.
            if (!end && c == '(') {
                ++extraDepth_;
                continue;
            }
            if (!end && c == ')' && extraDepth_ > 0) {
                --extraDepth_;
                continue;
            }
            if (!end && extraDepth_ > 0)
                continue;
            if (!end && !op && c != ')')
                continue;
        }
        if (end) {
            FinishAtom(p);
            FinishPart(p);
        } else if (op) {
            FinishAtom(p);
            PushOperator(*op, p);
            StartAtom(p + 1);
        } else if (c == '(') {
            if (close_ >= 0) {
                extra_ = p;
                extraDepth_ = 1;
            } else {
                // The atom's name, if any, is read again at its ")"; its code begins where the
                // part's will.
                open_ = p;
                if (k > 0 && text_[k - 1] == '(' && !marks_.Empty() &&
                    marks_.Top() + 1 == static_cast<std::uint32_t>(p))
                    marks_.PushNextParenthesis();
                else
                    marks_.Push(static_cast<std::uint32_t>(p));
                StartAtom(p + 1);
            }
        } else if (c == ')') {
            FinishAtom(p);
            FinishPart(p);
            // Back in the enclosing part, in the atom that this parenthesis ends.
            const std::size_t code = operands_.Top().code;
            operands_.Pop();
            const int open = static_cast<int>(marks_.Top());
            marks_.Pop();
            StartAtom(StartAfterTopMark());
            atomCode_ = code;
            open_ = open;
            close_ = p;
        } else if (close_ >= 0) {
            extra_ = p;
        }
    }
}

std::shared_ptr<Program> CompileProgram(std::string_view text, int variableCount,
                                        const std::string *names, char separator) {
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("expression longer than its positions can index");
    auto program = std::make_shared<Program>();
    ExpressionCompiler(text, variableCount, names, separator, *program).Compile();
    ByteCode &code = program->code;
    // The code is straight, so nothing after the first fault instruction can run. On the way,
    // the most values alive at once; slot 0 of the interpreter's stack takes the accumulator's
    // initial value.
    std::size_t at = 0, count = 0;
    int depth = 0, deepest = 0;
    bool ended = false;
    while (at < code.size() && !ended) {
        const std::uint8_t *i = code.data() + at;
        const int base = BaseOf(*i);
        ++count;
        if (base <= kPushDecimal)
            deepest = std::max(deepest, ++depth);
        else if (base >= kAdd && base <= kPow)
            --depth;
        ended = base == kFault || base == kBadLiteral;
        at += InstructionLength(i);
    }
    code.Truncate(at);
    if (!ended) {
        *code.Extend(1) = Opcode(kReturn, 0);
        ++count;
    }
    code.Finish();
    program->constants.shrink_to_fit();
    program->instructions = count;
    program->maxDepth = deepest;
    program->stackSize = deepest + 1;
    return program;
}

} // namespace ziffa::compiled
