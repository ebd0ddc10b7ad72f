#include "forms/FormLook.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPalette>
#include <QWidget>

namespace ziffa {

QFont PointFont(const QString &family, int points, bool bold) {
    QFont font(family, points);
    font.setBold(bold);
    return font;
}

QFont PixelFont(const QString &family, int pixels, bool bold) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
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
