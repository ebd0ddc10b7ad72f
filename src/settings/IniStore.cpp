#include "settings/IniStore.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace ziffa {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Strip(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// The whole text as an int: [+|-]decimal digits, or "0x"/"0X" and hexadecimal digits.
std::optional<int> ParseInteger(std::string_view text) {
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
        if (text.empty() || !IsHexDigit(text.front())) {
            return std::nullopt;
        }
    } else {
        // from_chars takes a "-" but no "+"; what follows either sign must be a digit.
        const bool plus = !text.empty() && text.front() == '+';
        if (plus) {
            text.remove_prefix(1);
        }
        const std::size_t firstDigit = !plus && !text.empty() && text.front() == '-' ? 1 : 0;
        if (text.size() <= firstDigit || !IsDecimalDigit(text[firstDigit])) {
            return std::nullopt;
        }
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

void CheckNameCommon(std::string_view name, const char *what) {
    if (name.find_first_of("\r\n") != std::string_view::npos || Strip(name) != name) {
        throw std::invalid_argument(std::string("An INI ") + what +
                                    " name can't hold line breaks or surrounding blanks");
    }
}

void CheckSectionName(std::string_view name) {
    CheckNameCommon(name, "section");
}

void CheckKeyName(std::string_view name) {
    CheckNameCommon(name, "key");
    if (name.find('=') != std::string_view::npos ||
        (!name.empty() && (name.front() == ';' || name.front() == '['))) {
        throw std::invalid_argument(
            "An INI key name can't hold \"=\" or start with \";\" or \"[\"");
    }
}

} // namespace

// One line of a section: a key with its value, or any other text kept as it stands.
struct IniStore::Line {
    std::string_view key; // for a line that is no key: its whole text
    std::string_view value;
    std::unique_ptr<std::string> writtenValue; // the value's bytes once the program wrote it
    bool isKey = true;
};

struct IniStore::Section {
    std::string_view name;
    std::vector<Line> lines;
    NameIndex keyIndex; // each key's first line
};

std::size_t IniStore::CaseInsensitiveHash::operator()(std::string_view text) const noexcept {
    // FNV-1a over the lower-cased bytes.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

bool IniStore::CaseInsensitiveEqual::operator()(std::string_view a,
                                                std::string_view b) const noexcept {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

IniStore::IniStore() {
    texts_.emplace_back();
}

IniStore::IniStore(std::filesystem::path fileName) : fileName_(std::move(fileName)) {
    texts_.push_back(ReadWholeFile(fileName_).value_or(std::string()));
    Parse();
}

IniStore IniStore::FromText(std::string text) {
    IniStore store;
    store.texts_.front() = std::move(text);
    store.Parse();
    return store;
}

IniStore::IniStore(IniStore &&) = default;
IniStore &IniStore::operator=(IniStore &&) = default;
IniStore::~IniStore() = default;

void IniStore::Parse() {
    std::string_view rest = texts_.front();
    std::optional<std::size_t> current; // the section being read; none before the first
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = Strip(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.empty()) {
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string_view name = Strip(line.substr(1, line.size() - 2));
            const auto [entry, added] = sectionIndex_.try_emplace(name, sections_.size());
            if (added) {
                sections_.push_back(Section{name, {}, {}});
            }
            current = entry->second;
            continue;
        }
        if (!current) {
            continue;
        }
        Section &section = sections_[*current];
        const std::size_t equals = line.front() == ';' ? std::string_view::npos : line.find('=');
        if (equals == std::string_view::npos) {
            section.lines.push_back(Line{line, {}, nullptr, false});
            continue;
        }
        const std::string_view key = Strip(line.substr(0, equals));
        section.keyIndex.try_emplace(key, section.lines.size());
        section.lines.push_back(Line{key, Strip(line.substr(equals + 1)), nullptr, true});
    }
}

const IniStore::Line *IniStore::FindLine(std::string_view section, std::string_view key) const {
    const auto s = sectionIndex_.find(section);
    if (s == sectionIndex_.end()) {
        return nullptr;
    }
    const Section &found = sections_[s->second];
    const auto k = found.keyIndex.find(key);
    return k == found.keyIndex.end() ? nullptr : &found.lines[k->second];
}

std::string_view IniStore::Keep(std::string_view text) {
    return texts_.emplace_back(text);
}

IniStore::Section &IniStore::SectionForWriting(std::string_view name) {
    if (const auto s = sectionIndex_.find(name); s != sectionIndex_.end()) {
        return sections_[s->second];
    }
    const std::string_view kept = Keep(name);
    sectionIndex_.emplace(kept, sections_.size());
    return sections_.emplace_back(Section{kept, {}, {}});
}

bool IniStore::SectionExists(std::string_view section) const {
    return sectionIndex_.find(section) != sectionIndex_.end();
}

bool IniStore::KeyExists(std::string_view section, std::string_view key) const {
    return FindLine(section, key) != nullptr;
}

std::string IniStore::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    const Line *line = FindLine(section, key);
    return std::string(line != nullptr ? line->value : defaultValue);
}

int IniStore::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const Line *line = FindLine(section, key);
    if (line == nullptr) {
        return defaultValue;
    }
    return ParseInteger(line->value).value_or(defaultValue);
}

bool IniStore::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniStore::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    CheckSectionName(section);
    CheckKeyName(key);
    Section &target = SectionForWriting(section);
    Line *line = nullptr;
    if (const auto k = target.keyIndex.find(key); k != target.keyIndex.end()) {
        line = &target.lines[k->second];
    } else {
        const std::string_view kept = Keep(key);
        target.keyIndex.emplace(kept, target.lines.size());
        line = &target.lines.emplace_back(Line{kept, {}, nullptr, true});
    }
    if (!line->writtenValue) {
        line->writtenValue = std::make_unique<std::string>();
    }
    std::string &bytes = *line->writtenValue;
    bytes.assign(value);
    std::replace(bytes.begin(), bytes.end(), '\r', ' ');
    std::replace(bytes.begin(), bytes.end(), '\n', ' ');
    line->value = bytes;
}

void IniStore::WriteInteger(std::string_view section, std::string_view key, int value) {
    char digits[16];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    WriteString(section, key, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void IniStore::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

// Lines end with LF alone: the native form of text files here, and what the tools that people
// edit and compare such files with expect. Files with CRLF are read all the same.
std::string IniStore::Text() const {
    std::size_t size = 0;
    for (const Section &section : sections_) {
        size += section.name.size() + 4;
        for (const Line &line : section.lines) {
            size += line.key.size() + line.value.size() + 2;
        }
    }
    std::string text;
    text.reserve(size);
    for (const Section &section : sections_) {
        text.append("[").append(section.name).append("]\n");
        for (const Line &line : section.lines) {
            text.append(line.key);
            if (line.isKey) {
                text.append("=").append(line.value);
            }
            text.append("\n");
        }
        text.append("\n");
    }
    return text;
}

void IniStore::Save() const {
    if (fileName_.empty()) {
        throw std::logic_error("This INI store belongs to no file");
    }
    ReplaceFile(fileName_, Text());
}

} // namespace ziffa
