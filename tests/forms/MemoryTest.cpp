// The memory slots, the enabled states of their buttons, copy and reset.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/FormLook.h"
#include "forms/TextConvert.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <string>
#include <vector>

namespace ziffa {
namespace {

std::string Cp(const char *utf8) {
    return ToCp1250(QString::fromUtf8(utf8));
}

// The enabled states of ">M1", "M1>", ">M2", "M2>", written as four characters: 1 enabled.
std::string States(const CalculatorWindow &form) {
    std::string s;
    for (const QToolButton *b :
         {form.SpeedButton2, form.SpeedButton3, form.SpeedButton4, form.SpeedButton5})
        s += b->isEnabled() ? '1' : '0';
    return s;
}

struct Step {
    const char *what;
    std::function<void(WindowsTest &, CalculatorWindow &)> act;
    const char *states;
};

class MemorySequence : public WindowsTest {
protected:
    void Run(const std::vector<Step> &steps) {
        EXPECT_EQ(States(*ziffa), "0000") << "at creation";
        for (const Step &step : steps) {
            step.act(*this, *ziffa);
            EXPECT_EQ(States(*ziffa), step.states) << "after: " << step.what;
        }
    }
    void Calc(const char *text) { Calculate(QString::fromUtf8(text)); }
    void Key(Qt::Key key, Qt::KeyboardModifiers m) { Click(*ziffa, key, m); }
    void ClickButton(QToolButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
};

TEST_F(MemorySequence, ButtonsFollowTheEvents) {
    static constexpr auto ctrl = Qt::ControlModifier;
    static const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    Run({
        {"a value", [this](auto &, auto &) { Calc("1+1"); }, "1010"},
        {"store 1 by button", [this](auto &, auto &f) { ClickButton(f.SpeedButton2); }, "1110"},
        {"an error line", [this](auto &, auto &) { Calc("1+"); }, "0100"},
        {"store 2 by key: the error line", [this](auto &, auto &) { Key(Qt::Key_2, ctrlShift); },
         "0101"},
        {"a value again", [this](auto &, auto &) { Calc("5"); }, "1111"},
        {"recall 1 by button", [this](auto &, auto &f) { ClickButton(f.SpeedButton3); }, "0111"},
        {"same value again: no change", [this](auto &, auto &) { Calc("5"); }, "0111"},
        {"recall 2 by key", [this](auto &, auto &) { Key(Qt::Key_2, ctrl); }, "0101"},
        {"reset", [this](auto &, auto &) { Key(Qt::Key_R, ctrl); }, "0101"},
        {"store 1 of the empty field", [this](auto &, auto &) { Key(Qt::Key_1, ctrlShift); },
         "0001"},
        {"a new value", [this](auto &, auto &) { Calc("3*3"); }, "1011"},
    });
    EXPECT_EQ(ziffa->MemorySlot1, "2") << "the empty store kept the slot's text";
    EXPECT_EQ(ziffa->MemorySlot2, Cp("BŁĄD: Brak wyrażenia po prawej stronie operatora"));
}

TEST_F(WindowsTest, StoreAndRecallPutTheShownTextBack) {
    Calculate(QStringLiteral("1/3"));
    QTest::mouseClick(ziffa->SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(ziffa->MemorySlot1, "0.333333333333333");
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("something typed"));
    QTest::mouseClick(ziffa->SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("0.333333333333333"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("0.333333333333333")) << "not calculated";
}

TEST_F(WindowsTest, ErrorLineCanBeStored) {
    Calculate(QStringLiteral("(1"));
    Click(*ziffa, Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ziffa->MemorySlot1, Cp("BŁĄD: Brak zamknięcia nawiasu"));
    EXPECT_TRUE(ziffa->SpeedButton3->isEnabled());
}

TEST_F(WindowsTest, RecallOfAnEmptySlotEmptiesTheBox) {
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("2+2"));
    Click(*ziffa, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QString());
}

struct StoreRow {
    const char *text;
    bool stored;
};

class StoreRule : public WindowsTest, public testing::WithParamInterface<StoreRow> {};

TEST_P(StoreRule, BlankTextKeepsTheSlot) {
    ziffa->StoreMemory2("before");
    ziffa->StoreMemory2(GetParam().text);
    EXPECT_EQ(ziffa->MemorySlot2, GetParam().stored ? GetParam().text : "before");
    EXPECT_EQ(ziffa->SpeedButton5->isEnabled(), GetParam().stored);
    EXPECT_TRUE(ziffa->MemorySlot1.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, StoreRule,
                         testing::Values(StoreRow{"", false}, StoreRow{"   ", false},
                                         StoreRow{"\t\r\n \x01", false}, StoreRow{" 5 ", true},
                                         StoreRow{"x", true}));

// ---- Copy.

TEST_F(WindowsTest, CopyPutsTheWholeFieldOnTheClipboard) {
    Calculate(QStringLiteral("-5/2"));
    QTest::mouseClick(ziffa->ButtonCopy, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("-2.5"));
    EXPECT_EQ(ziffa->EditResult->selectedText(), QStringLiteral("-2.5"));

    Calculate(QStringLiteral("5/0"));
    QTest::mouseClick(ziffa->ButtonCopy, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("BŁĄD: Błąd dzielenia przez zero"));
}

// ---- Reset.

TEST_F(WindowsTest, ResetEmptiesExpressionAndResultOnly) {
    Calculate(QStringLiteral("2+"));
    Calculate(QStringLiteral("7"));
    ziffa->StoreMemory1("m1");
    Calculate(QStringLiteral("8+"));
    ziffa->EditResult->setFocus();
    QTest::mouseClick(ziffa->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QString());
    EXPECT_EQ(ziffa->EditResult->text(), QString());
    EXPECT_EQ(TextColour(*ziffa->EditResult), PureRed) << "the colour stays";
    EXPECT_EQ(ziffa->ComboBoxExpression->count(), 1) << "the history stays";
    EXPECT_EQ(ziffa->MemorySlot1, "m1");
    EXPECT_TRUE(ziffa->SpeedButton3->isEnabled());
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxExpression");
}

} // namespace
} // namespace ziffa
