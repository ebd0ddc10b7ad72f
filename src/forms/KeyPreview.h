#pragma once

#include <QObject>
#include <QPointer>
#include <QWindow>

#include <functional>

class QKeyEvent;
class QWidget;

namespace ziffa {

// A form's key preview: one event filter on the form's QWindow, which sees every key event of
// the window exactly once, before the focused widget does. Key presses go to onPress, which
// returns true when it has acted on the key (the event then goes no further); key releases go to
// onRelease, except the releases that X11 sends while a key is held (auto-repeat). The filter
// follows the form to a new QWindow when Qt recreates the native window.
//
// onPress also learns whether a popup (an open drop-down list) had the key: one is open now, or
// was open when Qt offered the key to it as a shortcut override just before the press (an open
// list closes itself on Escape at that stage).
class KeyPreview : public QObject {
public:
    using PressHandler = std::function<bool(const QKeyEvent &, bool popupHadKey)>;
    using ReleaseHandler = std::function<void(const QKeyEvent &)>;

    KeyPreview(QWidget *form, PressHandler onPress, ReleaseHandler onRelease);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Attach();

    QWidget *form_;
    QPointer<QWindow> window_;
    PressHandler onPress_;
    ReleaseHandler onRelease_;
    int overrideKey_ = 0; // the key of the last shortcut override seen while a popup was open
};

} // namespace ziffa
