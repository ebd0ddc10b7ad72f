#include "components/Image.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QStringDecoder>

#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ziffa {

namespace {

__extension__ typedef __int128 Int128;

// Minor-axis offset of step k of a Bresenham line whose major axis runs `major` pixels and
// whose minor axis runs `minor` pixels (0 <= minor <= major, major > 0): round(k·minor/major),
// a tie staying on the near side.
std::int64_t MinorOffset(std::int64_t k, std::int64_t major, std::int64_t minor) {
    return static_cast<std::int64_t>((Int128(2) * k * minor + major - 1) / (Int128(2) * major));
}

// The steps k in [lo, hi] whose pixel coordinate start + sign·k lies in [0, size - 1].
void ClipAxis(std::int64_t start, int sign, std::int64_t size, std::int64_t &lo, std::int64_t &hi) {
    if (sign > 0) {
        lo = std::max(lo, -start);
        hi = std::min(hi, size - 1 - start);
    } else {
        lo = std::max(lo, start - (size - 1));
        hi = std::min(hi, start);
    }
}

// Draws the pixels k = 0 .. n-1 of the Bresenham line from (x0, y0) towards (x1, y1) that fall
// on the image; the end pixel itself is never drawn. Work is proportional to the visible part.
void RasterLine(QImage &image, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                QRgb colour) {
    const std::int64_t width = image.width();
    const std::int64_t height = image.height();
    if (width <= 0 || height <= 0)
        return;
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const std::int64_t adx = dx < 0 ? -dx : dx;
    const std::int64_t ady = dy < 0 ? -dy : dy;
    if (adx == 0 && ady == 0)
        return;
    const bool xMajor = adx >= ady;
    const std::int64_t major = xMajor ? adx : ady;
    const std::int64_t minor = xMajor ? ady : adx;
    const int majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t majorStart = xMajor ? x0 : y0;
    const std::int64_t minorStart = xMajor ? y0 : x0;
    const std::int64_t majorSize = xMajor ? width : height;
    const std::int64_t minorSize = xMajor ? height : width;

    auto inside = [&](std::int64_t x, std::int64_t y) {
        return x >= 0 && x < width && y >= 0 && y < height;
    };
    if (inside(x0, y0) && inside(x1, y1)) {
        // The common case, a line wholly on the bitmap: every step is drawn, no clipping.
        uchar *bits = image.bits();
        const qsizetype stride = image.bytesPerLine();
        const std::int64_t twiceMajor = 2 * major;
        std::int64_t offset = 0;
        std::int64_t remainder = major - 1;
        for (std::int64_t k = 0; k < major; ++k) {
            const std::int64_t a = majorStart + majorSign * k;
            const std::int64_t b = minorStart + minorSign * offset;
            const std::int64_t px = xMajor ? a : b;
            const std::int64_t py = xMajor ? b : a;
            reinterpret_cast<QRgb *>(bits + py * stride)[px] = colour;
            remainder += 2 * minor;
            if (remainder >= twiceMajor) {
                remainder -= twiceMajor;
                ++offset;
            }
        }
        return;
    }

    std::int64_t kLo = 0;
    std::int64_t kHi = major - 1;
    ClipAxis(majorStart, majorSign, majorSize, kLo, kHi);
    if (kLo > kHi)
        return;
    // The minor coordinate is minorStart + minorSign·offset(k) with offset non-decreasing in k,
    // so the visible steps are those whose offset lies in [offLo, offHi].
    std::int64_t offLo = 0;
    std::int64_t offHi = major; // offset never exceeds minor <= major
    ClipAxis(minorStart, minorSign, minorSize, offLo, offHi);
    if (offLo > offHi)
        return;
    // First step with offset >= offLo.
    std::int64_t lo = kLo, hi = kHi + 1;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (MinorOffset(mid, major, minor) >= offLo)
            hi = mid;
        else
            lo = mid + 1;
    }
    const std::int64_t kStart = lo;
    // One past the last step with offset <= offHi.
    lo = kStart;
    hi = kHi + 1;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (MinorOffset(mid, major, minor) > offHi)
            hi = mid;
        else
            lo = mid + 1;
    }
    const std::int64_t kEnd = lo;
    if (kStart >= kEnd)
        return;

    const std::int64_t twiceMajor = 2 * major;
    std::int64_t offset = MinorOffset(kStart, major, minor);
    std::int64_t remainder =
        static_cast<std::int64_t>((Int128(2) * kStart * minor + major - 1) % twiceMajor);
    for (std::int64_t k = kStart; k < kEnd; ++k) {
        const std::int64_t a = majorStart + majorSign * k;
        const std::int64_t b = minorStart + minorSign * offset;
        const std::int64_t px = xMajor ? a : b;
        const std::int64_t py = xMajor ? b : a;
        if (px >= 0 && px < width && py >= 0 && py < height)
            reinterpret_cast<QRgb *>(image.scanLine(int(py)))[px] = colour;
        remainder += 2 * minor;
        if (remainder >= twiceMajor) {
            remainder -= twiceMajor;
            ++offset;
        }
    }
}

