#include "interpreter/compiled/ByteCodeInterpreter.h"

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
inline bool DivideAt(long double left, long double right, int position, long double &result,
                     int &errorCode, int &errorPosition) {
    if (EqualsZero(right)) {
        errorCode = EqualsZero(left) ? 13 : 12;
        errorPosition = position + (errorCode == 12);
        return false;
    }
    result = Divide<Checked>(left, right);
    return true;
}

// "^" with its check: 0^0 is fault 13 at the operator.
template <bool Checked>
inline bool PowerAt(long double left, long double right, int position, long double &result,
                    int &errorCode, int &errorPosition) {
    if (EqualsZero(left) && EqualsZero(right)) {
        errorCode = 13;
        errorPosition = position;
        return false;
    }
    result = Power<Checked>(left, right);
    return true;
}

// Reads the value of an instruction of source S (the operand, and a decimal number's scale),
// and moves ip past it.
template <int S>
inline long double Fetch(const std::uint8_t *&ip, unsigned width, const long double *constants,
                         const double *values) {
    const std::uint32_t operand = ReadUnsigned(ip + 1, width);
    ip += 1 + kWidthBytes[width];
    if constexpr (S == kFromConst)
        return constants[operand];
    else if constexpr (S == kFromVar)
        return values[operand];
    else if constexpr (S == kFromWhole)
        return operand;
    else
        return DecimalValue(operand, *ip++);
}

