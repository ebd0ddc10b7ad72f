#include "forms/HistoryRule.h"

#include <QComboBox>

namespace ziffa {

int FindHistoryEntry(const QComboBox &box, const QString &text) {
    return box.findText(text, Qt::MatchFixedString); // a fixed string, in any letter case
}

void AddToHistory(QComboBox &box, const QString &text) {
    const int found = FindHistoryEntry(box, text);
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
