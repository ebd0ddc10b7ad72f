// The ziffa command. The modes without a window (--eval, --eval -, --help) run here, in an
// executable that links no Qt; the windowed program and the pictures are loaded from the window
// library when they are asked for.
#include "cli/Headless.h"
#include "cli/WindowLibrary.h"
#include "system/LocaleSeparator.h"
#include "system/StandardDescriptors.h"

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char *argv[]) {
    ziffa::ReserveStandardDescriptors();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (ziffa::NeedsWindowLibrary(args))
        return ziffa::RunWindowLibrary(argc, argv, std::cerr);
    return ziffa::RunHeadless(args, ziffa::LocaleDecimalSeparator(), STDIN_FILENO, STDOUT_FILENO,
                              std::cerr);
}
