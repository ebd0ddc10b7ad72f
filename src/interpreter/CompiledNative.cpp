#include "interpreter/CompiledNative.h"

#include "interpreter/Tables.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>
#include <vector>

#if defined(__x86_64__) && defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#define ZIFFA_NATIVE_CODE 1
#else
#define ZIFFA_NATIVE_CODE 0
#endif

namespace ziffa::compiled {

#if ZIFFA_NATIVE_CODE

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
double PowerOfDoubles(double base, double exponent) {
    return std::pow(base, exponent);
}

// How the generated code applies FunctionTable[index]: the check made on the extended argument,
// and the function of double, or nothing where ApplyFunction itself is called ("!", "tg" and
// "ctg", whose checks or arithmetic go beyond a function of double).
enum class Check { None, AboveOne, BelowZero };
enum class Kernel { Call, Absolute, SquareRoot, General };
struct FunctionRule {
    std::string_view name;
    Check check;
    Kernel kernel;
    double (*math)(double);
};
constexpr FunctionRule kRules[] = {
    {"sin", Check::None, Kernel::Call, &Sine},
    {"cos", Check::None, Kernel::Call, &Cosine},
    {"asin", Check::AboveOne, Kernel::Call, &Arcsine},
    {"acos", Check::AboveOne, Kernel::Call, &Arccosine},
    {"abs", Check::None, Kernel::Absolute, nullptr},
    {"exp", Check::None, Kernel::Call, &Exponential},
    {"ln", Check::BelowZero, Kernel::Call, &Logarithm},
    {"log10", Check::BelowZero, Kernel::Call, &Logarithm10},
    {"!", Check::None, Kernel::General, nullptr},
    {"tg", Check::None, Kernel::General, nullptr},
    {"ctg", Check::None, Kernel::General, nullptr},
    {"sqrt", Check::BelowZero, Kernel::SquareRoot, nullptr},
};
static_assert(std::size(kRules) == FunctionTable.size());
constexpr bool RulesMatchTable() {
    for (std::size_t i = 0; i < FunctionTable.size(); ++i)
        if (kRules[i].name != FunctionTable[i])
            return false;
    return true;
}
static_assert(RulesMatchTable(), "the rules follow the order of FunctionTable");

// The generated function: long double f(const double *values, int *codeAndPosition).
// rbx holds values, r12 codeAndPosition; the frame at rsp has two 16-byte slots for the
// arguments of calls (the second also takes a function's error code) and the spill slots.
// A program that calls nothing needs no frame and keeps the two pointers where they arrive, in
// rdi and rsi.
constexpr int kRsi = 6, kRdi = 7, kRbx = 3, kRsp = 4, kR12 = 12;
constexpr int kArgument0 = 0, kArgument1 = 16, kErrorSlot = 16, kSpill = 32;
constexpr int kFrame = 168; // keeps rsp 16-byte aligned at calls
constexpr int kX87Registers = 8;
// Each operation needs at most two registers beyond the values alive before it.
constexpr int kMaxDepth = kX87Registers - 2;
constexpr std::size_t kMaxInstructions = 20000;

// x87 arithmetic with a memory operand (DC /r) and with pop (DE xx).
enum MemoryArith : int { kFAdd = 0, kFMul = 1, kFSub = 4, kFDiv = 6 };

bool IsDouble(long double v) {
    return static_cast<long double>(static_cast<double>(v)) == v;
}

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
    void Bind(std::size_t rel32, std::size_t target) {
        Patch32(rel32, static_cast<std::int32_t>(static_cast<std::ptrdiff_t>(target) -
                                                 static_cast<std::ptrdiff_t>(rel32 + 4)));
    }
};

class Generator {
public:
    explicit Generator(const Program &program) : program_(program) {}

    bool Generate();
    const std::vector<std::uint8_t> &Bytes() const { return a_.bytes; }

private:
    enum class StubKind { Divide, Fixed, Function, Recheck };
    struct Stub {
        StubKind kind;
        std::size_t jump;
        int depth;
        int position;
        int code = 0;
    };
    struct ConstantUse {
        std::size_t disp;
        int index;
    };

