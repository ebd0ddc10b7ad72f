#include "gui/Application.h"

#include "forms/AccessibleWindows.h"
#include "forms/CalculatorWindow.h"
#include "forms/ChartWindow.h"
#include "forms/HandlerGuard.h"
#include "forms/VariablesWindow.h"
#include "gui/Platform.h"
#include "gui/SessionEnd.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTranslator>

#include <cstdlib>
#include <string>
#include <vector>

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

// The end of the session closes the calculator window as its close box does, once the window is
// shown; the program then ends as usual.
bool CloseForSessionEnd() {
    if (FormZiffa == nullptr || FormZiffa->Closed())
        return true;
    if (!FormZiffa->isVisible())
        return false; // still being shown
    FormZiffa->close();
    return true;
}

// Before a logout the session manager asks for the state to be saved; the session may still go
// on, and the close saves once more.
void SaveForSessionEnd() {
    if (FormZiffa != nullptr && !FormZiffa->Closed() && FormZiffa->SettingsRead())
        RunGuarded([] { FormZiffa->FormClose(); });
}

// When the display's server is gone, Qt ends the process with exit() from within the message
// loop: the close's save is tried then, as far as it goes without the display. Nothing that could
// stall or crash the exit: only on the thread of the windows, no message box (a file that was
// unreadable at start is left alone, as at a close), no exception let out.
void SaveAtExit() {
    if (FormZiffa == nullptr || FormZiffa->Closed() || !FormZiffa->SettingsRead() ||
        QThread::currentThread() != FormZiffa->thread())
        return;
    try {
        FormZiffa->FormClose();
    } catch (...) {
        // Given up, as a failed save always is.
    }
}

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

void RunWindows(const WindowedCommand &command) {
    QStringList expression;
    if (command.expression)
        expression.append(QString::fromStdString(*command.expression));
    const SessionEnd sessionEnd(CloseForSessionEnd, SaveForSessionEnd);
    [[maybe_unused]] static const bool savesAtExit = std::atexit(SaveAtExit) == 0;
    InstallAccessibleWindows();
    CalculatorWindow formZiffa(expression);
    VariablesWindow formVariables;
    ChartWindow formWykres;
    if (command.chart)
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
        // What Qt has left of the command line after its own options, and after the program's name.
        std::vector<std::string> args;
        for (const QString &argument : QCoreApplication::arguments().mid(1))
            args.push_back(argument.toStdString());
        RunWindows(ParseWindowedCommandLine(args));
    });
}

} // namespace ziffa
