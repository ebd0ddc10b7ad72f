#include "forms/Contrast.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace ziffa {

namespace {

double Linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The worst contrast of a colour against the backgrounds.
double WorstContrast(const QColor &colour, const QList<QColor> &backgrounds) {
    double worst = 21;
    for (const QColor &background : backgrounds)
        worst = std::min(worst, ContrastRatio(colour, background));
    return worst;
}

} // namespace

double RelativeLuminance(const QColor &colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.red()) + 0.7152 * Linear(rgb.green()) + 0.0722 * Linear(rgb.blue());
}

double ContrastRatio(const QColor &a, const QColor &b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Legible(const QColor &colour, const QList<QColor> &backgrounds, double ratio) {
    if (WorstContrast(colour, backgrounds) >= ratio)
        return colour;
    float hue = 0, saturation = 0, lightness = 0;
    colour.toHsl().getHslF(&hue, &saturation, &lightness);
    if (hue < 0) // grey: no hue of its own
        hue = 0;
    // Every lightness in steps finer than a channel's, each as the 8-bit colour it gives: the
    // nearest that reaches the ratio, else the best.
    constexpr int Steps = 1024;
    QColor nearest, best;
    double nearestDistance = 2, bestContrast = 0;
    for (int step = 0; step <= Steps; ++step) {
        const float l = float(step) / Steps;
        const QColor candidate = QColor::fromRgb(QColor::fromHslF(hue, saturation, l).rgb());
        const double contrast = WorstContrast(candidate, backgrounds);
        const double distance = std::abs(l - lightness);
        if (contrast >= ratio && distance < nearestDistance) {
            nearest = candidate;
            nearestDistance = distance;
        }
        if (contrast > bestContrast) {
            best = candidate;
            bestContrast = contrast;
        }
    }
    return nearest.isValid() ? nearest : best;
}

bool IsDarkPalette(const QPalette &palette) {
    return RelativeLuminance(palette.color(QPalette::Active, QPalette::Window)) <
           RelativeLuminance(palette.color(QPalette::Active, QPalette::WindowText));
}

} // namespace ziffa
