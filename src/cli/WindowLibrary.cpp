#include "cli/WindowLibrary.h"

#include "cli/ExitStatus.h"
#include "cli/LibraryCheck.h"

#include <dlfcn.h>
#include <ostream>
#include <string>
#include <sys/auxv.h>
#include <system_error>
#include <unistd.h>

#ifndef ZIFFA_WINDOW_LIBRARY_DIR
#error "ZIFFA_WINDOW_LIBRARY_DIR: the library's folder relative to the executable's"
#endif
#ifndef ZIFFA_WINDOW_LIBRARY_FILE
#error "ZIFFA_WINDOW_LIBRARY_FILE: the library's file name"
#endif

namespace ziffa {

namespace fs = std::filesystem;

fs::path ExecutablePath() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    if (!error && path.is_absolute())
        return path;
    // Without /proc: the name given to execve, relative to the folder the program started in.
    const auto *name = reinterpret_cast<const char *>(getauxval(AT_EXECFN));
    if (name == nullptr || *name == '\0')
        return {};
    path = fs::weakly_canonical(fs::absolute(name, error), error);
    return error ? fs::path() : path;
}

std::vector<fs::path> WindowLibraryCandidates(const fs::path &executable) {
    const fs::path folder = executable.parent_path();
    return {folder / ZIFFA_WINDOW_LIBRARY_FILE,
            (folder / ZIFFA_WINDOW_LIBRARY_DIR / ZIFFA_WINDOW_LIBRARY_FILE).lexically_normal()};
}

int RunWindowLibrary(int argc, char **argv, const CommandLine &commandLine, std::ostream &err) {
    const fs::path executable = ExecutablePath();
    if (executable.empty()) {
        err << "ziffa: nie można ustalić ścieżki programu, a więc i jego biblioteki okien\n";
        return ExitCode(ExitStatus::NoWindowLibrary);
    }
    const std::vector<fs::path> candidates = WindowLibraryCandidates(executable);
    for (const fs::path &library : candidates) {
        void *handle = nullptr;
        {
            const LibraryFile file(library, ::geteuid());
            if (file.state() == LibraryFile::State::Missing)
                continue;
            if (file.state() != LibraryFile::State::Ready) {
                err << "ziffa: odrzucono bibliotekę okien \"" << library.native()
                    << "\": " << file.reason() << '\n';
                return ExitCode(ExitStatus::NoWindowLibrary);
            }
            // Lazy binding, as for the libraries an executable is linked with; local, so that
            // the library's copy of the core keeps to itself. Loaded through the descriptor that
            // was checked, which is closed once the library is mapped.
            handle = dlopen(file.loadName().c_str(), RTLD_LAZY | RTLD_LOCAL);
        }
        if (handle == nullptr) {
            // The loader's own words, which name the library or symbol that failed, have no
            // errno to put into Polish: they follow as the loader gives them.
            err << "ziffa: nie można wczytać biblioteki okien \"" << library.native()
                << "\"; program ładujący podaje: " << dlerror() << '\n';
            return ExitCode(ExitStatus::NoWindowLibrary);
        }
        const auto entry =
            reinterpret_cast<WindowLibraryEntry>(dlsym(handle, kWindowLibraryEntryName));
        if (entry == nullptr) {
            err << "ziffa: biblioteka okien \"" << library.native() << "\" nie ma punktu wejścia "
                << kWindowLibraryEntryName << '\n';
            return ExitCode(ExitStatus::NoWindowLibrary);
        }
        // The library stays loaded until the process ends: Qt's own exit handlers live in it.
        return entry(argc, argv, executable.c_str(), commandLine);
    }
    err << "ziffa: brak biblioteki okien; okna i obrazy potrzebują pliku \""
        << candidates.back().native() << "\"\n";
    return ExitCode(ExitStatus::NoWindowLibrary);
}

} // namespace ziffa
