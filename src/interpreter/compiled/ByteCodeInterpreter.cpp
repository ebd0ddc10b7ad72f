#include "interpreter/compiled/ByteCodeInterpreter.h"

#include "interpreter/FaultCode.h"
#include "interpreter/FloatFault.h"
#include "interpreter/Tables.h"
#include "interpreter/compiled/CompiledPower.h"
#include "interpreter/compiled/CompiledProgram.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

namespace ziffa::compiled {

namespace {

[[noreturn]] void ThrowBadLiteral() {
    throw FloatFault(FloatFault::Kind::Overflow, FloatFault::Operation::Number);
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

// The arithmetic of an operator. The checked form is the evaluator's own; the fast form is the
// plain operation, whose overflow or invalid operation is seen afterwards in the status flags.
// "^" is the math library's power of the operands rounded to double (see CompiledPower.h).
template <bool Checked, Operator Op> inline long double Apply(long double a, long double b) {
    if constexpr (Op == Operator::Add)
        return Checked ? CheckedAdd(a, b) : a + b;
    else if constexpr (Op == Operator::Subtract)
        return Checked ? CheckedSubtract(a, b) : a - b;
    else if constexpr (Op == Operator::Multiply)
        return Checked ? CheckedMultiply(a, b) : a * b;
    else if constexpr (Op == Operator::Divide)
        return Checked ? CheckedDivide(a, b) : a / b;
    else if constexpr (!Checked)
        return PowerOfDoubles(static_cast<double>(a), static_cast<double>(b));
    else {
        const double base = RoundToDouble(a);
        const double exponent = RoundToDouble(b);
        return PowerOfDoubles(base, exponent);
    }
}

// The machine that runs a program: the accumulator, the stack under it, the next instruction,
// the position of the last instruction that had one, and where a fault is reported.
struct Machine {
    const std::uint8_t *ip;
    long double acc;
    long double *sp;
    std::int32_t position;
    const long double *constants;
    const double *values;
    int *errorCode;
    int *errorPosition;

    // Moves ip past an instruction of length 1 + before + the width's bytes, the last of which
    // hold the change of the position.
    void Advance(unsigned before, unsigned width) {
        position += ReadSigned(ip + 1 + before, width);
        ip += 1 + before + kWidthBytes[width];
    }
    // Ends the run with a fault at a position.
    bool Fault(int code, int at) {
        *errorCode = code;
        *errorPosition = at;
        acc = 0;
        return false;
    }

    // Reads the value of an instruction of source S (the operand, and a decimal number's scale),
    // and moves ip past it.
    template <Source S> long double Fetch(unsigned width) {
        const std::uint32_t operand = ReadUnsigned(ip + 1, width);
        ip += 1 + kWidthBytes[width];
        if constexpr (S == Source::Const)
            return constants[operand];
        else if constexpr (S == Source::Var)
            return values[operand];
        else if constexpr (S == Source::Whole)
            return operand;
        else
            return DecimalValue(operand, *ip++);
    }
    // The value of source S kept in the byte after the opcode (and a decimal number's scale in
    // the byte after it); ip stays.
    template <Source S> long double ByteValue() const {
        if constexpr (S == Source::Const)
            return constants[ip[1]];
        else if constexpr (S == Source::Var)
            return values[ip[1]];
        else if constexpr (S == Source::Whole)
            return static_cast<long double>(ip[1]);
        else
            return DecimalValue(ip[1], ip[2]);
    }

    // "/" and "^" with their checks at the operator's position: 0/0 and 0^0 are indeterminate,
    // x/0 a division by zero at the divisor. Returns false with the fault reported.
    template <bool Checked, Operator Op> bool ApplyChecked(long double left, long double right) {
        if constexpr (Op == Operator::Divide) {
            if (EqualsZero(right)) {
                if (EqualsZero(left))
                    return Fault(CodeOf(FaultCode::Indeterminate), position);
                return Fault(CodeOf(FaultCode::DivisionByZero), position + 1);
            }
        } else if (EqualsZero(left) && EqualsZero(right)) {
            return Fault(CodeOf(FaultCode::Indeterminate), position);
        }
        acc = Apply<Checked, Op>(left, right);
        return true;
    }
};

// Runs the instruction at ip, whose base is B. Returns false where the run ends: at kReturn with
// the value in the accumulator, at a fault with the fault reported and the accumulator 0.
template <bool Checked, int B> [[gnu::always_inline]] inline bool Step(Machine &m) {
    constexpr Meaning kMeaning = MeaningOf(B);
    constexpr Action A = kMeaning.action;
    constexpr Source S = kMeaning.source;
    constexpr Operator Op = kMeaning.op;
    const unsigned width = WidthOf(*m.ip);
    if constexpr (A == Action::Push) {
        *++m.sp = m.acc;
        m.acc = m.Fetch<S>(width);
    } else if constexpr (HasByteValueAndPosition(kMeaning)) {
        const long double value = m.ByteValue<S>();
        m.Advance(S == Source::Decimal ? 2 : 1, width);
        if constexpr (A == Action::WithLeftValue)
            return m.ApplyChecked<Checked, Op>(value, m.acc);
        else
            return m.ApplyChecked<Checked, Op>(m.acc, value);
    } else if constexpr (A == Action::WithValue) {
        m.acc = Apply<Checked, Op>(m.acc, m.Fetch<S>(width));
    } else if constexpr (A == Action::WithLeftValue) {
        m.acc = Apply<Checked, Op>(m.Fetch<S>(width), m.acc);
    } else if constexpr (A == Action::WithStack && ChecksOperands(Op)) {
        const long double left = *m.sp--;
        m.Advance(0, width);
        return m.ApplyChecked<Checked, Op>(left, m.acc);
    } else if constexpr (A == Action::WithStack) {
        m.acc = Apply<Checked, Op>(*m.sp--, m.acc);
        ++m.ip;
    } else if constexpr (A == Action::Function) {
        const int index = m.ip[1];
        m.Advance(1, width);
        int code = 0;
        m.acc = ApplyFunction(index, m.acc, code);
        if (code != 0)
            return m.Fault(code, m.position);
    } else if constexpr (A == Action::Fault) {
        return m.Fault(m.ip[1], static_cast<int>(ReadUnsigned(m.ip + 2, 3)));
    } else if constexpr (A == Action::BadLiteral) {
        if constexpr (Checked)
            ThrowBadLiteral();
        *m.errorCode = kRecheck;
        m.acc = 0;
        return false;
    } else {
        return false;
    }
    return true;
}

// Runs the program. Returns with errorCode set on a fault; in the fast form, a fault that can't
// be reported without the checked arithmetic sets kRecheck instead.
template <bool Checked>
long double Run(const Program &program, const double *values, long double *stack, int &errorCode,
                int &errorPosition) {
    using enum Operator;
    using enum Source;
    Machine m{program.code.data(),      0,      stack,      0,
              program.constants.data(), values, &errorCode, &errorPosition};
    for (;;) {
        // One row for each base that the compiler writes.
        switch (BaseOf(*m.ip)) {
        // clang-format off
        case PushBase(Const):                 if (!Step<Checked, PushBase(Const)>(m)) return m.acc; break;
        case PushBase(Var):                   if (!Step<Checked, PushBase(Var)>(m)) return m.acc; break;
        case PushBase(Whole):                 if (!Step<Checked, PushBase(Whole)>(m)) return m.acc; break;
        case PushBase(Decimal):               if (!Step<Checked, PushBase(Decimal)>(m)) return m.acc; break;
        case ValueBase(Add, Const):           if (!Step<Checked, ValueBase(Add, Const)>(m)) return m.acc; break;
        case ValueBase(Subtract, Const):      if (!Step<Checked, ValueBase(Subtract, Const)>(m)) return m.acc; break;
        case ValueBase(Multiply, Const):      if (!Step<Checked, ValueBase(Multiply, Const)>(m)) return m.acc; break;
        case ValueBase(Divide, Const):        if (!Step<Checked, ValueBase(Divide, Const)>(m)) return m.acc; break;
        case ValueBase(Power, Const):         if (!Step<Checked, ValueBase(Power, Const)>(m)) return m.acc; break;
        case ValueBase(Add, Var):             if (!Step<Checked, ValueBase(Add, Var)>(m)) return m.acc; break;
        case ValueBase(Subtract, Var):        if (!Step<Checked, ValueBase(Subtract, Var)>(m)) return m.acc; break;
        case ValueBase(Multiply, Var):        if (!Step<Checked, ValueBase(Multiply, Var)>(m)) return m.acc; break;
        case ValueBase(Divide, Var):          if (!Step<Checked, ValueBase(Divide, Var)>(m)) return m.acc; break;
        case ValueBase(Power, Var):           if (!Step<Checked, ValueBase(Power, Var)>(m)) return m.acc; break;
        case ValueBase(Add, Whole):           if (!Step<Checked, ValueBase(Add, Whole)>(m)) return m.acc; break;
        case ValueBase(Subtract, Whole):      if (!Step<Checked, ValueBase(Subtract, Whole)>(m)) return m.acc; break;
        case ValueBase(Multiply, Whole):      if (!Step<Checked, ValueBase(Multiply, Whole)>(m)) return m.acc; break;
        case ValueBase(Divide, Whole):        if (!Step<Checked, ValueBase(Divide, Whole)>(m)) return m.acc; break;
        case ValueBase(Power, Whole):         if (!Step<Checked, ValueBase(Power, Whole)>(m)) return m.acc; break;
        case ValueBase(Add, Decimal):         if (!Step<Checked, ValueBase(Add, Decimal)>(m)) return m.acc; break;
        case ValueBase(Subtract, Decimal):    if (!Step<Checked, ValueBase(Subtract, Decimal)>(m)) return m.acc; break;
        case ValueBase(Multiply, Decimal):    if (!Step<Checked, ValueBase(Multiply, Decimal)>(m)) return m.acc; break;
        case ValueBase(Divide, Decimal):      if (!Step<Checked, ValueBase(Divide, Decimal)>(m)) return m.acc; break;
        case ValueBase(Power, Decimal):       if (!Step<Checked, ValueBase(Power, Decimal)>(m)) return m.acc; break;
        case LeftValueBase(Subtract, Const):  if (!Step<Checked, LeftValueBase(Subtract, Const)>(m)) return m.acc; break;
        case LeftValueBase(Divide, Const):    if (!Step<Checked, LeftValueBase(Divide, Const)>(m)) return m.acc; break;
        case LeftValueBase(Power, Const):     if (!Step<Checked, LeftValueBase(Power, Const)>(m)) return m.acc; break;
        case LeftValueBase(Subtract, Var):    if (!Step<Checked, LeftValueBase(Subtract, Var)>(m)) return m.acc; break;
        case LeftValueBase(Divide, Var):      if (!Step<Checked, LeftValueBase(Divide, Var)>(m)) return m.acc; break;
        case LeftValueBase(Power, Var):       if (!Step<Checked, LeftValueBase(Power, Var)>(m)) return m.acc; break;
        case LeftValueBase(Subtract, Whole):  if (!Step<Checked, LeftValueBase(Subtract, Whole)>(m)) return m.acc; break;
        case LeftValueBase(Divide, Whole):    if (!Step<Checked, LeftValueBase(Divide, Whole)>(m)) return m.acc; break;
        case LeftValueBase(Power, Whole):     if (!Step<Checked, LeftValueBase(Power, Whole)>(m)) return m.acc; break;
        case LeftValueBase(Subtract, Decimal):if (!Step<Checked, LeftValueBase(Subtract, Decimal)>(m)) return m.acc; break;
        case LeftValueBase(Divide, Decimal):  if (!Step<Checked, LeftValueBase(Divide, Decimal)>(m)) return m.acc; break;
        case LeftValueBase(Power, Decimal):   if (!Step<Checked, LeftValueBase(Power, Decimal)>(m)) return m.acc; break;
        case StackBase(Add):                  if (!Step<Checked, StackBase(Add)>(m)) return m.acc; break;
        case StackBase(Subtract):             if (!Step<Checked, StackBase(Subtract)>(m)) return m.acc; break;
        case StackBase(Multiply):             if (!Step<Checked, StackBase(Multiply)>(m)) return m.acc; break;
        case StackBase(Divide):               if (!Step<Checked, StackBase(Divide)>(m)) return m.acc; break;
        case StackBase(Power):                if (!Step<Checked, StackBase(Power)>(m)) return m.acc; break;
        case kFunction:                       if (!Step<Checked, kFunction>(m)) return m.acc; break;
        case kFault:                          if (!Step<Checked, kFault>(m)) return m.acc; break;
        case kBadLiteral:                     if (!Step<Checked, kBadLiteral>(m)) return m.acc; break;
        case kReturn:                         if (!Step<Checked, kReturn>(m)) return m.acc; break;
        // clang-format on
        default:
            __builtin_unreachable();
        }
    }
}

long double RunChecked(const Program &program, const double *values, int &errorCode,
                       int &errorPosition) {
    ClearFloatFlags();
    std::vector<long double> stack(static_cast<std::size_t>(program.stackSize));
    int code = 0, position = 0;
    const long double value = Run<true>(program, values, stack.data(), code, position);
    ClearFloatFlags();
    if (code != 0) {
        errorCode = code;
        errorPosition = position;
        return 0;
    }
    return value;
}

// The run with the plain arithmetic, which gives kRecheck for a fault it can't tell.
long double RunFast(const Program &program, const double *values, int &code, int &position) {
    constexpr int kLocalStack = 32;
    long double local[kLocalStack];
    std::vector<long double> heap;
    long double *stack = local;
    if (program.stackSize > kLocalStack) {
        heap.resize(static_cast<std::size_t>(program.stackSize));
        stack = heap.data();
    }
    try {
        return Run<false>(program, values, stack, code, position);
    } catch (const std::exception &) {
        // A fault thrown by a function may come after an unchecked fault of the arithmetic.
        code = kRecheck;
        return 0;
    }
}

} // namespace

long double Interpret(const Program &program, const double *values, int &errorCode,
                      int &errorPosition) {
    int code = 0, position = 0;
    const long double value = RunFast(program, values, code, position);
    // An overflow or invalid operation of the fast arithmetic, if any, came before the end or the
    // fault reached: the checked evaluation finds it where the evaluator would.
    if (code == kRecheck || FloatFlags(value) != 0)
        return RunChecked(program, values, errorCode, errorPosition);
    if (code != 0) {
        errorCode = code;
        errorPosition = position;
        return 0;
    }
    return value;
}

long double InterpretChecked(const Program &program, const double *values, int &errorCode,
                             int &errorPosition) {
    return RunChecked(program, values, errorCode, errorPosition);
}

} // namespace ziffa::compiled
