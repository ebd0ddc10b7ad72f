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
        const Meaning m = MeaningOf(base);
        switch (m.action) {
        case Action::Push:
        case Action::WithValue:
        case Action::WithLeftValue: {
            const bool variable = m.source == Source::Var;
            if (variable || m.source == Source::Const)
                i.index = static_cast<std::int32_t>(operand);
            else if (m.source == Source::Whole)
                i.index = constant(operand);
            else
                i.index = constant(DecimalValue(operand, *after));
            if (m.action == Action::Push)
                i.op = variable ? Op::PushVar : Op::PushConst;
            else if (m.action == Action::WithValue)
                i.op = variable ? Op::OperateVar : Op::OperateConst;
            else
                i.op = variable ? Op::VarOperate : Op::ConstOperate;
            i.operation = m.op;
            break;
        }
        case Action::WithStack:
            i.op = Op::Operate;
            i.operation = m.op;
            break;
        case Action::Function:
            i.op = Op::Function;
            i.function = static_cast<std::uint8_t>(operand);
            break;
        case Action::Fault:
            i.op = Op::Fault;
            i.fault = static_cast<FaultCode>(operand);
            i.position = static_cast<std::int32_t>(ReadUnsigned(after, 3));
            break;
        case Action::BadLiteral:
            i.op = Op::BadLiteral;
            break;
        case Action::Return:
            i.op = Op::Return;
            break;
        }
        out.code.push_back(i);
        at += layout.Length();
    }
    return out;
}

} // namespace ziffa::compiled
