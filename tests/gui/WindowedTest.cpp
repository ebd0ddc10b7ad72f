// The windowed program's start and end: the windows in their order, the end when the calculator
// window closes, and the report of an exception at start-up.
#include "forms/CalculatorWindow.h"
#include "forms/ChartWindow.h"
#include "forms/Reporter.h"
#include "forms/VariablesWindow.h"
#include "gui/Application.h"
#include "interpreter/ExpressionText.h"
#include "settings/IniStore.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <locale.h>
#include <stdexcept>
#include <utility>

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
    RunWindows({.expression = "3*4"});
    EXPECT_TRUE(sawAllThree);
    EXPECT_TRUE(calculated) << "the command line's expression was calculated at show";
    EXPECT_EQ(FormZiffa, nullptr);
    EXPECT_EQ(FormVariables, nullptr);
    EXPECT_EQ(FormWykres, nullptr);
    EXPECT_TRUE(recorder.exceptions.empty());
}

TEST(Windows, ExitOnTheCommandLineEndsBeforeTheLoop) {
    RunWindows({.expression = " Exit "});
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

// A logout (SIGTERM) or a hangup (SIGHUP) ends the program as the calculator's close does: the
// settings file then holds the session. A second signal during the save changes nothing.
TEST(Windows, EndOfTheSessionSavesIt) {
    const std::filesystem::path settings = qgetenv("ZIFFA_SETTINGS").toStdString();
    for (const auto &[signal, expression] : {std::pair{SIGTERM, "6*7"}, std::pair{SIGHUP, "2+2"}}) {
        std::filesystem::remove(settings);
        QTimer::singleShot(0, [signal = signal, expression = expression] {
            FormZiffa->ComboBoxExpression->setEditText(QString::fromLatin1(expression));
            FormZiffa->ButtonCalculate->click();
            std::raise(signal);
            std::raise(signal);
        });
        RunWindows({});
        EXPECT_EQ(FormZiffa, nullptr);
        EXPECT_EQ(IniStore(settings).ReadString("CalculatorEntries", "0", ""), expression);
    }
}

// The calculator window takes its decimal separator from the C library's locale data, as the
// modes without a window do. ctest runs this under LC_ALL=pl_PL.UTF-8, and under
// LC_ALL=en_DE.UTF-8, English as used in Germany: Qt knows its comma, the C library doesn't have
// the locale, and the separator is ".".
TEST(Windows, DecimalSeparatorOfTheCLibrarysLocale) {
    const QByteArray all = qgetenv("LC_ALL");
    const locale_t installed = newlocale(LC_NUMERIC_MASK, "en_DE.UTF-8", locale_t());
    if (installed != locale_t())
        freelocale(installed);
    const bool uninstalled = all == "en_DE.UTF-8" && installed == locale_t();
    if (all != "pl_PL.UTF-8" && !uninstalled)
        GTEST_SKIP() << "for LC_ALL=pl_PL.UTF-8 or an uninstalled LC_ALL=en_DE.UTF-8";
    if (uninstalled) {
        ASSERT_EQ(QLocale::system().decimalPoint(), QStringLiteral(","));
    }
    const char expected = uninstalled ? '.' : ',';
    QString result;
    char separator = 0;
    QTimer::singleShot(0, [&] {
        separator = ExprDecimalSeparator;
        result = FormZiffa->EditResult->text();
        FormZiffa->close();
    });
    RunWindows({.expression = "1/4"});
    EXPECT_EQ(separator, expected);
    EXPECT_EQ(result, uninstalled ? QStringLiteral("0.25") : QStringLiteral("0,25"));
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