    // x87 stack operations.
    void Fldz() { a_.Bytes({0xD9, 0xEE}); }
    void FxchSt1() { a_.Bytes({0xD9, 0xC9}); }
    void FstpSt0() { a_.Bytes({0xDD, 0xD8}); }
    void FucomipSt(int i) { a_.Bytes({0xDF, 0xE8 + i}); }
    void FldDoubleAt(int base, std::int32_t disp) { a_.Memory(0xDD, 0, base, disp); }
    void FldLongAt(int base, std::int32_t disp) { a_.Memory(0xDB, 5, base, disp); }
    void FstpLongAt(int base, std::int32_t disp) { a_.Memory(0xDB, 7, base, disp); }
    void WriteOut(int slot, std::int32_t value) {
        a_.Memory(0xC7, 0, out_, 4 * slot);
        a_.Int32(value);
    }

    // ST(1) op= ST(0), pop: operator kind 0..3 of "+-*/".
    void PoppingArith(int kind) {
        static const int second[] = {0xC1, 0xE9, 0xC9, 0xF9};
        a_.Bytes({0xDE, second[kind]});
    }
    static int MemoryArithFor(int kind) {
        static const int reg[] = {kFAdd, kFSub, kFMul, kFDiv};
        return reg[kind];
    }

    void LoadConstant(int index) {
        const long double v = program_.constants[static_cast<std::size_t>(index)];
        const std::size_t disp = IsDouble(v) ? a_.RipRelative(0xDD, 0) : a_.RipRelative(0xDB, 5);
        constants_.push_back({disp, index});
    }
    void ArithConstant(int kind, int index) {
        const long double v = program_.constants[static_cast<std::size_t>(index)];
        if (IsDouble(v)) {
            constants_.push_back({a_.RipRelative(0xDC, MemoryArithFor(kind)), index});
        } else {
            LoadConstant(index);
            PoppingArith(kind);
        }
    }
    void PopAll(int depth) {
        for (int i = 0; i < depth; ++i)
            FstpSt0();
    }
    void ExitWith(int code, int position, int depth) {
        PopAll(depth);
        WriteOut(0, code);
        WriteOut(1, position);
        Fldz();
        exits_.push_back(a_.Jump(0xE9));
    }
    // Jumps to a stub when ST(offset) is 0 or a NaN.
    std::size_t JumpIfZero(int offset) {
        Fldz();
        FucomipSt(offset + 1);
        return a_.Jump(0x84);
    }

    // Where a value that is not finite could vanish from the computation, the evaluation is
    // repeated with the checked arithmetic: an overflow or invalid operation of the unchecked
    // arithmetic always leaves an infinity or a NaN, which otherwise reaches the result.
    void RecheckUnlessFinite(int i, int depth) {
        a_.Bytes({0xD9, 0xC0 + i}); // fld st(i)
        a_.Bytes({0xD8, 0xE0});     // fsub st, st: 0, or a NaN for an infinity or a NaN
        FucomipSt(0);
        stubs_.push_back({StubKind::Recheck, a_.Jump(0x8A), depth, 0});
    }
    // The same before a rounding to double, which also overflows for finite values beyond the
    // range of double.
    void RecheckUnlessDoubleRange(int i, int depth) {
        a_.Bytes({0xD9, 0xC0 + i}); // fld st(i)
        a_.Bytes({0xD9, 0xE1});     // fabs
        usesDoubleMax_.push_back(a_.RipRelative(0xDD, 0));
        FucomipSt(1);
        FstpSt0();
        stubs_.push_back({StubKind::Recheck, a_.Jump(0x82), depth, 0});
    }
    // Ends with the fault code at position, unless one of the values alive is not finite.
    void FaultExit(int code, int position, int depth);
    void Divide(int depth, int position);
    void Power(int depth, int position);
    void Call(std::uintptr_t function);
    template <class F> static std::uintptr_t Address(F *function) {
        return reinterpret_cast<std::uintptr_t>(function);
    }
    void ResultFromXmm0() {
        Movsd(0x11, 0, kArgument0);
        FldDoubleAt(kRsp, kArgument0);
    }
    // movsd xmm, [rsp + disp] (0x10) or movsd [rsp + disp], xmm (0x11).
    void Movsd(int opcode, int xmm, std::int32_t disp) {
        a_.Bytes({0xF2, 0x0F});
        a_.Memory(opcode, xmm, kRsp, disp);
    }
    void FstpDoubleAt(int base, std::int32_t disp) { a_.Memory(0xDD, 3, base, disp); }
    void Restore(int spilled);
    void Function(int index, int depth, int position);
    bool Body();
    void Stubs();

