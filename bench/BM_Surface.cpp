// One whole surface drawing of the graph component: clear, then sin(x)*cos(y) on a 556 by 424
// component with the designer defaults (line mode, margin 12, axes and numbers on) and the
// chart window's ranges and steps: 26,083 evaluations and the hidden-line drawing.
#include "components/Graph3d.h"

#include <QApplication>
#include <QtGlobal>

#include <benchmark/benchmark.h>

namespace {

void BM_SurfaceSinXCosY(benchmark::State &state) {
    ziffa::TGraph3D graph;
    graph.resize(556, 424);
    graph.DesignDefaults();
    graph.g3D_drawxmin = -4.0f;
    graph.g3D_drawxmax = 4.0f;
    graph.g3D_drawymin = -4.0f;
    graph.g3D_drawymax = 4.0f;
    graph.g3D_drawzmin = -4.0f;
    graph.g3D_drawzmax = 4.0f;
    graph.g3D_realxmin = -5.0f;
    graph.g3D_realxmax = 5.0f;
    graph.g3D_drawaxises = true;
    graph.g3D_fun_drawhorizlines = true;
    graph.g3D_fun_drawvertlines = true;
    graph.g3D_fun_xlinestep = 0.05f;
    graph.g3D_fun_zlinestep = 0.05f;
    graph.g3D_fun_step = 0.1f;
    for (auto _ : state) {
        graph.g3D_cleargraph();
        benchmark::DoNotOptimize(graph.g3D_drawfromfunction("sin(x)*cos(y)"));
    }
    state.counters["evaluations"] = benchmark::Counter(static_cast<double>(graph.EvaluationCount()),
                                                       benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SurfaceSinXCosY)->Unit(benchmark::kMillisecond);

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
