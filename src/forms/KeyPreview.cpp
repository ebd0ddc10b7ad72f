#include "forms/KeyPreview.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace ziffa {

KeyPreview::KeyPreview(QWidget *form, PressHandler onPress, ReleaseHandler onRelease)
    : QObject(form), form_(form), onPress_(std::move(onPress)), onRelease_(std::move(onRelease)) {
    form_->installEventFilter(this);
    Attach();
}

void KeyPreview::Attach() {
    QWindow *window = form_->windowHandle();
    if (window == window_)
        return;
    if (window_)
        window_->removeEventFilter(this);
    window_ = window;
    if (window_)
        window_->installEventFilter(this);
}

bool KeyPreview::eventFilter(QObject *watched, QEvent *event) {
    if (watched == form_) {
        if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
            Attach();
        return false;
    }
    if (watched != window_)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        overrideKey_ =
            QApplication::activePopupWidget() ? static_cast<QKeyEvent *>(event)->key() : 0;
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto &key = *static_cast<QKeyEvent *>(event);
        const bool popupHadKey = QApplication::activePopupWidget() || overrideKey_ == key.key();
        overrideKey_ = 0;
        return onPress_ && onPress_(key, popupHadKey);
    }
    if (event->type() == QEvent::KeyRelease && onRelease_) {
        const auto &key = *static_cast<QKeyEvent *>(event);
        if (!key.isAutoRepeat())
            onRelease_(key);
    }
    return false;
}

} // namespace ziffa
