#include "interpreter/compiled/X86Generator.h"

#include "interpreter/Tables.h"
#include "interpreter/compiled/CompiledPower.h"
#include "interpreter/compiled/X86Assembler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>
#include <vector>

namespace ziffa::compiled {

namespace {

// Called from the generated code, which has no unwind information: nothing may be thrown
// through it. A FloatFault here makes the caller evaluate again with the checked arithmetic,
// which throws it in its proper place.
long double NativeFunction(int index, long double argument, int *code) noexcept {
    try {
        return ApplyFunction(index, argument, *code);
    } catch (...) {
        *code = kRecheck;
        return 0;
    }
}

// The math library's functions of double that ApplyFunction applies, called from the generated
// code with the argument already rounded to double (and the overflow of that rounding left in
// the status flags). These must stay the ones ApplyFunction uses; the differential test compares
// the two for every function.
double Sine(double x) {
    return std::sin(x);
}
double Cosine(double x) {
    return std::cos(x);
}
double Arcsine(double x) {
    return std::asin(x);
}
double Arccosine(double x) {
    return std::acos(x);
}
double Exponential(double x) {
    return std::exp(x);
}
double Logarithm(double x) {
    return std::log(x);
}
double Logarithm10(double x) {
    return std::log10(x);
}
// The power function where the quick way inline can't tell the result.
double MathPower(double base, double exponent) {
    return std::pow(base, exponent);
}
// The power with an exponent known only at run time.
double PowerOfVariables(double base, double exponent) {
    return PowerOfDoubles(base, exponent);
}

// What the generator knows of a value: when known, that it is never infinite or a NaN and lies
// within [lo, hi]. Rounding to nearest is monotonic, so the same arithmetic on the ends of ranges
// gives the ends of the range of the result; arithmetic whose range has finite ends can't
// overflow or be invalid at run time and needs no check.
struct Range {
    bool known = false;
    long double lo = 0, hi = 0;

