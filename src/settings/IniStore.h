#pragma once

// An INI file held whole in memory: read once when the store is opened, changed in memory by
// the writes, written back whole by Save().
//
// Text form. Lines end with LF; a CR before it is a blank and goes with the stripping. Every line
// is stripped of surrounding blanks (characters 0 to 32). Empty lines and lines before the first
// section are dropped. "[name]" opens the section name (stripped); a section that appears twice
// continues where its first appearance left off. Inside a section a line with "=" is a key (the
// stripped text before the first "=") and its value (the stripped text after it). Other lines
// of a section, such as ";" comments, are no keys but are kept in place and written back.
//
// Section and key names match ignoring ASCII letter case. Where a key stands twice in a section,
// the first one is read and written; the other stays as it is. Writing an existing key replaces
// its value where it stands, a new key goes to the end of its section and a new section to the
// end of the file. Nothing is ever deleted.
//
// Bytes are kept as they are: the program's texts are Windows-1250 and are never converted here.

#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "settings/FileIo.h"

namespace ziffa {

class IniStore {
public:
    // An empty store that belongs to no file.
    IniStore();

    // Opens the store on a file and reads all of it now. A missing file gives an empty store.
    // Throws FileError when the file exists but can't be read (see ReadWholeFile).
    explicit IniStore(std::filesystem::path fileName);

    // A store holding the given file text, belonging to no file.
    static IniStore FromText(std::string text);

    IniStore(IniStore &&);
    IniStore &operator=(IniStore &&);
    IniStore(const IniStore &) = delete;
    IniStore &operator=(const IniStore &) = delete;
    ~IniStore();

    const std::filesystem::path &FileName() const noexcept { return fileName_; }

    bool SectionExists(std::string_view section) const;
    bool KeyExists(std::string_view section, std::string_view key) const;

    // The value of a key, or the default when the key is absent.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // The value read as an integer: an optional sign and decimal digits, or hexadecimal digits
    // after "0x" or "0X". An absent key, any other text and a number beyond the int range give
    // the default.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;

    // ReadInteger with the default 1 or 0; any non-zero integer is true.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Sets a key's value. A line break in the value would start a new line in the file, so each
    // CR and LF in it is written as a space. Throws std::invalid_argument for a section or key
    // name that the file couldn't give back: one with a line break or surrounding blanks, a key
    // holding "=" or starting with ";" or "[".
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The whole store as the file text Save() writes: each section's "[name]" line, its lines,
    // then one empty line.
    std::string Text() const;

    // Writes Text() to the file (see ReplaceFile): the old file stays whole on any failure.
    // Throws FileError when the write fails, std::logic_error for a store with no file.
    void Save() const;

private:
    struct Line;
    struct Section;
    struct CaseInsensitiveHash {
        std::size_t operator()(std::string_view text) const noexcept;
    };
    struct CaseInsensitiveEqual {
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };
    using NameIndex = std::unordered_map<std::string_view, std::size_t, CaseInsensitiveHash,
                                         CaseInsensitiveEqual>;

    void Parse();
    const Line *FindLine(std::string_view section, std::string_view key) const;
    Section &SectionForWriting(std::string_view name);
    std::string_view Keep(std::string_view text);

    std::filesystem::path fileName_;
    // Every text the lines refer to: the file's bytes as read, then the names written since. A
    // deque keeps each string in place as it grows and when the store is moved.
    std::deque<std::string> texts_;
    std::vector<Section> sections_;
    NameIndex sectionIndex_;
};

} // namespace ziffa
