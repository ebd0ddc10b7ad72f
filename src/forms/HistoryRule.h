#pragma once

#include <QString>

class QComboBox;

namespace ziffa {

// The most entries a history list keeps.
inline constexpr int HistoryLimit = 200;

// The row of the first entry that equals the text, ignoring letter case, or -1 when there is
// none: the entry that the history rule and the box's list take for the text.
int FindHistoryEntry(const QComboBox &box, const QString &text);

// The history rule of an editable drop-down box, applied after an accepted input: the first
// entry equal to the text (ignoring letter case) changes places with the entry at the top, or,
// when there is none, the text goes in at the top; then, if the list holds more than
// HistoryLimit entries, the one at position HistoryLimit goes. The list is never sorted. What
// the box's edit part shows afterwards is the caller's to set.
void AddToHistory(QComboBox &box, const QString &text);

} // namespace ziffa
