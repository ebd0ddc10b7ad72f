// The calculator window's keyboard: the shortcut table on key release, the dialog keys on key
// press, the accelerators, and the physical digit keys.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/InformationWindow.h"
#include "forms/VariablesWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace ziffa {
namespace {

// What the shortcut table can do, told apart by its traces.
enum class Effect { Nothing, Reset, Store1, Store2, Recall1, Recall2, Information, Variables };

struct KeyRow {
    const char *name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    Effect effect;
};

void PrintTo(const KeyRow &row, std::ostream *os) {
    *os << row.name;
}

class ShortcutTable : public WindowsTest, public testing::WithParamInterface<KeyRow> {
protected:
    // A value in the result field, different texts in both slots, an expression typed.
    void Prepare() {
        ziffa->StoreMemory1("11");
        ziffa->StoreMemory2("22");
        Calculate(QStringLiteral("6*7"));
        ziffa->ComboBoxExpression->setEditText(QStringLiteral("typed"));
        ziffa->ComboBoxExpression->setFocus();
    }

    Effect Observed() const {
        if (ziffa->EditResult->text().isEmpty())
            return Effect::Reset;
        if (ziffa->MemorySlot1 == "42")
            return Effect::Store1;
        if (ziffa->MemorySlot2 == "42")
            return Effect::Store2;
        if (ziffa->ComboBoxExpression->currentText() == QStringLiteral("11"))
            return Effect::Recall1;
        if (ziffa->ComboBoxExpression->currentText() == QStringLiteral("22"))
            return Effect::Recall2;
        if (ziffa->SpeedButton7->isChecked())
            return Effect::Variables;
        return Effect::Nothing;
    }
};

TEST_P(ShortcutTable, ActsOnRelease) {
    const KeyRow &row = GetParam();
    Prepare();
    bool informationOpened = false;
    if (row.effect == Effect::Information) {
        WithModal([&] { Click(*ziffa, row.key, row.modifiers); },
                  [&](QWidget &modal) {
                      informationOpened = &modal == FormInformacje;
                      modal.close();
                  });
        EXPECT_TRUE(informationOpened);
        EXPECT_EQ(Observed(), Effect::Nothing);
        return;
    }
    Press(*ziffa, row.key, row.modifiers);
    ASSERT_EQ(Observed(), Effect::Nothing) << "nothing happens on the press";
    Release(*ziffa, row.key, row.modifiers);
    EXPECT_EQ(Observed(), row.effect);
}

const Qt::KeyboardModifiers None = Qt::NoModifier;
const Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
const Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
const Qt::KeyboardModifiers Alt = Qt::AltModifier;
const Qt::KeyboardModifiers Keypad = Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(
    Rows, ShortcutTable,
    testing::Values(KeyRow{"CtrlR", Qt::Key_R, Ctrl, Effect::Reset},
                    KeyRow{"CtrlShiftR", Qt::Key_R, Ctrl | Shift, Effect::Reset},
                    KeyRow{"CtrlAltR", Qt::Key_R, Ctrl | Alt, Effect::Reset},
                    KeyRow{"R", Qt::Key_R, None, Effect::Nothing},
                    KeyRow{"ShiftR", Qt::Key_R, Shift, Effect::Nothing},
                    KeyRow{"CtrlShift1", Qt::Key_1, Ctrl | Shift, Effect::Store1},
                    KeyRow{"CtrlShift2", Qt::Key_2, Ctrl | Shift, Effect::Store2},
                    KeyRow{"CtrlAltShift1", Qt::Key_1, Ctrl | Alt | Shift, Effect::Store1},
                    KeyRow{"Ctrl1", Qt::Key_1, Ctrl, Effect::Recall1},
                    KeyRow{"Ctrl2", Qt::Key_2, Ctrl, Effect::Recall2},
                    KeyRow{"CtrlAlt2", Qt::Key_2, Ctrl | Alt, Effect::Recall2},
                    KeyRow{"Shift1", Qt::Key_1, Shift, Effect::Nothing},
                    KeyRow{"CtrlKeypad1", Qt::Key_1, Ctrl | Keypad, Effect::Nothing},
                    KeyRow{"CtrlShiftKeypad2", Qt::Key_2, Ctrl | Shift | Keypad, Effect::Nothing},
                    KeyRow{"Ctrl3", Qt::Key_3, Ctrl, Effect::Nothing},
                    KeyRow{"F1", Qt::Key_F1, None, Effect::Information},
                    KeyRow{"AltF1", Qt::Key_F1, Alt, Effect::Information},
                    KeyRow{"ShiftF1", Qt::Key_F1, Shift, Effect::Nothing},
                    KeyRow{"CtrlF1", Qt::Key_F1, Ctrl, Effect::Nothing},
                    KeyRow{"F5", Qt::Key_F5, None, Effect::Variables},
                    KeyRow{"AltF5", Qt::Key_F5, Alt, Effect::Variables},
                    KeyRow{"CtrlF5", Qt::Key_F5, Ctrl, Effect::Nothing},
                    KeyRow{"ShiftF5", Qt::Key_F5, Shift, Effect::Nothing},
                    KeyRow{"F6", Qt::Key_F6, None, Effect::Nothing}),
    [](const testing::TestParamInfo<KeyRow> &info) { return std::string(info.param.name); });

TEST_F(WindowsTest, CtrlReleasedBeforeRDoesNotReset) {
    Calculate(QStringLiteral("1+1"));
    Press(*ziffa, Qt::Key_Control);
    Press(*ziffa, Qt::Key_R, Qt::ControlModifier);
    Release(*ziffa, Qt::Key_Control);
    Release(*ziffa, Qt::Key_R);
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("2"));
}

