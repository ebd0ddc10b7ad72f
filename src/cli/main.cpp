// The ziffa command. The modes without a window (--eval, --eval -, --help) run here, in an
// executable that links no Qt; the windowed program and the pictures are loaded from the window
// library when they are asked for. A usage error of any mode is told here.
#include "cli/Headless.h"
#include "cli/WindowLibrary.h"
#include "system/LocaleSeparator.h"
#include "system/StandardDescriptors.h"

#include <iostream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

int main(int argc, char *argv[]) {
    ziffa::ReserveStandardDescriptors();
    const std::vector<std::string> args(argv + 1, argv + argc);
    ziffa::CommandLine commandLine = ziffa::ParseCommandLine(args);
    if (ziffa::NeedsWindowLibrary(commandLine))
        return ziffa::RunWindowLibrary(argc, argv, commandLine, std::cerr);
    return ziffa::ExitCode(ziffa::RunHeadless(std::move(commandLine),
                                              ziffa::LocaleDecimalSeparator(), STDIN_FILENO,
                                              STDOUT_FILENO, std::cerr));
}
