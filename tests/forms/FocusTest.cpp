// Where the keyboard focus goes and what typing does there: the row buttons never take the
// focus, a drop-down box that the chart mode or Escape in another window moves the focus into has
// its whole text selected, and Ctrl with a character types nothing.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/ChartWindow.h"
#include "forms/VariablesWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace ziffa {
namespace {

class FocusTest : public WindowsTest {
protected:
    // Types a text into whatever has the focus in the window, one key at a time.
    static void Type(QWidget &window, const QString &text) {
        for (const QChar c : text)
            QTest::keyClick(window.windowHandle(), c.toLatin1());
    }

    // A key with a text, as X11 delivers it, pressed and released.
    static void Key(QWidget &window, int key, Qt::KeyboardModifiers modifiers, quint32 scanCode,
                    const QString &text) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, modifiers, scanCode, 0, 0, text);
            QCoreApplication::sendEvent(window.windowHandle(), &event);
        }
    }

    void TurnChartModeOn() {
        ziffa->SpeedButton8->show();
        ziffa->ComboBoxFun->setEditText(QStringLiteral("2*pi"));
        Click(*ziffa, Qt::Key_F6);
        ASSERT_TRUE(ziffa->SpeedButton8->isChecked());
    }

    QString Selected(const QComboBox &box) const { return box.lineEdit()->selectedText(); }
};

TEST_F(FocusTest, RowButtonsNeverTakeTheFocus) {
    for (QPushButton *button : {ziffa->ButtonCalculate, ziffa->ButtonCopy, ziffa->ButtonDraw})
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << button->objectName().toStdString();

    ziffa->ComboBoxExpression->setFocus();
    Type(*ziffa, QStringLiteral("2+3"));
    QTest::mouseClick(ziffa->ButtonCalculate, Qt::LeftButton);
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("5"));
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxExpression");
    EXPECT_EQ(Selected(*ziffa->ComboBoxExpression), QStringLiteral("2+3"));
    QTest::mouseClick(ziffa->ButtonCopy, Qt::LeftButton);
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxExpression");
    Type(*ziffa, QStringLiteral("4*4"));
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("4*4"))
        << "the typing after the clicks replaced the selected text";
}

TEST_F(FocusTest, ChartModeSelectsTheTextOfTheBoxItMovesTo) {
    Calculate(QStringLiteral("2*pi"));
    TurnChartModeOn();
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxFun");
    EXPECT_EQ(Selected(*ziffa->ComboBoxFun), QStringLiteral("2*pi"));
    // The chart window shows without the activation (the offscreen platform activates it all
    // the same; the desktop tests see a window manager keep the calculator active).
    EXPECT_TRUE(wykres->testAttribute(Qt::WA_ShowWithoutActivating));
    ziffa->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));

    Click(*ziffa, Qt::Key_F6);
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxExpression");
    Type(*ziffa, QStringLiteral("3*3"));
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("3*3"))
        << "typing replaces the box's text, not appends to it";
}

TEST_F(FocusTest, EscapeInTheOtherWindowsSelectsTheBoxsText) {
    Calculate(QStringLiteral("6*7"));
    ziffa->ComboBoxExpression->lineEdit()->setCursorPosition(1);
    ziffa->ShowVariablesWindow(true);
    variables->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(variables.get()));
    Click(*variables, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));
    EXPECT_EQ(Selected(*ziffa->ComboBoxExpression), QStringLiteral("6*7"));

    TurnChartModeOn();
    ziffa->ComboBoxFun->lineEdit()->setCursorPosition(1);
    wykres->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wykres.get()));
    Click(*wykres, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxFun");
    EXPECT_EQ(Selected(*ziffa->ComboBoxFun), QStringLiteral("2*pi"));
}

TEST_F(FocusTest, CtrlWithACharacterTypesNothing) {
    const Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
    const struct {
        const char *name;
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 scanCode;
        const char *text;
        const char *typed; // the box's text afterwards, from "7"
    } rows[] = {
        {"CtrlKeypad1", Qt::Key_1, Ctrl | Qt::KeypadModifier, 87, "1", "7"},
        {"CtrlAltX", Qt::Key_X, Ctrl | Qt::AltModifier, 53, "x", "7"},
        {"CtrlMetaX", Qt::Key_X, Ctrl | Qt::MetaModifier, 53, "x", "7"},
        {"Keypad1", Qt::Key_1, Qt::KeypadModifier, 87, "1", "71"},
        {"Plus", Qt::Key_Plus, Qt::ShiftModifier, 21, "+", "7+"},
    };
    for (const auto &row : rows) {
        ziffa->ComboBoxExpression->setEditText(QStringLiteral("7"));
        ziffa->ComboBoxExpression->setFocus();
        Key(*ziffa, row.key, row.modifiers, row.scanCode, QString::fromLatin1(row.text));
        EXPECT_EQ(ziffa->ComboBoxExpression->currentText().toStdString(), row.typed) << row.name;
    }
    // Ctrl's own keys of an edit box still work.
    QApplication::clipboard()->setText(QStringLiteral("2+2"));
    ziffa->ComboBoxExpression->setEditText(QString());
    Key(*ziffa, Qt::Key_V, Ctrl, 55, QStringLiteral("\x16"));
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("2+2"));
    Key(*ziffa, Qt::Key_A, Ctrl, 38, QStringLiteral("\x01"));
    EXPECT_EQ(Selected(*ziffa->ComboBoxExpression), QStringLiteral("2+2"));

    TurnChartModeOn();
    Key(*ziffa, Qt::Key_1, Ctrl | Qt::KeypadModifier, 87, QStringLiteral("1"));
    EXPECT_EQ(ziffa->ComboBoxFun->currentText(), QStringLiteral("2*pi"));
}

} // namespace
} // namespace ziffa
