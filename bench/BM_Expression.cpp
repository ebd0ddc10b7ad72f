// EvaluateExpression on texts of different lengths, as the calculator calls it: the text is
// analysed afresh at every call.
#include "interpreter/ExpressionText.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string Sum(int terms) {
    std::string text = "1";
    for (int i = 1; i < terms; ++i)
        text += "+1";
    return text;
}

void BM_EvaluateExpression(benchmark::State &state, std::string text) {
    for (auto _ : state) {
        int code = 0, position = 0;
        benchmark::DoNotOptimize(
            ziffa::EvaluateExpression(text, code, position, 0, nullptr, nullptr, 0));
    }
    state.SetLabel(std::to_string(text.size()) + " characters");
}

BENCHMARK_CAPTURE(BM_EvaluateExpression, Short, std::string("2*pi"));
BENCHMARK_CAPTURE(BM_EvaluateExpression, Medium,
                  std::string("sqrt(abs(2.5))+ln(1+3*3)-exp(-(0.5)^2)/(1+sin(1)*cos(2))"));
BENCHMARK_CAPTURE(BM_EvaluateExpression, Sum100, Sum(100));
BENCHMARK_CAPTURE(BM_EvaluateExpression, Sum1000, Sum(1000));
// The 10 MB sum of bench/whole-process.sh, which "ziffa --eval -" reads as one line.
BENCHMARK_CAPTURE(BM_EvaluateExpression, Sum10MB, Sum(5'000'000))->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
