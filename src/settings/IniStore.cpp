#include "settings/IniStore.h"

#include "system/SafeReplace.h"
#include "system/WholeFile.h"

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

IniStore::IniStore(std::filesystem::path fileName, std::filesystem::path journalFolder)
    : fileName_(std::move(fileName)), journalFolder_(std::move(journalFolder)) {
    RecoverInterruptedReplace(fileName_, journalFolder_);
    text_ = ReadWholeFileLocked(fileName_).value_or(std::string());
    Parse();
}

IniStore IniStore::FromText(std::string text) {
    if (text.size() >= kWritten) {
        throw std::length_error("Plik ustawień ma 2 GB lub więcej");
    }
    IniStore store;
    store.text_ = std::move(text);
    store.Parse();
    return store;
}

std::string_view IniStore::View(Span span) const {
    const std::string &bytes = (span.offset & kWritten) != 0 ? written_ : text_;
    return std::string_view(bytes).substr(span.offset & ~kWritten, span.size);
}

IniStore::Span IniStore::SpanOf(std::string_view partOfText) const {
    return Span{static_cast<std::uint32_t>(partOfText.data() - text_.data()),
                static_cast<std::uint32_t>(partOfText.size())};
}

IniStore::Span IniStore::AppendWritten(std::string_view bytes) {
    if (bytes.size() >= kWritten - written_.size()) {
        throw std::length_error("Ustawienia do zapisania przekraczają 2 GB");
    }
    const Span span{static_cast<std::uint32_t>(written_.size()) | kWritten,
                    static_cast<std::uint32_t>(bytes.size())};
    written_.append(bytes);
    return span;
}

void IniStore::Parse() {
    const auto sectionName = [this](std::uint32_t i) { return View(sections_[i].name); };
    std::string_view rest = text_;
    Section *current = nullptr; // none before the first section
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = Strip(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.empty()) {
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string_view name = Strip(line.substr(1, line.size() - 2));
            const auto next = static_cast<std::uint32_t>(sections_.size());
            const std::uint32_t found = sectionIndex_.FindOrInsert(name, next, sectionName);
            if (found == next) {
                sections_.push_back(Section{SpanOf(name), {}, {}});
            }
            current = &sections_[found];
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        const std::size_t equals = line.front() == ';' ? std::string_view::npos : line.find('=');
        if (equals == std::string_view::npos) {
            current->lines.push_back(Line{SpanOf(line), {}, false});
            continue;
        }
        const std::string_view key = Strip(line.substr(0, equals));
        const auto position = static_cast<std::uint32_t>(current->lines.size());
        current->keys.FindOrInsert(key, position,
                                   [&](std::uint32_t i) { return View(current->lines[i].key); });
        current->lines.push_back(Line{SpanOf(key), SpanOf(Strip(line.substr(equals + 1))), true});
    }
}

std::optional<std::uint32_t> IniStore::FindSection(std::string_view name) const {
    return sectionIndex_.Find(name, [this](std::uint32_t i) { return View(sections_[i].name); });
}

const IniStore::Line *IniStore::FindLine(std::string_view section, std::string_view key) const {
    const auto s = FindSection(section);
    if (!s) {
        return nullptr;
    }
    const Section &found = sections_[*s];
    const auto k = found.keys.Find(key, [&](std::uint32_t i) { return View(found.lines[i].key); });
    return k ? &found.lines[*k] : nullptr;
}

IniStore::Section &IniStore::SectionForWriting(std::string_view name) {
    if (const auto s = FindSection(name)) {
        return sections_[*s];
    }
    sections_.push_back(Section{AppendWritten(name), {}, {}});
    const auto position = static_cast<std::uint32_t>(sections_.size() - 1);
    sectionIndex_.FindOrInsert(name, position,
                               [this](std::uint32_t i) { return View(sections_[i].name); });
    return sections_.back();
}

bool IniStore::SectionExists(std::string_view section) const {
    return FindSection(section).has_value();
}

bool IniStore::KeyExists(std::string_view section, std::string_view key) const {
    return FindLine(section, key) != nullptr;
}

std::string IniStore::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    const Line *line = FindLine(section, key);
    return std::string(line != nullptr ? View(line->value) : defaultValue);
}

int IniStore::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const Line *line = FindLine(section, key);
    if (line == nullptr) {
        return defaultValue;
    }
    return ParseInteger(View(line->value)).value_or(defaultValue);
}

bool IniStore::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniStore::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    CheckSectionName(section);
    CheckKeyName(key);
    Section &target = SectionForWriting(section);
    const auto keyName = [&](std::uint32_t i) { return View(target.lines[i].key); };
    Line *line = nullptr;
    if (const auto k = target.keys.Find(key, keyName)) {
        line = &target.lines[*k];
    } else {
        target.lines.push_back(Line{AppendWritten(key), {}, true});
        target.keys.FindOrInsert(key, static_cast<std::uint32_t>(target.lines.size() - 1), keyName);
        line = &target.lines.back();
    }
    // A value written before is overwritten where it fits, so that writing one key again and
    // again doesn't grow the store.
    if ((line->value.offset & kWritten) != 0 && value.size() <= line->value.size) {
        line->value.size = static_cast<std::uint32_t>(value.size());
        std::copy(value.begin(), value.end(), written_.begin() + (line->value.offset & ~kWritten));
    } else {
        line->value = AppendWritten(value);
    }
    const auto begin = written_.begin() + (line->value.offset & ~kWritten);
    std::replace(begin, begin + line->value.size, '\r', ' ');
    std::replace(begin, begin + line->value.size, '\n', ' ');
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
        size += section.name.size + 4;
        for (const Line &line : section.lines) {
            size += line.key.size + line.value.size + 2;
        }
    }
    std::string text;
    text.reserve(size);
    for (const Section &section : sections_) {
        text.append("[").append(View(section.name)).append("]\n");
        for (const Line &line : section.lines) {
            text.append(View(line.key));
            if (line.isKey) {
                text.append("=").append(View(line.value));
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
    ReplaceFile(fileName_, Text(), journalFolder_);
}

} // namespace ziffa