// The first device pixel of the control's pixel coordinate v on a bitmap of the given ratio.
std::int64_t ToDevice(std::int64_t v, qreal ratio) {
    if (ratio == 1)
        return v;
    return static_cast<std::int64_t>(std::floor(static_cast<long double>(v) * ratio));
}

// Fills the device pixels from (left, top) up to, not including, (right, bottom), cut to the
// image.
void FillDevice(QImage &image, std::int64_t left, std::int64_t top, std::int64_t right,
                std::int64_t bottom, QRgb colour) {
    const int l = int(std::max<std::int64_t>(left, 0));
    const int t = int(std::max<std::int64_t>(top, 0));
    const int r = int(std::min<std::int64_t>(right, image.width()));
    const int b = int(std::min<std::int64_t>(bottom, image.height()));
    for (int y = t; y < b; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::fill(row + l, row + std::max(l, r), colour);
    }
}

} // namespace

void TCanvas::Reset() {
    penColor_ = 0;
    brushColor_ = RGB(255, 255, 255);
    brushStyle_ = TBrushStyle::bsSolid;
    fontColor_ = 0;
    penPos_ = QPoint(0, 0);
}

void TCanvas::MoveTo(int x, int y) {
    penPos_ = QPoint(x, y);
}

void TCanvas::LineTo(int x, int y) {
    QImage &image = owner_.WritableBitmap();
    const qreal ratio = image.devicePixelRatio();
    RasterLine(image, ToDevice(penPos_.x(), ratio), ToDevice(penPos_.y(), ratio),
               ToDevice(x, ratio), ToDevice(y, ratio), ToQRgb(penColor_));
    penPos_ = QPoint(x, y);
    owner_.update();
}

void TCanvas::PutPixel(int x, int y) {
    QImage &image = owner_.WritableBitmap();
    const qreal ratio = image.devicePixelRatio();
    FillDevice(image, ToDevice(x, ratio), ToDevice(y, ratio), ToDevice(std::int64_t(x) + 1, ratio),
               ToDevice(std::int64_t(y) + 1, ratio), ToQRgb(penColor_));
    owner_.update();
}

void TCanvas::FillRect(int left, int top, int right, int bottom) {
    if (brushStyle_ == TBrushStyle::bsClear)
        return;
    QImage &image = owner_.WritableBitmap();
    const qreal ratio = image.devicePixelRatio();
    FillDevice(image, ToDevice(left, ratio), ToDevice(top, ratio), ToDevice(right, ratio),
               ToDevice(bottom, ratio), ToQRgb(brushColor_));
    owner_.update();
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
    QImage &image = owner_.WritableBitmap();
    const QSize size = owner_.PictureSize();
    // Text that starts right of or below the bitmap, or farther left or above it than any text
    // is long, can't show; QPainter's fixed-point coordinates are kept well inside their range.
    constexpr int Far = 1 << 20;
    if (image.isNull() || x >= size.width() || y >= size.height() || x < -Far || y < -Far)
        return;
    QStringDecoder decoder("windows-1250");
    const QString s =
        decoder.isValid()
            ? QString(decoder.decode(QByteArrayView(text.data(), qsizetype(text.size()))))
            : QString::fromLatin1(text.data(), qsizetype(text.size()));
    QFont font = owner_.font();
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font);
    QPainter painter(&image);
    painter.setFont(font);
    if (brushStyle_ == TBrushStyle::bsSolid)
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()),
                         QColor::fromRgb(ToQRgb(brushColor_)));
    painter.setPen(QColor::fromRgb(ToQRgb(fontColor_)));
    painter.drawText(QPoint(x, y + metrics.ascent()), s);
    owner_.update();
}

