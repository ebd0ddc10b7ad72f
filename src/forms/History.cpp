#include "forms/History.h"

#include <QComboBox>

namespace ziffa {

void AddToHistory(QComboBox &box, const QString &text) {
    const int found = box.findText(text, Qt::MatchFixedString); // fixed string, any letter case
    if (found < 0) {
        box.insertItem(0, text);
    } else if (found > 0) {
        const QString first = box.itemText(0);
        box.setItemText(0, box.itemText(found));
        box.setItemText(found, first);
    }
    if (box.count() > HistoryLimit)
        box.removeItem(HistoryLimit);
}

} // namespace ziffa
