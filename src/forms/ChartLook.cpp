#include "forms/ChartLook.h"

#include "components/Graph3d.h"
#include "forms/FormLook.h"

namespace ziffa {

QFont ChartFont() {
    return PointFont(QStringLiteral("MS Sans Serif"), 8);
}

void SetChartWindowProperties(TGraph3D &graph) {
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
}

void ApplyChartLook(TGraph3D &graph) {
    graph.DesignDefaults();
    SetChartWindowProperties(graph);
    // The scale numbers in the chart window's font, wherever the graph is drawn.
    graph.setFont(ChartFont());
}

} // namespace ziffa
