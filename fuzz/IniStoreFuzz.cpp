// The INI store on arbitrary file texts: load, edit, save and load again, and nothing that the
// file held is lost. Every key of the text (the first of its name in its section, names matched
// ignoring ASCII case) reads back as the text holds it, before and after the round trip; every
// key written reads back as written (line breaks as blanks, surrounding blanks stripped); and a
// text once loaded and saved loads and saves as itself. Any difference aborts.
#include "settings/IniStore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

std::string_view Strip(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

struct Entry {
    std::string section;
    std::string key;
    std::string value;
};

// What a file text holds, read by the rules written out plainly: each key once, the first of its
// name in its section.
using Keys = std::map<std::pair<std::string, std::string>, Entry>;

Keys KeysOf(std::string_view text) {
    Keys keys;
    std::optional<std::string> section;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Strip(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty())
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = std::string(Strip(line.substr(1, line.size() - 2)));
        } else if (section && line.front() != ';' && line.find('=') != std::string_view::npos) {
            const std::size_t equals = line.find('=');
            Entry entry{*section, std::string(Strip(line.substr(0, equals))),
                        std::string(Strip(line.substr(equals + 1)))};
            keys.try_emplace({Lower(entry.section), Lower(entry.key)}, std::move(entry));
        }
    }
    return keys;
}

std::string Escaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127 && c != '\\') {
            escaped += c;
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", byte);
            escaped += code;
        }
    }
    return escaped;
}

[[noreturn]] void Fail(const char *what, const Entry &entry, const std::string &found) {
    std::fprintf(stderr, "LOST: %s: [%s] %s expected \"%s\", found \"%s\"\n", what,
                 Escaped(entry.section).c_str(), Escaped(entry.key).c_str(),
                 Escaped(entry.value).c_str(), Escaped(found).c_str());
    std::abort();
}

void ExpectKeys(const ziffa::IniStore &store, const Keys &keys, const char *what) {
    for (const auto &[name, entry] : keys) {
        const std::string found = store.ReadString(entry.section, entry.key, "\x01missing");
        if (found != entry.value)
            Fail(what, entry, found);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<Entry> edits(input.ConsumeIntegralInRange<std::size_t>(0, 6));
    for (Entry &edit : edits) {
        edit.section = input.ConsumeRandomLengthString(12);
        edit.key = input.ConsumeRandomLengthString(12);
        edit.value = input.ConsumeRandomLengthString(40);
    }
    const std::string text = input.ConsumeRemainingBytesAsString();

    ziffa::IniStore store = ziffa::IniStore::FromText(text);
    Keys expected = KeysOf(text);
    ExpectKeys(store, expected, "loaded");

    for (const Entry &edit : edits) {
        try {
            store.WriteString(edit.section, edit.key, edit.value);
        } catch (const std::invalid_argument &) {
            continue; // a name that the file couldn't give back
        }
        std::string value = edit.value;
        for (char &c : value)
            if (c == '\r' || c == '\n')
                c = ' ';
        const auto name = std::make_pair(Lower(edit.section), Lower(edit.key));
        Entry &entry = expected[name];
        if (entry.section.empty() && entry.key.empty())
            entry = Entry{edit.section, edit.key, {}};
        entry.value = std::string(Strip(value));
    }

    const std::string saved = store.Text();
    const ziffa::IniStore reloaded = ziffa::IniStore::FromText(saved);
    ExpectKeys(reloaded, expected, "saved and loaded again");
    // Values lose their surrounding blanks as they are loaded; from then on a file saves as
    // itself.
    const std::string resaved = reloaded.Text();
    if (ziffa::IniStore::FromText(resaved).Text() != resaved) {
        std::fprintf(stderr, "CHANGED: a loaded text saves differently once loaded again\n%s\n",
                     Escaped(resaved).c_str());
        std::abort();
    }
    return 0;
}
