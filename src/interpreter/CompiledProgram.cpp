#include "interpreter/CompiledProgram.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <new>
#include <utility>

namespace ziffa::compiled {

ByteCode::~ByteCode() {
    std::free(bytes_);
}

std::uint8_t *ByteCode::Extend(std::size_t n) {
    const std::size_t needed = size_ + n + kPadding;
    if (needed > capacity_) {
        const std::size_t capacity = std::max({needed, 2 * capacity_, std::size_t{64}});
        void *grown = std::realloc(bytes_, capacity);
        if (grown == nullptr)
            throw std::bad_alloc();
        bytes_ = static_cast<std::uint8_t *>(grown);
        capacity_ = capacity;
    }
    std::uint8_t *at = bytes_ + size_;
    size_ += n;
    return at;
}

void ByteCode::Finish() {
    const std::size_t capacity = size_ + kPadding;
    if (capacity < capacity_) {
        // Shrinking in place never fails in practice; if it does, the larger block stays.
        if (void *shrunk = std::realloc(bytes_, capacity)) {
            bytes_ = static_cast<std::uint8_t *>(shrunk);
            capacity_ = capacity;
        }
    } else if (capacity > capacity_) {
        Extend(0);
    }
    std::fill_n(bytes_ + size_, kPadding, std::uint8_t{0});
}

std::size_t InstructionLength(const std::uint8_t *code) {
    const int base = BaseOf(*code);
    const unsigned width = WidthOf(*code);
    if (base == kAddVar + 3 || base == kAddVar + 4 || base == kFunction)
        return 2u + kWidthBytes[width];
    if (base == kPushDecimal || (base >= kAddDecimal && base < kAddDecimal + 5))
        return 2u + kWidthBytes[width];
    if (base == kFault)
        return 6;
    return 1u + kWidthBytes[width];
}

DecodedProgram Decode(const Program &program, std::size_t maxInstructions) {
    DecodedProgram out;
    if (program.instructions > maxInstructions)
        return out;
    out.code.reserve(program.instructions);
    out.constants = program.constants;
    out.maxDepth = program.maxDepth;
    const std::uint8_t *at = program.code.data();
    const std::uint8_t *const end = at + program.code.size();
    std::int32_t position = 0;
    // The numbers of the code become constants, each value once.
    std::map<std::pair<std::uint64_t, std::uint16_t>, std::int32_t> numbers;
    auto constant = [&out, &numbers](long double value) {
        std::uint64_t mantissa;
        std::uint16_t exponent;
        std::memcpy(&mantissa, &value, sizeof mantissa);
        std::memcpy(&exponent, reinterpret_cast<const unsigned char *>(&value) + 8,
                    sizeof exponent);
        const auto [at, added] = numbers.try_emplace(
            {mantissa, exponent}, static_cast<std::int32_t>(out.constants.size()));
        if (added)
            out.constants.push_back(value);
        return at->second;
    };
    for (; at < end; at += InstructionLength(at)) {
        const int base = BaseOf(*at);
        const unsigned width = WidthOf(*at);
        const std::uint32_t operand = ReadUnsigned(at + 1, width);
        Instruction i{};
        if (base < kAdd) {
            const bool push = base <= kPushDecimal;
            const int source = push ? base - kPushConst : (base - kAddConst) / 5;
            const int kind = push ? -1 : (base - kAddConst) % 5;
            if (source == kFromVar && kind >= 3) {
                // kDivVar and kPowVar: the index in one byte, then the position.
                i.index = at[1];
                position += ReadSigned(at + 2, width);
                i.position = position;
            } else if (source == kFromVar || source == kFromConst) {
                i.index = static_cast<std::int32_t>(operand);
            } else if (source == kFromWhole) {
                i.index = constant(operand);
            } else {
                i.index = constant(DecimalValue(operand, at[1 + kWidthBytes[width]]));
            }
            const bool variable = source == kFromVar;
            if (push)
                i.op = variable ? kOpPushVar : kOpPushConst;
            else
                i.op = static_cast<std::uint8_t>((variable ? kOpAddVar : kOpAddConst) + kind);
        } else if (base <= kPow) {
            i.op = static_cast<std::uint8_t>(kOpAdd + (base - kAdd));
            if (base >= kDiv) {
                position += ReadSigned(at + 1, width);
                i.position = position;
            }
        } else if (base == kFunction) {
            i.op = kOpFunction;
            i.small = at[1];
            position += ReadSigned(at + 2, width);
            i.position = position;
        } else if (base == kFault) {
            i.op = kOpFault;
            i.small = at[1];
            i.position = static_cast<std::int32_t>(ReadUnsigned(at + 2, 3));
        } else {
            i.op = base == kBadLiteral ? kOpBadLiteral : kOpReturn;
        }
        out.code.push_back(i);
    }
    return out;
}

} // namespace ziffa::compiled