TEST_F(WindowsTest, ShortcutsActWhileTheirButtonIsDisabled) {
    ziffa->MemorySlot1 = "7";
    ASSERT_FALSE(ziffa->SpeedButton3->isEnabled());
    Click(*ziffa, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("7"));
}

TEST_F(WindowsTest, F5FlipsTheVariablesWindowOncePerRelease) {
    ziffa->ComboBoxExpression->setFocus(); // the release passes the box, the panel and the form
    Click(*ziffa, Qt::Key_F5);
    EXPECT_TRUE(ziffa->SpeedButton7->isChecked());
    EXPECT_TRUE(variables->isVisible());
    ziffa->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));
    Click(*ziffa, Qt::Key_F5);
    EXPECT_FALSE(ziffa->SpeedButton7->isChecked());
    EXPECT_FALSE(variables->isVisible());
}

// ---- The digit keys as a real keyboard delivers them.

struct NativeRow {
    const char *name;
    int key; // what the layout makes of the key with the modifiers
    Qt::KeyboardModifiers modifiers;
    quint32 scanCode;
    bool autoRepeat;
    const char *slot1; // MemorySlot1 afterwards
    const char *typed; // the box's text afterwards
};

void PrintTo(const NativeRow &row, std::ostream *os) {
    *os << row.name;
}

class NativeDigits : public WindowsTest, public testing::WithParamInterface<NativeRow> {};

TEST_P(NativeDigits, MatchThePhysicalKey) {
    const NativeRow &row = GetParam();
    ziffa->MemorySlot1 = "old";
    ziffa->MemorySlot2 = "two";
    Calculate(QStringLiteral("40+2"));
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("typed"));
    SendNative(*ziffa, QEvent::KeyPress, row.key, row.modifiers, row.scanCode, 0);
    SendNative(*ziffa, QEvent::KeyRelease, row.key, row.modifiers, row.scanCode, 0, row.autoRepeat);
    EXPECT_EQ(ziffa->MemorySlot1, row.slot1);
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QString::fromUtf8(row.typed));
}

INSTANTIATE_TEST_SUITE_P(
    X11, NativeDigits,
    testing::Values(
        // Ctrl+Shift+1 arrives as "!", Ctrl+Shift+2 as "@" (US) or '"' (some layouts).
        NativeRow{"CtrlShiftExclam", Qt::Key_Exclam, Ctrl | Shift, 10, false, "42", "typed"},
        NativeRow{"CtrlShiftAt", Qt::Key_At, Ctrl | Shift, 11, false, "old", "typed"},
        NativeRow{"CtrlShiftQuote", Qt::Key_QuoteDbl, Ctrl | Shift, 11, false, "old", "typed"},
        NativeRow{"Ctrl1", Qt::Key_1, Ctrl, 10, false, "old", "old"},
        NativeRow{"Ctrl2", Qt::Key_2, Ctrl, 11, false, "old", "two"},
        // Keypad 1 (keycode 87) and a "1" on another key count for nothing.
        NativeRow{"CtrlKeypad1", Qt::Key_1, Ctrl | Keypad, 87, false, "old", "typed"},
        NativeRow{"CtrlKeypadEnd", Qt::Key_End, Ctrl | Keypad, 87, false, "old", "typed"},
        NativeRow{"Ctrl1OnOtherKey", Qt::Key_1, Ctrl, 24, false, "old", "typed"},
        // The releases that X11 sends while a key is held are not acted on.
        NativeRow{"AutoRepeat", Qt::Key_Exclam, Ctrl | Shift, 10, true, "old", "typed"}),
    [](const testing::TestParamInfo<NativeRow> &info) { return std::string(info.param.name); });

