#pragma once

// The program of a compiled expression: the encoding that its compiler (Compiler.cpp) writes, and
// that its byte-code interpreter (ByteCodeInterpreter.cpp) and its machine code generator
// (X86Generator.cpp) read. Internal to the interpreter library.
//
// The program is byte code, as compact as a long text needs: a one-byte opcode, then the operand
// in as few bytes as its value needs, then, only where the instruction can report a fault, the
// fault's position. A text of 10 MB makes a program of about its own size.

#include "interpreter/FaultCode.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ziffa::compiled {

// The five operators, in the order of their precedence, lowest first: "+", "-", "*", "/", "^".
enum class Operator : std::uint8_t { Add, Subtract, Multiply, Divide, Power };
inline constexpr int kOperators = 5;

// Whether the operator checks its operands: "/" and "^", whose 0/0, x/0 and 0^0 are faults at
// the operator's position. The others can't fault.
constexpr bool ChecksOperands(Operator op) {
    return op == Operator::Divide || op == Operator::Power;
}

// The four sources of a value, in the order of their instructions below. Of the size of an int:
// the compiler keeps a source beside 32-bit operands, and a narrower store of it would stall
// their reads as one word.
enum class Source { Const, Var, Whole, Decimal };
inline constexpr int kSources = 4;

// The instructions work on an accumulator that holds the newest value and a stack under it. The
// code is straight: it runs from the first instruction to a kReturn, a kFault or a kBadLiteral,
// or to a function, a "/" or a "^" whose check fails.
//
// An opcode is Base << 2 | width. The width is 0 to 3, for an operand of 0, 1, 2 or 4 bytes, or
// for a position of 0, 1, 2 or 4 bytes where the instruction has one (see below).
enum Base : std::uint8_t {
    // Push the accumulator and load a value. The four sources of a value, in this order:
    kPushConst,   // constants[operand]
    kPushVar,     // values[operand]
    kPushWhole,   // the operand, a whole number
    kPushDecimal, // the operand divided by 10^s, s being the byte after the operand
    // The accumulator is the left operand, the value of a source the right one. Five operators
    // for each source, in the order of Operator. A value of these instructions is never 0 for
    // "/" and "^": their checks can't fail, and they have no position; but the "/" and "^" of
    // kAddVar have a variable's index in one byte, and the width is that of their position.
    kAddConst,
    kAddVar = kAddConst + kOperators,
    kAddWhole = kAddVar + kOperators,
    kAddDecimal = kAddWhole + kOperators,
    // The value of a source is the left operand, the accumulator the right one: a value read
    // before the part it is combined with, which is evaluated first (a value can't fault). In
    // groups of five like those above, of which only "-", "/" and "^" are used ("+" and "*" take
    // their operands either way). The value of "/" and "^" is kept in one byte and followed by
    // their position, whose width the width is.
    kRevConst = kAddDecimal + kOperators,
    kRevVar = kRevConst + kOperators,
    kRevWhole = kRevVar + kOperators,
    kRevDecimal = kRevWhole + kOperators,
    // The left operand popped from the stack, the right one in the accumulator; the width of
    // kDiv and kPow is that of their position.
    kAdd = kRevDecimal + kOperators,
    kSub,
    kMul,
    kDiv,
    kPow,
    kFunction,   // apply FunctionTable[byte] to the accumulator; then its position, if it has one
    kFault,      // report the fault code of a byte at the position of 4 bytes after it
    kBadLiteral, // a number too large for long double: FloatFault
    kReturn,     // the accumulator is the value
    kBaseCount
};
static_assert(kBaseCount <= 64, "a base and a width share one byte");

// The base that pushes a value of the source, and those of the operator with that value as its
// right operand and as its left operand, and with the stack's top as its left operand.
constexpr int PushBase(Source source) {
    return kPushConst + static_cast<int>(source);
}
constexpr int ValueBase(Operator op, Source source) {
    return kAddConst + kOperators * static_cast<int>(source) + static_cast<int>(op);
}
constexpr int LeftValueBase(Operator op, Source source) {
    return kRevConst + kOperators * static_cast<int>(source) + static_cast<int>(op);
}
constexpr int StackBase(Operator op) {
    return kAdd + static_cast<int>(op);
}

