#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace ziffa {

// Tells a screen reader a text that appears away from the keyboard focus (a result, an error
// line), so that it is spoken while the focus stays where it is. A screen reader speaks only
// what changes in the control it follows; a notification that shows is the one other thing it
// speaks at once. The announcer is such a notification of its window, in the accessibility tree
// only as the source of that event: it is no control and takes no room.
class Announcer : public QObject {
    Q_OBJECT
public:
    explicit Announcer(QWidget &window);

    // Shows the notification with this text (nothing while no screen reader listens).
    void Announce(const QString &text);
    // The text announced last.
    const QString &Text() const { return text_; }
    QWidget &Window() const { return window_; }

private:
    QWidget &window_;
    QString text_;
};

} // namespace ziffa
