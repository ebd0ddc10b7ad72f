#include "forms/WindowGeometry.h"

#include <QEvent>
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

} // namespace

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

void SetWindowStateOf(QWidget &window, ChartWindowState state) {
    Qt::WindowStates states = window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized |
                                                       Qt::WindowFullScreen | Qt::WindowActive);
    if (state == ChartWindowState::Minimised)
        states |= Qt::WindowMinimized;
    else if (state == ChartWindowState::Maximised)
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

ChartWindowState WindowStateOf(const QWidget &window) {
    const Qt::WindowStates states = window.windowState();
    if (states & Qt::WindowMinimized)
        return ChartWindowState::Minimised;
    if (states & Qt::WindowMaximized)
        return ChartWindowState::Maximised;
    return ChartWindowState::Normal;
}

} // namespace ziffa
