// The chart window and the chart mode: created hidden with a cleared graph, the gate of the
// hidden "Wykres" button, and what stands behind it when a test makes the button visible.
#include "WindowsFixture.h"

#include "components/Graph3d.h"
#include "forms/CalculatorWindow.h"
#include "forms/ChartWindow.h"
#include "forms/VariablesWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace ziffa {
namespace {

TEST_F(WindowsTest, ChartWindowIsCreatedHiddenWithItsGraph) {
    ASSERT_NE(wykres->Graph, nullptr);
    const TGraph3D &g = *wykres->Graph;
    EXPECT_TRUE(wykres->isHidden());
    EXPECT_EQ(wykres->windowTitle(), QStringLiteral("Wykres"));
    EXPECT_EQ(g.parentWidget(), wykres.get());
    EXPECT_EQ(g.Align(), TAlign::alClient);
    const float expected[] = {-4, 4, -4, 4, -4, 4, -5, 5};
    const float actual[] = {g.g3D_drawxmin, g.g3D_drawxmax, g.g3D_drawymin, g.g3D_drawymax,
                            g.g3D_drawzmin, g.g3D_drawzmax, g.g3D_realxmin, g.g3D_realxmax};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(actual[i], expected[i]) << "range " << i;
    EXPECT_TRUE(g.g3D_drawaxises);
    EXPECT_TRUE(g.g3D_fun_drawhorizlines);
    EXPECT_TRUE(g.g3D_fun_drawvertlines);
    EXPECT_EQ(g.g3D_fun_xlinestep, 0.05f);
    EXPECT_EQ(g.g3D_fun_zlinestep, 0.05f);
    EXPECT_EQ(g.g3D_fun_step, 0.1f);
    // The rest keep the values of run-time construction.
    EXPECT_EQ(g.g3D_cl_canvascolor, 0u);
    EXPECT_EQ(g.g3D_graphmargin, 0);
    EXPECT_FALSE(g.g3D_drawnumbers);
    EXPECT_FALSE(g.g3D_fun_linedraw);
    // Sized by the settings before it is ever shown, and cleared again at that size: a bitmap
    // of the whole client area, all black.
    EXPECT_EQ(wykres->size(), QSize(800, 600));
    ASSERT_EQ(g.Bitmap().size(), QSize(800, 600));
    EXPECT_EQ(g.Bitmap().pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(g.Bitmap().pixel(g.Bitmap().width() - 1, g.Bitmap().height() - 1), qRgb(0, 0, 0));
    // Cleared at creation already, at the design's client area.
    {
        const ChartWindow another;
        EXPECT_EQ(another.Graph->Bitmap().size(), QSize(556, 424));
    }
    FormWykres = wykres.get(); // the other window took the global reference with it
    wykres->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wykres.get()));
    EXPECT_EQ(g.geometry(), wykres->rect());
    wykres->hide();
}

TEST_F(WindowsTest, HiddenButtonKeepsTheChartModeOff) {
    EXPECT_FALSE(ziffa->ChartGateOpen());
    Click(*ziffa, Qt::Key_F6);
    ziffa->SetChartMode(true);
    ziffa->SpeedButton8Click();
    ziffa->ComboBoxFun->setEditText(QStringLiteral("EXIT"));
    ziffa->ButtonDrawClick(ziffa->ButtonDraw);
    ziffa->ButtonDrawClick(nullptr);
    // A click where the button would be lands on nothing.
    QTest::mouseClick(ziffa.get(), Qt::LeftButton, {}, QPoint(235, 57));
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("2"));
    Click(*ziffa, Qt::Key_Return);

    EXPECT_FALSE(ziffa->SpeedButton8->isChecked());
    EXPECT_TRUE(wykres->isHidden());
    EXPECT_TRUE(ziffa->PanelWykres->isHidden());
    EXPECT_FALSE(ziffa->PanelOblicz->isHidden());
    EXPECT_EQ(ziffa->ComboBoxFun->currentText(), QStringLiteral("EXIT")) << "not normalised";
    EXPECT_EQ(ziffa->ComboBoxFun->count(), 0);
    EXPECT_TRUE(ziffa->isVisible());
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("2")) << "Enter calculates as usual";
}

