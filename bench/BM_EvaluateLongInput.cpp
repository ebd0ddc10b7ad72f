// Compiling and evaluating very long input: a sum of 10 MB ("1+1+...+1") and a number inside
// 1,000,000 pairs of parentheses. Each iteration compiles the text and evaluates it once. The
// counter peak_rss_mb is the peak resident memory of the process so far (run one benchmark at a
// time, with --benchmark_filter, to read it for that input alone).
#include "interpreter/Compiled.h"

#include <benchmark/benchmark.h>
#include <string>
#include <sys/resource.h>

namespace {

std::string LongSum() {
    std::string text = "1";
    text.reserve(10'000'000);
    while (text.size() + 2 <= 10'000'000)
        text += "+1";
    return text;
}

std::string DeepNesting() {
    std::string text(1'000'000, '(');
    text += "7";
    text.append(1'000'000, ')');
    return text;
}

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_LongInput(benchmark::State &state, std::string (*make)()) {
    const std::string text = make();
    for (auto _ : state) {
        const ziffa::CompiledExpression program = ziffa::CompileExpression(text, 0, nullptr, '.');
        int code = 0, position = 0;
        benchmark::DoNotOptimize(program.Evaluate(nullptr, code, position));
        if (code != 0)
            state.SkipWithError("evaluation fault");
    }
    state.counters["characters"] = static_cast<double>(text.size());
    state.counters["peak_rss_mb"] = PeakResidentMegabytes();
}

BENCHMARK_CAPTURE(BM_LongInput, Sum10MB, &LongSum)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongInput, Nested1M, &DeepNesting)->Unit(benchmark::kMillisecond);

} // namespace
