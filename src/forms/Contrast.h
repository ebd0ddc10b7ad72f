#pragma once

#include <QColor>
#include <QList>

class QPalette;

namespace ziffa {

// The relative luminance of a colour as the contrast rules for text define it (sRGB channels
// made linear, weighted for the eye): 0 for black, 1 for white.
double RelativeLuminance(const QColor &colour);

// The contrast ratio of two colours, from 1 (the same) to 21 (black and white), in either order.
double ContrastRatio(const QColor &a, const QColor &b);

// The colour of the same hue and saturation as `colour`, nearest to it in lightness, whose
// contrast with every background reaches `ratio`: `colour` itself when it already does. When no
// lightness of the hue reaches the ratio, the one that comes closest.
QColor Legible(const QColor &colour, const QList<QColor> &backgrounds, double ratio);

// Whether a palette is a dark one: its window darker than the text on it.
bool IsDarkPalette(const QPalette &palette);

} // namespace ziffa
