#pragma once

// The program of a compiled expression, shared by its interpreter and compiler (Compiled.cpp) and
// its native code generator (CompiledNative.cpp). Internal to the interpreter library.
//
// The program is byte code, as compact as a long text needs: a one-byte opcode, then the operand
// in as few bytes as its value needs, then, only where the instruction can report a fault, the
// fault's position. A text of 10 MB makes a program of about its own size.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ziffa::compiled {

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
    // for each source, in the order of "+-*/^". A value of these instructions is never 0 for
    // "/" and "^": their checks can't fail, and they have no position; kDivVar and kPowVar have
    // a variable's index in one byte, and the width is that of their position.
    kAddConst,
    kAddVar = kAddConst + 5,
    kAddWhole = kAddVar + 5,
    kAddDecimal = kAddWhole + 5,
    // The value of a source is the left operand, the accumulator the right one: a value read
    // before the part it is combined with, which is evaluated first (a value can't fault). In
    // groups of five like those above, of which only "-", "/" and "^" are used ("+" and "*" take
    // their operands either way). The value of "/" and "^" is kept in one byte and followed by
    // their position, whose width the width is.
    kRevConst = kAddDecimal + 5,
    kRevVar = kRevConst + 5,
    kRevWhole = kRevVar + 5,
    kRevDecimal = kRevWhole + 5,
    // The left operand popped from the stack, the right one in the accumulator; the width of
    // kDiv and kPow is that of their position.
    kAdd = kRevDecimal + 5,
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

// The sources, as offsets from kPushConst and from the operator groups' first base.
enum Source : std::uint8_t { kFromConst, kFromVar, kFromWhole, kFromDecimal };

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
    const int base = BaseOf(opcode);
    const unsigned bytes = kWidthBytes[WidthOf(opcode)];
    if (base < kAdd) {
        // A value: pushed, or the right or the left operand of an operator.
        const bool push = base <= kPushDecimal;
        const int group = push ? 0 : (base - kAddConst) / 5;
        const int source = push ? base - kPushConst : group % 4;
        const int kind = push ? 0 : (base - kAddConst) % 5;
        const unsigned scale = source == kFromDecimal ? 1 : 0;
        const bool reversed = !push && group >= 4;
        if (kind >= 3 && (reversed || source == kFromVar))
            return {1, scale, bytes};
        return {bytes, scale, 0};
    }
    switch (base) {
    case kDiv:
    case kPow:
        return {0, 0, bytes};
    case kFunction:
        return {1, 0, bytes};
    case kFault:
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
enum Op : std::uint8_t {
    kOpPushConst, // push the accumulator, load constants[index]
    kOpPushVar,   // push the accumulator, load values[index]
    // Left operand popped from the stack, right operand in the accumulator, in the order of
    // "+-*/^", as are those of each group below.
    kOpAdd,
    kOpSub,
    kOpMul,
    kOpDiv,
    kOpPow,
    // Left operand in the accumulator, right operand constants[index].
    kOpAddConst,
    kOpSubConst,
    kOpMulConst,
    kOpDivConst,
    kOpPowConst,
    // Left operand in the accumulator, right operand values[index].
    kOpAddVar,
    kOpSubVar,
    kOpMulVar,
    kOpDivVar,
    kOpPowVar,
    kOpFunction,   // apply FunctionTable[small] to the accumulator
    kOpFault,      // report fault small at position
    kOpBadLiteral, // a number too large for long double: FloatFault
    kOpReturn,     // the accumulator is the value
    // Left operand constants[index] or values[index], right operand the accumulator: "-", "/"
    // and "^".
    kOpRevSubConst,
    kOpRevDivConst,
    kOpRevPowConst,
    kOpRevSubVar,
    kOpRevDivVar,
    kOpRevPowVar,
};

constexpr bool ReadsVariable(std::uint8_t op) {
    return op == kOpPushVar || (op >= kOpAddVar && op <= kOpPowVar) ||
           (op >= kOpRevSubVar && op <= kOpRevPowVar);
}

struct Instruction {
    std::uint8_t op;
    std::uint8_t small;    // function index or fault code
    std::int32_t index;    // into the constants or the variables
    std::int32_t position; // the operator of kOpDiv... and kOpPow..., the argument of kOpFunction
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