    const Program &program_;
    Assembler a_;
    std::vector<Stub> stubs_;
    std::vector<ConstantUse> constants_;
    std::vector<std::size_t> exits_;
    std::vector<std::size_t> usesDoubleMax_;
    int values_ = kRbx;
    int out_ = kR12;
};

void Generator::FaultExit(int code, int position, int depth) {
    std::vector<std::size_t> recheck;
    for (int i = 0; i < depth; ++i) {
        a_.Bytes({0xD9, 0xC0 + i, 0xD8, 0xE0});
        FucomipSt(0);
        recheck.push_back(a_.Jump(0x8A));
    }
    ExitWith(code, position, depth);
    for (std::size_t jump : recheck)
        a_.Bind(jump, a_.Here());
    if (!recheck.empty())
        ExitWith(kRecheck, 0, depth);
}

// ST(1) / ST(0), with the checks of "/" first.
void Generator::Divide(int depth, int position) {
    stubs_.push_back({StubKind::Divide, JumpIfZero(0), depth, position});
    // An infinite divisor would turn an earlier overflow into a finite quotient.
    RecheckUnlessFinite(0, depth);
    PoppingArith(3);
}

// ST(1) ^ ST(0), with the check of "^" first.
void Generator::Power(int depth, int position) {
    Fldz();
    FucomipSt(1);
    const std::size_t nonzero = a_.Jump(0x85);
    stubs_.push_back({StubKind::Fixed, JumpIfZero(1), depth, position, 13});
    a_.Bind(nonzero, a_.Here());
    RecheckUnlessDoubleRange(0, depth);
    RecheckUnlessDoubleRange(1, depth);
    // Both operands rounded to double, the base first.
    FstpDoubleAt(kRsp, kArgument0 + 8);
    FstpDoubleAt(kRsp, kArgument0);
    for (int k = 0; k < depth - 2; ++k)
        FstpLongAt(kRsp, kSpill + 16 * k);
    Movsd(0x10, 0, kArgument0);
    Movsd(0x10, 1, kArgument0 + 8);
    Call(Address(&PowerOfDoubles));
    ResultFromXmm0();
    Restore(depth - 2);
}

void Generator::Call(std::uintptr_t function) {
    a_.Bytes({0x48, 0xB8}); // mov rax, function; call rax
    a_.Int64(function);
    a_.Bytes({0xFF, 0xD0});
}

// Brings the spilled values back under the result in ST(0).
void Generator::Restore(int spilled) {
    for (int k = spilled - 1; k >= 0; --k) {
        FldLongAt(kRsp, kSpill + 16 * k);
        FxchSt1();
    }
}

void Generator::Function(int index, int depth, int position) {
    const FunctionRule &rule = kRules[index];
    if (rule.kernel != Kernel::General) {
        if (rule.check == Check::AboveOne) {
            // 1 < ST(0); a NaN passes.
            a_.Bytes({0xD9, 0xE8}); // fld1
            FucomipSt(1);
            const std::size_t unordered = a_.Jump(0x8A);
            stubs_.push_back({StubKind::Fixed, a_.Jump(0x82), depth, position, 16});
            a_.Bind(unordered, a_.Here());
        } else if (rule.check == Check::BelowZero) {
            // 0 > ST(0), or a NaN.
            Fldz();
            FucomipSt(1);
            stubs_.push_back({StubKind::Fixed, a_.Jump(0x8A), depth, position, 14});
            stubs_.push_back({StubKind::Fixed, a_.Jump(0x87), depth, position, 14});
        }
        RecheckUnlessDoubleRange(0, depth);
        FstpDoubleAt(kRsp, kArgument0);
        if (rule.kernel == Kernel::Absolute) {
            FldDoubleAt(kRsp, kArgument0);
            a_.Bytes({0xD9, 0xE1}); // fabs
            return;
        }
        if (rule.kernel == Kernel::SquareRoot) {
            Movsd(0x10, 0, kArgument0);
            a_.Bytes({0xF2, 0x0F, 0x51, 0xC0}); // sqrtsd xmm0, xmm0
            ResultFromXmm0();
            return;
        }
        for (int k = 0; k < depth - 1; ++k)
            FstpLongAt(kRsp, kSpill + 16 * k);
        Movsd(0x10, 0, kArgument0);
        Call(Address(rule.math));
        ResultFromXmm0();
        Restore(depth - 1);
        return;
    }
    RecheckUnlessDoubleRange(0, depth);
    FstpLongAt(kRsp, kArgument0);
    for (int k = 0; k < depth - 1; ++k)
        FstpLongAt(kRsp, kSpill + 16 * k);
    a_.Memory(0xC7, 0, kRsp, kErrorSlot); // mov dword [rsp + 16], 0
    a_.Int32(0);
    a_.Byte(0xBF); // mov edi, index
    a_.Int32(index);
    a_.Bytes({0x48, 0x8D, 0x74, 0x24, kErrorSlot}); // lea rsi, [rsp + 16]
    Call(Address(&NativeFunction));
    a_.Memory(0x83, 7, kRsp, kErrorSlot); // cmp dword [rsp + 16], 0
    a_.Byte(0);
    // With values spilled around the call, one of them may hold an unchecked overflow that came
    // before this fault.
    stubs_.push_back(
        {depth > 1 ? StubKind::Recheck : StubKind::Function, a_.Jump(0x85), 1, position});
    Restore(depth - 1);
}

