#include "forms/Announce.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QWidget>

namespace ziffa {

namespace {

// The announcer as a screen reader sees it: a notification named by its text, a child of its
// window that the window doesn't list among its controls.
class AnnouncerAccessible : public QAccessibleObject {
public:
    explicit AnnouncerAccessible(Announcer &announcer)
        : QAccessibleObject(&announcer), announcer_(announcer) {}

    QAccessibleInterface *parent() const override {
        return QAccessible::queryAccessibleInterface(&announcer_.Window());
    }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? announcer_.Text() : QString();
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }

private:
    Announcer &announcer_;
};

} // namespace

Announcer::Announcer(QWidget &window) : QObject(&window), window_(window) {
    // Kept by Qt's accessibility cache, which deletes it with the announcer.
    QAccessible::registerAccessibleInterface(new AnnouncerAccessible(*this));
}

void Announcer::Announce(const QString &text) {
    const bool renamed = text != text_;
    text_ = text;
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(this);
    // The new name first: a screen reader that keeps the names it has read (Orca with the
    // AT-SPI cache of newer desktops) would otherwise speak the text announced before.
    if (renamed) {
        QAccessibleEvent named(accessible, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
    QAccessibleEvent shown(accessible, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

} // namespace ziffa
