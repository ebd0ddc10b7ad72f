#pragma once

#include "components/Graph3d.h"

#include <QImage>

#include <memory>
#include <set>
#include <string>
#include <utility>

namespace ziffa::testing {

using Pixel = std::pair<int, int>; // (column, row)
using PixelSet = std::set<Pixel>;

// The pixels of the bitmap that differ from `background`.
inline PixelSet PixelsOtherThan(const QImage &image, QRgb background) {
    PixelSet result;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                result.insert({x, y});
    return result;
}

inline QRgb PixelAt(const TImage &image, int x, int y) {
    return image.Bitmap().pixel(x, y);
}

// A component of the given size as a program would create it (every property zero).
inline std::unique_ptr<TGraph3D> MakeGraph(int width, int height) {
    auto graph = std::make_unique<TGraph3D>();
    graph->resize(width, height);
    return graph;
}

// The settings that the chart window gives its graph, in its order.
inline void ApplyChartSettings(TGraph3D &g) {
    g.g3D_drawxmin = -4.0f;
    g.g3D_drawxmax = 4.0f;
    g.g3D_drawymin = -4.0f;
    g.g3D_drawymax = 4.0f;
    g.g3D_drawzmin = -4.0f;
    g.g3D_drawzmax = 4.0f;
    g.g3D_realxmin = -5.0f;
    g.g3D_realxmax = 5.0f;
    g.g3D_drawaxises = true;
    g.g3D_fun_drawhorizlines = true;
    g.g3D_fun_drawvertlines = true;
    g.g3D_fun_xlinestep = 0.05f;
    g.g3D_fun_zlinestep = 0.05f;
    g.g3D_fun_step = 0.1f;
}

// The designer defaults with the chart window's settings over them.
inline std::unique_ptr<TGraph3D> MakeDesignedChartGraph(int width, int height) {
    auto graph = MakeGraph(width, height);
    graph->DesignDefaults();
    ApplyChartSettings(*graph);
    return graph;
}

// The 524 by 424 component with margin 12, projected x from -5 to 5 and values from -4 to 4:
// one unit is 50 pixels both ways, the origin at pixel (262, 212).
inline std::unique_ptr<TGraph3D> MakeExampleGraph() {
    auto graph = MakeGraph(524, 424);
    graph->g3D_graphmargin = 12;
    graph->g3D_realxmin = -5;
    graph->g3D_realxmax = 5;
    graph->g3D_drawymin = -4;
    graph->g3D_drawymax = 4;
    graph->g3D_cl_topcolor = RGB(128, 0, 128);
    graph->g3D_cl_bottomcolor = RGB(0, 128, 0);
    graph->g3D_cleargraph();
    return graph;
}

} // namespace ziffa::testing
