#pragma once

// The instruction set of a compiled expression, shared by its interpreter (Compiled.cpp) and its
// native code generator (CompiledNative.cpp). Internal to the interpreter library.

#include <cstdint>
#include <vector>

namespace ziffa::compiled {

// The instructions work on an accumulator that holds the newest value and a stack under it. The
// code is straight: it runs from the first instruction to a kReturn, a kFault or a kBadLiteral,
// or to a kFunction, kDiv... or kPow... whose check fails.
enum Op : std::uint8_t {
    kPushConst, // push the accumulator, load constants[index]
    kPushVar,   // push the accumulator, load values[index]
    // Left operand popped from the stack, right operand in the accumulator. The five are in the
    // order of "+-*/^", as are those of each group below.
    kAdd,
    kSub,
    kMul,
    kDiv,
    kPow,
    // Left operand in the accumulator, right operand constants[index].
    kAddConst,
    kSubConst,
    kMulConst,
    kDivConst,
    kPowConst,
    // Left operand in the accumulator, right operand values[index].
    kAddVar,
    kSubVar,
    kMulVar,
    kDivVar,
    kPowVar,
    kFunction,   // apply FunctionTable[small] to the accumulator
    kFault,      // report fault small at position
    kBadLiteral, // a number too large for long double: FloatFault
    kReturn,     // the accumulator is the value
};

struct Instruction {
    std::uint8_t op;
    std::uint8_t small;    // function index or fault code
    std::int32_t index;    // into the constants or the variables
    std::int32_t position; // the operator of kDiv... and kPow..., the argument of kFunction
};

struct Program {
    std::vector<Instruction> code;
    std::vector<long double> constants;
    int stackSize = 1; // slots of the interpreter's value stack, slot 0 unused
    int maxDepth = 0;  // the most values alive at once, the accumulator included
};

// The error code of a fast evaluation whose fault must be confirmed by a checked one.
constexpr int kRecheck = -1;

} // namespace ziffa::compiled
