#pragma once

// The generator of x86-64 machine code for a compiled expression: the program's values live in
// the x87 registers, so an evaluation costs about what the same expression written in C++ costs.
// Internal to the interpreter library.

#include "interpreter/compiled/CompiledProgram.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ziffa::compiled {

// The machine code of a program: two functions (NativeCode.h), the one for a single evaluation
// at the code's first byte, the one for many points at batchEntry. The code is padded to whole
// pages; the constants it reads are to be placed right after it, in pages of their own.
struct MachineCode {
    std::vector<std::uint8_t> code;
    std::vector<std::uint8_t> constants;
    std::size_t batchEntry = 0;
};

// The machine code of the program for pages of pageSize bytes, or nothing when the program is
// too deep or too long for it.
std::optional<MachineCode> GenerateX86(const Program &program, std::size_t pageSize);

} // namespace ziffa::compiled
