#pragma once

#include <QStringList>

#include <functional>

namespace ziffa {

// Starts the windowed program: the application object, the three windows, the message loop.
// Returns the process's exit code, which is 0 however the program ends.
int RunApplication(int &argc, char **argv);

// Creates the three windows in their order (calculator, variables, chart), shows the calculator
// window and runs the message loop until the calculator window closes; then destroys the
// windows. commandLine: the arguments after the program's name; a first "--chart" switches on
// the chart mode that draws. Needs a QApplication.
void RunWindows(QStringList commandLine);

// Runs the start-up and the message loop: an exception that escapes them is shown in the
// standard exception box, and the program still ends normally. Returns the exit code, 0.
int RunStartup(const std::function<void()> &startAndLoop);

} // namespace ziffa