TEST_F(WindowsTest, ResizeClearsTheGraphOnceAfterTheDelay) {
    EXPECT_FALSE(wykres->TimerClear->isActive());
    EXPECT_EQ(wykres->TimerClear->interval(), ChartWindow::ClearDelayMs);
    wykres->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wykres.get()));
    QTest::qWait(ChartWindow::ClearDelayMs * 2); // let the show's own resize settle
    const QImage &bitmap = wykres->Graph->Bitmap();
    for (int w = 300; w <= 340; w += 10)
        wykres->resize(w, 250);
    EXPECT_TRUE(wykres->TimerClear->isActive());
    EXPECT_EQ(wykres->Graph->size(), QSize(340, 250)) << "the graph follows at once";
    EXPECT_NE(bitmap.size(), QSize(340, 250)) << "the bitmap waits for the clear";
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return wykres->Graph->Bitmap().size() == QSize(340, 250); }, 5000));
    EXPECT_FALSE(wykres->TimerClear->isActive()) << "one clear for the burst";
    wykres->hide();
}

// ---- Behind the gate, with the button made visible.

class ChartModeTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        ziffa->SpeedButton8->show();
        ASSERT_TRUE(ziffa->ChartGateOpen());
    }
    void TurnOn() {
        QTest::mouseClick(ziffa->SpeedButton8, Qt::LeftButton);
        ASSERT_TRUE(ziffa->SpeedButton8->isChecked());
        ziffa->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));
        ziffa->ComboBoxFun->setFocus();
    }
    void DefineXY() {
        variables->Edit1->setText(QStringLiteral("x"));
        variables->Edit2->setText(QStringLiteral("1"));
        variables->Edit3->setText(QStringLiteral("y"));
        variables->Edit4->setText(QStringLiteral("2"));
    }
};

TEST_F(ChartModeTest, ButtonSwitchesTheRowsAndTheWindow) {
    TurnOn();
    EXPECT_FALSE(ziffa->PanelWykres->isHidden());
    EXPECT_TRUE(ziffa->PanelOblicz->isHidden());
    EXPECT_TRUE(wykres->isVisible());
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxFun");

    QTest::mouseClick(ziffa->SpeedButton8, Qt::LeftButton);
    EXPECT_TRUE(ziffa->PanelWykres->isHidden());
    EXPECT_FALSE(ziffa->PanelOblicz->isHidden());
    EXPECT_FALSE(wykres->isVisible());
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxExpression");
}

TEST_F(ChartModeTest, F6InTheCalculatorFlipsTheMode) {
    Click(*ziffa, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_FALSE(ziffa->SpeedButton8->isChecked());
    Click(*ziffa, Qt::Key_F6);
    EXPECT_TRUE(ziffa->SpeedButton8->isChecked());
    EXPECT_TRUE(wykres->isVisible());
    ziffa->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));
    Click(*ziffa, Qt::Key_F6);
    EXPECT_FALSE(ziffa->SpeedButton8->isChecked());
    EXPECT_FALSE(wykres->isVisible());
}

TEST_F(ChartModeTest, ChartWindowKeysAndClose) {
    TurnOn();
    wykres->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wykres.get()));
    Click(*wykres, Qt::Key_F6, Qt::ControlModifier);
    Click(*wykres, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(wykres->isVisible());
    Click(*wykres, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));
    EXPECT_TRUE(wykres->isVisible());

    wykres->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wykres.get()));
    Click(*wykres, Qt::Key_F6);
    EXPECT_FALSE(wykres->isVisible());
    EXPECT_FALSE(ziffa->SpeedButton8->isChecked());
    EXPECT_FALSE(ziffa->PanelOblicz->isHidden());

    TurnOn();
    wykres->close();
    EXPECT_FALSE(ziffa->SpeedButton8->isChecked());
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxExpression");
    EXPECT_EQ(FormWykres, wykres.get()) << "hidden, not destroyed";
}

TEST_F(ChartModeTest, RejectedFunctionShowsTheMessageThenTheCaret) {
    TurnOn();
    ziffa->ComboBoxFun->setEditText(QStringLiteral("SIN(x) * cos(y)"));
    Click(*ziffa, Qt::Key_Return); // Enter presses "Rysuj" in the chart row
    ASSERT_EQ(reporter.warnings.size(), 1u);
    EXPECT_EQ(reporter.warnings[0].caption, QStringLiteral("Ziffa - Wykresy"));
    EXPECT_FALSE(reporter.warnings[0].text.startsWith(QStringLiteral("BŁĄD")));
    EXPECT_FALSE(reporter.warnings[0].text.isEmpty());
    reporter.warnings.clear();
    EXPECT_EQ(ziffa->ComboBoxFun->currentText(), QStringLiteral("sin(x)*cos(y)"));
    EXPECT_FALSE(ziffa->ComboBoxFun->lineEdit()->hasSelectedText());
    EXPECT_EQ(ziffa->ComboBoxFun->count(), 0);
    EXPECT_EQ(ziffa->EditResult->text(), QString()) << "the calculation row is not touched";
}

