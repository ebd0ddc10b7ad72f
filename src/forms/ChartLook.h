#pragma once

#include <QFont>

namespace ziffa {

class TGraph3D;

// The chart window's font, in which a drawing chart also writes its scale numbers.
QFont ChartFont();

// The chart window's graph settings, in the order the window sets them at creation: the six
// ranges, the two projected-plane bounds, the axes, both line families and the three steps.
void SetChartWindowProperties(TGraph3D &graph);

// The look of a drawing chart: the designer defaults (colours, margin, line mode, axes and
// numbers) with the chart window's ranges and steps, and its font for the scale numbers. Without
// the defaults a graph made at run time would draw black on black.
void ApplyChartLook(TGraph3D &graph);

} // namespace ziffa
