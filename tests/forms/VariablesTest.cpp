// The variables window: the rows turned into variables on every keystroke, the caption of the
// "Zmienne" button, its keys, and showing and hiding.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/TextConvert.h"
#include "forms/VariablesWindow.h"
#include "interpreter/ExpressionText.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <array>
#include <cstring>
#include <vector>

namespace ziffa {
namespace {

struct Variable {
    const char *name;
    double value;
};

struct RowsCase {
    const char *title;
    char separator;
    std::array<const char *, 10> texts; // name 1, value 1, name 2, value 2, ...
    std::vector<Variable> expected;
};

void PrintTo(const RowsCase &c, std::ostream *os) {
    *os << c.title;
}

class VariableRows : public WindowsTest, public testing::WithParamInterface<RowsCase> {};

TEST_P(VariableRows, BecomeThePackedVariables) {
    const RowsCase &c = GetParam();
    ExprDecimalSeparator = c.separator;
    for (int row = 0; row < VariablesWindow::RowCount; ++row) {
        variables->NameBox(row)->setText(QString::fromUtf8(c.texts[2 * row]));
        variables->ValueBox(row)->setText(QString::fromUtf8(c.texts[2 * row + 1]));
    }
    ASSERT_EQ(variables->variableCount(), static_cast<int>(c.expected.size()));
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        EXPECT_EQ(variables->variableNames()[i], ToCp1250(QString::fromUtf8(c.expected[i].name)));
        EXPECT_EQ(variables->variableValues()[i], c.expected[i].value) << "variable " << i;
    }
    const QString caption = c.expected.empty()
                                ? QStringLiteral("Zmienne")
                                : QStringLiteral("Zmienne (%1)").arg(c.expected.size());
    EXPECT_EQ(ziffa->SpeedButton7->text(), caption);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VariableRows,
    testing::Values(
        RowsCase{"AllEmpty", '.', {"", "", "", "", "", "", "", "", "", ""}, {}},
        RowsCase{
            "GapIsPacked", '.', {"a", "1", "", "", "b", "2", "", "", "", ""}, {{"a", 1}, {"b", 2}}},
        RowsCase{
            "BadValueSkipsRow", '.', {"x", "abc", "y", "5", "", "", "", "", "", ""}, {{"y", 5}}},
        RowsCase{
            "NameWithoutValue", '.', {"x", "", "", "3", "z", " 4", "", "", "", ""}, {{"z", 4}}},
        RowsCase{"Trimmed",
                 '.',
                 {"  x  ", " 7 ", "a b", "\t-4", "c", "+4", "", "", "", ""},
                 {{"x", 7}, {"a b", -4}, {"c", 4}}},
        RowsCase{"NumberForms",
                 '.',
                 {"p", "1e3", "q", ".5", "r", ".", "s", "-2.5E-1", "t", "5."},
                 {{"p", 1000}, {"q", 0.5}, {"r", 0}, {"s", -0.25}, {"t", 5}}},
        RowsCase{
            "CommaSeparator", ',', {"a", "2,5", "b", "2.5", "", "", "", "", "", ""}, {{"a", 2.5}}},
        RowsCase{
            "DotSeparator", '.', {"a", "2,5", "b", "2.5", "", "", "", "", "", ""}, {{"b", 2.5}}},
        RowsCase{"ExpressionsAreNotValues",
                 '.',
                 {"a", "pi", "b", "2*3", "c", "1e999", "", "", "", ""},
                 {}},
        RowsCase{"NamesAsTyped",
                 '.',
                 {"X", "1", "pi", "2", "a", "3", "a", "4", "żółw", "5"},
                 {{"X", 1}, {"pi", 2}, {"a", 3}, {"a", 4}, {"żółw", 5}}}),
    [](const testing::TestParamInfo<RowsCase> &info) { return std::string(info.param.title); });

TEST_F(WindowsTest, EveryKeystrokeRebuildsTheVariables) {
    ziffa->SpeedButton7->click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(variables.get()));
    variables->Edit1->setFocus();
    QTest::keyClicks(variables->Edit1, QStringLiteral("a"));
    variables->Edit2->setFocus();
    QTest::keyClicks(variables->Edit2, QStringLiteral("1"));
    EXPECT_EQ(variables->variableCount(), 1);
    EXPECT_EQ(variables->variableValues()[0], 1.0);
    QTest::keyClicks(variables->Edit2, QStringLiteral("2"));
    EXPECT_EQ(variables->variableValues()[0], 12.0);
    QTest::keyClick(variables->Edit2, Qt::Key_Backspace);
    QTest::keyClick(variables->Edit2, Qt::Key_Backspace);
    EXPECT_EQ(variables->variableCount(), 0);
    EXPECT_EQ(ziffa->SpeedButton7->text(), QStringLiteral("Zmienne"));
}

