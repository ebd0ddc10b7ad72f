#pragma once

// The settings of a session as the save test's processes write them: many keys of one letter, so
// that a file written part way over another mixes two letters and is neither file.

#include "settings/IniStore.h"

#include <cstddef>
#include <string>

namespace ziffa::test {

inline void WriteSession(IniStore &store, std::size_t bytes, char letter) {
    const std::string line(1000, letter);
    for (std::size_t i = 0; i * line.size() < bytes; ++i)
        store.WriteString("CalculatorEntries", std::to_string(i), line);
    store.WriteString("Calculator", "Memo1", std::string(1, letter));
}

// The file text that a save of the session writes over a file of the given text.
inline std::string SessionText(const std::string &before, std::size_t bytes, char letter) {
    IniStore store = IniStore::FromText(before);
    WriteSession(store, bytes, letter);
    return store.Text();
}

} // namespace ziffa::test
