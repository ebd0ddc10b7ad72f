#include "forms/FormLook.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPalette>
#include <QWidget>

namespace ziffa {

namespace {

// The free font of about the same metrics that stands in where a Windows font is missing, so
// that captions fit the controls drawn for it.
QString MetricTwin(const QString &family) {
    if (family == QLatin1String("MS Sans Serif"))
        return QStringLiteral("Liberation Sans");
    if (family == QLatin1String("Courier New"))
        return QStringLiteral("Liberation Mono");
    if (family == QLatin1String("Verdana"))
        return QStringLiteral("DejaVu Sans");
    return family;
}

QFont FamilyFont(const QString &family, bool bold) {
    QFont font(family);
    font.setFamilies({family, MetricTwin(family)});
    font.setBold(bold);
    return font;
}

} // namespace

QFont PointFont(const QString &family, int points, bool bold) {
    QFont font = FamilyFont(family, bold);
    font.setPointSize(points);
    return font;
}

QFont PixelFont(const QString &family, int pixels, bool bold) {
    QFont font = FamilyFont(family, bold);
    font.setPixelSize(pixels);
    return font;
}

void SetTextColour(QWidget &control, const QColor &colour) {
    QPalette palette = control.palette();
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
    }
    control.setPalette(palette);
}

QColor TextColour(const QWidget &control) {
    return control.palette().color(QPalette::Active, QPalette::Text);
}

void StyleCaptionLabel(QLabel &label, QWidget *buddy) {
    label.setFont(PointFont(QStringLiteral("Verdana"), 8));
    label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label.setAutoFillBackground(true);
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, Gray);
    palette.setColor(QPalette::WindowText, White);
    label.setPalette(palette);
    label.setBuddy(buddy);
}

void StyleSpeedButton(QAbstractButton &button, const QColor &colour, bool bold) {
    button.setFont(PointFont(QStringLiteral("MS Sans Serif"), 8, bold));
    SetTextColour(button, colour);
    button.setFocusPolicy(Qt::NoFocus);
}

} // namespace ziffa
