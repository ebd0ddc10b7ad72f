#pragma once

#include "cli/CommandLine.h"

class QCoreApplication;

#include <functional>

namespace ziffa {

// Starts the windowed program: the application object, which takes Qt's own options out of the
// command line, then the three windows as the rest of it asks, and the message loop. Returns the
// process's exit code, which is 0 however the program ends.
int RunApplication(int &argc, char **argv);

// Creates the three windows in their order (calculator, variables, chart), shows the calculator
// window and runs the message loop until the calculator window closes; then destroys the
// windows. The command may switch on the chart mode that draws, and give an expression that the
// calculator window calculates as it is first shown. The end of the session (SIGTERM, SIGHUP,
// SIGINT) closes the calculator window as its close box does, and the session manager's request
// before a logout saves (see SessionEnd). Needs a QApplication.
void RunWindows(const WindowedCommand &command);

// Qt's own texts in Polish, as the whole interface is, whatever the user's locale: the file
// dialog, the edit boxes' menu, the buttons of the message boxes. Without Debian's
// qt6-translations-l10n they stay English.
void InstallPolishTranslations(QCoreApplication &application);

// Runs the start-up and the message loop: an exception that escapes them is shown in the
// standard exception box, and the program still ends normally. Returns the exit code, 0.
int RunStartup(const std::function<void()> &startAndLoop);

} // namespace ziffa
