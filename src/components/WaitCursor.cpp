#include "components/WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace ziffa {

WaitCursor::WaitCursor() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        active_ = true;
    }
}

WaitCursor::~WaitCursor() {
    if (active_ && QCoreApplication::instance())
        QGuiApplication::restoreOverrideCursor();
}

} // namespace ziffa