    static Range Of(long double lo, long double hi) {
        if (!std::isfinite(lo) || !std::isfinite(hi))
            return {};
        return {true, lo, hi};
    }
    long double Magnitude() const { return std::max(std::fabs(lo), std::fabs(hi)); }
    bool ExcludesZero() const { return known && (lo > 0 || hi < 0); }
    bool Within(long double a, long double b) const { return known && lo >= a && hi <= b; }
    bool WithinDouble() const { return known && Magnitude() <= std::numeric_limits<double>::max(); }
    // The range after rounding to double, where no rounding can overflow.
    Range RoundedToDouble() const {
        if (!WithinDouble())
            return {};
        return Of(static_cast<double>(lo), static_cast<double>(hi));
    }
};

// The range of a op b for "+", "-", "*" and "/"; square when a and b are the same value.
Range Combine(Operator op, const Range &a, const Range &b, bool square) {
    if (!a.known || !b.known)
        return {};
    switch (op) {
    case Operator::Add:
        return Range::Of(a.lo + b.lo, a.hi + b.hi);
    case Operator::Subtract:
        return Range::Of(a.lo - b.hi, a.hi - b.lo);
    case Operator::Multiply:
        if (square) {
            const long double low = a.lo * a.lo, high = a.hi * a.hi;
            if (a.lo >= 0)
                return Range::Of(low, high);
            if (a.hi <= 0)
                return Range::Of(high, low);
            return Range::Of(0, std::max(low, high));
        }
        break;
    default:
        if (!b.ExcludesZero())
            return {};
        break;
    }
    long double corners[4];
    int n = 0;
    for (long double x : {a.lo, a.hi})
        for (long double y : {b.lo, b.hi})
            corners[n++] = op == Operator::Multiply ? x * y : x / y;
    return Range::Of(*std::min_element(corners, corners + 4),
                     *std::max_element(corners, corners + 4));
}

// How the generated code applies FunctionTable[index]: the check made on the extended argument,
// and the function of double, or nothing where ApplyFunction itself is called ("!", "tg" and
// "ctg", whose checks or arithmetic go beyond a function of double).
enum class Check { None, AboveOne, BelowZero };
// The fault of an argument that fails the check.
constexpr FaultCode FaultOf(Check check) {
    return check == Check::AboveOne ? FaultCode::ArgumentAboveOne : FaultCode::NegativeArgument;
}
enum class Kernel { Call, Absolute, SquareRoot, General };
struct FunctionRule {
    std::string_view name;
    Check check;
    Kernel kernel;
    double (*math)(double);
    // A range of the result for arguments (rounded to double) within the domain; none where the
    // domain is empty.
    double domainLow, domainHigh;
    double low, high;
};
constexpr double kDoubleMax = std::numeric_limits<double>::max();
constexpr double kDoubleMin = std::numeric_limits<double>::denorm_min();
constexpr FunctionRule kRules[] = {
    {"sin", Check::None, Kernel::Call, &Sine, -kDoubleMax, kDoubleMax, -1, 1},
    {"cos", Check::None, Kernel::Call, &Cosine, -kDoubleMax, kDoubleMax, -1, 1},
    {"asin", Check::AboveOne, Kernel::Call, &Arcsine, -1, 1, -2, 2},
    {"acos", Check::AboveOne, Kernel::Call, &Arccosine, -1, 1, 0, 4},
    {"abs", Check::None, Kernel::Absolute, nullptr, -kDoubleMax, kDoubleMax, 0, kDoubleMax},
    {"exp", Check::None, Kernel::Call, &Exponential, -kDoubleMax, 709, 0, kDoubleMax},
    {"ln", Check::BelowZero, Kernel::Call, &Logarithm, kDoubleMin, kDoubleMax, -745, 710},
    {"log10", Check::BelowZero, Kernel::Call, &Logarithm10, kDoubleMin, kDoubleMax, -324, 309},
    {"!", Check::None, Kernel::General, nullptr, 1, 0, 0, 0},
    {"tg", Check::None, Kernel::General, nullptr, 1, 0, 0, 0},
    {"ctg", Check::None, Kernel::General, nullptr, 1, 0, 0, 0},
    {"sqrt", Check::BelowZero, Kernel::SquareRoot, nullptr, 0, kDoubleMax, 0, 1.4e154},
};
static_assert(std::size(kRules) == FunctionTable.size());
constexpr bool RulesMatchTable() {
    for (std::size_t i = 0; i < FunctionTable.size(); ++i)
        if (kRules[i].name != FunctionTable[i])
            return false;
    return true;
}
static_assert(RulesMatchTable(), "the rules follow the order of FunctionTable");

// Two functions are generated for each program, with the same body:
//   long double f(const double *values, int *codeAndPosition), for one evaluation, and
//   size_t g(const double *values, size_t strideBytes, size_t count, long double *results),
// which runs the body for count points in a loop, stores each value and stops at the first point
// that faults or needs a checked evaluation, returning its index.
// Where the body calls functions the pointers live in callee-saved registers (rbx values, r12
// codeAndPosition or results, r13 the points left, r14 count, r15 strideBytes) and the frame at
// rsp has two 16-byte slots for the arguments of calls (the second also takes a function's error
// code), a 16-byte spill slot for each value in an x87 register and an 8-byte slot for the result
// of a call at each position of the value stack. A body that calls nothing needs no frame and
// keeps the arguments where they arrive (rdi, rsi, rdx, rcx; r8 keeps count).
constexpr int kX87Registers = 8;
// Each operation needs at most three registers beyond the values of the program.
constexpr int kMaxDepth = kX87Registers - 3;
constexpr int kArgument0 = 0, kArgument1 = 16, kErrorSlot = 16, kSpill = 32;
constexpr int kSlots = kSpill + 16 * kMaxDepth;
// The slots of hoisted calls follow those of the stack positions.
constexpr int kMaxHoisted = 64;
constexpr std::size_t kMaxInstructions = 20000;
// The most bytes of machine code (both functions): beyond it a program is interpreted. Ordinary
// code takes about 20 bytes an instruction, code full of checked divisions and function calls
// ten times that; a program whose code would outgrow the caches saves little time by it.
constexpr std::size_t kMaxCodeBytes = std::size_t{1} << 20;

bool IsDouble(long double v) {
    return static_cast<long double>(static_cast<double>(v)) == v;
}

// Turns the program into machine code, following the program's value stack at generation
// time. A value on that stack is either in an x87 register (the registers hold those values in
// stack order) or, when it is exactly a double, in memory: a variable, a constant, or a frame slot
// that holds the result of a call. Values in memory are used as memory operands, as a C++
// compiler does, and need not be saved around calls.
//
// The arithmetic is unchecked. A value computed by it is "dirty": it may be an infinity or a NaN
// left by an overflow or an invalid operation that the evaluator would have reported. Wherever a
// dirty value could vanish from the computation (a divisor, an argument rounded to double, the
// value at a fault or at the end), the code checks that it is finite (and within the range of
// double where it is rounded) and otherwise returns kRecheck, so that the checked interpreter
// evaluates again and finds the fault in its place.
//
// Each evaluation first checks that the variables it reads are finite (and returns kRecheck
// otherwise). From there the generator follows the range of every value it can: arithmetic
// whose range has finite ends can't overflow, a divisor whose range excludes zero needs no check,
// nor does a function's argument whose range its check would pass, so a value with a known range
// is never dirty. On the usual functions of x and y that leaves no check at all.
class Generator {
public:
    Generator(const DecodedProgram &program, bool fusedMultiplyAdd)
        : program_(program), fusedMultiplyAdd_(fusedMultiplyAdd) {}

    // Generates the code, padded to whole pages, and its constants, which are to be placed right
    // after it (in pages of their own, readable only).
    bool Generate(std::size_t pageSize);
    std::vector<std::uint8_t> TakeCode() { return a_.Take(); }
    std::vector<std::uint8_t> TakeConstants() { return std::move(constantBytes_); }
    // Where the function for many points starts; the one for a single point starts at 0.
    std::size_t BatchEntry() const { return batchEntry_; }

private:
    enum class Where { X87, Variable, Constant, Slot };
    struct Value {
        Where where;
        int index;          // of the variable, the constant or the slot
        bool dirty = false; // computed by the unchecked arithmetic
        bool isDouble = true;
        Range range = {};
        int variable = -1; // the index of the variable the value is, if it is one
    };
    enum class StubKind { Divide, Fixed, Function, Recheck, Power };
    struct Stub {
        StubKind kind;
        std::size_t jump;
        int depth;                         // x87 registers in use
        int position;                      // the fault's position; the product's xmm for Power
        FaultCode fault = FaultCode::None; // of a Fixed stub
        int exponent = 0;                  // the constant of Power's exponent
        Value operand{Where::X87, 0};      // the dividend; the base for Power (X87: in the frame)
        std::size_t resume = 0;            // where Power goes on
        int slot = 0;                      // the slot of Power's result
        std::size_t alsoFrom[2] = {0, 0};  // more jumps to the stub, if not 0
    };

