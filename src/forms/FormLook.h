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

// The text colour of a control: its window, button and editing text roles alike.
void SetTextColour(QWidget &control, const QColor &colour);
QColor TextColour(const QWidget &control);

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