bool Generator::Body() {
    int depth = 0;
    for (const Instruction &i : program_.code) {
        const int kind = i.op >= kAdd && i.op <= kPow             ? i.op - kAdd
                         : i.op >= kAddConst && i.op <= kPowConst ? i.op - kAddConst
                         : i.op >= kAddVar && i.op <= kPowVar     ? i.op - kAddVar
                                                                  : -1;
        const std::int32_t variable = 8 * i.index;
        switch (i.op) {
        case kPushConst:
            LoadConstant(i.index);
            ++depth;
            break;
        case kPushVar:
            FldDoubleAt(values_, variable);
            ++depth;
            break;
        case kAdd:
        case kSub:
        case kMul:
            PoppingArith(kind);
            --depth;
            break;
        case kDiv:
            Divide(depth, i.position);
            --depth;
            break;
        case kPow:
            Power(depth, i.position);
            --depth;
            break;
        case kAddConst:
        case kSubConst:
        case kMulConst:
            ArithConstant(kind, i.index);
            break;
        case kDivConst: {
            const long double v = program_.constants[static_cast<std::size_t>(i.index)];
            if (v != 0) {
                // A literal or constant is never a NaN: only zero needs the check.
                ArithConstant(kind, i.index);
            } else {
                LoadConstant(i.index);
                Divide(depth + 1, i.position);
            }
            break;
        }
        case kPowConst:
            LoadConstant(i.index);
            Power(depth + 1, i.position);
            break;
        case kAddVar:
        case kSubVar:
        case kMulVar:
            a_.Memory(0xDC, MemoryArithFor(kind), values_, variable);
            break;
        case kDivVar:
            FldDoubleAt(values_, variable);
            Divide(depth + 1, i.position);
            break;
        case kPowVar:
            FldDoubleAt(values_, variable);
            Power(depth + 1, i.position);
            break;
        case kFunction:
            Function(i.small, depth, i.position);
            break;
        case kFault:
            FaultExit(i.small, i.position, depth);
            return true;
        case kBadLiteral:
            ExitWith(kRecheck, i.position, depth);
            return true;
        case kReturn:
            if (depth != 1)
                return false;
            RecheckUnlessFinite(0, 1);
            return true;
        default:
            return false;
        }
    }
    return false;
}

