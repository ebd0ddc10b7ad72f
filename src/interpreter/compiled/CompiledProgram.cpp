#include "interpreter/compiled/CompiledProgram.h"

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
    for (; at < end;) {
        const int base = BaseOf(*at);
        const Layout layout = LayoutOf(*at);
        const std::uint32_t operand = ReadUnsigned(at + 1, WidthOfBytes(layout.operandBytes));
        const std::uint8_t *const after = at + 1 + layout.operandBytes;
        if (layout.positionBytes > 0 && base != kFault)
            position += ReadSigned(after + layout.scaleBytes, WidthOfBytes(layout.positionBytes));
        Instruction i{};
        i.position = position;
        if (base < kAdd) {
            const bool push = base <= kPushDecimal;
            const int group = push ? 0 : (base - kAddConst) / 5;
            const int source = push ? base - kPushConst : group % 4;
            const int kind = push ? 0 : (base - kAddConst) % 5;
            const bool variable = source == kFromVar;
            if (source == kFromVar || source == kFromConst)
                i.index = static_cast<std::int32_t>(operand);
            else if (source == kFromWhole)
                i.index = constant(operand);
            else
                i.index = constant(DecimalValue(operand, *after));
            if (push)
                i.op = variable ? kOpPushVar : kOpPushConst;
            else if (group < 4)
                i.op = static_cast<std::uint8_t>((variable ? kOpAddVar : kOpAddConst) + kind);
            else
                i.op = static_cast<std::uint8_t>((variable ? kOpRevSubVar : kOpRevSubConst) +
                                                 (kind == 1 ? 0 : kind - 2));
        } else if (base <= kPow) {
            i.op = static_cast<std::uint8_t>(kOpAdd + (base - kAdd));
        } else if (base == kFunction) {
            i.op = kOpFunction;
            i.small = static_cast<std::uint8_t>(operand);
        } else if (base == kFault) {
            i.op = kOpFault;
            i.small = static_cast<std::uint8_t>(operand);
            i.position = static_cast<std::int32_t>(ReadUnsigned(after, 3));
        } else {
            i.op = base == kBadLiteral ? kOpBadLiteral : kOpReturn;
        }
        out.code.push_back(i);
        at += layout.Length();
    }
    return out;
}

} // namespace ziffa::compiled