TEST_F(ChartModeTest, AcceptedFunctionEntersTheHistory) {
    DefineXY();
    TurnOn();
    ziffa->ComboBoxFun->addItems({QStringLiteral("a"), QStringLiteral("SIN(X)*COS(Y)")});
    const QImage before = wykres->Graph->Bitmap();
    ziffa->ComboBoxFun->setEditText(QStringLiteral("sin(x) * cos(y)"));
    QTest::mouseClick(ziffa->ButtonDraw, Qt::LeftButton);
    EXPECT_TRUE(reporter.warnings.empty());
    ASSERT_EQ(ziffa->ComboBoxFun->count(), 2);
    EXPECT_EQ(ziffa->ComboBoxFun->itemText(0), QStringLiteral("SIN(X)*COS(Y)"));
    EXPECT_EQ(ziffa->ComboBoxFun->itemText(1), QStringLiteral("a"));
    EXPECT_EQ(ziffa->ComboBoxFun->currentText(), QStringLiteral("sin(x)*cos(y)"));
    EXPECT_EQ(ziffa->ComboBoxFun->lineEdit()->selectedText(), QStringLiteral("sin(x)*cos(y)"));
    EXPECT_EQ(wykres->Graph->Bitmap(), before) << "the request draws nothing";
}

TEST_F(ChartModeTest, SilentRequestReportsNothing) {
    TurnOn();
    ziffa->ComboBoxFun->setEditText(QStringLiteral("1+"));
    ziffa->ComboBoxFun->lineEdit()->setSelection(1, 1);
    ziffa->ButtonDrawClick(nullptr);
    EXPECT_TRUE(reporter.warnings.empty());
    EXPECT_EQ(ziffa->ComboBoxFun->lineEdit()->selectionStart(), 1) << "the selection is kept";
    EXPECT_EQ(ziffa->ComboBoxFun->lineEdit()->selectedText(), QStringLiteral("+"));
}

TEST_F(ChartModeTest, TimerRerunsTheRequestSilently) {
    DefineXY();
    TurnOn();
    ziffa->ComboBoxFun->setEditText(QStringLiteral("x+y"));
    wykres->TimerClear->start();
    wykres->TimerClearTimer();
    EXPECT_FALSE(wykres->TimerClear->isActive());
    EXPECT_EQ(ziffa->ComboBoxFun->count(), 1) << "the re-run accepted the function";
}

TEST_F(ChartModeTest, ExitInTheFunctionBoxCloses) {
    TurnOn();
    ziffa->ComboBoxFun->setEditText(QStringLiteral("  EXIT "));
    Click(*ziffa, Qt::Key_Return);
    EXPECT_FALSE(ziffa->isVisible());
    EXPECT_TRUE(reporter.warnings.empty()) << "no message box after the window has gone";
}

TEST_F(ChartModeTest, ResetEmptiesTheFunctionBoxAndClearsTheGraph) {
    TurnOn();
    ziffa->ComboBoxExpression->setEditText(QStringLiteral("1+2"));
    ziffa->EditResult->setText(QStringLiteral("3"));
    ziffa->ComboBoxFun->setEditText(QStringLiteral("x*y"));
    TCanvas &canvas = wykres->Graph->Canvas();
    canvas.SetBrushColor(RGB(255, 255, 255));
    canvas.FillRect(0, 0, 10, 10);
    ASSERT_EQ(wykres->Graph->Bitmap().pixel(5, 5), qRgb(255, 255, 255));
    Click(*ziffa, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ziffa->ComboBoxFun->currentText(), QString());
    EXPECT_EQ(FocusIn(*ziffa), "ComboBoxFun");
    EXPECT_EQ(wykres->Graph->Bitmap().pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(ziffa->ComboBoxExpression->currentText(), QStringLiteral("1+2"));
    EXPECT_EQ(ziffa->EditResult->text(), QStringLiteral("3"));
}

} // namespace
} // namespace ziffa
