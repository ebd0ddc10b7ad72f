#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace ziffa {

namespace compiled {
struct Program;
class NativeCode;
} // namespace compiled

// How a compiled expression runs: as machine code where the platform allows it (x86-64 Linux,
// programs up to six values deep), otherwise, and always with Interpreted, by an interpreter.
// Both give the same results; machine code is several times faster, and takes a memory page and
// two system calls to set up, so one-off evaluations are better interpreted.
enum class Execution { Native, Interpreted };

// An expression text analysed once into a flat program, for callers that evaluate the same text
// many times with different variable values (the graph component, at every point of a grid).
//
// Evaluating the program gives exactly what EvaluateExpression gives for the same text and
// values: the same value bit for bit, the same error code and position, the same FloatFault.
// Faults of the text's structure are instructions of the program that report themselves when
// the evaluation reaches them, so the first fault is the same one the evaluator finds.
//
// Variable names and the decimal separator are bound when the text is compiled; the values are
// given at each evaluation. Compilation takes time linear in the length of the text, and neither
// compilation nor evaluation recurses with the nesting of the text, so any size of input is safe.
// Copies share the program, which is never changed.
class CompiledExpression {
public:
    // The program of the empty text (fault 10 at 0).
    CompiledExpression();

    // Evaluates the program with variableValues[0 .. VariableCount() - 1]. errorCode must be 0 on
    // entry; on return it is 0 on success, or the code of the first fault with errorPosition its
    // zero-based index in the compiled text. Returns 0 whenever a fault is reported. If errorCode
    // is not 0 on entry the call returns 0 and changes neither output. Throws FloatFault on
    // overflow or an invalid operation in the evaluator's own arithmetic. Reentrant, and safe to
    // call from several threads at once.
    long double Evaluate(const double *variableValues, int &errorCode, int &errorPosition) const {
        if (entry_ != nullptr && errorCode == 0) {
            // Machine code, which returns its value at once in the common case.
            int out[2] = {0, 0};
            const long double value = entry_(variableValues, out);
            if (out[0] == 0)
                return value;
            return NativeFault(variableValues, out, errorCode, errorPosition);
        }
        return EvaluateInterpreted(variableValues, errorCode, errorPosition);
    }

    // Evaluates the program at count points, the variables of point i being
    // variableValues[i * stride .. i * stride + VariableCount() - 1], and stores the value of
    // each point in results[i]. Stops at the first point it has no value for, and returns its
    // index, or count when every point has its value. That point is one whose evaluation reports
    // a fault or throws FloatFault, or one the machine code leaves to the checked arithmetic:
    // Evaluate on it tells which (and gives its value when there is one). Nothing is thrown.
    // On machine code the loop over the points runs inside the code, so a point costs about what
    // the arithmetic costs; this is the way to evaluate a grid.
    std::size_t EvaluateMany(const double *variableValues, std::size_t stride, std::size_t count,
                             long double *results) const;

    // The number of variables the program was compiled with.
    int VariableCount() const noexcept { return variableCount_; }

    // Whether the program runs as machine code.
    bool IsNative() const noexcept { return native_ != nullptr; }

    // The number of instructions, for tests and measurements.
    std::size_t Size() const noexcept;

    // The bytes the program takes (its code and its constants, without the machine code), for
    // tests and measurements.
    std::size_t ProgramBytes() const noexcept;

private:
    friend CompiledExpression CompileExpression(std::string_view text, int variableCount,
                                                const std::string *variableNames,
                                                char decimalSeparator, Execution execution);

    CompiledExpression(std::shared_ptr<const compiled::Program> program,
                       std::shared_ptr<const compiled::NativeCode> native, int variableCount);

    long double NativeFault(const double *values, const int *out, int &errorCode,
                            int &errorPosition) const;
    long double EvaluateInterpreted(const double *values, int &errorCode, int &errorPosition) const;

    std::shared_ptr<const compiled::Program> program_;
    // The machine code, and its entry point, which lives as long as the code.
    std::shared_ptr<const compiled::NativeCode> native_;
    long double (*entry_)(const double *values, int *codeAndPosition) = nullptr;
    int variableCount_ = 0;
};

// Compiles a text (normalised as for EvaluateExpression) with the variable names
// variableNames[0 .. variableCount - 1], which are compared exactly; the first of two equal names
// is the one read. decimalSeparator plays the part of ExprDecimalSeparator. The program takes
// about as many bytes as the text. Throws std::length_error for a text longer than INT_MAX
// characters, whose positions an int can't hold, and std::bad_alloc.
CompiledExpression CompileExpression(std::string_view text, int variableCount,
                                     const std::string *variableNames, char decimalSeparator,
                                     Execution execution = Execution::Native);

// The same with the current ExprDecimalSeparator, as machine code where possible.
CompiledExpression CompileExpression(std::string_view text, int variableCount,
                                     const std::string *variableNames);

} // namespace ziffa
