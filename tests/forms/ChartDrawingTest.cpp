// The chart mode that draws (ziffa --chart): "Rysuj" checks the function with the graph's own
// variables, draws it, keeps it in the history, redraws after a resize, and Ctrl+S saves it.
#include "WindowsFixture.h"

#include "components/Graph3d.h"
#include "forms/ChartLook.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <csignal>
#include <utility>

#include <sys/resource.h>

namespace ziffa {
namespace {

class ChartDrawingTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        ziffa->EnableChartDrawing();
        ziffa->SetChartMode(true);
    }
    void Draw(const QString &function) {
        ziffa->ComboBoxFun->setEditText(function);
        ziffa->ButtonDrawClick(ziffa->ButtonDraw);
    }
    // Pixels of the graph's bitmap in a colour.
    int PixelsOf(TColor colour) const {
        const QImage &image = wykres->Graph->Bitmap();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == ToQRgb(colour);
        return count;
    }
};

TEST_F(WindowsTest, WithoutTheOptionTheChartGateStaysClosed) {
    EXPECT_FALSE(ziffa->ChartGateOpen());
    EXPECT_FALSE(ziffa->SpeedButton8->isVisibleTo(ziffa.get()));
    Click(*ziffa, Qt::Key_F6);
    EXPECT_TRUE(wykres->isHidden());
    ziffa->ButtonDrawClick(ziffa->ButtonDraw);
    EXPECT_EQ(wykres->Graph->g3D_lastkind(), 0);
    EXPECT_EQ(wykres->Graph->g3D_cl_topcolor, 0u); // the run-time construction's zero
}

TEST_F(ChartDrawingTest, DrawsTheAcceptedFunctionWithTheDesignerLook) {
    EXPECT_TRUE(ziffa->SpeedButton8->isVisibleTo(ziffa.get()));
    EXPECT_FALSE(wykres->isHidden());
    Draw(QStringLiteral(" SIN(x) * cos(y) "));
    EXPECT_TRUE(reporter.warnings.empty());
    EXPECT_EQ(wykres->Graph->g3D_lastkind(), 1);
    EXPECT_GT(PixelsOf(RGB(128, 0, 128)), 1000);
    ASSERT_GT(ziffa->ComboBoxFun->count(), 0);
    EXPECT_EQ(ziffa->ComboBoxFun->itemText(0), QStringLiteral("sin(x)*cos(y)"));
    EXPECT_EQ(ziffa->ComboBoxFun->lineEdit()->selectedText(), QStringLiteral("sin(x)*cos(y)"));

    // The same picture as a graph with the chart look drawn directly.
    TGraph3D reference;
    reference.resize(wykres->Graph->size());
    ApplyChartLook(reference);
    reference.g3D_cleargraph();
    reference.g3D_drawfromfunction("sin(x)*cos(y)");
    EXPECT_EQ(reference.Bitmap(), wykres->Graph->Bitmap());
}

// The chart look draws sin(x)*cos(y) as the graph component's golden picture shows it, without
// the scale numbers, which it writes in the chart window's font.
TEST_F(WindowsTest, TheChartLookDrawsTheGoldenSurface) {
    TGraph3D graph;
    graph.resize(556, 424);
    ApplyChartLook(graph);
    EXPECT_EQ(graph.font(), wykres->font());
    graph.g3D_drawnumbers = false;
    graph.g3D_cleargraph();
    ASSERT_EQ(graph.g3D_drawfromfunction("sin(x)*cos(y)"), 0);
    const QImage golden(QStringLiteral(ZIFFA_GOLDEN_DIR "/surface_sinx_cosy.png"));
    ASSERT_FALSE(golden.isNull());
    EXPECT_EQ(graph.Bitmap().convertToFormat(QImage::Format_RGB32),
              golden.convertToFormat(QImage::Format_RGB32));
}

TEST_F(ChartDrawingTest, RefusedFunctionShowsTheMessageAndKeepsThePicture) {
    Draw(QStringLiteral("x*y"));
    const QImage before = wykres->Graph->Bitmap();
    const int entries = ziffa->ComboBoxFun->count();
    Draw(QStringLiteral("1+"));
    ASSERT_EQ(reporter.warnings.size(), 1u);
    EXPECT_EQ(reporter.warnings[0].caption, QStringLiteral("Ziffa - Wykresy"));
    EXPECT_EQ(reporter.warnings[0].text,
              QString::fromUtf8("Brak wyrażenia po prawej stronie operatora"));
    reporter.warnings.clear();
    EXPECT_EQ(ziffa->ComboBoxFun->lineEdit()->cursorPosition(), 2);
    EXPECT_FALSE(ziffa->ComboBoxFun->lineEdit()->hasSelectedText());
    EXPECT_EQ(ziffa->ComboBoxFun->count(), entries);
    EXPECT_EQ(wykres->Graph->Bitmap(), before);
}

TEST_F(ChartDrawingTest, UserVariablesAreNotTheGraphs) {
    // "a" is unknown to the graph even when the variables window defines it.
    variables->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("a"));
    variables->findChild<QLineEdit *>(QStringLiteral("Edit2"))->setText(QStringLiteral("1"));
    Draw(QStringLiteral("a*x"));
    ASSERT_EQ(reporter.warnings.size(), 1u);
    reporter.warnings.clear();
    EXPECT_EQ(wykres->Graph->g3D_lastkind(), 0);
}