TEST_F(WindowsTest, VariablesReachTheNextCalculation) {
    variables->Edit1->setText(QStringLiteral("a"));
    variables->Edit2->setText(QStringLiteral("4"));
    Calculate(QStringLiteral("a*a"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("16"));
    variables->Edit2->setText(QStringLiteral("5"));
    Calculate(QStringLiteral("a*a"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("25"));
}

TEST_F(WindowsTest, CapitalNameIsStoredButNotFound) {
    variables->Edit1->setText(QStringLiteral("X"));
    variables->Edit2->setText(QStringLiteral("1"));
    Calculate(QStringLiteral("X"));
    EXPECT_TRUE(ziffa->ResultShowsError());
}

// ---- Showing, hiding and the window's keys.

class VariablesWindowTest : public WindowsTest {
protected:
    void ShowIt() {
        QTest::mouseClick(ziffa->SpeedButton7, Qt::LeftButton);
        ASSERT_TRUE(variables->isVisible());
        variables->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(variables.get()));
        variables->Edit1->setFocus();
    }
};

TEST_F(VariablesWindowTest, ButtonShowsAndHides) {
    ShowIt();
    EXPECT_TRUE(ziffa->SpeedButton7->isChecked());
    QTest::mouseClick(ziffa->SpeedButton7, Qt::LeftButton);
    EXPECT_FALSE(ziffa->SpeedButton7->isChecked());
    EXPECT_FALSE(variables->isVisible());
}

TEST_F(VariablesWindowTest, F5HidesAndReleasesTheButton) {
    ShowIt();
    Click(*variables, Qt::Key_F5, Qt::ControlModifier);
    Click(*variables, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_TRUE(variables->isVisible());
    Click(*variables, Qt::Key_F5);
    EXPECT_FALSE(variables->isVisible());
    EXPECT_FALSE(ziffa->SpeedButton7->isChecked());
}

TEST_F(VariablesWindowTest, ClosingOnlyHides) {
    ShowIt();
    variables->Edit1->setText(QStringLiteral("k1"));
    variables->Edit2->setText(QStringLiteral("3"));
    variables->close();
    EXPECT_FALSE(variables->isVisible());
    EXPECT_FALSE(ziffa->SpeedButton7->isChecked());
    EXPECT_EQ(variables->variableCount(), 1);
    EXPECT_EQ(FormVariables, variables.get());
}

TEST_F(VariablesWindowTest, EnterCalculatesOnRelease) {
    ShowIt();
    variables->Edit1->setText(QStringLiteral("b"));
    variables->Edit2->setText(QStringLiteral("2"));
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("b^10"));
    Press(*variables, Qt::Key_Return);
    EXPECT_EQ(ziffa->EditResult->text(), QString());
    Release(*variables, Qt::Key_Return);
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("1024"));
    EXPECT_TRUE(variables->isVisible());
}

TEST_F(VariablesWindowTest, EscapeActivatesTheCalculator) {
    ShowIt();
    ASSERT_EQ(QApplication::activeWindow(), variables.get());
    Click(*variables, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));
    EXPECT_TRUE(variables->isVisible());
    EXPECT_TRUE(ziffa->isVisible());
}

} // namespace
} // namespace ziffa