void Generator::Stubs() {
    // The stubs may add further stubs while they are written: index, don't iterate.
    for (std::size_t k = 0; k < stubs_.size(); ++k) {
        const Stub s = stubs_[k];
        a_.Bind(s.jump, a_.Here());
        switch (s.kind) {
        case StubKind::Divide: {
            // The divisor ST(0) is 0 or a NaN: 0/0 if the dividend ST(1) is too.
            Fldz();
            FucomipSt(2);
            const std::size_t nonzero = a_.Jump(0x85);
            FaultExit(13, s.position, s.depth);
            a_.Bind(nonzero, a_.Here());
            FaultExit(12, s.position + 1, s.depth);
            break;
        }
        case StubKind::Fixed:
            FaultExit(s.code, s.position, s.depth);
            break;
        case StubKind::Function:
            PopAll(s.depth);
            a_.Bytes({0x8B, 0x44, 0x24, kErrorSlot}); // mov eax, [rsp + 16]
            a_.Bytes({0x41, 0x89, 0x04, 0x24});       // mov [r12], eax (calls need the frame)
            WriteOut(1, s.position);
            Fldz();
            exits_.push_back(a_.Jump(0xE9));
            break;
        case StubKind::Recheck:
            ExitWith(kRecheck, 0, s.depth);
            break;
        }
    }
}

bool Generator::Generate() {
    if (program_.maxDepth > kMaxDepth || program_.code.size() > kMaxInstructions)
        return false;
    for (const Instruction &i : program_.code)
        if ((i.op == kPushVar || (i.op >= kAddVar && i.op <= kPowVar)) &&
            i.index > std::numeric_limits<std::int32_t>::max() / 8)
            return false;
    const bool calls = std::any_of(program_.code.begin(), program_.code.end(), [](const auto &i) {
        return i.op == kFunction || i.op == kPow || i.op == kPowConst || i.op == kPowVar;
    });
    if (calls) {
        a_.Bytes({0x53, 0x41, 0x54}); // push rbx; push r12
        a_.Bytes({0x48, 0x81, 0xEC}); // sub rsp, kFrame
        a_.Int32(kFrame);
        a_.Bytes({0x48, 0x89, 0xFB, 0x49, 0x89, 0xF4}); // mov rbx, rdi; mov r12, rsi
    } else {
        values_ = kRdi;
        out_ = kRsi;
    }
    if (!Body())
        return false;
    const std::size_t epilogue = a_.Here();
    if (calls) {
        a_.Bytes({0x48, 0x81, 0xC4}); // add rsp, kFrame
        a_.Int32(kFrame);
        a_.Bytes({0x41, 0x5C, 0x5B}); // pop r12; pop rbx
    }
    a_.Byte(0xC3); // ret
    Stubs();
    for (std::size_t exit : exits_)
        a_.Bind(exit, epilogue);
    // The constants, 16 bytes apart, after the code.
    while (a_.Here() % 16 != 0)
        a_.Byte(0xCC);
    const std::size_t table = a_.Here();
    for (long double v : program_.constants) {
        std::uint8_t slot[16] = {};
        if (IsDouble(v)) {
            const double d = static_cast<double>(v);
            std::memcpy(slot, &d, sizeof d);
        } else {
            std::memcpy(slot, &v, 10);
        }
        for (std::uint8_t b : slot)
            a_.Byte(b);
    }
    const std::size_t doubleMax = a_.Here();
    const double max = std::numeric_limits<double>::max();
    std::uint8_t slot[8];
    std::memcpy(slot, &max, sizeof max);
    for (std::uint8_t b : slot)
        a_.Byte(b);
    for (const ConstantUse &use : constants_)
        a_.Bind(use.disp, table + 16 * static_cast<std::size_t>(use.index));
    for (std::size_t use : usesDoubleMax_)
        a_.Bind(use, doubleMax);
    return true;
}

} // namespace

std::unique_ptr<NativeCode> NativeCode::Generate(const Program &program) {
    Generator generator(program);
    if (!generator.Generate())
        return nullptr;
    const std::vector<std::uint8_t> &bytes = generator.Bytes();
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
    const std::size_t size = (bytes.size() + pageSize - 1) / pageSize * pageSize;
    void *memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    std::memcpy(memory, bytes.data(), bytes.size());
    if (mprotect(memory, size, PROT_READ | PROT_EXEC) != 0) {
        munmap(memory, size);
        return nullptr;
    }
    Entry entry;
    static_assert(sizeof entry == sizeof memory);
    std::memcpy(&entry, &memory, sizeof entry);
    return std::make_unique<NativeCode>(Key(), memory, size, entry);
}

NativeCode::~NativeCode() {
    munmap(memory_, size_);
}

#else

std::unique_ptr<NativeCode> NativeCode::Generate(const Program &) {
    return nullptr;
}

NativeCode::~NativeCode() = default;

#endif

} // namespace ziffa::compiled
