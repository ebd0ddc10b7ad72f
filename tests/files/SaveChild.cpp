// The settings save as a process of its own, for tests that kill it at any moment: it opens the
// store as the program's start does (finishing an interrupted save), writes a session and saves.
//   ziffa_save_child FILE JOURNAL_FOLDER MEGABYTES LETTER
// It prints "saving" on standard output as the save begins. Exit status 0 saved, 1 a file error.
#include "SessionText.h"

#include "settings/IniStore.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char **argv) {
    if (argc != 5)
        return 64;
    try {
        ziffa::IniStore store(argv[1], argv[2]);
        ziffa::test::WriteSession(store, std::stoul(argv[3]) << 20, argv[4][0]);
        std::fputs("saving\n", stdout);
        std::fflush(stdout);
        store.Save();
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
