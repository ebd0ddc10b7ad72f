// The history boxes' list and keys: the list opens on the entry that equals the box's text, and
// Up and Down step from that entry, however many entries went in at the top since.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/HistoryBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace ziffa {
namespace {

class HistoryBoxTest : public WindowsTest {
protected:
    // n calculations, the newest last: "1+1", "1+2", ... so that the list reads newest first.
    void CalculateMany(int n) {
        for (int i = 1; i <= n; ++i)
            Calculate(QStringLiteral("1+%1").arg(i));
    }

    // What the open list shows: the highlighted row (-1 for none) and whether a row is in view.
    struct Opened {
        int highlighted;
        bool firstInView;
        bool highlightedInView;
    };

    Opened Open(QComboBox &box) {
        box.showPopup();
        QAbstractItemView &view = *box.view();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.window()));
        const QModelIndex current = view.currentIndex();
        const auto inView = [&](int row) {
            return view.viewport()->rect().contains(view.visualRect(box.model()->index(row, 0)));
        };
        const QModelIndexList selected = view.selectionModel()->selectedIndexes();
        EXPECT_LE(selected.size(), 1);
        const int highlighted = selected.isEmpty() ? -1 : selected.front().row();
        EXPECT_EQ(current.isValid() ? current.row() : -1, highlighted) << "current is highlighted";
        Opened opened{highlighted, inView(0), highlighted >= 0 && inView(highlighted)};
        box.hidePopup();
        return opened;
    }
};

TEST_F(HistoryBoxTest, OpensOnTheNewestAfterACalculation) {
    CalculateMany(40);
    QComboBox &box = *ziffa->ComboBoxExpression;
    ASSERT_EQ(box.count(), 40);
    const Opened opened = Open(box);
    EXPECT_EQ(opened.highlighted, 0) << "the first entry, which the box shows";
    EXPECT_TRUE(opened.highlightedInView);
    EXPECT_EQ(box.currentText(), QStringLiteral("1+40")) << "opening changes no text";
}

TEST_F(HistoryBoxTest, OpensOnTheEntryOfTheTypedTextIgnoringCase) {
    CalculateMany(40);
    QComboBox &box = *ziffa->ComboBoxExpression;
    box.setItemText(25, QStringLiteral("sin(1)"));
    box.setEditText(QStringLiteral("SIN(1)"));
    box.lineEdit()->setCursorPosition(3);
    const Opened opened = Open(box);
    EXPECT_EQ(opened.highlighted, 25);
    EXPECT_TRUE(opened.highlightedInView);
    EXPECT_EQ(box.currentText(), QStringLiteral("SIN(1)")) << "the typed text stays as typed";
    EXPECT_EQ(box.lineEdit()->cursorPosition(), 3);
}

TEST_F(HistoryBoxTest, OpensWithNothingHighlightedWhenNoEntryMatches) {
    CalculateMany(40);
    QComboBox &box = *ziffa->ComboBoxExpression;
    box.setEditText(QStringLiteral("7*"));
    box.lineEdit()->setSelection(1, 1);
    const Opened opened = Open(box);
    EXPECT_EQ(opened.highlighted, -1);
    EXPECT_TRUE(opened.firstInView);
    EXPECT_EQ(box.currentText(), QStringLiteral("7*"));
    EXPECT_EQ(box.lineEdit()->selectedText(), QStringLiteral("*")) << "closed, as it was";
}

TEST_F(HistoryBoxTest, UpAndDownStepFromTheEntryOfTheText) {
    CalculateMany(5); // the list: 1+5, 1+4, 1+3, 1+2, 1+1
    QComboBox &box = *ziffa->ComboBoxExpression;
    Click(*ziffa, Qt::Key_Down);
    EXPECT_EQ(box.currentText(), QStringLiteral("1+4")) << "the next older entry";
    EXPECT_EQ(box.lineEdit()->selectedText(), QStringLiteral("1+4")) << "typing replaces it";
    Click(*ziffa, Qt::Key_Down);
    EXPECT_EQ(box.currentText(), QStringLiteral("1+3"));
    Click(*ziffa, Qt::Key_Up);
    EXPECT_EQ(box.currentText(), QStringLiteral("1+4")) << "the next newer entry";

    box.setEditText(QStringLiteral("1+2")); // typed, as an entry reads
    Click(*ziffa, Qt::Key_Up);
    EXPECT_EQ(box.currentText(), QStringLiteral("1+3"));

    box.setEditText(QStringLiteral("9")); // no entry: Down goes to the newest
    Click(*ziffa, Qt::Key_Down);
    EXPECT_EQ(box.currentText(), QStringLiteral("1+5"));
}

TEST_F(HistoryBoxTest, AltDownEnterTakesTheNewest) {
    CalculateMany(3);
    QComboBox &box = *ziffa->ComboBoxExpression;
    box.setEditText(QStringLiteral("1+3"));
    Click(*ziffa, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.view()->isVisible(); }, 5000));
    Click(*box.view()->window(), Qt::Key_Down);
    Click(*box.view()->window(), Qt::Key_Return);
    EXPECT_FALSE(box.view()->isVisible());
    EXPECT_EQ(box.currentText(), QStringLiteral("1+2")) << "one step older than 1+3's entry";
    EXPECT_EQ(box.lineEdit()->selectedText(), QStringLiteral("1+2")) << "typing replaces it";
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("4")) << "the Enter stayed in the list";
}

TEST_F(HistoryBoxTest, FunctionBoxAlike) {
    ziffa->SpeedButton8->show();
    ziffa->SetChartMode(true);
    QComboBox &box = *ziffa->ComboBoxFun;
    for (int i = 1; i <= 35; ++i) {
        box.setEditText(QStringLiteral("%1").arg(i));
        ziffa->ButtonDrawClick(ziffa->ButtonDraw);
    }
    ASSERT_EQ(box.count(), 35);
    const Opened opened = Open(box);
    EXPECT_EQ(opened.highlighted, 0);
    EXPECT_TRUE(opened.highlightedInView);
    box.setEditText(QStringLiteral("3"));
    EXPECT_EQ(Open(box).highlighted, 32);
}

// The long texts of a box: none is cut, whatever its length.
TEST_F(WindowsTest, EveryBoxTakesTheLongestText) {
    EXPECT_EQ(ziffa->ComboBoxExpression->lineEdit()->maxLength(), LongestText);
    EXPECT_EQ(ziffa->ComboBoxFun->lineEdit()->maxLength(), LongestText);
    for (int row = 0; row < VariablesWindow::RowCount; ++row) {
        EXPECT_EQ(variables->NameBox(row)->maxLength(), LongestText);
        EXPECT_EQ(variables->ValueBox(row)->maxLength(), LongestText);
    }
}

} // namespace
} // namespace ziffa
