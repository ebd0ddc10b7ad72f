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

    // Generates the code and its constants, which are to be placed constantsOffset bytes after
    // the code's first byte (in pages of their own, readable only).
    bool Generate(std::size_t pageSize);
    std::vector<std::uint8_t> TakeCode() { return std::move(a_.bytes); }
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
    struct ConstantUse {
        std::size_t disp;
        int index;
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

    // x87 stack operations.
    void Fldz() { a_.Bytes({0xD9, 0xEE}); }
    void FxchSt1() { a_.Bytes({0xD9, 0xC9}); }
    void FstpSt0() { a_.Bytes({0xDD, 0xD8}); }
    void FldSt(int i) { a_.Bytes({0xD9, 0xC0 + i}); }
    void FucomipSt(int i) { a_.Bytes({0xDF, 0xE8 + i}); }
    void FldLongAt(int base, std::int32_t disp) { a_.Memory(0xDB, 5, base, disp); }
    void FldDoubleAt(int base, std::int32_t disp) { a_.Memory(0xDD, 0, base, disp); }
    void FstpLongAt(int base, std::int32_t disp) { a_.Memory(0xDB, 7, base, disp); }
    void FstpDoubleAt(int base, std::int32_t disp) { a_.Memory(0xDD, 3, base, disp); }
    void WriteOut(int slot, std::int32_t value) {
        a_.Memory(0xC7, 0, out_, 4 * slot);
        a_.Int32(value);
    }
    // movsd xmm, [rsp + disp] (0x10) or movsd [rsp + disp], xmm (0x11).
    void Movsd(int opcode, int xmm, std::int32_t disp) {
        a_.Bytes({0xF2, 0x0F});
        a_.Memory(opcode, xmm, kRsp, disp);
    }

    // An instruction whose memory operand is the value v in memory; prefix bytes come first.
    void OnMemory(std::initializer_list<int> prefix, int opcode, int reg, const Value &v) {
        for (int b : prefix)
            a_.Byte(b);
        switch (v.where) {
        case Where::Variable:
            a_.Memory(opcode, reg, values_, 8 * v.index);
            break;
        case Where::Slot:
            a_.Memory(opcode, reg, kRsp, kSlots + 8 * v.index);
            break;
        case Where::Constant:
            constants_.push_back({a_.RipRelative(opcode, reg), v.index});
            break;
        case Where::X87:
            break;
        }
    }
    // Loads v (in memory) onto the x87 stack.
    void Load(Value &v) {
        if (v.where == Where::Constant && !IsDouble(ConstantValue(v.index)))
            constants_.push_back({a_.RipRelative(0xDB, 5), v.index});
        else
            OnMemory({}, 0xDD, 0, v);
        v.where = Where::X87;
    }
    void LoadTop() {
        if (stack_.back().where != Where::X87)
            Load(stack_.back());
    }

    // ST(1) op= ST(0), pop: "+", "-", "*" or "/".
    void PoppingArith(Operator op) {
        static const int second[] = {0xC1, 0xE9, 0xC9, 0xF9};
        a_.Bytes({0xDE, second[static_cast<int>(op)]});
    }
    // ST(0) = ST(0) op m64, or (reversed) m64 op ST(0).
    void MemoryArith(Operator op, bool reversed, const Value &v) {
        static const int reg[] = {0, 4, 1, 6};     // fadd, fsub, fmul, fdiv
        static const int reverse[] = {0, 5, 1, 7}; // fadd, fsubr, fmul, fdivr
        const int k = static_cast<int>(op);
        OnMemory({}, 0xDC, reversed ? reverse[k] : reg[k], v);
    }
    // A jump to a stub that ends with the fault at position.
    void FaultStub(std::size_t jump, int depth, int position, FaultCode fault) {
        stubs_.push_back({StubKind::Fixed, jump, depth, position, fault});
    }

    void PopAll(int depth) {
        for (int i = 0; i < depth; ++i)
            FstpSt0();
    }
    // Ends the evaluation with a fault (or kRecheck); the function for many points only stops at
    // the point.
    void ExitWith(int code, int position, int depth) {
        PopAll(depth);
        if (!batch_) {
            WriteOut(0, code);
            WriteOut(1, position);
            Fldz();
        }
        exits_.push_back(a_.Jump(0xE9));
    }
    // Jumps when ST(offset) is neither 0 nor a NaN.
    std::size_t JumpUnlessZero(const Value &v, int offset) {
        if (v.where == Where::X87) {
            Fldz();
            FucomipSt(offset + 1);
        } else {
            OnMemory({0xF2, 0x0F}, 0x10, 2, v);                              // movsd xmm2, v
            OnMemory({0x66, 0x0F}, 0x2E, 2, {Where::Constant, ZeroIndex()}); // ucomisd xmm2, 0
        }
        return a_.Jump(0x85);
    }
    void RecheckUnlessFinite(int i, int depth) {
        FldSt(i);
        a_.Bytes({0xD8, 0xE0}); // fsub st, st: 0, or a NaN for an infinity or a NaN
        FucomipSt(0);
        stubs_.push_back({StubKind::Recheck, a_.Jump(0x8A), depth, 0});
    }
    // The same before a rounding to double, which also overflows for finite values beyond the
    // range of double.
    void RecheckUnlessDoubleRange(int i, int depth) {
        FldSt(i);
        a_.Bytes({0xD9, 0xE1}); // fabs
        Value max{Where::Constant, DoubleMaxIndex()};
        OnMemory({}, 0xDD, 0, max);
        FucomipSt(1);
        FstpSt0();
        stubs_.push_back({StubKind::Recheck, a_.Jump(0x82), depth, 0});
    }
    // Rounds the x87 value on top to double into [rsp + disp], popping it.
    void RoundTopTo(std::int32_t disp, const Value &v, int depth) {
        if (!v.isDouble && !v.range.WithinDouble())
            RecheckUnlessDoubleRange(0, depth);
        FstpDoubleAt(kRsp, disp);
    }

    // Saves the values in x87 registers before a call and brings them back after it; a result
    // in ST(0) stays on top.
    int Spill() {
        const int n = X87Depth();
        for (int j = 0; j < n; ++j)
            FstpLongAt(kRsp, kSpill + 16 * j);
        return n;
    }
    void Restore(int n, bool resultOnTop) {
        for (int j = n - 1; j >= 0; --j) {
            FldLongAt(kRsp, kSpill + 16 * j);
            if (resultOnTop)
                FxchSt1();
        }
    }
    void Call(std::uintptr_t function) {
        a_.Bytes({0x48, 0xB8}); // mov rax, function; call rax
        a_.Int64(function);
        a_.Bytes({0xFF, 0xD0});
    }
    template <class F> static std::uintptr_t Address(F *function) {
        return reinterpret_cast<std::uintptr_t>(function);
    }
    // The result of a call, in xmm0, becomes the value in the slot of stack position p.
    void PushCallResult(int p, Range range = {}) {
        Movsd(0x11, 0, kSlots + 8 * p);
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

    // SSE instructions on registers: prefix (0 for none), 0x0F, opcode.
    void Sse(int prefix, int opcode, int destination, int source) {
        if (prefix != 0)
            a_.Byte(prefix);
        a_.Bytes({0x0F, opcode, 0xC0 | (destination << 3) | source});
    }
    void Movapd(int destination, int source) { Sse(0x66, 0x28, destination, source); }
    // The scalar fused multiply-adds of the 231 form on registers: destination = a * b op
    // destination, where op is + (0xB9, vfmadd231sd) or - (0xBB, vfmsub231sd).
    void Fma231(int opcode, int destination, int a, int b) {
        a_.Bytes({0xC4, 0xE2, FmaSecondByte(a), opcode, 0xC0 | (destination << 3) | b});
    }
    static int FmaSecondByte(int a) { return 0x80 | ((~a & 0xF) << 3) | 0x01; }
    // Loads the base of a power into an xmm register: from the frame where it was rounded.
    void LoadBase(int xmm, const Value &base) {
        if (base.where == Where::X87)
            Movsd(0x10, xmm, kArgument0);
        else
            OnMemory({0xF2, 0x0F}, 0x10, xmm, base);
    }
    static bool QuickExponent(long double exponent) {
        return exponent >= kFastExponentLow && exponent <= kFastExponentHigh &&
               exponent == static_cast<int>(exponent);
    }

    // Exchanges the two values on top; values in memory move without code.
    void SwapTop() {
        Value &below = stack_[stack_.size() - 2], &top = stack_.back();
        if (below.where == Where::X87 && top.where == Where::X87)
            FxchSt1();
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
    std::vector<ConstantUse> constants_;
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
        OnMemory({0xF2, 0x0F}, 0x10, 0, v); // movsd xmm0, argument
        if (rule.kernel == Kernel::Absolute)
            OnMemory({0x66, 0x0F}, 0x54, 0, {Where::Constant, SignMaskIndex()}); // andpd
        else
            Call(Address(rule.math));
        Movsd(0x11, 0, kSlots + 8 * slot);
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
            a_.Memory(0x8B, kRax, values_, 8 * i.index + 4); // mov eax, [values + 8 * index + 4]
            a_.Byte(0x25);                                   // and eax, 0x7FF00000
            a_.Int32(0x7FF00000);
            a_.Byte(0x3D); // cmp eax, 0x7FF00000
            a_.Int32(0x7FF00000);
            stubs_.push_back({StubKind::Recheck, a_.Jump(0x84), 0, 0});
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
    for (int i = 0; i < depth; ++i) {
        FldSt(i);
        a_.Bytes({0xD8, 0xE0});
        FucomipSt(0);
        recheck.push_back(a_.Jump(0x8A));
    }
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
        FxchSt1();
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
    Fldz();
    FucomipSt(1);
    stubs_.push_back({.kind = StubKind::Divide,
                      .jump = a_.Jump(0x84),
                      .depth = depth,
                      .position = position,
                      .operand = left});
    if (right.dirty)
        RecheckUnlessFinite(0, depth);
    if (left.where == Where::X87)
        PoppingArith(Operator::Divide);
    else if (left.where == Where::Constant && !IsDouble(ConstantValue(left.index))) {
        Load(left);
        FxchSt1();
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
        FaultStub(a_.Jump(0xE9), depth, position, FaultCode::Indeterminate);
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
    if (leftX87)
        Movsd(0x10, 0, kArgument0);
    else
        OnMemory({0xF2, 0x0F}, 0x10, 0, left);
    if (rightX87)
        Movsd(0x10, 1, kArgument1);
    else
        OnMemory({0xF2, 0x0F}, 0x10, 1, right);
    Call(Address(&PowerOfVariables));
    PushCallResult(p);
    Restore(spilled, false);
}

// The power of the base (in the frame, or a double in memory) to a small whole constant, into
// the slot: the quick way of CompiledPower.h, with pow called out of line where it can't tell.
// The steps are those of QuickPower in CompiledPower.cpp, operation for operation.
void Generator::QuickPower(const Value &base, int exponentIndex, int slot) {
    const int n = static_cast<int>(ConstantValue(exponentIndex));
    const Value mask{Where::Constant, SignMaskIndex()}, margin{Where::Constant, PowerMarginIndex()};
    // The power so far in h and its error in l, from one pair of registers to the other; xmm0
    // holds the base.
    LoadBase(0, base);
    int h = 0, l = -1;
    for (int k = 1; k < n; ++k) {
        const int product = h == 1 ? 3 : 1, error = l == 2 ? 4 : 2;
        Movapd(product, h);
        Sse(0xF2, 0x59, product, 0); // mulsd product, x
        Movapd(error, product);
        Fma231(0xBB, error, h, 0); // error = h * x - product, exactly
        if (l >= 0)
            Fma231(0xB9, error, l, 0); // error += l * x
        h = product;
        l = error;
    }
    const int zero = h; // the product of a zero base, which the sum below may lose the sign of
    if (n > 2) {
        // h + l rounded, and the rest.
        const int sum = h == 1 ? 3 : 1;
        Movapd(sum, h);
        Sse(0xF2, 0x58, sum, l); // addsd sum, l
        Movapd(6, sum);
        Sse(0xF2, 0x5C, 6, h); // subsd xmm6, h
        Sse(0xF2, 0x5C, l, 6); // subsd l, xmm6
        h = sum;
    }
    // The biased exponent of h must lie in [kFastBiasedLow, kFastBiasedLow + kFastBiasedSpan).
    a_.Bytes({0x66, 0x48, 0x0F, 0x7E, 0xC0 | (h << 3)}); // movq rax, h
    a_.Bytes({0x48, 0x01, 0xC0});                        // add rax, rax: no sign
    a_.Bytes({0x48, 0xC1, 0xE8, 53});                    // shr rax, 53
    a_.Byte(0x2D);                                       // sub eax, kFastBiasedLow
    a_.Int32(static_cast<std::int32_t>(kFastBiasedLow));
    a_.Byte(0x3D); // cmp eax, kFastBiasedSpan
    a_.Int32(static_cast<std::int32_t>(kFastBiasedSpan));
    const std::size_t outside = a_.Jump(0x83); // jae
    // |h| - (|h| * margin + |l|) must round back to |h|.
    Movapd(5, h);
    OnMemory({0x66, 0x0F}, 0x54, 5, mask); // andpd xmm5, mask
    int reach = 6;
    if (l >= 0) {
        OnMemory({0x66, 0x0F}, 0x54, l, mask);                     // andpd l, mask
        OnMemory({0xC4, 0xE2, FmaSecondByte(5)}, 0xB9, l, margin); // vfmadd231sd l, xmm5, margin
        reach = l;
    } else {
        Movapd(6, 5);
        OnMemory({0xF2, 0x0F}, 0x59, 6, margin); // mulsd xmm6, margin
    }
    Movapd(7, 5);
    Sse(0xF2, 0x5C, 7, reach); // subsd xmm7, reach
    Sse(0x66, 0x2E, 7, 5);     // ucomisd xmm7, xmm5
    const std::size_t moved = a_.Jump(0x85);
    const std::size_t unordered = a_.Jump(0x8A);
    Movsd(0x11, h, kSlots + 8 * slot);
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
        FstpLongAt(kRsp, kArgument0);
        stack_.pop_back();
        const int spilled = Spill();
        a_.Memory(0xC7, 0, kRsp, kErrorSlot); // mov dword [rsp + 16], 0
        a_.Int32(0);
        a_.Byte(0xBF); // mov edi, index
        a_.Int32(index);
        a_.Bytes({0x48, 0x8D, 0x74, 0x24, kErrorSlot}); // lea rsi, [rsp + 16]
        Call(Address(&NativeFunction));
        a_.Memory(0x83, 7, kRsp, kErrorSlot); // cmp dword [rsp + 16], 0
        a_.Byte(0);
        // With values spilled around the call, one of them may hold an unchecked overflow that
        // came before this fault.
        stubs_.push_back(
            {spilled > 0 ? StubKind::Recheck : StubKind::Function, a_.Jump(0x85), 1, position});
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
            a_.Bytes({0xD9, 0xE8}); // fld1
            FucomipSt(1);
            const std::size_t unordered = a_.Jump(0x8A);
            FaultStub(a_.Jump(0x82), depth, position, FaultOf(check));
            a_.Bind(unordered, a_.Here());
        } else if (check == Check::BelowZero) {
            // 0 > ST(0), or a NaN.
            Fldz();
            FucomipSt(1);
            FaultStub(a_.Jump(0x8A), depth, position, FaultOf(check));
            FaultStub(a_.Jump(0x87), depth, position, FaultOf(check));
        }
        RoundTopTo(kArgument0, argument, depth);
        Movsd(0x10, 0, kArgument0);
    } else {
        // A double in memory: the checks are the same on it in double.
        OnMemory({0xF2, 0x0F}, 0x10, 0, argument); // movsd xmm0, argument
        if (check == Check::AboveOne) {
            OnMemory({0x66, 0x0F}, 0x2E, 0, {Where::Constant, OneIndex()}); // ucomisd xmm0, 1
            FaultStub(a_.Jump(0x87), depth, position, FaultOf(check));
        } else if (check == Check::BelowZero) {
            OnMemory({0x66, 0x0F}, 0x2E, 0, {Where::Constant, ZeroIndex()}); // ucomisd xmm0, 0
            FaultStub(a_.Jump(0x82), depth, position, FaultOf(check));
        }
    }
    stack_.pop_back();
    if (rule.kernel == Kernel::Absolute && argument.where != Where::X87) {
        OnMemory({0x66, 0x0F}, 0x54, 0, {Where::Constant, SignMaskIndex()}); // andpd xmm0, mask
        PushCallResult(p, result);
        return;
    }
    if (rule.kernel == Kernel::Absolute) {
        Movsd(0x11, 0, kArgument0);
        FldDoubleAt(kRsp, kArgument0);
        a_.Bytes({0xD9, 0xE1}); // fabs
        stack_.push_back({Where::X87, 0, false, true, result});
        return;
    }
    if (rule.kernel == Kernel::SquareRoot) {
        a_.Bytes({0xF2, 0x0F, 0x51, 0xC0}); // sqrtsd xmm0, xmm0
        PushCallResult(p, result);
        return;
    }
    const int spilled = Spill();
    Call(Address(rule.math));
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
            a_.Bytes({0x8B, 0x44, 0x24, kErrorSlot}); // mov eax, [rsp + 16]
            a_.Bytes({0x41, 0x89, 0x04, 0x24});       // mov [r12], eax (calls have the frame)
            WriteOut(1, s.position);
            Fldz();
            exits_.push_back(a_.Jump(0xE9));
            break;
        case StubKind::Recheck:
            ExitWith(kRecheck, 0, s.depth);
            break;
        case StubKind::Power: {
            // A zero base (in xmm0) gives the product of the zeros (in xmm[position]).
            OnMemory({0x66, 0x0F}, 0x2E, 0, {Where::Constant, ZeroIndex()}); // ucomisd xmm0, 0
            const std::size_t nonzero = a_.Jump(0x85);
            const std::size_t unordered = a_.Jump(0x8A);
            Movsd(0x11, s.position, kSlots + 8 * s.slot);
            a_.Bind(a_.Jump(0xE9), s.resume);
            a_.Bind(nonzero, a_.Here());
            a_.Bind(unordered, a_.Here());
            // Otherwise pow itself, around which the values in x87 registers are saved.
            for (int j = 0; j < s.depth; ++j)
                FstpLongAt(kRsp, kSpill + 16 * j);
            LoadBase(0, s.operand);
            OnMemory({0xF2, 0x0F}, 0x10, 1, {Where::Constant, s.exponent});
            Call(Address(&MathPower));
            Movsd(0x11, 0, kSlots + 8 * s.slot);
            for (int j = s.depth - 1; j >= 0; --j)
                FldLongAt(kRsp, kSpill + 16 * j);
            a_.Bind(a_.Jump(0xE9), s.resume);
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
        a_.Byte(0xCC);
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
    for (const ConstantUse &use : constants_)
        a_.Bind(use.disp, constantsOffset_ + 16 * static_cast<std::size_t>(use.index));
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
        a_.Bytes({0x48, 0x81, 0xEC}); // sub rsp, frame
        a_.Int32(frame);
        values_ = kRbx;
        out_ = kR12;
        left_ = kR13;
        count_ = kR14;
        stride_ = kR15;
        a_.RegisterToRegister(0x89, values_, kRdi);
        a_.RegisterToRegister(0x89, out_, batch ? kRcx : kRsi);
        if (batch) {
            a_.RegisterToRegister(0x89, stride_, kRsi);
            a_.RegisterToRegister(0x89, left_, kRdx);
            a_.RegisterToRegister(0x89, count_, kRdx);
        }
    } else {
        values_ = kRdi;
        out_ = batch ? kRcx : kRsi;
        stride_ = kRsi;
        left_ = kRdx;
        count_ = kR8;
        if (batch)
            a_.RegisterToRegister(0x89, count_, kRdx);
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
        FstpLongAt(out_, 0);
        a_.AddImmediate8(out_, 16);
        a_.RegisterToRegister(0x01, values_, stride_);
        a_.Decrement(left_);
        a_.JumpBackUnlessZero(loop);
        a_.RegisterToRegister(0x89, kRax, count_);
    }
    const std::size_t epilogue = a_.Here();
    if (calls_) {
        a_.Bytes({0x48, 0x81, 0xC4}); // add rsp, frame
        a_.Int32(frame);
        for (int k = pushes - 1; k >= 0; --k)
            a_.Pop(saved[k]);
    }
    a_.Byte(0xC3); // ret
    std::size_t stop = epilogue;
    if (batch) {
        // A point that faults: its index is count - left.
        stop = a_.Here();
        a_.RegisterToRegister(0x89, kRax, count_);
        a_.RegisterToRegister(0x29, kRax, left_);
        const std::size_t jump = a_.Jump(0xE9);
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
