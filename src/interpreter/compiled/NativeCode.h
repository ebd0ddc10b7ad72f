#pragma once

// Machine code for a compiled expression (X86Generator.h) in memory the processor may run, and
// its two entry points. Internal to the interpreter library.

#include "interpreter/compiled/CompiledProgram.h"

#include <cstddef>
#include <memory>

namespace ziffa::compiled {

class NativeCode {
    struct Key {
        explicit Key() = default;
    };

public:
    // The machine code of a program, or nothing when the program is too deep or too long for it,
    // or the platform can't run generated code.
    static std::unique_ptr<NativeCode> Generate(const Program &program);

    using Entry = long double (*)(const double *, int *);
    using BatchEntry = std::size_t (*)(const double *, std::size_t, std::size_t, long double *);
    NativeCode(Key, void *memory, std::size_t size, Entry entry, BatchEntry batch)
        : memory_(memory), size_(size), entry_(entry), batch_(batch) {}
    ~NativeCode();
    NativeCode(const NativeCode &) = delete;
    NativeCode &operator=(const NativeCode &) = delete;

    // Runs the code with the unchecked arithmetic. On a fault sets codeAndPosition[0] to the
    // code (or kRecheck) and codeAndPosition[1] to the position, and returns 0. codeAndPosition[0]
    // must be 0 on entry.
    long double Run(const double *values, int *codeAndPosition) const {
        return entry_(values, codeAndPosition);
    }
    Entry EntryPoint() const { return entry_; }

    // Runs the code for count points (count > 0), the variables of point i at
    // values + i * strideBytes / 8, storing the value of each in results[i]. Stops at the first
    // point that reports a fault or needs the checked evaluation and returns its index, or count.
    std::size_t RunMany(const double *values, std::size_t strideBytes, std::size_t count,
                        long double *results) const {
        return batch_(values, strideBytes, count, results);
    }

private:
    void *memory_;
    std::size_t size_;
    Entry entry_;
    BatchEntry batch_;
};

} // namespace ziffa::compiled
