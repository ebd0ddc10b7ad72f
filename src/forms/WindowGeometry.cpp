#include "forms/WindowGeometry.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

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

void PlaceWindow(QWidget &window, int left, int top) {
    window.move(BoundedCoordinate(left), BoundedCoordinate(top));
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
