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

// Draws x, y and z each from -4 to 4, so that every axis shows whole units.
inline void DrawCubeOfFour(TGraph3D &g) {
    g.g3D_drawxmin = g.g3D_drawymin = g.g3D_drawzmin = -4.0f;
    g.g3D_drawxmax = g.g3D_drawymax = g.g3D_drawzmax = 4.0f;
}

// The component's designer defaults (the x and z of which span -3.14 to 3.14) over the cube of
// four: surfaces in purple and green over black, grey axes, red numbers, a margin of 12.
inline std::unique_ptr<TGraph3D> MakeDesignedGraph(int width, int height) {
    auto graph = MakeGraph(width, height);
    graph->DesignDefaults();
    DrawCubeOfFour(*graph);
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
