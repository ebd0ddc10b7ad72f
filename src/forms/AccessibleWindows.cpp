#include "forms/AccessibleWindows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QList>
#include <QWidget>

namespace ziffa {

namespace {

// A plain widget (a window or a panel) with the children that show in it.
class SeenChildrenAccessible : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return int(SeenChildren().size()); }
    QAccessibleInterface *child(int index) const override {
        const QList<QAccessibleInterface *> seen = SeenChildren();
        return index >= 0 && index < seen.size() ? seen[index] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        return int(SeenChildren().indexOf(const_cast<QAccessibleInterface *>(child)));
    }

private:
    QList<QAccessibleInterface *> SeenChildren() const {
        QList<QAccessibleInterface *> seen;
        const QWidget *self = widget();
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface *child = QAccessibleWidget::child(i);
            if (!child)
                continue;
            const auto *control = qobject_cast<const QWidget *>(child->object());
            if (!control ||
                (control->isVisibleTo(self) && self->rect().intersects(control->geometry())))
                seen.append(child);
        }
        return seen;
    }
};

QAccessibleInterface *PlainWidgetAccessible(const QString &className, QObject *object) {
    // Asked for each class of the object from the most derived one up: the classes that Qt
    // knows better (dialogs, buttons, edits) are answered by Qt before "QWidget" comes.
    if (className != QLatin1String("QWidget") || !object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    const Qt::WindowType type = widget->windowType();
    const bool frame = widget->isWindow() && (type == Qt::Window || type == Qt::Tool);
    return new SeenChildrenAccessible(widget, frame ? QAccessible::Window : QAccessible::Client);
}

} // namespace

void InstallAccessibleWindows() {
    static const bool installed = [] {
        QAccessible::installFactory(&PlainWidgetAccessible);
        return true;
    }();
    (void)installed;
}

} // namespace ziffa
