// The windowed program's start and end: the windows in their order, the end when the calculator
// window closes, and the report of an exception at start-up.
#include "app/Application.h"
#include "forms/Reporter.h"
#include "forms/Unit1.h"
#include "forms/Unitvariables.h"
#include "forms/Unitwykres.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <stdexcept>

namespace ziffa {
namespace {

class Recorder : public MessageReporter {
public:
    void ReportException(const QString &message) override { exceptions.push_back(message); }
    void ShowWarning(QWidget *, const QString &, const QString &) override {}
    std::vector<QString> exceptions;
};

TEST(Startup, ExceptionIsReportedAndTheExitCodeIsZero) {
    Recorder recorder;
    ScopedReporter scoped(recorder);
    EXPECT_EQ(RunStartup([] { throw std::runtime_error("no windows today"); }), 0);
    ASSERT_EQ(recorder.exceptions.size(), 1u);
    EXPECT_EQ(recorder.exceptions[0], QStringLiteral("no windows today"));
    EXPECT_EQ(RunStartup([] {}), 0);
    EXPECT_EQ(recorder.exceptions.size(), 1u);
}

TEST(Windows, CreatedInOrderAndTheLoopEndsWithTheCalculatorWindow) {
    Recorder recorder;
    ScopedReporter scoped(recorder);
    bool sawAllThree = false;
    bool calculated = false;
    QTimer::singleShot(0, [&] {
        sawAllThree = FormZiffa && FormVariables && FormWykres && FormZiffa->isVisible() &&
                      FormWykres->isHidden() && FormVariables->isHidden();
        calculated = FormZiffa && FormZiffa->EditResult->text() == QStringLiteral("12");
        // The variables window stays open; the calculator's close ends the loop all the same.
        FormZiffa->SpeedButton7->click();
        FormZiffa->close();
    });
    RunWindows({QStringLiteral("3*4")});
    EXPECT_TRUE(sawAllThree);
    EXPECT_TRUE(calculated) << "the command line's expression was calculated at show";
    EXPECT_EQ(FormZiffa, nullptr);
    EXPECT_EQ(FormVariables, nullptr);
    EXPECT_EQ(FormWykres, nullptr);
    EXPECT_TRUE(recorder.exceptions.empty());
}

TEST(Windows, ExitOnTheCommandLineEndsBeforeTheLoop) {
    RunWindows({QStringLiteral(" Exit ")});
    EXPECT_EQ(FormZiffa, nullptr);
}

TEST(Windows, AnExceptionInAHandlerLeavesTheLoopRunning) {
    Recorder recorder;
    ScopedReporter scoped(recorder);
    QString afterwards;
    QTimer::singleShot(0, [&] {
        FormZiffa->ComboBoxExpression->setEditText(QStringLiteral("!(1755)"));
        FormZiffa->ButtonCalculate->click();
        QTimer::singleShot(0, [&] {
            FormZiffa->ComboBoxExpression->setEditText(QStringLiteral("1+1"));
            FormZiffa->ButtonCalculate->click();
            afterwards = FormZiffa->EditResult->text();
            FormZiffa->close();
        });
    });
    RunWindows({});
    EXPECT_EQ(recorder.exceptions.size(), 1u);
    EXPECT_EQ(afterwards, QStringLiteral("2"));
}

} // namespace
} // namespace ziffa

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // Each run starts without a settings file: a close writes one, which the next start reads.
    QTemporaryDir settingsFolder;
    qputenv("ZIFFA_SETTINGS",
            QFile::encodeName(settingsFolder.filePath(QStringLiteral("windowed.ini"))));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