    // Constants of the code itself, after the program's constants.
    int DoubleMaxIndex() const { return static_cast<int>(program_.constants.size()); }
    int OneIndex() const { return DoubleMaxIndex() + 1; }
    int ZeroIndex() const { return DoubleMaxIndex() + 2; }
    int SignMaskIndex() const { return DoubleMaxIndex() + 3; } // all bits of a double but its sign
    int PowerMarginIndex() const { return DoubleMaxIndex() + 4; }
    int LastConstantIndex() const { return PowerMarginIndex(); }
    long double ConstantValue(int index) const {
        if (index == DoubleMaxIndex())
            return std::numeric_limits<double>::max();
        if (index == OneIndex())
            return 1;
        if (index == PowerMarginIndex())
            return kPowerMargin;
        if (index == ZeroIndex() || index == SignMaskIndex())
            return 0;
        return program_.constants[static_cast<std::size_t>(index)];
    }

    int X87Depth() const {
        int n = 0;
        for (const Value &v : stack_)
            n += v.where == Where::X87;
        return n;
    }

    void WriteOut(int slot, std::int32_t value) { a_.StoreImmediate32(At(out_, 4 * slot), value); }
    static Memory Frame(std::int32_t disp) { return At(kRsp, disp); }
    static Memory SlotAt(int slot) { return Frame(kSlots + 8 * slot); }
    static Memory SpillAt(int j) { return Frame(kSpill + 16 * j); }

    // The memory a value in memory is in.
    Memory MemoryOf(const Value &v) const {
        switch (v.where) {
        case Where::Variable:
            return At(values_, 8 * v.index);
        case Where::Slot:
            return SlotAt(v.index);
        default:
            return ConstantEntry(v.index);
        }
    }
    // Loads v (in memory) onto the x87 stack.
    void Load(Value &v) {
        if (v.where == Where::Constant && !IsDouble(ConstantValue(v.index)))
            a_.FldLong(ConstantEntry(v.index));
        else
            a_.FldDouble(MemoryOf(v));
        v.where = Where::X87;
    }
    void LoadTop() {
        if (stack_.back().where != Where::X87)
            Load(stack_.back());
    }

    // ST(1) op= ST(0), pop: "+", "-", "*" or "/".
    void PoppingArith(Operator op) { a_.FarithPop(static_cast<X87Arith>(op)); }
    // ST(0) = ST(0) op v, or (reversed) v op ST(0), for v in memory.
    void MemoryArith(Operator op, bool reversed, const Value &v) {
        a_.Farith(static_cast<X87Arith>(op), reversed, MemoryOf(v));
    }
    // A jump to a stub that ends with the fault at position.
    void FaultStub(std::size_t jump, int depth, int position, FaultCode fault) {
        stubs_.push_back({StubKind::Fixed, jump, depth, position, fault});
    }

    void PopAll(int depth) {
        for (int i = 0; i < depth; ++i)
            a_.FstpSt0();
    }
    // Ends the evaluation with a fault (or kRecheck); the function for many points only stops at
    // the point.
    void ExitWith(int code, int position, int depth) {
        PopAll(depth);
        if (!batch_) {
            WriteOut(0, code);
            WriteOut(1, position);
            a_.Fldz();
        }
        exits_.push_back(a_.Jump());
    }
    // Jumps when ST(offset) is neither 0 nor a NaN.
    std::size_t JumpUnlessZero(const Value &v, int offset) {
        if (v.where == Where::X87) {
            a_.Fldz();
            a_.FucomipSt(offset + 1);
        } else {
            a_.Movsd(2, MemoryOf(v));
            a_.Ucomisd(2, ConstantEntry(ZeroIndex()));
        }
        return a_.Jump(Condition::NotEqual);
    }
    // Jumps when ST(i) is an infinity or a NaN.
    std::size_t JumpUnlessFinite(int i) {
        a_.FldSt(i);
        a_.FsubSelf();
        a_.FucomipSt(0);
        return a_.Jump(Condition::Parity);
    }
    void RecheckUnlessFinite(int i, int depth) {
        stubs_.push_back({StubKind::Recheck, JumpUnlessFinite(i), depth, 0});
    }
    // The same before a rounding to double, which also overflows for finite values beyond the
    // range of double.
    void RecheckUnlessDoubleRange(int i, int depth) {
        a_.FldSt(i);
        a_.Fabs();
        a_.FldDouble(ConstantEntry(DoubleMaxIndex()));
        a_.FucomipSt(1);
        a_.FstpSt0();
        stubs_.push_back({StubKind::Recheck, a_.Jump(Condition::Below), depth, 0});
    }
    // Rounds the x87 value on top to double into [rsp + disp], popping it.
    void RoundTopTo(std::int32_t disp, const Value &v, int depth) {
        if (!v.isDouble && !v.range.WithinDouble())
            RecheckUnlessDoubleRange(0, depth);
        a_.FstpDouble(Frame(disp));
    }