TEST_F(ChartDrawingTest, ResizeRedrawsAtTheNewSize) {
    Draw(QStringLiteral("x*y"));
    wykres->resize(300, 200);
    QTest::qWait(ChartWindow::ClearDelayMs + 300);
    EXPECT_EQ(wykres->Graph->Bitmap().size(), QSize(300, 200));
    EXPECT_EQ(wykres->Graph->g3D_lastkind(), 1);
    EXPECT_GT(PixelsOf(RGB(128, 0, 128)), 100);
}

// After "Rysuj" refused the box's text, a resize draws the picture that was shown again, at the
// new size, rather than leaving the window black.
TEST_F(ChartDrawingTest, ResizeAfterARefusedFunctionRedrawsTheLastDrawn) {
    Draw(QStringLiteral("sin(x)*cos(y)"));
    Draw(QStringLiteral("sin(x)*"));
    ASSERT_EQ(reporter.warnings.size(), 1u);
    reporter.warnings.clear();
    wykres->resize(300, 200);
    QTest::qWait(ChartWindow::ClearDelayMs + 300);
    EXPECT_TRUE(reporter.warnings.empty()) << "the re-run is silent";
    EXPECT_EQ(ziffa->ComboBoxFun->currentText(), QStringLiteral("sin(x)*")) << "the box keeps it";

    TGraph3D reference;
    reference.resize(300, 200);
    ApplyChartLook(reference);
    reference.g3D_cleargraph();
    reference.g3D_drawfromfunction("sin(x)*cos(y)");
    EXPECT_EQ(wykres->Graph->Bitmap(), reference.Bitmap());

    // After a reset there is no picture to follow the size.
    Click(*ziffa, Qt::Key_R, Qt::ControlModifier);
    wykres->resize(310, 210);
    QTest::qWait(ChartWindow::ClearDelayMs + 300);
    EXPECT_EQ(PixelsOf(RGB(128, 0, 128)), 0);
}

// The window's first resize comes as it is shown, while the user may be typing already.
TEST_F(ChartDrawingTest, ResizeLeavesAFunctionBeingTypedAlone) {
    Draw(QStringLiteral("x*y"));
    ziffa->ComboBoxFun->setEditText(QStringLiteral("X")); // a valid function, not drawn
    wykres->resize(300, 200);
    QTest::qWait(ChartWindow::ClearDelayMs + 300);
    EXPECT_EQ(ziffa->ComboBoxFun->currentText(), QStringLiteral("X"));
    EXPECT_FALSE(ziffa->ComboBoxFun->lineEdit()->hasSelectedText());
    EXPECT_EQ(ziffa->ComboBoxFun->count(), 1) << "nothing added to the history";
    EXPECT_GT(PixelsOf(RGB(128, 0, 128)), 100) << "the picture shown, at the new size";
}

TEST_F(ChartDrawingTest, ResetClearsTheGraph) {
    Draw(QStringLiteral("x*y"));
    Click(*ziffa, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ziffa->ComboBoxFun->currentText(), QString());
    EXPECT_EQ(PixelsOf(RGB(128, 0, 128)), 0);
}

TEST_F(ChartDrawingTest, CtrlSSavesThePicture) {
    Draw(QStringLiteral("x*y"));
    QString asked;
    const QString file = SettingsFolder() + QStringLiteral("/wykres.png");
    wykres->AskPictureFileName = [&](QWidget *) {
        asked = file;
        return file;
    };
    QTest::keyPress(wykres.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyRelease(wykres.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, file);
    const QImage saved(file);
    EXPECT_EQ(saved.size(), wykres->Graph->Bitmap().size());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
              wykres->Graph->Bitmap().convertToFormat(QImage::Format_RGB32));

    // A cancelled dialog writes nothing.
    wykres->AskPictureFileName = [](QWidget *) { return QString(); };
    QTest::keyPress(wykres.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyRelease(wykres.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(reporter.warnings.empty());
}

TEST_F(ChartDrawingTest, CtrlSReportsAFailedWriteAndLeavesAnOldFileAsItWas) {
    Draw(QStringLiteral("x*y"));
    const QString old = SettingsFolder() + QStringLiteral("/old.png");
    const QByteArray oldBytes = "the picture saved before";
    {
        QFile file(old);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(oldBytes);
    }
    QString target;
    wykres->AskPictureFileName = [&](QWidget *) { return target; };
    const auto save = [&](const QString &file) {
        target = file;
        QTest::keyPress(wykres.get(), Qt::Key_S, Qt::ControlModifier);
        QTest::keyRelease(wykres.get(), Qt::Key_S, Qt::ControlModifier);
        ASSERT_EQ(reporter.warnings.size(), 1u) << file.toStdString();
        EXPECT_TRUE(std::exchange(reporter.warnings, {}).front().text.contains(file));
    };
    save(QStringLiteral("/dev/full")); // a device: written directly, and its failure shows

    // A write that fails part way, as on a full disk: files may grow no larger than 16 bytes.
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit saved = limit;
    limit.rlim_cur = 16;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    save(old);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), oldBytes);
    EXPECT_EQ(QDir(SettingsFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.png")})
        << "no temporary file left";
}

} // namespace
} // namespace ziffa
