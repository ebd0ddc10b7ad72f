// The calculator window's actions: the calculate action, the memory slots, copy and reset, the
// keyboard, the information and variables windows, and the show and close events (whose
// handlers, the settings file's load and save, are in CalculatorSettings.cpp).
#include "forms/CalculatorWindow.h"

#include "forms/Announce.h"
#include "forms/ChartWindow.h"
#include "forms/FormLook.h"
#include "forms/HandlerGuard.h"
#include "forms/HistoryBox.h"
#include "forms/InformationWindow.h"
#include "forms/KeptActivation.h"
#include "forms/TextConvert.h"
#include "forms/VariablesWindow.h"
#include "interpreter/ExpressionText.h"
#include "interpreter/NumberText.h"
#include "interpreter/ResultFormat.h"
#include "interpreter/Tables.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <memory>

namespace ziffa {

// ---- Calculate.

void CalculatorWindow::ButtonCalculateClick() {
    const std::string normalised = NormalizeExpression(ToCp1250(ComboBoxExpression->currentText()));
    SetEditTextIfOther(*ComboBoxExpression, FromCp1250(normalised));
    if (normalised == "exit") {
        close();
        return;
    }
    SetTextColour(*EditResult, Black);

    const std::string text = ToCp1250(ComboBoxExpression->currentText());
    int errorCode = 0;
    int errorPosition = 0;
    const VariableItems variables = CurrentVariables();
    const long double value = EvaluateExpression(text, errorCode, errorPosition, variables.count,
                                                 variables.values, variables.names, 0);
    // The field changes once, straight to the value or to the error line: a fault shows no
    // passing value, and the store buttons change their state at most once.
    const QString previous = EditResult->text();
    if (errorCode > 0) {
        SetResult(PureRed, QStringLiteral("BŁĄD: ") + FromCp1250(ErrorMessage(errorCode)));
        ComboBoxExpression->lineEdit()->setCursorPosition(errorPosition);
        AnnounceResult(previous);
        return;
    }
    SetResult(Black, FromCp1250(FormatResultValue(value)));
    AcceptIntoHistory(*ComboBoxExpression);
    AnnounceResult(previous);
}

void CalculatorWindow::AnnounceResult(const QString &before) {
    // A new text in the focused result field is spoken as it comes; anything else is announced.
    if (EditResult->hasFocus() && EditResult->text() != before)
        return;
    ResultAnnouncer->Announce(EditResult->text());
}

void CalculatorWindow::SetResult(const QColor &colour, const QString &text) {
    SetTextColour(*EditResult, colour);
    EditResult->setText(text);
}

bool CalculatorWindow::ResultShowsError() const {
    return TextColour(*EditResult) == PureRed;
}

// ---- Memory slots.

namespace {

// A slot takes a text that isn't blank. Its recall button is enabled after a text it took; a
// blank text disables the button and leaves the slot as it was.
void StoreInSlot(std::string &slot, QToolButton &recall, std::string_view text) {
    const bool taken = !TrimBlanks(text).empty();
    if (taken)
        slot = std::string(text);
    recall.setEnabled(taken);
}

} // namespace

void CalculatorWindow::EditResultChange() {
    const bool enabled = !ResultShowsError() && !EditResult->text().isEmpty();
    SpeedButton2->setEnabled(enabled);
    SpeedButton4->setEnabled(enabled);
}

void CalculatorWindow::StoreMemory1(std::string_view text) {
    StoreInSlot(MemorySlot1, *SpeedButton3, text);
}

void CalculatorWindow::StoreMemory2(std::string_view text) {
    StoreInSlot(MemorySlot2, *SpeedButton5, text);
}

void CalculatorWindow::SpeedButton2Click() {
    StoreMemory1(ToCp1250(EditResult->text()));
}

void CalculatorWindow::SpeedButton4Click() {
    StoreMemory2(ToCp1250(EditResult->text()));
}

void CalculatorWindow::SpeedButton3Click() {
    ComboBoxExpression->setEditText(FromCp1250(MemorySlot1));
    SpeedButton2->setEnabled(false);
}

void CalculatorWindow::SpeedButton5Click() {
    ComboBoxExpression->setEditText(FromCp1250(MemorySlot2));
    SpeedButton4->setEnabled(false);
}

// ---- Copy and reset.

void CalculatorWindow::ButtonCopyClick() {
    EditResult->selectAll();
    EditResult->copy();
}

void CalculatorWindow::SpeedButton1Click() {
    if (SpeedButton8->isChecked()) {
        ChartModeReset();
        return;
    }
    ComboBoxExpression->setEditText(QString());
    EditResult->setText(QString());
    ComboBoxExpression->setFocus();
}

// ---- Keyboard.

namespace {

enum class Need { Held, NotHeld, Either };

bool Meets(Need need, bool held) {
    return need == Need::Either || (need == Need::Held) == held;
}

struct ShortcutRow {
    ShortcutKey key;
    Need ctrl;
    Need shift;
    void (CalculatorWindow::*action)();
};

} // namespace

void CalculatorWindow::FormKeyUp(ShortcutKey key, Qt::KeyboardModifiers shift) {
    // Tested one after the other; a key matches at most one row. Alt is never looked at.
    static constexpr ShortcutRow rows[] = {
        {ShortcutKey::R, Need::Held, Need::Either, &CalculatorWindow::SpeedButton1Click},
        {ShortcutKey::Digit1, Need::Held, Need::Held, &CalculatorWindow::SpeedButton2Click},
        {ShortcutKey::Digit2, Need::Held, Need::Held, &CalculatorWindow::SpeedButton4Click},
        {ShortcutKey::Digit1, Need::Held, Need::NotHeld, &CalculatorWindow::SpeedButton3Click},
        {ShortcutKey::Digit2, Need::Held, Need::NotHeld, &CalculatorWindow::SpeedButton5Click},
        {ShortcutKey::F1, Need::NotHeld, Need::NotHeld, &CalculatorWindow::SpeedButton6Click},
        {ShortcutKey::F5, Need::NotHeld, Need::NotHeld, &CalculatorWindow::ToggleVariables},
        {ShortcutKey::F6, Need::NotHeld, Need::NotHeld, &CalculatorWindow::ToggleChart},
    };
    const bool ctrl = CtrlHeld(shift);
    const bool shiftHeld = ShiftHeld(shift);
    for (const ShortcutRow &row : rows) {
        if (row.key == key && Meets(row.ctrl, ctrl) && Meets(row.shift, shiftHeld)) {
            (this->*row.action)();
            return;
        }
    }
}

void CalculatorWindow::ToggleVariables() {
    SpeedButton7->setChecked(!SpeedButton7->isChecked());
    SpeedButton7Click();
}

void CalculatorWindow::ToggleChart() {
    if (!ChartGateOpen())
        return;
    SpeedButton8->setChecked(!SpeedButton8->isChecked());
    SpeedButton8Click();
}

bool CalculatorWindow::FormKeyPress(const QKeyEvent &event) {
    // Ctrl with a character types nothing: the keys are the window's shortcuts.
    if (TypesUnderCtrl(FactsOf(event), CurrentKeyPlatform()))
        return true;
    // Enter and Escape are dialog keys: they act on the press, with no modifier held. An open
    // drop-down list keeps them for itself (the key preview doesn't pass them on).
    const ShortcutKey key = MapShortcutKey(event);
    if (key != ShortcutKey::Enter && key != ShortcutKey::Escape)
        return false;
    if (HasDialogKeyModifier(event.modifiers()))
        return false;
    if (key == ShortcutKey::Escape)
        ButtonClose->click();
    else if (!PanelOblicz->isHidden())
        ButtonCalculate->click();
    else
        ButtonDraw->click();
    return true;
}

// ---- The other windows.

void CalculatorWindow::SpeedButton6Click() {
    auto window = std::make_unique<InformationWindow>(this);
    window->exec();
}

void CalculatorWindow::SpeedButton7Click() {
    ShowVariablesWindow(SpeedButton7->isChecked());
}

void CalculatorWindow::ShowVariablesWindow(bool down) {
    SpeedButton7->setChecked(down);
    if (!FormVariables)
        return;
    if (down) {
        FormVariables->show();
        FormVariables->raise();
        // Shown by the user (F5, the button), it takes the typing, as a shown window does; at
        // start the calculator window takes it afterwards.
        if (!loadingSettings_ && !ShownWindowsActivated())
            FormVariables->activateWindow();
    } else {
        FormVariables->hide();
    }
}

void CalculatorWindow::ActivateWithFocus() {
    raise();
    activateWindow();
    for (QComboBox *box : {ComboBoxExpression, ComboBoxFun}) {
        const QWidget *focus = focusWidget();
        if (box->isVisibleTo(this) && focus && (focus == box || focus == box->lineEdit()))
            FocusWholeText(*box);
    }
}

// ---- Show and close.

void CalculatorWindow::setVisible(bool visible) {
    if (visible && !shown_) {
        shown_ = true;
        RunGuarded([this] { FormShow(); });
        if (closed_)
            return; // the show handler closed the window ("exit" on the command line)
    }
    QWidget::setVisible(visible);
}

void CalculatorWindow::ButtonCloseClick() {
    close();
}

void CalculatorWindow::closeEvent(QCloseEvent *event) {
    // A failure of the close handler (a settings file that can't be read) is reported, and the
    // close completes all the same: nothing may keep the user from quitting.
    RunGuarded([this] { FormClose(); });
    event->accept();
    closed_ = true;
    // The main window's close ends the application, whatever other windows are still shown.
    // (Before the loop runs this does nothing; the start sees the window closed instead.)
    QCoreApplication::quit();
}

} // namespace ziffa