    // Saves the values in x87 registers before a call and brings them back after it; a result
    // in ST(0) stays on top.
    int Spill() {
        const int n = X87Depth();
        for (int j = 0; j < n; ++j)
            a_.FstpLong(SpillAt(j));
        return n;
    }
    void Restore(int n, bool resultOnTop) {
        for (int j = n - 1; j >= 0; --j) {
            a_.FldLong(SpillAt(j));
            if (resultOnTop)
                a_.FxchSt1();
        }
    }
    template <class F> void Call(F *function) {
        a_.CallAbsolute(reinterpret_cast<std::uintptr_t>(function));
    }
    // The result of a call, in xmm0, becomes the value in the slot of stack position p.
    void PushCallResult(int p, Range range = {}) {
        a_.Movsd(SlotAt(p), 0);
        stack_.push_back({Where::Slot, p});
        stack_.back().range = range;
    }
    static Value ConstantAt(int index, long double v) {
        return {Where::Constant, index, false, IsDouble(v), Range::Of(v, v)};
    }
    // Every variable is checked to be finite on entry.
    static Value VariableAt(int index) {
        return {Where::Variable, index, false, true, Range::Of(-kDoubleMax, kDoubleMax), index};
    }
    // The range of an argument once rounded to double: a value in an x87 register that is no
    // double is checked to be within the range of double before it is rounded.
    static Range ArgumentRange(const Value &argument) {
        if (argument.range.known)
            return argument.range.RoundedToDouble();
        if (argument.where == Where::X87 && !argument.isDouble)
            return Range::Of(-kDoubleMax, kDoubleMax);
        return {};
    }
    static Range ResultRange(const FunctionRule &rule, const Range &argument);
    void CheckVariables();

    // Loads an operand of a call into an xmm register: from the frame where it was rounded
    // (at disp), or from memory.
    void LoadOperand(int xmm, const Value &v, std::int32_t disp) {
        a_.Movsd(xmm, v.where == Where::X87 ? Frame(disp) : MemoryOf(v));
    }
    static bool QuickExponent(long double exponent) {
        return exponent >= kFastExponentLow && exponent <= kFastExponentHigh &&
               exponent == static_cast<int>(exponent);
    }

    // Exchanges the two values on top; values in memory move without code.
    void SwapTop() {
        Value &below = stack_[stack_.size() - 2], &top = stack_.back();
        if (below.where == Where::X87 && top.where == Where::X87)
            a_.FxchSt1();
        std::swap(below, top);
    }
    void FaultExit(FaultCode fault, int position, int depth);
    bool Emit(bool batch);
    void Binary(Operator op, int position);
    void Operate(Operator op, int position);
    void PushConstant(int index);
    void Divide(int position);
    void Power(int position);
    void QuickPower(const Value &base, int exponentIndex, int slot);
    void Function(int index, int position);
    void Hoist();
    bool Body();
    void Stubs();

