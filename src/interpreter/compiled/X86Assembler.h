#pragma once

// An assembler of the x86-64 instructions that the machine code of compiled expressions uses:
// their bytes appended to a buffer, jumps patched once their targets are known, and the operands
// that read a table of constants bound once the table's place is known. Internal to the
// interpreter library.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace ziffa::compiled {

// The general registers, numbered as in the encoding.
constexpr int kRax = 0, kRcx = 1, kRdx = 2, kRbx = 3, kRsp = 4, kRsi = 6, kRdi = 7;
constexpr int kR8 = 8, kR12 = 12, kR13 = 13, kR14 = 14, kR15 = 15;

// A memory operand: [base + disp], or an entry of the code's table of constants (16 bytes
// apart), addressed relative to rip. A base from r8 on takes no legacy or VEX prefix.
struct Memory {
    int base = 0;
    std::int32_t disp = 0;
    int constant = -1; // the index into the table of constants, or -1
};
inline Memory At(int base, std::int32_t disp) {
    return {base, disp};
}
inline Memory ConstantEntry(int index) {
    return {0, 0, index};
}

// The conditions of jumps, by the second byte of the conditional jump (0x0F, condition).
enum class Condition : std::uint8_t {
    Below = 0x82,        // jb: CF, which an unordered comparison sets too
    AboveOrEqual = 0x83, // jae
    Equal = 0x84,        // je: ZF, which an unordered comparison sets too
    NotEqual = 0x85,     // jne
    Above = 0x87,        // ja
    Parity = 0x8A,       // jp: an unordered comparison
};

// The arithmetic of the x87 unit, in the order of "+-*/".
enum class X87Arith { Add, Subtract, Multiply, Divide };

class Assembler {
public:
    std::size_t Here() const { return bytes_.size(); }
    // The code, which the assembler gives up.
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

    void Byte(int b) { bytes_.push_back(static_cast<std::uint8_t>(b)); }
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

    // Jumps, whose rel32 is patched by Bind; they return where it is.
    std::size_t Jump() {
        Byte(0xE9);
        return Rel32();
    }
    std::size_t Jump(Condition condition) {
        Bytes({0x0F, static_cast<int>(condition)});
        return Rel32();
    }
    void JumpBack(Condition condition, std::size_t target) {
        Bytes({0x0F, static_cast<int>(condition)});
        Int32(static_cast<std::int32_t>(static_cast<std::ptrdiff_t>(target) -
                                        static_cast<std::ptrdiff_t>(Here() + 4)));
    }
    void Bind(std::size_t rel32, std::size_t target) {
        Patch32(rel32, static_cast<std::int32_t>(static_cast<std::ptrdiff_t>(target) -
                                                 static_cast<std::ptrdiff_t>(rel32 + 4)));
    }
    // Binds the operands that read constants to the table at tableOffset from the first byte.
    void BindConstants(std::size_t tableOffset) {
        for (const auto &[rel32, index] : constantUses_)
            Bind(rel32, tableOffset + 16 * static_cast<std::size_t>(index));
    }

    // 64-bit register operations.
    void Push(int r) {
        Rex(false, 0, r);
        Byte(0x50 + (r & 7));
    }
    void Pop(int r) {
        Rex(false, 0, r);
        Byte(0x58 + (r & 7));
    }
    void Mov(int destination, int source) { RegisterToRegister(0x89, destination, source); }
    void Add(int destination, int source) { RegisterToRegister(0x01, destination, source); }
    void Sub(int destination, int source) { RegisterToRegister(0x29, destination, source); }
    void AddImmediate8(int r, int value) {
        Bytes({0x48 | (r >= 8 ? 1 : 0), 0x83, 0xC0 | (r & 7), value & 0xFF});
    }
    void AddRspImmediate(std::int32_t value) { RspImmediate(0xC4, value); }
    void SubRspImmediate(std::int32_t value) { RspImmediate(0xEC, value); }
    void Decrement(int r) { Bytes({0x48 | (r >= 8 ? 1 : 0), 0xFF, 0xC8 | (r & 7)}); }
    void ShiftRightImmediate(int r, int count) {
        Bytes({0x48 | (r >= 8 ? 1 : 0), 0xC1, 0xE8 | (r & 7), count});
    }
    void Lea(int r, const Memory &m) {
        Byte(0x48 | (r >= 8 ? 4 : 0) | (m.base >= 8 ? 1 : 0));
        Byte(0x8D);
        ModRm(r & 7, m);
    }
    // mov rax, function; call rax.
    void CallAbsolute(std::uintptr_t function) {
        Bytes({0x48, 0xB8});
        Int64(function);
        Bytes({0xFF, 0xD0});
    }
    void Return() { Byte(0xC3); }
    void Breakpoint() { Byte(0xCC); }

