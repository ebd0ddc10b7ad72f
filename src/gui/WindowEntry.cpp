// The entry of the window library, the one symbol it exports: the windowed program, or a picture
// drawn without a display.
#include "cli/ExceptionText.h"
#include "cli/ExitStatus.h"
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
#include <variant>
#include <vector>

namespace {

// Standard output after a picture: what couldn't be written is reported like a failed write in
// the headless modes.
ziffa::ExitStatus FinishStandardOutput(ziffa::ExitStatus status) {
    // The first failing flush, of the stream or of stdio beneath it, leaves the reason in errno.
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && std::ferror(stdout) == 0 && !std::cout.fail())
        return status;
    std::cerr << "ziffa: nie można zapisać standardowego wyjścia"
              << (error != 0 ? ": " + ziffa::ErrnoText(error) : std::string()) << '\n';
    return ziffa::ExitStatus::IoError;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
ziffa_window_main(int argc, char **argv, const char *executable,
                  const ziffa::CommandLine &commandLine) {
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
        if (const auto *picture = std::get_if<ziffa::PictureCommand>(&commandLine)) {
            // Standard output is written out once, at the end, where a failure is caught with
            // its reason; standard error, tied to it, would flush it early and lose the reason.
            std::cerr.tie(nullptr);
            return ziffa::ExitCode(FinishStandardOutput(
                ziffa::RunPlot(argc, arguments.data(), *picture, ziffa::LocaleDecimalSeparator(),
                               std::cout, std::cerr)));
        }
        return ziffa::RunApplication(argc, arguments.data());
    } catch (const std::exception &e) {
        std::cerr << "ziffa: " << ziffa::ExceptionText(e) << '\n';
        return ziffa::ExitCode(ziffa::ExitStatus::Software);
    }
}