    const DecodedProgram &program_;
    bool fusedMultiplyAdd_;
    Assembler a_;
    std::vector<std::uint8_t> constantBytes_;
    std::size_t constantsOffset_ = 0;
    std::vector<Value> stack_;
    std::vector<Stub> stubs_;
    std::vector<std::size_t> exits_;
    bool calls_ = false; // the body calls functions, and has a frame
    bool batch_ = false; // generating the function for many points
    std::size_t batchEntry_ = 0;
    int values_ = kRbx;
    int out_ = kR12; // codeAndPosition, or results
    int left_ = kR13, count_ = kR14, stride_ = kR15;
    // For each instruction, the slot of the hoisted call it is part of, or -1.
    std::vector<int> hoisted_;
    int hoistedCount_ = 0;
};

// Calls of functions without checks whose argument is a variable or a constant can't fault and
// have no effect beyond their value, so they run first, while no value is held in an x87 register
// that would have to be saved around them.
void Generator::Hoist() {
    const std::vector<Instruction> &code = program_.code;
    hoisted_.assign(code.size(), -1);
    for (std::size_t k = 1; k < code.size() && hoistedCount_ < kMaxHoisted; ++k) {
        const Instruction &i = code[k], &argument = code[k - 1];
        if (i.op != Op::Function || hoisted_[k - 1] >= 0)
            continue;
        const FunctionRule &rule = kRules[i.function];
        if (rule.check != Check::None ||
            (rule.kernel != Kernel::Call && rule.kernel != Kernel::Absolute))
            continue;
        Value v;
        if (argument.op == Op::PushVar)
            v = {Where::Variable, argument.index};
        else if (argument.op == Op::PushConst && IsDouble(ConstantValue(argument.index)))
            v = {Where::Constant, argument.index};
        else
            continue;
        const int slot = kMaxDepth + hoistedCount_++;
        hoisted_[k - 1] = hoisted_[k] = slot;
        a_.Movsd(0, MemoryOf(v));
        if (rule.kernel == Kernel::Absolute)
            a_.Andpd(0, ConstantEntry(SignMaskIndex()));
        else
            Call(rule.math);
        a_.Movsd(SlotAt(slot), 0);
    }
}

Range Generator::ResultRange(const FunctionRule &rule, const Range &argument) {
    if (!argument.Within(rule.domainLow, rule.domainHigh))
        return {};
    if (rule.kernel == Kernel::Absolute)
        return Range::Of(0, argument.Magnitude());
    return Range::Of(rule.low, rule.high);
}

// Returns for the checked evaluation when a variable the program reads is infinite or a NaN, so
// that the code after it may take every variable to be finite.
void Generator::CheckVariables() {
    std::vector<bool> read;
    for (const Instruction &i : program_.code)
        if (ReadsVariable(i.op)) {
            const auto index = static_cast<std::size_t>(i.index);
            if (read.size() <= index)
                read.resize(index + 1);
            if (read[index])
                continue;
            read[index] = true;
            // The high half of the double: all ones in the exponent's 11 bits.
            a_.Load32(kRax, At(values_, 8 * i.index + 4));
            a_.AndEaxImmediate(0x7FF00000);
            a_.CmpEaxImmediate(0x7FF00000);
            stubs_.push_back({StubKind::Recheck, a_.Jump(Condition::Equal), 0, 0});
        }
}

// Ends with the fault code at position, unless one of the values in registers is not finite.
void Generator::FaultExit(FaultCode fault, int position, int depth) {
    const int code = CodeOf(fault);
    if (batch_) {
        ExitWith(code, position, depth);
        return;
    }
    std::vector<std::size_t> recheck;
    for (int i = 0; i < depth; ++i)
        recheck.push_back(JumpUnlessFinite(i));
    ExitWith(code, position, depth);
    for (std::size_t jump : recheck)
        a_.Bind(jump, a_.Here());
    if (!recheck.empty())
        ExitWith(kRecheck, 0, depth);
}

// A constant onto the value stack: in memory where it is a double, otherwise loaded at once.
void Generator::PushConstant(int index) {
    stack_.push_back(ConstantAt(index, ConstantValue(index)));
    if (!stack_.back().isDouble)
        Load(stack_.back());
}

// The operator of the two values on top.
void Generator::Operate(Operator op, int position) {
    if (op == Operator::Divide)
        Divide(position);
    else if (op == Operator::Power)
        Power(position);
    else
        Binary(op, position);
}

// "+", "-" and "*" of the two values on top.
void Generator::Binary(Operator op, int) {
    Value right = stack_.back();
    stack_.pop_back();
    Value &left = stack_.back();
    if (left.where == Where::X87 && right.where == Where::X87) {
        PoppingArith(op);
    } else if (right.where != Where::X87) {
        // With both in memory the left one is loaded first, onto the top.
        if (left.where != Where::X87)
            Load(left);
        if (right.where == Where::Constant && !IsDouble(ConstantValue(right.index))) {
            Load(right);
            PoppingArith(op);
        } else {
            MemoryArith(op, false, right);
        }
    } else if (left.where == Where::Constant && !IsDouble(ConstantValue(left.index))) {
        Load(left); // on top of the right operand
        a_.FxchSt1();
        PoppingArith(op);
    } else {
        // The right operand is on top: the reversed form keeps the order of the operands (and
        // "+" and "*" give the same bits either way).
        MemoryArith(op, true, left);
    }
    const bool square = left.variable >= 0 && left.variable == right.variable;
    const Range range = Combine(op, left.range, right.range, square);
    left = {Where::X87, 0, !range.known, false, range};
}

// "/" of the two values on top, after its checks.
void Generator::Divide(int position) {
    Value right = stack_.back();
    if (right.range.ExcludesZero()) {
        // Never zero or a NaN: no check.
        Binary(Operator::Divide, position);
        return;
    }
    if (right.where != Where::X87) {
        Load(stack_.back());
        right = stack_.back();
    }
    stack_.pop_back();
    Value &left = stack_.back();
    const int depth = X87Depth() + 1;
    a_.Fldz();
    a_.FucomipSt(1);
    stubs_.push_back({.kind = StubKind::Divide,
                      .jump = a_.Jump(Condition::Equal),
                      .depth = depth,
                      .position = position,
                      .operand = left});
    if (right.dirty)
        RecheckUnlessFinite(0, depth);
    if (left.where == Where::X87)
        PoppingArith(Operator::Divide);
    else if (left.where == Where::Constant && !IsDouble(ConstantValue(left.index))) {
        Load(left);
        a_.FxchSt1();
        PoppingArith(Operator::Divide);
    } else
        MemoryArith(Operator::Divide, true, left);
    left = {Where::X87, 0, true, false};
}

// "^" of the two values on top: its check, then the math library's power of the two operands
// rounded to double.
void Generator::Power(int position) {
    Value right = stack_.back();
    stack_.pop_back();
    Value left = stack_.back();
    stack_.pop_back();
    const int p = static_cast<int>(stack_.size());
    const bool rightX87 = right.where == Where::X87, leftX87 = left.where == Where::X87;
    int depth = X87Depth() + rightX87 + leftX87;
    if (!right.range.ExcludesZero()) {
        const std::size_t rightNonzero = JumpUnlessZero(right, 0);
        const std::size_t leftNonzero = JumpUnlessZero(left, rightX87 ? 1 : 0);
        FaultStub(a_.Jump(), depth, position, FaultCode::Indeterminate);
        a_.Bind(rightNonzero, a_.Here());
        a_.Bind(leftNonzero, a_.Here());
    }
    // The operands rounded to double: the right one is on top if it is in a register.
    if (rightX87) {
        RoundTopTo(kArgument1, right, depth);
        --depth;
    }
    if (leftX87) {
        RoundTopTo(kArgument0, left, depth);
        --depth;
    }
    if (fusedMultiplyAdd_ && right.where == Where::Constant &&
        QuickExponent(ConstantValue(right.index))) {
        QuickPower(leftX87 ? Value{Where::X87, 0} : left, right.index, p);
        stack_.push_back({Where::Slot, p});
        return;
    }
    const int spilled = Spill();
    LoadOperand(0, left, kArgument0);
    LoadOperand(1, right, kArgument1);
    Call(&PowerOfVariables);
    PushCallResult(p);
    Restore(spilled, false);
}

// The power of the base (in the frame, or a double in memory) to a small whole constant, into
// the slot: the quick way of CompiledPower.h, with pow called out of line where it can't tell.
// The steps are those of QuickPower in CompiledPower.cpp, operation for operation.
void Generator::QuickPower(const Value &base, int exponentIndex, int slot) {
    const int n = static_cast<int>(ConstantValue(exponentIndex));
    const Memory mask = ConstantEntry(SignMaskIndex()), margin = ConstantEntry(PowerMarginIndex());
    // The power so far in h and its error in l, from one pair of registers to the other; xmm0
    // holds the base.
    LoadOperand(0, base, kArgument0);
    int h = 0, l = -1;
    for (int k = 1; k < n; ++k) {
        const int product = h == 1 ? 3 : 1, error = l == 2 ? 4 : 2;
        a_.Movapd(product, h);
        a_.Mulsd(product, 0);
        a_.Movapd(error, product);
        a_.Vfmsub231sd(error, h, 0); // error = h * x - product, exactly
        if (l >= 0)
            a_.Vfmadd231sd(error, l, 0); // error += l * x
        h = product;
        l = error;
    }
    const int zero = h; // the product of a zero base, which the sum below may lose the sign of
    if (n > 2) {
        // h + l rounded, and the rest.
        const int sum = h == 1 ? 3 : 1;
        a_.Movapd(sum, h);
        a_.Addsd(sum, l);
        a_.Movapd(6, sum);
        a_.Subsd(6, h);
        a_.Subsd(l, 6);
        h = sum;
    }
    // The biased exponent of h must lie in [kFastBiasedLow, kFastBiasedLow + kFastBiasedSpan).
    a_.Movq(kRax, h);
    a_.Add(kRax, kRax); // no sign
    a_.ShiftRightImmediate(kRax, 53);
    a_.SubEaxImmediate(static_cast<std::int32_t>(kFastBiasedLow));
    a_.CmpEaxImmediate(static_cast<std::int32_t>(kFastBiasedSpan));
    const std::size_t outside = a_.Jump(Condition::AboveOrEqual);
    // |h| - (|h| * margin + |l|) must round back to |h|.
    a_.Movapd(5, h);
    a_.Andpd(5, mask);
    int reach = 6;
    if (l >= 0) {
        a_.Andpd(l, mask);
        a_.Vfmadd231sd(l, 5, margin);
        reach = l;
    } else {
        a_.Movapd(6, 5);
        a_.Mulsd(6, margin);
    }
    a_.Movapd(7, 5);
    a_.Subsd(7, reach);
    a_.Ucomisd(7, 5);
    const std::size_t moved = a_.Jump(Condition::NotEqual);
    const std::size_t unordered = a_.Jump(Condition::Parity);
    a_.Movsd(SlotAt(slot), h);
    stubs_.push_back({.kind = StubKind::Power,
                      .jump = outside,
                      .depth = X87Depth(),
                      .position = zero,
                      .exponent = exponentIndex,
                      .operand = base,
                      .resume = a_.Here(),
                      .slot = slot,
                      .alsoFrom = {moved, unordered}});
}

void Generator::Function(int index, int position) {
    const FunctionRule &rule = kRules[index];
    const int p = static_cast<int>(stack_.size()) - 1;
    if (rule.kernel == Kernel::General) {
        // ApplyFunction itself, with the extended argument.
        LoadTop();
        const Value argument = stack_.back();
        const int depth = X87Depth();
        if (!argument.isDouble && !argument.range.WithinDouble())
            RecheckUnlessDoubleRange(0, depth);
        a_.FstpLong(Frame(kArgument0));
        stack_.pop_back();
        const int spilled = Spill();
        a_.StoreImmediate32(Frame(kErrorSlot), 0);
        a_.MovImmediate(kRdi, index);
        a_.Lea(kRsi, Frame(kErrorSlot));
        Call(&NativeFunction);
        a_.CompareImmediate8(Frame(kErrorSlot), 0);
        // With values spilled around the call, one of them may hold an unchecked overflow that
        // came before this fault.
        stubs_.push_back({spilled > 0 ? StubKind::Recheck : StubKind::Function,
                          a_.Jump(Condition::NotEqual), 1, position});
        Restore(spilled, true);
        stack_.push_back({Where::X87, 0, false, false});
        return;
    }
    Value argument = stack_.back();
    const int depth = X87Depth();
    // Checks that the argument's range makes needless.
    const Check check =
        (rule.check == Check::AboveOne && argument.range.known && argument.range.hi <= 1) ||
                (rule.check == Check::BelowZero && argument.range.known && argument.range.lo >= 0)
            ? Check::None
            : rule.check;
    const Range result = ResultRange(rule, ArgumentRange(argument));
    if (argument.where == Where::X87) {
        if (check == Check::AboveOne) {
            // 1 < ST(0); a NaN passes.
            a_.Fld1();
            a_.FucomipSt(1);
            const std::size_t unordered = a_.Jump(Condition::Parity);
            FaultStub(a_.Jump(Condition::Below), depth, position, FaultOf(check));
            a_.Bind(unordered, a_.Here());
        } else if (check == Check::BelowZero) {
            // 0 > ST(0), or a NaN.
            a_.Fldz();
            a_.FucomipSt(1);
            FaultStub(a_.Jump(Condition::Parity), depth, position, FaultOf(check));
            FaultStub(a_.Jump(Condition::Above), depth, position, FaultOf(check));
        }
        RoundTopTo(kArgument0, argument, depth);
        a_.Movsd(0, Frame(kArgument0));
    } else {
        // A double in memory: the checks are the same on it in double.
        a_.Movsd(0, MemoryOf(argument));
        if (check == Check::AboveOne) {
            a_.Ucomisd(0, ConstantEntry(OneIndex()));
            FaultStub(a_.Jump(Condition::Above), depth, position, FaultOf(check));
        } else if (check == Check::BelowZero) {
            a_.Ucomisd(0, ConstantEntry(ZeroIndex()));
            FaultStub(a_.Jump(Condition::Below), depth, position, FaultOf(check));
        }
    }
    stack_.pop_back();
    if (rule.kernel == Kernel::Absolute && argument.where != Where::X87) {
        a_.Andpd(0, ConstantEntry(SignMaskIndex()));
        PushCallResult(p, result);
        return;
    }
    if (rule.kernel == Kernel::Absolute) {
        a_.Movsd(Frame(kArgument0), 0);
        a_.FldDouble(Frame(kArgument0));
        a_.Fabs();
        stack_.push_back({Where::X87, 0, false, true, result});
        return;
    }
    if (rule.kernel == Kernel::SquareRoot) {
        a_.Sqrtsd(0, 0);
        PushCallResult(p, result);
        return;
    }
    const int spilled = Spill();
    Call(rule.math);
    PushCallResult(p, result);
    Restore(spilled, false);
}

bool Generator::Body() {
    for (std::size_t k = 0; k < program_.code.size(); ++k) {
        // The stubs come after the body: about 120 bytes each for one point, a few for many.
        if (a_.Here() + (batch_ ? 16 : 128) * stubs_.size() > kMaxCodeBytes)
            return false;
        const Instruction &i = program_.code[k];
        if (hoisted_[k] >= 0) {
            // The argument of a hoisted call, or the call, whose value is in its slot.
            if (i.op == Op::Function) {
                const Instruction &argument = program_.code[k - 1];
                const Value v = argument.op == Op::PushConst
                                    ? ConstantAt(argument.index, ConstantValue(argument.index))
                                    : VariableAt(argument.index);
                stack_.push_back({Where::Slot, hoisted_[k]});
                stack_.back().range = ResultRange(kRules[i.function], ArgumentRange(v));
            }
            continue;
        }
        switch (i.op) {
        case Op::PushConst:
            PushConstant(i.index);
            break;
        case Op::PushVar:
            stack_.push_back(VariableAt(i.index));
            break;
        case Op::Operate:
            Operate(i.operation, i.position);
            break;
        case Op::OperateConst:
            PushConstant(i.index);
            Operate(i.operation, i.position);
            break;
        case Op::OperateVar:
            stack_.push_back(VariableAt(i.index));
            Operate(i.operation, i.position);
            break;
        case Op::ConstOperate:
        case Op::VarOperate:
            // The value is the left operand: it goes under the accumulator.
            if (i.op == Op::VarOperate)
                stack_.push_back(VariableAt(i.index));
            else
                PushConstant(i.index);
            SwapTop();
            Operate(i.operation, i.position);
            break;
        case Op::Function:
            Function(i.function, i.position);
            break;
        case Op::Fault:
            FaultExit(i.fault, i.position, X87Depth());
            return true;
        case Op::BadLiteral:
            ExitWith(kRecheck, i.position, X87Depth());
            return true;
        case Op::Return: {
            if (stack_.size() != 1)
                return false;
            const bool dirty = stack_.back().dirty;
            LoadTop();
            if (dirty)
                RecheckUnlessFinite(0, 1);
            return true;
        }
        default:
            return false;
        }
    }
    return false;
}

void Generator::Stubs() {
    // Writing a stub may add stubs: index, don't iterate.
    for (std::size_t k = 0; k < stubs_.size(); ++k) {
        const Stub s = stubs_[k];
        a_.Bind(s.jump, a_.Here());
        for (std::size_t jump : s.alsoFrom)
            if (jump != 0)
                a_.Bind(jump, a_.Here());
        switch (s.kind) {
        case StubKind::Divide: {
            if (batch_) {
                ExitWith(0, 0, s.depth);
                break;
            }
            // The divisor ST(0) is 0 or a NaN: 0/0 if the dividend is too.
            const std::size_t nonzero = JumpUnlessZero(s.operand, 1);
            FaultExit(FaultCode::Indeterminate, s.position, s.depth);
            a_.Bind(nonzero, a_.Here());
            FaultExit(FaultCode::DivisionByZero, s.position + 1, s.depth);
            break;
        }
        case StubKind::Fixed:
            FaultExit(s.fault, s.position, s.depth);
            break;
        case StubKind::Function:
            if (batch_) {
                ExitWith(0, 0, s.depth);
                break;
            }
            PopAll(s.depth);
            // The function's code, from the frame that calls have.
            a_.Load32(kRax, Frame(kErrorSlot));
            a_.Store32(At(out_, 0), kRax);
            WriteOut(1, s.position);
            a_.Fldz();
            exits_.push_back(a_.Jump());
            break;
        case StubKind::Recheck:
            ExitWith(kRecheck, 0, s.depth);
            break;
        case StubKind::Power: {
            // A zero base (in xmm0) gives the product of the zeros (in xmm[position]).
            a_.Ucomisd(0, ConstantEntry(ZeroIndex()));
            const std::size_t nonzero = a_.Jump(Condition::NotEqual);
            const std::size_t unordered = a_.Jump(Condition::Parity);
            a_.Movsd(SlotAt(s.slot), s.position);
            a_.Bind(a_.Jump(), s.resume);
            a_.Bind(nonzero, a_.Here());
            a_.Bind(unordered, a_.Here());
            // Otherwise pow itself, around which the values in x87 registers are saved.
            for (int j = 0; j < s.depth; ++j)
                a_.FstpLong(SpillAt(j));
            LoadOperand(0, s.operand, kArgument0);
            a_.Movsd(1, ConstantEntry(s.exponent));
            Call(&MathPower);
            a_.Movsd(SlotAt(s.slot), 0);
            for (int j = s.depth - 1; j >= 0; --j)
                a_.FldLong(SpillAt(j));
            a_.Bind(a_.Jump(), s.resume);
            break;
        }
        }
    }
}

bool Generator::Generate(std::size_t pageSize) {
    if (program_.maxDepth > kMaxDepth || program_.code.size() > kMaxInstructions)
        return false;
    for (const Instruction &i : program_.code)
        if (ReadsVariable(i.op) && i.index > std::numeric_limits<std::int32_t>::max() / 8)
            return false;
    calls_ = std::any_of(program_.code.begin(), program_.code.end(), [](const auto &i) {
        return i.op == Op::Function || (Operates(i.op) && i.operation == Operator::Power);
    });
    if (!Emit(false))
        return false;
    batchEntry_ = a_.Here();
    if (!Emit(true))
        return false;
    // The constants, 16 bytes apart, in the pages after the code's: data the code only reads
    // need not be executable.
    while (a_.Here() % pageSize != 0)
        a_.Breakpoint();
    constantsOffset_ = a_.Here();
    std::vector<std::uint8_t> &table = constantBytes_;
    for (int index = 0; index <= LastConstantIndex(); ++index) {
        const long double v = ConstantValue(index);
        std::uint8_t slot[16] = {};
        if (index == SignMaskIndex()) {
            const std::uint64_t mask = ~(std::uint64_t{1} << 63);
            std::memcpy(slot, &mask, sizeof mask);
        } else if (IsDouble(v)) {
            const double d = static_cast<double>(v);
            std::memcpy(slot, &d, sizeof d);
        } else {
            std::memcpy(slot, &v, 10);
        }
        table.insert(table.end(), std::begin(slot), std::end(slot));
    }
    a_.BindConstants(constantsOffset_);
    return true;
}

// Writes one of the two functions; the constants they use are placed after both.
bool Generator::Emit(bool batch) {
    batch_ = batch;
    stack_.clear();
    stubs_.clear();
    exits_.clear();
    hoistedCount_ = 0;
    const int saved[] = {kRbx, kR12, kR13, kR14, kR15};
    const int pushes = batch ? 5 : 2;
    // The frame keeps rsp 16-byte aligned at calls: it is 8 past a return address and the pushes.
    const int frame =
        (kSlots + 8 * (kMaxDepth + kMaxHoisted) + 15) / 16 * 16 + (pushes % 2 == 0 ? 8 : 0);
    if (calls_) {
        for (int k = 0; k < pushes; ++k)
            a_.Push(saved[k]);
        a_.SubRspImmediate(frame);
        values_ = kRbx;
        out_ = kR12;
        left_ = kR13;
        count_ = kR14;
        stride_ = kR15;
        a_.Mov(values_, kRdi);
        a_.Mov(out_, batch ? kRcx : kRsi);
        if (batch) {
            a_.Mov(stride_, kRsi);
            a_.Mov(left_, kRdx);
            a_.Mov(count_, kRdx);
        }
    } else {
        values_ = kRdi;
        out_ = batch ? kRcx : kRsi;
        stride_ = kRsi;
        left_ = kRdx;
        count_ = kR8;
        if (batch)
            a_.Mov(count_, kRdx);
    }
    const std::size_t loop = a_.Here();
    CheckVariables();
    if (calls_)
        Hoist();
    else
        hoisted_.assign(program_.code.size(), -1);
    if (!Body())
        return false;
    if (batch) {
        // The value to results[i], and on to the next point.
        a_.FstpLong(At(out_, 0));
        a_.AddImmediate8(out_, 16);
        a_.Add(values_, stride_);
        a_.Decrement(left_);
        a_.JumpBack(Condition::NotEqual, loop);
        a_.Mov(kRax, count_);
    }
    const std::size_t epilogue = a_.Here();
    if (calls_) {
        a_.AddRspImmediate(frame);
        for (int k = pushes - 1; k >= 0; --k)
            a_.Pop(saved[k]);
    }
    a_.Return();
    std::size_t stop = epilogue;
    if (batch) {
        // A point that faults: its index is count - left.
        stop = a_.Here();
        a_.Mov(kRax, count_);
        a_.Sub(kRax, left_);
        const std::size_t jump = a_.Jump();
        a_.Bind(jump, epilogue);
    }
    Stubs();
    for (std::size_t exit : exits_)
        a_.Bind(exit, stop);
    return a_.Here() <= kMaxCodeBytes;
}

} // namespace

std::optional<MachineCode> GenerateX86(const Program &program, std::size_t pageSize) {
    if (program.maxDepth > kMaxDepth || program.instructions > kMaxInstructions)
        return std::nullopt;
    const DecodedProgram decoded = Decode(program, kMaxInstructions);
    Generator generator(decoded, HasFusedMultiplyAdd());
    if (!generator.Generate(pageSize))
        return std::nullopt;
    return MachineCode{generator.TakeCode(), generator.TakeConstants(), generator.BatchEntry()};
}

} // namespace ziffa::compiled
