#pragma once

#include <QComboBox>

class QKeyEvent;
class QLineEdit;
class QWheelEvent;

namespace ziffa {

// The longest text a line edit can hold: every box takes whatever the user gives it whole.
inline constexpr int LongestText = 2147483647;

// What an edit part shows: its text, the caret, and the selection with the side the caret stands
// on, to be put back after the box has written a text of its own into it.
struct EditState {
    QString text;
    int cursor = 0;
    int selectionStart = -1; // no selection
    int selectionLength = 0;

    static EditState Of(const QLineEdit &edit);
    // Puts the caret and the selection back into an edit that shows the same text again.
    void RestoreCaretIn(QLineEdit &edit) const;
};

// Makes the box's current row the first entry equal to its edit text, ignoring letter case as
// the history rule does, or no row when there is none; the edit text, the caret and the
// selection stay exactly as they were. An editable drop-down box otherwise keeps the row it last
// chose, which every insertion at the top moves one entry down.
void FollowEditText(QComboBox &box);

// Sets the box's edit text unless it reads so already. A text is laid out anew whenever it is
// set, which for texts of megabytes takes seconds.
void SetEditTextIfOther(QComboBox &box, const QString &text);

// Takes the box's text, accepted by a calculation or a drawing, into its history (AddToHistory)
// and leaves it shown and selected whole, so that typing replaces it.
void AcceptIntoHistory(QComboBox &box);

// Moves the focus into the box and selects its whole text, as the box's label does (Alt and the
// underlined letter), so that typing replaces the text.
void FocusWholeText(QComboBox &box);

// An editable drop-down box whose list is a history, newest first. Its list opens with the entry
// that equals the edit text highlighted and in view (none highlighted and the top in view when
// no entry equals it), and Up and Down in the closed box step from that entry to the next newer
// and the next older one. Its edit part takes texts of any length.
class HistoryBox : public QComboBox {
    Q_OBJECT
public:
    explicit HistoryBox(QWidget *parent = nullptr);

    void showPopup() override;
    // The list closed without a choice leaves the edit text selected as it was (opening the list
    // takes the selection away).
    void hidePopup() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    EditState beforePopup_;
};

} // namespace ziffa
