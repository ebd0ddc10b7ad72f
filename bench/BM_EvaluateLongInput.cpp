// Compiling and evaluating very long input: a sum of 10 MB ("1+1+...+1"), a number inside
// 1,000,000 pairs of parentheses, and, beside them, a 10 MB sum of products of a variable, a
// 10 MB mix of functions and operators and a chain of 1,000,000 levels nested to the right. Each
// iteration compiles the text and evaluates it once. The counter peak_rss_mb is the peak resident
// memory of the process so far (run one benchmark at a time, with --benchmark_filter, to read it
// for that input alone); program_bytes_per_character is the size of the compiled program over
// the text's length. bench/peak-memory.sh measures the whole "ziffa --eval -" process.
#include "interpreter/compiled/CompiledExpression.h"

#include <benchmark/benchmark.h>
#include <string>
#include <sys/resource.h>

namespace {

constexpr std::size_t kLength = 10'000'000;

// unit as many times as fits in kLength characters with last after it.
std::string Repeat(const std::string &unit, const std::string &last) {
    std::string text;
    text.reserve(kLength);
    while (text.size() + unit.size() + last.size() <= kLength)
        text += unit;
    return text + last;
}

std::string LongSum() {
    std::string text = "1";
    text.reserve(kLength);
    while (text.size() + 2 <= kLength)
        text += "+1";
    return text;
}

std::string Products() {
    return Repeat("x*x+", "x");
}

std::string Functions() {
    return Repeat("sin(x)*2+sqrt(x)/3-ln(x+1)^2+abs(x)*0.5-exp(1)/7+cos(x)+", "1");
}

std::string DeepNesting() {
    std::string text(1'000'000, '(');
    text += "7";
    text.append(1'000'000, ')');
    return text;
}

std::string RightNesting() {
    std::string text;
    for (int i = 0; i < 1'000'000; ++i)
        text += "1+(";
    text += "1";
    text.append(1'000'000, ')');
    return text;
}

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The text of make, with the variable x = 1 where withX.
void BM_LongInput(benchmark::State &state, std::string (*make)(), bool withX) {
    const std::string text = make();
    const std::string names[] = {"x"};
    const double x = 1;
    std::size_t programBytes = 0;
    for (auto _ : state) {
        const ziffa::CompiledExpression program =
            ziffa::CompileExpression(text, withX ? 1 : 0, names, '.');
        int code = 0, position = 0;
        benchmark::DoNotOptimize(program.Evaluate(&x, code, position));
        if (code != 0)
            state.SkipWithError("evaluation fault");
        programBytes = program.ProgramBytes();
    }
    state.counters["characters"] = static_cast<double>(text.size());
    state.counters["peak_rss_mb"] = PeakResidentMegabytes();
    state.counters["program_bytes_per_character"] =
        static_cast<double>(programBytes) / static_cast<double>(text.size());
}

BENCHMARK_CAPTURE(BM_LongInput, Sum10MB, &LongSum, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongInput, Nested1M, &DeepNesting, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongInput, Products10MB, &Products, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongInput, Functions10MB, &Functions, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongInput, RightNested1M, &RightNesting, false)->Unit(benchmark::kMillisecond);

} // namespace