TImage::TImage(QWidget *owner) : QWidget(owner), canvas_(*this) {}

TImage::~TImage() = default;

TCanvas &TImage::Canvas() {
    WritableBitmap();
    return canvas_;
}

QImage &TImage::WritableBitmap() {
    if (!hasPicture_) {
        SyncAlign();
        hasPicture_ = true;
        ratioChangeTold_ = false;
        canvas_.Reset();
        const qreal ratio = PixelRatio();
        auto device = [ratio](int v) { return int(std::ceil(std::max(v, 0) * ratio)); };
        pictureSize_ = QSize(std::max(width(), 0), std::max(height(), 0));
        bitmap_ = QImage(device(width()), device(height()), QImage::Format_RGB32);
        bitmap_.setDevicePixelRatio(ratio);
        if (!bitmap_.isNull())
            bitmap_.fill(Qt::white);
        update();
    }
    return bitmap_;
}

QSize TImage::PictureSize() const {
    return bitmap_.isNull() ? QSize(0, 0) : pictureSize_;
}

qreal TImage::PixelRatio() const {
    if (fixedRatio_ > 0)
        return fixedRatio_;
    return window()->windowHandle() ? devicePixelRatioF() : 1.0;
}

void TImage::SetPixelRatio(qreal ratio) {
    fixedRatio_ = ratio > 0 ? ratio : 0;
}

void TImage::DiscardPicture() {
    hasPicture_ = false;
    pictureSize_ = QSize(0, 0);
    bitmap_ = QImage();
    update();
}

void TImage::SetAlign(TAlign align) {
    align_ = align;
    FollowParent();
}

void TImage::FollowParent() {
    QWidget *parent = align_ == TAlign::alClient ? parentWidget() : nullptr;
    if (watchedParent_ != parent) {
        if (watchedParent_)
            watchedParent_->removeEventFilter(this);
        watchedParent_ = parent;
        if (parent)
            parent->installEventFilter(this);
    }
    if (parent)
        setGeometry(parent->rect());
}

void TImage::SyncAlign() {
    if (align_ == TAlign::alClient && parentWidget() && geometry() != parentWidget()->rect())
        setGeometry(parentWidget()->rect());
}

bool TImage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == watchedParent_ && event->type() == QEvent::Resize)
        setGeometry(watchedParent_->rect());
    return QWidget::eventFilter(watched, event);
}

bool TImage::event(QEvent *event) {
    if (event->type() == QEvent::ParentChange)
        FollowParent();
    return QWidget::event(event);
}

void TImage::paintEvent(QPaintEvent *event) {
    if (bitmap_.isNull())
        return;
    const qreal ratio = bitmap_.devicePixelRatio();
    QPainter painter(this);
    const QRect area = event->rect();
    if (ratio == 1)
        painter.drawImage(area.topLeft(), bitmap_, area);
    else
        painter.drawImage(QRectF(area), bitmap_,
                          QRectF(area.x() * ratio, area.y() * ratio, area.width() * ratio,
                                 area.height() * ratio));
    if (!ratioChangeTold_ && ratio != PixelRatio()) {
        ratioChangeTold_ = true;
        QMetaObject::invokeMethod(this, &TImage::PixelRatioChanged, Qt::QueuedConnection);
    }
}

} // namespace ziffa
