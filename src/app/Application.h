#pragma once

#include <functional>

namespace ziffa {

// Starts the windowed program: the application object, the three windows, the message loop.
// Returns the process's exit code, which is 0 however the program ends.
int RunApplication(int &argc, char **argv);

// Runs the start-up and the message loop: an exception that escapes them is shown in the
// standard exception box, and the program still ends normally. Returns the exit code, 0.
int RunStartup(const std::function<void()> &startAndLoop);

} // namespace ziffa
