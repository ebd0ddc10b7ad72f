#include "gui/Application.h"

#include "forms/CalculatorWindow.h"
#include "forms/ChartWindow.h"
#include "forms/HandlerGuard.h"
#include "forms/VariablesWindow.h"
#include "gui/Platform.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ziffa {

namespace {

// The application object. Every handler reports its own exceptions; one that still reaches the
// loop (from Qt's own code, say) is reported here, and the loop goes on.
class ZiffaApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override {
        bool handled = false;
        RunGuarded([&] { handled = QApplication::notify(receiver, event); });
        return handled;
    }
};

} // namespace

void InstallPolishTranslations(QCoreApplication &application) {
    // Qt's dates, sizes and numbers in the Polish way too (the file dialog's columns). The
    // calculator's decimal separator is the user's own all the same: it comes from the system.
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    auto *translator = new QTranslator(&application);
    if (translator->load(QLocale(QLocale::Polish, QLocale::Poland), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator; // Qt's own English texts, then
}

int RunStartup(const std::function<void()> &startAndLoop) {
    RunGuarded(startAndLoop);
    return 0;
}

void RunWindows(QStringList commandLine) {
    // "--chart" first switches on the chart mode that draws; the expression, if any, follows it.
    const bool chart = !commandLine.isEmpty() && commandLine.first() == QStringLiteral("--chart");
    if (chart)
        commandLine.removeFirst();
    CalculatorWindow formZiffa(commandLine);
    VariablesWindow formVariables;
    ChartWindow formWykres;
    if (chart)
        formZiffa.EnableChartDrawing();
    formZiffa.show();
    if (formZiffa.isHidden())
        return; // closed while it was first shown ("exit" on the command line)
    QApplication::exec();
}

int RunApplication(int &argc, char **argv) {
    ChoosePlatform(argc, argv); // X11 through Xwayland in a Wayland session, unless chosen
    ZiffaApplication application(argc, argv);
    // The name under which the desktop lists the running program; the window says "Ziffa 3.2".
    QCoreApplication::setApplicationName(QStringLiteral("Ziffa 3.1"));
    // The calculator window ends the program when it closes; no other window does.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallPolishTranslations(application);
    return RunStartup([] {
        QStringList commandLine = QCoreApplication::arguments();
        commandLine.removeFirst();
        RunWindows(commandLine);
    });
}

} // namespace ziffa