// What the instruction of a base does, and with what: the inverse of the functions above.
enum class Action : std::uint8_t {
    Push,          // push the accumulator, load the value
    WithValue,     // the accumulator op the value
    WithLeftValue, // the value op the accumulator
    WithStack,     // the value popped from the stack op the accumulator
    Function,
    Fault,
    BadLiteral,
    Return,
};
struct Meaning {
    Action action;
    Source source = Source::Const;
    Operator op = Operator::Add;
};
constexpr Meaning MeaningOf(int base) {
    if (base >= kPushConst && base <= kPushDecimal)
        return {Action::Push, static_cast<Source>(base - kPushConst)};
    if (base >= kAddConst && base < kAdd) {
        const int group = (base - kAddConst) / kOperators;
        const auto source = static_cast<Source>(group % kSources);
        const auto op = static_cast<Operator>((base - kAddConst) % kOperators);
        return {group < kSources ? Action::WithValue : Action::WithLeftValue, source, op};
    }
    if (base >= kAdd && base <= kPow)
        return {Action::WithStack, Source::Const, static_cast<Operator>(base - kAdd)};
    switch (base) {
    case kFunction:
        return {Action::Function};
    case kFault:
        return {Action::Fault};
    case kBadLiteral:
        return {Action::BadLiteral};
    default:
        return {Action::Return};
    }
}
// Whether the instruction has a value of one byte and then a position: "/" and "^" with the value
// of a variable on their right, or with any value on their left.
constexpr bool HasByteValueAndPosition(const Meaning &m) {
    return ChecksOperands(m.op) && (m.action == Action::WithLeftValue ||
                                    (m.action == Action::WithValue && m.source == Source::Var));
}

constexpr std::uint8_t Opcode(int base, unsigned width) {
    return static_cast<std::uint8_t>(base << 2 | static_cast<int>(width));
}
constexpr int BaseOf(std::uint8_t opcode) {
    return opcode >> 2;
}
constexpr unsigned WidthOf(std::uint8_t opcode) {
    return opcode & 3u;
}
inline constexpr std::uint8_t kWidthBytes[4] = {0, 1, 2, 4};
constexpr unsigned WidthOfBytes(unsigned bytes) {
    return bytes == 4 ? 3 : bytes;
}

// The width an operand's value needs.
constexpr unsigned UnsignedWidth(std::uint32_t value) {
    return value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : 3;
}
// The width a position's change needs; positions are stored as the change from the position of
// the instruction before them that has one (from 0 for the first).
constexpr unsigned SignedWidth(std::int32_t value) {
    return value >= -0x80 && value <= 0x7F ? 1 : value >= -0x8000 && value <= 0x7FFF ? 2 : 3;
}

// A number stored in 1, 2 or 4 bytes (little-endian). Code ends with kPadding bytes, so a reader
// may load four bytes at any operand.
inline std::uint32_t ReadUnsigned(const std::uint8_t *at, unsigned width) {
    static constexpr std::uint32_t kMask[4] = {0, 0xFF, 0xFFFF, 0xFFFFFFFF};
    std::uint32_t raw;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&raw, at, sizeof raw);
    } else {
        raw = static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
              static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
    }
    return raw & kMask[width];
}
inline std::int32_t ReadSigned(const std::uint8_t *at, unsigned width) {
    static constexpr int kShift[4] = {32, 24, 16, 0};
    if (width == 0)
        return 0;
    const auto raw = static_cast<std::int32_t>(ReadUnsigned(at, 3));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(raw) << kShift[width]) >>
           kShift[width];
}