    // 32-bit operations.
    void MovImmediate(int r, std::int32_t value) {
        Rex(false, 0, r);
        Byte(0xB8 + (r & 7));
        Int32(value);
    }
    void AndEaxImmediate(std::int32_t value) { EaxImmediate(0x25, value); }
    void SubEaxImmediate(std::int32_t value) { EaxImmediate(0x2D, value); }
    void CmpEaxImmediate(std::int32_t value) { EaxImmediate(0x3D, value); }
    void Load32(int r, const Memory &m) { WithMemory(0, {0x8B}, r, m); }
    void Store32(const Memory &m, int r) { WithMemory(0, {0x89}, r, m); }
    void StoreImmediate32(const Memory &m, std::int32_t value) {
        WithMemory(0, {0xC7}, 0, m);
        Int32(value);
    }
    void CompareImmediate8(const Memory &m, int value) {
        WithMemory(0, {0x83}, 7, m);
        Byte(value);
    }

    // The x87 unit.
    void Fldz() { Bytes({0xD9, 0xEE}); }
    void Fld1() { Bytes({0xD9, 0xE8}); }
    void Fabs() { Bytes({0xD9, 0xE1}); }
    void FxchSt1() { Bytes({0xD9, 0xC9}); }
    void FstpSt0() { Bytes({0xDD, 0xD8}); }
    void FldSt(int i) { Bytes({0xD9, 0xC0 + i}); }
    void FucomipSt(int i) { Bytes({0xDF, 0xE8 + i}); }
    // fsub st, st: 0, or a NaN for an infinity or a NaN.
    void FsubSelf() { Bytes({0xD8, 0xE0}); }
    void FldDouble(const Memory &m) { WithMemory(0, {0xDD}, 0, m); }
    void FldLong(const Memory &m) { WithMemory(0, {0xDB}, 5, m); }
    void FstpDouble(const Memory &m) { WithMemory(0, {0xDD}, 3, m); }
    void FstpLong(const Memory &m) { WithMemory(0, {0xDB}, 7, m); }
    // ST(1) op= ST(0), pop.
    void FarithPop(X87Arith op) {
        static constexpr int kSecond[] = {0xC1, 0xE9, 0xC9, 0xF9}; // faddp fsubp fmulp fdivp
        Bytes({0xDE, kSecond[static_cast<int>(op)]});
    }
    // ST(0) = ST(0) op m64, or (reversed) m64 op ST(0).
    void Farith(X87Arith op, bool reversed, const Memory &m) {
        static constexpr int kReg[] = {0, 4, 1, 6};     // fadd, fsub, fmul, fdiv
        static constexpr int kReverse[] = {0, 5, 1, 7}; // fadd, fsubr, fmul, fdivr
        const int k = static_cast<int>(op);
        WithMemory(0, {0xDC}, reversed ? kReverse[k] : kReg[k], m);
    }

