// One whole surface drawing of the graph component: clear, then sin(x)*cos(y) on a 556 by 424
// component with the designer defaults (line mode, margin 12, axes and numbers on) and the
// chart window's ranges and steps: 26,083 evaluations and the hidden-line drawing.
#include "components/Graph3d.h"
#include "forms/ChartLook.h"

#include <QApplication>
#include <QtGlobal>

#include <benchmark/benchmark.h>

namespace {

void BM_Surface(benchmark::State &state) {
    ziffa::TGraph3D graph;
    graph.resize(556, 424);
    ziffa::ApplyChartLook(graph);
    for (auto _ : state) {
        graph.g3D_cleargraph();
        benchmark::DoNotOptimize(graph.g3D_drawfromfunction("sin(x)*cos(y)"));
    }
    state.counters["evaluations"] = benchmark::Counter(static_cast<double>(graph.EvaluationCount()),
                                                       benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Surface)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
