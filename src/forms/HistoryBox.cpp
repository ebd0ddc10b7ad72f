#include "forms/HistoryBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>

namespace ziffa {

void FollowEditText(QComboBox &box) {
    QLineEdit *edit = box.lineEdit();
    if (!edit)
        return;
    const QString text = edit->text();
    const int row = box.findText(text, Qt::MatchFixedString); // fixed string, any letter case
    if (row == box.currentIndex())
        return;
    // Choosing a row writes its text into the edit part, unless it is the same already.
    const bool selected = edit->hasSelectedText();
    const int selectionStart = edit->selectionStart();
    const int selectionLength = static_cast<int>(edit->selectedText().size());
    const int cursor = edit->cursorPosition();
    box.setCurrentIndex(row);
    if (edit->text() == text)
        return;
    edit->setText(text);
    if (!selected) {
        edit->setCursorPosition(cursor);
    } else if (cursor == selectionStart) {
        // The caret stands at the selection's start (it was made leftwards).
        edit->setSelection(selectionStart + selectionLength, -selectionLength);
    } else {
        edit->setSelection(selectionStart, selectionLength);
    }
}

void SetEditTextIfOther(QComboBox &box, const QString &text) {
    if (box.currentText() != text)
        box.setEditText(text);
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
    const QLineEdit &edit = *lineEdit();
    beforePopup_ = {edit.text(), edit.cursorPosition(), edit.selectionStart(),
                    static_cast<int>(edit.selectedText().size())};
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
    QLineEdit &edit = *lineEdit();
    if (edit.text() != beforePopup_.text)
        return;
    if (beforePopup_.selectionStart < 0) {
        edit.setCursorPosition(beforePopup_.cursor);
    } else if (beforePopup_.cursor == beforePopup_.selectionStart) {
        edit.setSelection(beforePopup_.selectionStart + beforePopup_.selectionLength,
                          -beforePopup_.selectionLength);
    } else {
        edit.setSelection(beforePopup_.selectionStart, beforePopup_.selectionLength);
    }
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
