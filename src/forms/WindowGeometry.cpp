#include "forms/WindowGeometry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>

namespace ziffa {

namespace {

// Hands the recorded state of a window to its native window as soon as that is made, which is
// before the window first appears, then goes.
class StateOnCreation final : public QObject {
public:
    static constexpr const char *Name = "StateOnCreation";

    explicit StateOnCreation(QWidget &window) : QObject(&window) {
        setObjectName(QLatin1String(Name));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto &window = static_cast<QWidget &>(*watched); // installed on its parent only
        if (event->type() == QEvent::WinIdChange && window.windowHandle()) {
            window.windowHandle()->setWindowStates(window.windowState() & ~Qt::WindowActive);
            window.removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

// Calls back once, on the first expose of the window that the widget shows in, then goes.
class FramedWatch final : public QObject {
public:
    FramedWatch(QWidget &window, std::function<void()> framed)
        : QObject(&window), window_(window), framed_(std::move(framed)) {
        window.installEventFilter(this);
        Attach();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &window_) {
            if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
                Attach();
        } else if (event->type() == QEvent::Expose && watched == handle_ && handle_->isExposed()) {
            // The window manager reports the frame before it maps the framed window.
            Fire();
        }
        return false;
    }

private:
    void Attach() {
        QWindow *handle = window_.windowHandle();
        if (!handle || handle == handle_)
            return;
        if (handle_)
            handle_->removeEventFilter(this);
        handle_ = handle;
        handle_->installEventFilter(this);
    }

    void Fire() {
        if (fired_)
            return;
        fired_ = true;
        window_.removeEventFilter(this);
        if (handle_)
            handle_->removeEventFilter(this);
        deleteLater();
        framed_();
    }

    QWidget &window_;
    QPointer<QWindow> handle_;
    std::function<void()> framed_;
    bool fired_ = false;
};

} // namespace

std::optional<QMargins> FrameOf(const QWidget &window) {
    const QWindow *handle = window.windowHandle();
    if (!window.isVisible() || !handle || !handle->isExposed())
        return std::nullopt;
    return handle->frameMargins();
}

QMargins FrameOrEstimate(const QWidget &window, const QWidget *framed) {
    if (const std::optional<QMargins> frame = FrameOf(window))
        return *frame;
    if (framed) {
        if (const std::optional<QMargins> frame = FrameOf(*framed))
            return *frame;
    }
    return UsualFrame;
}

void WhenFramed(QWidget &window, std::function<void()> framed) {
    new FramedWatch(window, std::move(framed));
}

int BoundedCoordinate(int value) {
    return std::clamp(value, -MaxWindowCoordinate, MaxWindowCoordinate);
}

int BoundedExtent(int value) {
    return std::clamp(value, 0, MaxClientExtent);
}

namespace {

// The axis tests of a title bar against an available area.
bool ShowsHeight(const QRect &titleBar, const QRect &area) {
    return titleBar.top() >= area.top() && titleBar.bottom() <= area.bottom();
}

bool ShowsGrip(const QRect &titleBar, const QRect &area) {
    const int overlap =
        std::min(titleBar.right(), area.right()) - std::max(titleBar.left(), area.left()) + 1;
    return overlap >= std::min(TitleBarGrip, titleBar.width());
}

// The squared distance between two rectangles, 0 where they meet.
std::int64_t Distance(const QRect &a, const QRect &b) {
    const std::int64_t dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
    const std::int64_t dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
    return dx * dx + dy * dy;
}

// The start of a stretch [start, start + length) moved least to lie within [low, high).
int Within(int start, int length, int low, int high) {
    if (length >= high - low)
        return low;
    return std::clamp(start, low, high - length);
}

} // namespace

QPoint ReachablePlace(const QRect &frame, int titleHeight, const QList<QRect> &availableAreas) {
    const QRect titleBar(frame.topLeft(), QSize(frame.width(), std::max(titleHeight, 1)));
    const QRect *nearest = nullptr;
    for (const QRect &area : availableAreas) {
        if (ShowsHeight(titleBar, area) && ShowsGrip(titleBar, area))
            return frame.topLeft();
        if (!nearest || Distance(titleBar, area) < Distance(titleBar, *nearest))
            nearest = &area;
    }
    if (!nearest)
        return frame.topLeft();
    QPoint place = frame.topLeft();
    if (!ShowsGrip(titleBar, *nearest))
        place.setX(Within(frame.left(), frame.width(), nearest->left(),
                          nearest->left() + nearest->width()));
    if (!ShowsHeight(titleBar, *nearest))
        place.setY(Within(frame.top(), frame.height(), nearest->top(),
                          nearest->top() + nearest->height()));
    return place;
}

bool PlatformKnowsPlaces(QStringView platformName) {
    return !platformName.startsWith(QLatin1String("wayland"));
}

bool WindowPlacesKnown() {
    return PlatformKnowsPlaces(QGuiApplication::platformName());
}

void PlaceWindow(QWidget &window, int left, int top) {
    window.move(BoundedCoordinate(left), BoundedCoordinate(top));
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.push_back(screen->availableGeometry());
    const QMargins frame = FrameOrEstimate(window);
    // pos() is the frame's corner; the size is the client area's.
    const QRect outer(window.pos(), window.size().grownBy(frame));
    window.move(ReachablePlace(outer, frame.top(), areas));
}

void SizeClientArea(QWidget &window, int width, int height) {
    window.resize(BoundedExtent(width), BoundedExtent(height));
}

void SetWindowStateOf(QWidget &window, WindowShowState state) {
    Qt::WindowStates states = window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized |
                                                       Qt::WindowFullScreen | Qt::WindowActive);
    if (state == WindowShowState::Minimised)
        states |= Qt::WindowMinimized;
    else if (state == WindowShowState::Maximised)
        states |= Qt::WindowMaximized;
    if (window.testAttribute(Qt::WA_WState_Created)) {
        window.setWindowState(states);
        return;
    }
    // Setting the state would make the native window now, and with it the frame, which can move
    // the corner that pos() reports. The state is recorded instead and handed to the native
    // window when the first show makes it.
    window.overrideWindowState(states);
    if (!window.findChild<QObject *>(QLatin1String(StateOnCreation::Name),
                                     Qt::FindDirectChildrenOnly))
        new StateOnCreation(window);
}

WindowShowState WindowStateOf(const QWidget &window) {
    const Qt::WindowStates states = window.windowState();
    if (states & Qt::WindowMinimized)
        return WindowShowState::Minimised;
    if (states & Qt::WindowMaximized)
        return WindowShowState::Maximised;
    return WindowShowState::Normal;
}

} // namespace ziffa
