#pragma once

namespace ziffa {

// Starts the windowed program: the application object, the three windows, the message loop.
// Returns the process's exit code.
int RunApplication(int &argc, char **argv);

} // namespace ziffa
