#include "interpreter/compiled/CompiledExpression.h"

#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"
#include "interpreter/compiled/ByteCodeInterpreter.h"
#include "interpreter/compiled/CompiledProgram.h"
#include "interpreter/compiled/Compiler.h"
#include "interpreter/compiled/NativeCode.h"

#include <limits>
#include <utility>

namespace ziffa {

using namespace compiled;

namespace {

std::shared_ptr<const Program> EmptyTextProgram() {
    static const std::shared_ptr<const Program> program = CompileProgram({}, 0, nullptr, '.');
    return program;
}

} // namespace

CompiledExpression::CompiledExpression() : program_(EmptyTextProgram()) {}

CompiledExpression::CompiledExpression(std::shared_ptr<const compiled::Program> program,
                                       std::shared_ptr<const compiled::NativeCode> native,
                                       int variableCount)
    : program_(std::move(program)), native_(std::move(native)),
      entry_(native_ != nullptr ? native_->EntryPoint() : nullptr), variableCount_(variableCount) {}

std::size_t CompiledExpression::Size() const noexcept {
    return program_->instructions;
}

std::size_t CompiledExpression::ProgramBytes() const noexcept {
    return program_->code.size() + program_->constants.size() * sizeof(long double);
}

CompiledExpression CompileExpression(std::string_view text, int variableCount,
                                     const std::string *variableNames, char decimalSeparator,
                                     Execution execution) {
    std::shared_ptr<const Program> program =
        CompileProgram(text, variableCount, variableNames, decimalSeparator);
    std::shared_ptr<const NativeCode> native;
    if (execution == Execution::Native)
        native = NativeCode::Generate(*program);
    return CompiledExpression(std::move(program), std::move(native), variableCount);
}

CompiledExpression CompileExpression(std::string_view text, int variableCount,
                                     const std::string *variableNames) {
    return CompileExpression(text, variableCount, variableNames, ExprDecimalSeparator,
                             Execution::Native);
}

long double CompiledExpression::NativeFault(const double *values, const int *out, int &errorCode,
                                            int &errorPosition) const {
    // The machine code asks for a checked evaluation when an unchecked fault may have happened.
    if (out[0] == kRecheck)
        return InterpretChecked(*program_, values, errorCode, errorPosition);
    errorCode = out[0];
    errorPosition = out[1];
    return 0;
}

std::size_t CompiledExpression::EvaluateMany(const double *values, std::size_t stride,
                                             std::size_t count, long double *results) const {
    if (count == 0)
        return 0;
    if (native_ != nullptr && stride <= std::numeric_limits<std::size_t>::max() / sizeof(double))
        return native_->RunMany(values, stride * sizeof(double), count, results);
    for (std::size_t i = 0; i < count; ++i) {
        int code = 0, position = 0;
        long double value;
        try {
            value = EvaluateInterpreted(values + i * stride, code, position);
        } catch (const FloatFault &) {
            return i;
        }
        if (code != 0)
            return i;
        results[i] = value;
    }
    return count;
}

long double CompiledExpression::EvaluateInterpreted(const double *values, int &errorCode,
                                                    int &errorPosition) const {
    if (errorCode != 0)
        return 0;
    return Interpret(*program_, values, errorCode, errorPosition);
}

} // namespace ziffa
