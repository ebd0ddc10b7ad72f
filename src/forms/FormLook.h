#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

namespace ziffa {

// The colours that the windows name.
inline const QColor Black(0, 0, 0);
inline const QColor PureRed(255, 0, 0);
inline const QColor DarkGreen(0, 128, 0);
inline const QColor Gray(128, 128, 128);
inline const QColor White(255, 255, 255);

// A font by family and size in points (at 96 dpi), bold or not.
QFont PointFont(const QString &family, int points, bool bold = false);
// A font by family and character height in pixels.
QFont PixelFont(const QString &family, int pixels, bool bold = false);

// The text colour of a control as the window means it: its window, button and editing text
// roles alike. What shows follows the palette in force (ApplyTextLook); TextColour gives the
// colour meant, black for the plain text of a control.
void SetTextColour(QWidget &control, const QColor &colour);
QColor TextColour(const QWidget &control);

// Gives a control the colours of its text for the application's palette. Under a light palette
// the colours are those the windows name, the theme's own where they name none. Under a dark
// one every text reaches a contrast of 4.5 (3 when disabled) against what it is drawn on: plain
// (black) text takes the palette's text colour, and the red, green and grey that the windows
// name keep their hue at a lightness that reaches it; a control with a background of its own
// keeps its text colour, its background taking the lightness instead.
void ApplyTextLook(QWidget &control);
// ApplyTextLook for a window and every control in it, now and whenever the application's
// palette changes (a desktop switching to a dark theme).
void KeepTextLook(QWidget &window);

// A caption label of the windows: "Verdana" 8 pt, white on gray, right-aligned and vertically
// centred, the given control being its focus target.
void StyleCaptionLabel(QLabel &label, QWidget *buddy);

// The caption of a label or a button as it shows: without the "&" marks of its accelerator.
QString ShownCaption(const QWidget &control);
// The width that a label or a button has for its caption, within its frame and margins, as the
// control's style draws it.
int CaptionRoom(const QWidget &control);
// Whether the caption fits its control with the font it has, with a column to spare.
bool CaptionFits(const QWidget &control);
// Makes a caption fit its control without moving the control: the font is narrowed, as a
// condensed face of the same family would be, then made smaller if it still doesn't fit.
void FitCaption(QWidget &control);
// FitCaption for every label and button of a window.
void FitCaptions(QWidget &window);

// A flat button of the bottom rows: "MS Sans Serif" 8 pt, bold or not, in the given colour.
void StyleSpeedButton(QAbstractButton &button, const QColor &colour, bool bold);

} // namespace ziffa
