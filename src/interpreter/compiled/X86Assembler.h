#pragma once

// An assembler of the x86-64 instructions that the machine code of compiled expressions uses:
// their bytes appended to a buffer, and the jumps patched once their targets are known.
// Internal to the interpreter library.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace ziffa::compiled {

// The general registers, numbered as in the encoding.
constexpr int kRax = 0, kRcx = 1, kRdx = 2, kRbx = 3, kRsp = 4, kRsi = 6, kRdi = 7;
constexpr int kR8 = 8, kR12 = 12, kR13 = 13, kR14 = 14, kR15 = 15;

class Assembler {
public:
    std::vector<std::uint8_t> bytes;

    std::size_t Here() const { return bytes.size(); }
    void Byte(int b) { bytes.push_back(static_cast<std::uint8_t>(b)); }
    void Bytes(std::initializer_list<int> list) {
        for (int b : list)
            Byte(b);
    }
    void Int32(std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            Byte(static_cast<int>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF));
    }
    void Int64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i)
            Byte(static_cast<int>((v >> (8 * i)) & 0xFF));
    }
    void Patch32(std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    }

    // An opcode with a [base + disp] operand; reg is the ModRM reg field (or /digit).
    void Memory(int opcode, int reg, int base, std::int32_t disp) {
        if (base >= 8)
            Byte(0x41);
        Byte(opcode);
        const int low = base & 7;
        const bool small = disp >= -128 && disp <= 127;
        const int mode = disp == 0 && low != 5 ? 0x00 : small ? 0x40 : 0x80;
        Byte(mode | (reg << 3) | low);
        if (low == 4)
            Byte(0x24); // SIB: base only
        if (mode == 0x40)
            Byte(disp & 0xFF);
        else if (mode == 0x80)
            Int32(disp);
    }

    // An opcode with a [rip + disp32] operand; returns where the disp32 is, for Fixup.
    std::size_t RipRelative(int opcode, int reg) {
        Byte(opcode);
        Byte((reg << 3) | 5);
        const std::size_t at = Here();
        Int32(0);
        return at;
    }

    // A jump (0xE9) or conditional jump (0x84 je, 0x85 jne) to be patched; returns the rel32.
    std::size_t Jump(int condition) {
        if (condition == 0xE9) {
            Byte(0xE9);
        } else {
            Byte(0x0F);
            Byte(condition);
        }
        const std::size_t at = Here();
        Int32(0);
        return at;
    }
    // 64-bit register operations; registers are numbered as in the encoding (rax 0 .. r15 15).
    void Push(int r) {
        if (r >= 8)
            Byte(0x41);
        Byte(0x50 + (r & 7));
    }
    void Pop(int r) {
        if (r >= 8)
            Byte(0x41);
        Byte(0x58 + (r & 7));
    }
    // opcode r/m64, r64 with the register form: 0x89 mov, 0x01 add, 0x29 sub.
    void RegisterToRegister(int opcode, int destination, int source) {
        Byte(0x48 | (source >= 8 ? 4 : 0) | (destination >= 8 ? 1 : 0));
        Byte(opcode);
        Byte(0xC0 | ((source & 7) << 3) | (destination & 7));
    }
    void AddImmediate8(int r, int value) {
        Byte(0x48 | (r >= 8 ? 1 : 0));
        Byte(0x83);
        Byte(0xC0 | (r & 7));
        Byte(value & 0xFF);
    }
    void Decrement(int r) {
        Byte(0x48 | (r >= 8 ? 1 : 0));
        Byte(0xFF);
        Byte(0xC8 | (r & 7));
    }
    // jne back to target.
    void JumpBackUnlessZero(std::size_t target) {
        Bytes({0x0F, 0x85});
        Int32(static_cast<std::int32_t>(static_cast<std::ptrdiff_t>(target) -
                                        static_cast<std::ptrdiff_t>(Here() + 4)));
    }
    void Bind(std::size_t rel32, std::size_t target) {
        Patch32(rel32, static_cast<std::int32_t>(static_cast<std::ptrdiff_t>(target) -
                                                 static_cast<std::ptrdiff_t>(rel32 + 4)));
    }
};

} // namespace ziffa::compiled