inline void WriteUnsigned(std::uint8_t *at, std::uint32_t value, unsigned width) {
    for (unsigned i = 0; i < kWidthBytes[width]; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The decimal numbers kept in the code: a whole number of up to 32 bits over a power of ten of up
// to 10^27, all exact in long double (5^27 < 2^64), so that their quotient, rounded once, is the
// long double nearest to the decimal number, as its conversion from text gives it.
inline constexpr unsigned kMaxScale = 27;
inline constexpr std::array<long double, kMaxScale + 1> kPowersOfTen = [] {
    std::array<long double, kMaxScale + 1> powers{};
    long double p = 1;
    for (long double &power : powers) {
        power = p;
        p *= 10;
    }
    return powers;
}();
inline long double DecimalValue(std::uint32_t digits, unsigned scale) {
    return static_cast<long double>(digits) / kPowersOfTen[scale];
}

// The bytes of a program: grown by realloc, which moves large blocks without copying them, so a
// long program never needs twice its size while it is built.
class ByteCode {
public:
    static constexpr std::size_t kPadding = 8;

    ByteCode() = default;
    ByteCode(const ByteCode &) = delete;
    ByteCode &operator=(const ByteCode &) = delete;
    ~ByteCode();

    const std::uint8_t *data() const noexcept { return bytes_; }
    std::size_t size() const noexcept { return size_; }

    // Appends n bytes and returns where they go. Throws std::bad_alloc.
    std::uint8_t *Extend(std::size_t n);
    void Truncate(std::size_t n) noexcept { size_ = n; }
    std::uint8_t &Byte(std::size_t at) noexcept { return bytes_[at]; }
    // Gives back the room beyond the bytes, and zeroes the padding after them.
    void Finish();

private:
    std::uint8_t *bytes_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// The parts of an instruction after its opcode, in this order: the operand, the scale of a
// decimal number, the position.
struct Layout {
    unsigned operandBytes;
    unsigned scaleBytes;
    unsigned positionBytes;
    constexpr unsigned Length() const { return 1 + operandBytes + scaleBytes + positionBytes; }
};
constexpr Layout LayoutOf(std::uint8_t opcode) {
    const Meaning m = MeaningOf(BaseOf(opcode));
    const unsigned bytes = kWidthBytes[WidthOf(opcode)];
    switch (m.action) {
    case Action::Push:
    case Action::WithValue:
    case Action::WithLeftValue: {
        const unsigned scale = m.source == Source::Decimal ? 1 : 0;
        if (HasByteValueAndPosition(m))
            return {1, scale, bytes};
        return {bytes, scale, 0};
    }
    case Action::WithStack:
        return {0, 0, ChecksOperands(m.op) ? bytes : 0};
    case Action::Function:
        return {1, 0, bytes};
    case Action::Fault:
        return {1, 0, 4};
    default:
        return {0, 0, 0};
    }
}

// The length in bytes of the instruction at code.
inline constexpr std::array<std::uint8_t, 256> kInstructionLengths = [] {
    std::array<std::uint8_t, 256> lengths{};
    for (unsigned opcode = 0; opcode < lengths.size(); ++opcode)
        lengths[opcode] =
            static_cast<std::uint8_t>(LayoutOf(static_cast<std::uint8_t>(opcode)).Length());
    return lengths;
}();
inline std::size_t InstructionLength(const std::uint8_t *code) {
    return kInstructionLengths[*code];
}

struct Program {
    ByteCode code;
    std::vector<long double> constants;
    std::size_t instructions = 0; // how many, kReturn or the final fault included
    int stackSize = 1;            // slots of the interpreter's value stack, slot 0 unused
    int maxDepth = 0;             // the most values alive at once, the accumulator included
};

// The program decoded, one instruction of fixed size each, for the native code generator: every
// value is a constant or a variable, and every position is whole.
enum class Op : std::uint8_t {
    PushConst,    // push the accumulator, load constants[index]
    PushVar,      // push the accumulator, load values[index]
    Operate,      // the value popped from the stack op the accumulator
    OperateConst, // the accumulator op constants[index]
    OperateVar,   // the accumulator op values[index]
    ConstOperate, // constants[index] op the accumulator ("-", "/" and "^" only)
    VarOperate,   // values[index] op the accumulator ("-", "/" and "^" only)
    Function,     // apply FunctionTable[function] to the accumulator
    Fault,        // report the fault at position
    BadLiteral,   // a number too large for long double: FloatFault
    Return,       // the accumulator is the value
};

constexpr bool Operates(Op op) {
    return op >= Op::Operate && op <= Op::VarOperate;
}
constexpr bool ReadsVariable(Op op) {
    return op == Op::PushVar || op == Op::OperateVar || op == Op::VarOperate;
}

struct Instruction {
    Op op;
    Operator operation;    // of Op::Operate... and Op::...Operate
    std::uint8_t function; // of Op::Function
    FaultCode fault;       // of Op::Fault
    std::int32_t index;    // into the constants or the variables
    std::int32_t position; // of the operator, of a function's argument, or of the fault
};

struct DecodedProgram {
    std::vector<Instruction> code;
    std::vector<long double> constants; // the program's, then the numbers of its code
    int maxDepth = 0;
};

// The program decoded, for programs of at most maxInstructions instructions; an empty code for
// longer ones.
DecodedProgram Decode(const Program &program, std::size_t maxInstructions);

// The error code of a fast evaluation whose fault must be confirmed by a checked one.
constexpr int kRecheck = -1;

} // namespace ziffa::compiled
