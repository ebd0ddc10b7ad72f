#include "forms/HistoryBox.h"

#include "forms/HistoryRule.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>

namespace ziffa {

EditState EditState::Of(const QLineEdit &edit) {
    return {edit.text(), edit.cursorPosition(), edit.selectionStart(),
            static_cast<int>(edit.selectedText().size())};
}

void EditState::RestoreCaretIn(QLineEdit &edit) const {
    if (selectionStart < 0) {
        edit.setCursorPosition(cursor);
    } else if (cursor == selectionStart) {
        // The caret stands at the selection's start (it was made leftwards).
        edit.setSelection(selectionStart + selectionLength, -selectionLength);
    } else {
        edit.setSelection(selectionStart, selectionLength);
    }
}

void FollowEditText(QComboBox &box) {
    QLineEdit *edit = box.lineEdit();
    if (!edit)
        return;
    const int row = FindHistoryEntry(box, edit->text());
    if (row == box.currentIndex())
        return;
    // Choosing a row writes its text into the edit part, unless it is the same already.
    const EditState before = EditState::Of(*edit);
    box.setCurrentIndex(row);
    if (edit->text() == before.text)
        return;
    edit->setText(before.text);
    before.RestoreCaretIn(*edit);
}

void SetEditTextIfOther(QComboBox &box, const QString &text) {
    if (box.currentText() != text)
        box.setEditText(text);
}

void AcceptIntoHistory(QComboBox &box) {
    const QString accepted = box.currentText();
    AddToHistory(box, accepted);
    SetEditTextIfOther(box, accepted);
    box.lineEdit()->selectAll();
}

void FocusWholeText(QComboBox &box) {
    box.setFocus(Qt::ShortcutFocusReason);
    if (QLineEdit *edit = box.lineEdit())
        edit->selectAll();
}

HistoryBox::HistoryBox(QWidget *parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(30);
    lineEdit()->setMaxLength(LongestText);
    // An entry chosen from the list or stepped to with Up and Down is selected whole, so that
    // typing replaces it.
    connect(this, &QComboBox::activated, this, [this] { lineEdit()->selectAll(); });
}

void HistoryBox::showPopup() {
    FollowEditText(*this);
    beforePopup_ = EditState::Of(*lineEdit());
    QComboBox::showPopup();
    if (currentIndex() < 0) {
        // No row is current, and none becomes current when the list takes the focus.
        view()->setCurrentIndex(QModelIndex());
        view()->scrollToTop();
    }
}

void HistoryBox::hidePopup() {
    QComboBox::hidePopup();
    // (A chosen entry is written into the edit part after this: see activated.)
    if (lineEdit()->text() == beforePopup_.text)
        beforePopup_.RestoreCaretIn(*lineEdit());
}

void HistoryBox::keyPressEvent(QKeyEvent *event) {
    const int key = event->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
        key == Qt::Key_PageDown)
        FollowEditText(*this);
    QComboBox::keyPressEvent(event);
}

void HistoryBox::wheelEvent(QWheelEvent *event) {
    FollowEditText(*this);
    QComboBox::wheelEvent(event);
}

} // namespace ziffa