// ---- Dialog keys: Enter and Escape act on the press.

TEST_F(WindowsTest, EnterCalculatesOnThePress) {
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("2+5"));
    ziffa->ComboBoxExpression->setFocus();
    Press(*ziffa, Qt::Key_Return);
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("7"));
    Release(*ziffa, Qt::Key_Return);
    EXPECT_EQ(ziffa->ComboBoxExpression->count(), 1) << "the release adds nothing";
}

TEST_F(WindowsTest, KeypadEnterCalculatesToo) {
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("2+6"));
    ziffa->ComboBoxExpression->setFocus();
    Click(*ziffa, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("8"));
}

TEST_F(WindowsTest, EnterWithAModifierDoesNotCalculate) {
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("2+6"));
    ziffa->ComboBoxExpression->setFocus();
    Click(*ziffa, Qt::Key_Return, Qt::ShiftModifier);
    Click(*ziffa, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(ziffa->EditResult->text(), QString());
}

TEST_F(WindowsTest, EnterFromTheResultFieldCalculates) {
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("3*3"));
    ziffa->EditResult->setFocus();
    Click(*ziffa, Qt::Key_Return);
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("9"));
}

TEST_F(WindowsTest, EscapeClosesOnThePress) {
    Press(*ziffa, Qt::Key_Escape);
    EXPECT_FALSE(ziffa->isVisible());
}

TEST_F(WindowsTest, OpenListKeepsEnterAndEscape) {
    QComboBox &box = *ziffa->ComboBoxExpression;
    box.addItems({QStringLiteral("1+1"), QStringLiteral("2+2")});
    box.setEditText(QStringLiteral("5*5"));
    box.setFocus();

    box.showPopup();
    ASSERT_TRUE(QApplication::activePopupWidget());
    Press(*ziffa, Qt::Key_Escape);
    EXPECT_FALSE(QApplication::activePopupWidget());
    Release(*ziffa, Qt::Key_Escape);
    EXPECT_TRUE(ziffa->isVisible()) << "the Escape closed the list, not the window";

    box.showPopup();
    ASSERT_TRUE(QApplication::activePopupWidget());
    Press(*ziffa, Qt::Key_Down);
    Release(*ziffa, Qt::Key_Down);
    Press(*ziffa, Qt::Key_Return);
    EXPECT_FALSE(QApplication::activePopupWidget());
    Release(*ziffa, Qt::Key_Return);
    EXPECT_EQ(ziffa->EditResult->text(), QString()) << "the Enter that closed the list";
    EXPECT_TRUE(ziffa->isVisible());

    Click(*ziffa, Qt::Key_Return); // the next Enter calculates what the list put in the box
    EXPECT_FALSE(ziffa->EditResult->text().isEmpty());
}

// ---- Accelerators.

TEST_F(WindowsTest, AltLettersMoveTheFocusAndReset) {
    ziffa->ComboBoxExpression->setFocus();
    Click(*ziffa, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(FocusIn(*ziffa), "EditResult");
    Click(*ziffa, Qt::Key_W, Qt::AltModifier);
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxExpression");

    Calculate(QStringLiteral("1+2"));
    Click(*ziffa, Qt::Key_Z, Qt::AltModifier); // a button's accelerator clicks it animated
    EXPECT_TRUE(QTest::qWaitFor([&] { return ziffa->EditResult->text().isEmpty(); }));
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QString());
}

TEST_F(WindowsTest, TabRunsFromTheExpressionToTheResult) {
    ziffa->ComboBoxExpression->setFocus();
    Click(*ziffa, Qt::Key_Tab);
    EXPECT_EQ(FocusIn(*ziffa), "EditResult");
    Click(*ziffa, Qt::Key_Tab);
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxExpression");
}

} // namespace
} // namespace ziffa
