#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <string_view>

namespace ziffa {

// A colour as a 32-bit value: red in the low byte, then green, then blue; the high byte is 0.
using TColor = std::uint32_t;

constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}

// The QImage pixel value (0xffRRGGBB) of a colour.
constexpr QRgb ToQRgb(TColor c) {
    return 0xff000000u | ((c & 0xffu) << 16) | (c & 0xff00u) | ((c >> 16) & 0xffu);
}

enum class TBrushStyle { bsSolid, bsClear };

// How an image control places itself in its parent: where it is put (alNone), or over the
// parent's whole client area, following every resize of the parent (alClient).
enum class TAlign { alNone, alClient };

class TImage;

// The drawing surface of a TImage: draws into the control's kept bitmap. Pen, brush and font
// settings belong to the bitmap; a new bitmap starts with a black pen, a solid white brush, a
// black font and the pen at (0, 0). Coordinates are the control's pixels; on a bitmap of a
// device pixel ratio above 1 a line is drawn between the same points one device pixel wide, a
// pixel covers the device pixels of its place, and text is drawn at the device's resolution.
class TCanvas {
public:
    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor c) { penColor_ = c; }
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor c) { brushColor_ = c; }
    TBrushStyle BrushStyle() const { return brushStyle_; }
    void SetBrushStyle(TBrushStyle s) { brushStyle_ = s; }
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor c) { fontColor_ = c; }
    QPoint PenPos() const { return penPos_; }

    // Puts the pen at (x, y) without drawing.
    void MoveTo(int x, int y);
    // Draws the Bresenham line in the pen colour from the pen position up to, but not including,
    // (x, y), and leaves the pen at (x, y). A line of length zero draws nothing. Pixels outside
    // the bitmap are dropped; only the visible part of a line costs time.
    void LineTo(int x, int y);
    // Paints the pixel (x, y) in the pen colour; the pen stays where it is.
    void PutPixel(int x, int y);
    // Fills the pixels from (left, top) up to, not including, (right, bottom) with the brush
    // colour; nothing when the brush is clear.
    void FillRect(int left, int top, int right, int bottom);
    // Writes Windows-1250 text in the font colour with its top-left corner at (x, y), over a
    // rectangle of the brush colour unless the brush is clear.
    void TextOut(int x, int y, std::string_view text);

private:
    friend class TImage;
    explicit TCanvas(TImage &owner) : owner_(owner) {}
    void Reset();

    TImage &owner_;
    TColor penColor_ = 0;
    TColor brushColor_ = RGB(255, 255, 255);
    TBrushStyle brushStyle_ = TBrushStyle::bsSolid;
    TColor fontColor_ = 0;
    QPoint penPos_;
};

// An image control: a widget that shows a kept bitmap. Drawing goes through Canvas(), which
// creates the bitmap (of the control's current width and height, white) when there is none.
// The widget repaints itself from the bitmap; a resize keeps the old bitmap as it is.
//
// The bitmap has the device pixel ratio of the window that shows the control, so that a picture
// on a screen scaled by 2 is as sharp as the text around it; a control that no window shows (a
// picture drawn for a file) draws at ratio 1. When the window's ratio changes (it moves to
// another screen), the old bitmap is shown scaled and PixelRatioChanged() tells the host that
// it may draw the picture again.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget *owner = nullptr);
    ~TImage() override;

    TImage(const TImage &) = delete;
    TImage &operator=(const TImage &) = delete;

    // The canvas; creates the bitmap first if the picture is empty.
    TCanvas &Canvas();
    // Discards the picture: the next Canvas() access creates a fresh bitmap.
    void DiscardPicture();
    // The kept bitmap (a null image while the picture is empty), in device pixels.
    const QImage &Bitmap() const { return bitmap_; }
    // The size of the picture in the control's pixels: the bitmap's size at ratio 1.
    QSize PictureSize() const;

    // The device pixel ratio that the next bitmap takes.
    qreal PixelRatio() const;
    // Makes every next bitmap take this ratio, whatever window shows the control; 0 goes back
    // to following the window.
    void SetPixelRatio(qreal ratio);

    TAlign Align() const { return align_; }
    // alClient fills the parent's client area at once and after every resize of the parent,
    // including a parent given later with setParent.
    void SetAlign(TAlign align);

signals:
    // The window showing the control now has another device pixel ratio than the bitmap.
    void PixelRatioChanged();

protected:
    // Puts a client-aligned control over its parent's client area now; a hidden parent's
    // resize reaches the control only when the parent is shown, so drawing calls this first.
    void SyncAlign();

    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    friend class TCanvas;
    QImage &WritableBitmap();
    void FollowParent();

    QImage bitmap_;
    QSize pictureSize_{0, 0};
    bool hasPicture_ = false;
    qreal fixedRatio_ = 0;
    bool ratioChangeTold_ = false;
    TCanvas canvas_;
    TAlign align_ = TAlign::alNone;
    QWidget *watchedParent_ = nullptr;
};

} // namespace ziffa