    // SSE2 scalar doubles, on registers and memory.
    void Movsd(int xmm, const Memory &m) { WithMemory(0xF2, {0x0F, 0x10}, xmm, m); }
    void Movsd(const Memory &m, int xmm) { WithMemory(0xF2, {0x0F, 0x11}, xmm, m); }
    void Mulsd(int xmm, const Memory &m) { WithMemory(0xF2, {0x0F, 0x59}, xmm, m); }
    void Ucomisd(int xmm, const Memory &m) { WithMemory(0x66, {0x0F, 0x2E}, xmm, m); }
    void Andpd(int xmm, const Memory &m) { WithMemory(0x66, {0x0F, 0x54}, xmm, m); }
    void Movapd(int destination, int source) { Sse(0x66, 0x28, destination, source); }
    void Addsd(int destination, int source) { Sse(0xF2, 0x58, destination, source); }
    void Subsd(int destination, int source) { Sse(0xF2, 0x5C, destination, source); }
    void Mulsd(int destination, int source) { Sse(0xF2, 0x59, destination, source); }
    void Sqrtsd(int destination, int source) { Sse(0xF2, 0x51, destination, source); }
    void Ucomisd(int destination, int source) { Sse(0x66, 0x2E, destination, source); }
    // movq r64, xmm.
    void Movq(int r, int xmm) {
        Bytes({0x66, 0x48 | (r >= 8 ? 1 : 0), 0x0F, 0x7E, Direct(xmm, r)});
    }
    // The scalar fused multiply-adds of the 231 form: destination = a * b + destination
    // (vfmadd231sd) or a * b - destination (vfmsub231sd).
    void Vfmadd231sd(int destination, int a, int b) { Fma231(0xB9, destination, a, b); }
    void Vfmsub231sd(int destination, int a, int b) { Fma231(0xBB, destination, a, b); }
    void Vfmadd231sd(int destination, int a, const Memory &m) {
        Bytes({0xC4, 0xE2, FmaSecondByte(a)});
        WithMemory(0, {0xB9}, destination, m);
    }

private:
    std::size_t Rel32() {
        const std::size_t at = Here();
        Int32(0);
        return at;
    }
    void Patch32(std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes_[at + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    }
    // A REX prefix where one is needed: 64-bit operands, or registers from r8 on.
    void Rex(bool wide, int reg, int base) {
        const int rex = (wide ? 8 : 0) | (reg >= 8 ? 4 : 0) | (base >= 8 ? 1 : 0);
        if (rex != 0)
            Byte(0x40 | rex);
    }
    static int Direct(int reg, int rm) { return 0xC0 | ((reg & 7) << 3) | (rm & 7); }
    // opcode r/m64, r64 with the register form: 0x89 mov, 0x01 add, 0x29 sub.
    void RegisterToRegister(int opcode, int destination, int source) {
        Bytes({0x48 | (source >= 8 ? 4 : 0) | (destination >= 8 ? 1 : 0), opcode,
               Direct(source, destination)});
    }
    void RspImmediate(int modrm, std::int32_t value) {
        Bytes({0x48, 0x81, modrm});
        Int32(value);
    }
    void EaxImmediate(int opcode, std::int32_t value) {
        Byte(opcode);
        Int32(value);
    }
    // The ModRM byte (reg is its reg field, or the opcode's /digit), SIB and displacement of a
    // memory operand, after the opcode.
    void ModRm(int reg, const Memory &m) {
        if (m.constant >= 0) {
            Byte((reg << 3) | 5);
            constantUses_.emplace_back(Here(), m.constant);
            Int32(0);
            return;
        }
        const int low = m.base & 7;
        const bool small = m.disp >= -128 && m.disp <= 127;
        const int mode = m.disp == 0 && low != 5 ? 0x00 : small ? 0x40 : 0x80;
        Byte(mode | (reg << 3) | low);
        if (low == 4)
            Byte(0x24); // SIB: base only
        if (mode == 0x40)
            Byte(m.disp & 0xFF);
        else if (mode == 0x80)
            Int32(m.disp);
    }
    // An instruction with a memory operand: the legacy prefix (0 for none), the REX prefix of a
    // base from r8 on, the opcode's bytes, then the operand.
    void WithMemory(int prefix, std::initializer_list<int> opcode, int reg, const Memory &m) {
        if (prefix != 0)
            Byte(prefix);
        if (m.constant < 0)
            Rex(false, 0, m.base);
        Bytes(opcode);
        ModRm(reg, m);
    }
    void Sse(int prefix, int opcode, int destination, int source) {
        Bytes({prefix, 0x0F, opcode, Direct(destination, source)});
    }
    static int FmaSecondByte(int a) { return 0x80 | ((~a & 0xF) << 3) | 0x01; }
    void Fma231(int opcode, int destination, int a, int b) {
        Bytes({0xC4, 0xE2, FmaSecondByte(a), opcode, Direct(destination, b)});
    }

    std::vector<std::uint8_t> bytes_;
    // The operands that read constants: where their rel32 is, and the constant's index.
    std::vector<std::pair<std::size_t, int>> constantUses_;
};

} // namespace ziffa::compiled
