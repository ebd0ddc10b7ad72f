// The calculate action: normalisation, the value or the error line, the caret, the history, and
// an exception that escapes the evaluation.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/FormLook.h"
#include "forms/HistoryRule.h"
#include "forms/WindowGeometry.h"
#include "interpreter/ExpressionText.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

namespace ziffa {
namespace {

QStringList Items(const QComboBox &box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

struct Outcome {
    const char *typed;
    const char *shown;  // the box's text afterwards
    const char *result; // the result field's text
    bool error;
    int caret; // error: the caret position
};

class CalculateOutcomes : public WindowsTest, public testing::WithParamInterface<Outcome> {};

TEST_P(CalculateOutcomes, ShowsValueOrErrorLine) {
    const Outcome &row = GetParam();
    Calculate(QString::fromUtf8(row.typed));

    QLineEdit &edit = *ziffa->ComboBoxExpression->lineEdit();
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QString::fromUtf8(row.shown));
    EXPECT_EQ(ziffa->EditResult->text(), QString::fromUtf8(row.result));
    EXPECT_EQ(TextColour(*ziffa->EditResult), row.error ? PureRed : Black);
    if (row.error) {
        EXPECT_EQ(ziffa->ComboBoxExpression->count(), 0) << "a failure leaves the history alone";
        EXPECT_EQ(edit.cursorPosition(), row.caret);
        EXPECT_FALSE(edit.hasSelectedText());
    } else {
        EXPECT_EQ(Items(*ziffa->ComboBoxExpression), QStringList{QString::fromUtf8(row.shown)});
        EXPECT_EQ(edit.selectedText(), QString::fromUtf8(row.shown)) << "all of it selected";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CalculateOutcomes,
    testing::Values(Outcome{"2 * PI", "2*pi", "6.28318530717959", false, 0},
                    Outcome{"1/3", "1/3", "0.333333333333333", false, 0},
                    Outcome{"1,5+2.5", "1.5+2.5", "4", false, 0},
                    Outcome{"10^15", "10^15", "1E15", false, 0},
                    Outcome{"", "", "BŁĄD: Wyrażenie puste", true, 0},
                    Outcome{"2 + ", "2+", "BŁĄD: Brak wyrażenia po prawej stronie operatora", true,
                            2},
                    Outcome{"2*(3+4", "2*(3+4", "BŁĄD: Brak zamknięcia nawiasu", true, 6},
                    Outcome{"1/0", "1/0", "BŁĄD: Błąd dzielenia przez zero", true, 2},
                    Outcome{"x+1", "x+1", "BŁĄD: Błąd w składni wyrażenia", true, 0}));

TEST_F(WindowsTest, CommaSeparatorNormalisesAndFormatsWithComma) {
    ExprDecimalSeparator = ',';
    Calculate(QStringLiteral("1.5+2,5"));
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("1,5+2,5"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("4"));
    Calculate(QStringLiteral("1/2"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("0,5"));
}

TEST_F(WindowsTest, SeparatorComesFromTheLocaleAtConstruction) {
    // ctest runs this executable under C and under pl_PL.UTF-8.
    const bool polish = qgetenv("LC_ALL").startsWith("pl_PL");
    EXPECT_EQ(localeSeparator, polish ? ',' : '.');
    ExprDecimalSeparator = localeSeparator;
    Calculate(QStringLiteral("1/2"));
    EXPECT_EQ(ziffa->EditResult->text(), polish ? QStringLiteral("0,5") : QStringLiteral("0.5"));
}

TEST_F(WindowsTest, ErrorAfterValueTurnsRedAndBack) {
    Calculate(QStringLiteral("2+2"));
    Calculate(QStringLiteral("2+"));
    EXPECT_TRUE(ziffa->ResultShowsError());
    Calculate(QStringLiteral("3"));
    EXPECT_FALSE(ziffa->ResultShowsError());
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("3"));
}

TEST_F(WindowsTest, FloatFaultIsReportedAndTheWindowGoesOn) {
    Calculate(QStringLiteral("2+"));
    ASSERT_TRUE(ziffa->ResultShowsError());
    const QString before = ziffa->EditResult->text();

    Calculate(QStringLiteral("!(1000)*!(1000)"));
    ASSERT_EQ(reporter.exceptions.size(), 1u);
    EXPECT_EQ(reporter.exceptions.front(),
              QStringLiteral("Przepełnienie zmiennoprzecinkowe w mnożeniu"));
    reporter.exceptions.clear();
    EXPECT_EQ(ziffa->EditResult->text(), before) << "the text stays as it was";
    EXPECT_EQ(TextColour(*ziffa->EditResult), Black) << "now in black";
    EXPECT_EQ(ziffa->ComboBoxExpression->count(), 0) << "the history is unchanged";

    Calculate(QStringLiteral("6*7"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("42"));
    EXPECT_TRUE(reporter.exceptions.empty());
}

// The exception box names the fault and the operation where it arose, in Polish.
TEST_F(WindowsTest, FloatFaultsNameTheirOperationInPolish) {
    const struct {
        const char *expression;
        const char *message;
    } rows[] = {
        {"!(1754)*50+!(1754)*50", "Przepełnienie zmiennoprzecinkowe w dodawaniu"},
        {"!(1754)*50-(-!(1754)*50)", "Przepełnienie zmiennoprzecinkowe w odejmowaniu"},
        {"(!(1754)*50)/0.1", "Przepełnienie zmiennoprzecinkowe w dzieleniu"},
        {"sin(!(200))", "Przepełnienie zmiennoprzecinkowe przy zaokrąglaniu do podwójnej precyzji"},
        {"exp(1000)-exp(1000)", "Niedozwolona operacja zmiennoprzecinkowa w odejmowaniu"},
    };
    for (const auto &row : rows) {
        Calculate(QString::fromLatin1(row.expression));
        ASSERT_EQ(reporter.exceptions.size(), 1u) << row.expression;
        EXPECT_EQ(reporter.exceptions.front().toStdString(), row.message) << row.expression;
        reporter.exceptions.clear();
    }
    Calculate(QString(6000, QLatin1Char('9')));
    ASSERT_EQ(reporter.exceptions.size(), 1u);
    EXPECT_EQ(reporter.exceptions.front(),
              QStringLiteral("Przepełnienie zmiennoprzecinkowe: liczba jest zbyt duża"));
    reporter.exceptions.clear();
}

TEST_F(WindowsTest, SuccessKeepsTheTypedTextAgainstTheList) {
    // The list's first entry differs from the box's text only in case; changing the list must
    // not change what the box shows.
    ziffa->ComboBoxExpression->addItem(QStringLiteral("Q"));
    ziffa->ComboBoxExpression->addItem(QStringLiteral("2+2"));
    Calculate(QStringLiteral("2+2"));
    EXPECT_EQ(Items(*ziffa->ComboBoxExpression), (QStringList{"2+2", "Q"}));
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("2+2"));
}

TEST_F(WindowsTest, SameResultTextRunsNoChange) {
    Calculate(QStringLiteral("2+2"));
    ziffa->SpeedButton2->setEnabled(false); // would be set again by a change of the text
    Calculate(QStringLiteral("3+1"));
    EXPECT_FALSE(ziffa->SpeedButton2->isEnabled());
}

// ---- The history rule.

struct HistoryCase {
    QStringList before;
    QString text;
    QStringList after;
};

class HistoryRule : public WindowsTest, public testing::WithParamInterface<HistoryCase> {};

TEST_P(HistoryRule, FirstMatchChangesPlacesWithTheTop) {
    QComboBox &box = *ziffa->ComboBoxExpression;
    box.addItems(GetParam().before);
    AddToHistory(box, GetParam().text);
    EXPECT_EQ(Items(box), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HistoryRule,
    testing::Values(HistoryCase{{}, "a", {"a"}},
                    HistoryCase{{"A", "B", "C", "D"}, "C", {"C", "B", "A", "D"}},
                    HistoryCase{{"A", "B", "C", "D"}, "A", {"A", "B", "C", "D"}},
                    HistoryCase{{"A", "B", "C", "D"}, "E", {"E", "A", "B", "C", "D"}},
                    HistoryCase{{"sin(x)", "Pi", "pi"}, "PI", {"Pi", "sin(x)", "pi"}},
                    HistoryCase{{"zażółć", "ŁÓDŹ"}, "łódź", {"ŁÓDŹ", "zażółć"}}));

TEST_F(WindowsTest, HistoryKeepsTwoHundredEntries) {
    for (int i = 0; i < HistoryLimit; ++i)
        Calculate(QString::number(i));
    QComboBox &box = *ziffa->ComboBoxExpression;
    ASSERT_EQ(box.count(), HistoryLimit);
    const QString last = box.itemText(HistoryLimit - 1);
    EXPECT_EQ(last, QStringLiteral("0"));

    Calculate(QStringLiteral("200"));
    EXPECT_EQ(box.count(), HistoryLimit);
    EXPECT_EQ(box.itemText(0), QStringLiteral("200"));
    EXPECT_EQ(box.itemText(HistoryLimit - 1), QStringLiteral("1")) << "the oldest entry went";
}

TEST_F(WindowsTest, LongerListShrinksByOneEntryACall) {
    QComboBox &box = *ziffa->ComboBoxExpression;
    for (int i = 0; i < HistoryLimit + 5; ++i)
        box.addItem(QStringLiteral("e%1").arg(i));
    AddToHistory(box, QStringLiteral("new"));
    EXPECT_EQ(box.count(), HistoryLimit + 5);
    AddToHistory(box, QStringLiteral("e3"));
    EXPECT_EQ(box.count(), HistoryLimit + 4);
}

// ---- "exit".

class ExitWord : public WindowsTest, public testing::WithParamInterface<const char *> {};

TEST_P(ExitWord, ClosesTheWindow) {
    Calculate(QString::fromUtf8(GetParam()));
    EXPECT_FALSE(ziffa->isVisible());
    EXPECT_EQ(ziffa->EditResult->text(), QString()) << "nothing is calculated";
}

INSTANTIATE_TEST_SUITE_P(Rows, ExitWord,
                         testing::Values("exit", "EXIT", "Exit", " e X i T ", "  EXIT  "));

TEST_F(WindowsTest, ExitInsideLongerTextDoesNotClose) {
    Calculate(QStringLiteral("exit2"));
    EXPECT_TRUE(ziffa->isVisible());
    EXPECT_TRUE(ziffa->ResultShowsError());
}

// ---- The command line.

TEST_F(WindowsTest, CommandLineExpressionIsCalculatedAtShow) {
    CreateWindows({QStringLiteral("2 + 3"), QStringLiteral("ignored")});
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("2+3"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("5"));
    EXPECT_EQ(ziffa->ComboBoxExpression->lineEdit()->selectedText(), QStringLiteral("2+3"));
}

TEST_F(WindowsTest, CommandLineExitClosesAtStart) {
    CreateWindows({QStringLiteral("EXIT")});
    EXPECT_TRUE(ziffa->isHidden());
}

TEST_F(WindowsTest, ShowRunsOnceAndPlacesTheWindows) {
    EXPECT_EQ(ziffa->pos(), QPoint(200, 1));
    // Left of the calculator, 2 pixels between the frames.
    const QMargins frame = FrameOrEstimate(*variables, ziffa.get());
    EXPECT_EQ(variables->pos(),
              QPoint(200 - variables->width() - frame.left() - frame.right() - 2, 1));
    EXPECT_TRUE(variables->isHidden());
    ziffa->move(300, 40);
    ziffa->hide();
    ziffa->show();
    EXPECT_EQ(ziffa->pos(), QPoint(300, 40)) << "a second show doesn't place the window again";
}

} // namespace
} // namespace ziffa
