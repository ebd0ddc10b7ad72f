// The entry of the window library, the one symbol it exports: the windowed program, or a picture
// drawn without a display.
#include "cli/Headless.h"
#include "cli/WindowLibrary.h"
#include "gui/Application.h"
#include "gui/Plot.h"
#include "system/ErrnoText.h"
#include "system/LocaleSeparator.h"
#include "system/StandardDescriptors.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <type_traits>
#include <vector>

namespace {

// Standard output after a picture: what couldn't be written is reported like a failed write in
// the headless modes.
int FinishStandardOutput(int status) {
    // The first failing flush, of the stream or of stdio beneath it, leaves the reason in errno.
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && std::ferror(stdout) == 0 && !std::cout.fail())
        return status;
    std::cerr << "ziffa: nie można zapisać standardowego wyjścia"
              << (error != 0 ? ": " + ziffa::ErrnoText(error) : std::string()) << '\n';
    return ziffa::StatusIoError;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int ziffa_window_main(int argc, char **argv,
                                                                        const char *executable) {
    static_assert(std::is_same_v<decltype(&ziffa_window_main), ziffa::WindowLibraryEntry>);
    // The executable has done so already; a library entry makes sure of it all the same.
    ziffa::ReserveStandardDescriptors();
    try {
        // Qt names the program after /proc/self/exe, or after argv[0] where /proc is missing:
        // argv[0] becomes the executable's full path, so the settings file is named after it.
        std::string program = executable != nullptr ? executable : "";
        std::vector<char *> arguments(argv, argv + argc);
        if (!program.empty() && !arguments.empty())
            arguments[0] = program.data();
        arguments.push_back(nullptr);
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        if (ziffa::IsPictureCommandLine(args)) {
            // Standard output is written out once, at the end, where a failure is caught with
            // its reason; standard error, tied to it, would flush it early and lose the reason.
            std::cerr.tie(nullptr);
            return FinishStandardOutput(ziffa::RunPlot(argc, arguments.data(), args,
                                                       ziffa::LocaleDecimalSeparator(), std::cout,
                                                       std::cerr));
        }
        return ziffa::RunApplication(argc, arguments.data());
    } catch (const std::exception &e) {
        std::cerr << "ziffa: " << ziffa::ExceptionText(e) << '\n';
        return 70; // EX_SOFTWARE
    }
}