// Runs the program. Returns with errorCode set on a fault; in the fast form, a fault that can't
// be reported without the checked arithmetic sets kRecheck instead.
template <bool Checked>
long double Run(const Program &program, const double *values, long double *stack, int &errorCode,
                int &errorPosition) {
    const std::uint8_t *ip = program.code.data();
    const long double *constants = program.constants.data();
    long double acc = 0;
    long double *sp = stack;
    // The position of the last instruction that had one.
    std::int32_t position = 0;
    // Moves ip past an instruction of length 1 + before + the width's bytes, the last of which
    // hold the change of the position.
    auto advance = [&ip, &position](unsigned before, unsigned width) {
        position += ReadSigned(ip + 1 + before, width);
        ip += 1 + before + kWidthBytes[width];
    };
    for (;;) {
        const unsigned width = WidthOf(*ip);
        switch (BaseOf(*ip)) {
        case kPushConst:
            *++sp = acc;
            acc = Fetch<kFromConst>(ip, width, constants, values);
            break;
        case kPushVar:
            *++sp = acc;
            acc = Fetch<kFromVar>(ip, width, constants, values);
            break;
        case kPushWhole:
            *++sp = acc;
            acc = Fetch<kFromWhole>(ip, width, constants, values);
            break;
        case kPushDecimal:
            *++sp = acc;
            acc = Fetch<kFromDecimal>(ip, width, constants, values);
            break;

        case kAddConst:
            acc = Add<Checked>(acc, Fetch<kFromConst>(ip, width, constants, values));
            break;
        case kAddConst + 1:
            acc = Subtract<Checked>(acc, Fetch<kFromConst>(ip, width, constants, values));
            break;
        case kAddConst + 2:
            acc = Multiply<Checked>(acc, Fetch<kFromConst>(ip, width, constants, values));
            break;
        case kAddConst + 3:
            acc = Divide<Checked>(acc, Fetch<kFromConst>(ip, width, constants, values));
            break;
        case kAddConst + 4:
            acc = Power<Checked>(acc, Fetch<kFromConst>(ip, width, constants, values));
            break;

        case kAddVar:
            acc = Add<Checked>(acc, Fetch<kFromVar>(ip, width, constants, values));
            break;
        case kAddVar + 1:
            acc = Subtract<Checked>(acc, Fetch<kFromVar>(ip, width, constants, values));
            break;
        case kAddVar + 2:
            acc = Multiply<Checked>(acc, Fetch<kFromVar>(ip, width, constants, values));
            break;
        case kAddVar + 3: {
            const long double right = values[ip[1]];
            advance(1, width);
            if (!DivideAt<Checked>(acc, right, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kAddVar + 4: {
            const long double right = values[ip[1]];
            advance(1, width);
            if (!PowerAt<Checked>(acc, right, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }

        case kAddWhole:
            acc = Add<Checked>(acc, Fetch<kFromWhole>(ip, width, constants, values));
            break;
        case kAddWhole + 1:
            acc = Subtract<Checked>(acc, Fetch<kFromWhole>(ip, width, constants, values));
            break;
        case kAddWhole + 2:
            acc = Multiply<Checked>(acc, Fetch<kFromWhole>(ip, width, constants, values));
            break;
        case kAddWhole + 3:
            acc = Divide<Checked>(acc, Fetch<kFromWhole>(ip, width, constants, values));
            break;
        case kAddWhole + 4:
            acc = Power<Checked>(acc, Fetch<kFromWhole>(ip, width, constants, values));
            break;

        case kAddDecimal:
            acc = Add<Checked>(acc, Fetch<kFromDecimal>(ip, width, constants, values));
            break;
        case kAddDecimal + 1:
            acc = Subtract<Checked>(acc, Fetch<kFromDecimal>(ip, width, constants, values));
            break;
        case kAddDecimal + 2:
            acc = Multiply<Checked>(acc, Fetch<kFromDecimal>(ip, width, constants, values));
            break;
        case kAddDecimal + 3:
            acc = Divide<Checked>(acc, Fetch<kFromDecimal>(ip, width, constants, values));
            break;
        case kAddDecimal + 4:
            acc = Power<Checked>(acc, Fetch<kFromDecimal>(ip, width, constants, values));
            break;

        case kRevConst + 1:
            acc = Subtract<Checked>(Fetch<kFromConst>(ip, width, constants, values), acc);
            break;
        case kRevConst + 3: {
            const long double left = constants[ip[1]];
            advance(1, width);
            if (!DivideAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kRevConst + 4: {
            const long double left = constants[ip[1]];
            advance(1, width);
            if (!PowerAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kRevVar + 1:
            acc = Subtract<Checked>(Fetch<kFromVar>(ip, width, constants, values), acc);
            break;
        case kRevVar + 3: {
            const long double left = values[ip[1]];
            advance(1, width);
            if (!DivideAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kRevVar + 4: {
            const long double left = values[ip[1]];
            advance(1, width);
            if (!PowerAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kRevWhole + 1:
            acc = Subtract<Checked>(Fetch<kFromWhole>(ip, width, constants, values), acc);
            break;
        case kRevWhole + 3: {
            const long double left = static_cast<long double>(ip[1]);
            advance(1, width);
            if (!DivideAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kRevWhole + 4: {
            const long double left = static_cast<long double>(ip[1]);
            advance(1, width);
            if (!PowerAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kRevDecimal + 1:
            acc = Subtract<Checked>(Fetch<kFromDecimal>(ip, width, constants, values), acc);
            break;
        case kRevDecimal + 3: {
            const long double left = DecimalValue(ip[1], ip[2]);
            advance(2, width);
            if (!DivideAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kRevDecimal + 4: {
            const long double left = DecimalValue(ip[1], ip[2]);
            advance(2, width);
            if (!PowerAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }

        case kAdd:
            acc = Add<Checked>(*sp--, acc);
            ++ip;
            break;
        case kSub:
            acc = Subtract<Checked>(*sp--, acc);
            ++ip;
            break;
        case kMul:
            acc = Multiply<Checked>(*sp--, acc);
            ++ip;
            break;
        case kDiv: {
            const long double left = *sp--;
            advance(0, width);
            if (!DivideAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kPow: {
            const long double left = *sp--;
            advance(0, width);
            if (!PowerAt<Checked>(left, acc, position, acc, errorCode, errorPosition))
                return 0;
            break;
        }
        case kFunction: {
            const int index = ip[1];
            advance(1, width);
            int code = 0;
            acc = ApplyFunction(index, acc, code);
            if (code != 0) {
                errorCode = code;
                errorPosition = position;
                return 0;
            }
            break;
        }
        case kFault:
            errorCode = ip[1];
            errorPosition = static_cast<int>(ReadUnsigned(ip + 2, 3));
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
