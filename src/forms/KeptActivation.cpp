#include "forms/KeptActivation.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace ziffa {

namespace {

// Long enough for a busy compositor to map the window, short enough that a later click of the
// user's into the window is not undone.
constexpr int WatchMs = 5000;

class ActivationWatch final : public QObject {
public:
    ActivationWatch(QWidget &shown, std::function<void()> giveBack)
        : QObject(&shown), shown_(shown), giveBack_(std::move(giveBack)) {
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &ActivationWatch::Focused);
        shown.installEventFilter(this);
        QTimer::singleShot(WatchMs, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Hide)
            End();
        return false;
    }

private:
    void Focused(QWindow *window) {
        if (window == nullptr)
            return; // between two windows
        if (window == shown_.windowHandle())
            giveBack_();
        End();
    }

    void End() {
        disconnect(qGuiApp, nullptr, this, nullptr);
        shown_.removeEventFilter(this);
        deleteLater();
    }

    QWidget &shown_;
    std::function<void()> giveBack_;
};

} // namespace

bool PlatformActivatesShownWindows(QStringView platformName) {
    return platformName.startsWith(QLatin1String("wayland"));
}

bool ShownWindowsActivated() {
    return PlatformActivatesShownWindows(QGuiApplication::platformName());
}

void KeepActivationFrom(QWidget &shown, std::function<void()> giveBack) {
    if (ShownWindowsActivated())
        new ActivationWatch(shown, std::move(giveBack));
}

} // namespace ziffa
