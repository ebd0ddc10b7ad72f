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

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/NameIndex.h"
#include "system/WholeFile.h"

namespace ziffa {

class IniStore {
public:
    // An empty store that belongs to no file.
    IniStore() = default;

    // Opens the store on a file and reads all of it now. A missing file gives an empty store.
    // journalFolder is where Save() keeps the journal that makes writing the file in place safe
    // (see ReplaceFile); a save of the file that was killed part way is finished from it first
    // (RecoverInterruptedReplace). Without one, the file is only ever replaced whole through a
    // temporary file beside it. The file is read under its lock, never while another process
    // writes it in place (ReadWholeFileLocked). Throws FileError when the file exists but can't be
    // read, which includes a file larger than kMaxReadFileSize and one that another process is
    // still writing in place after a wait, and when an interrupted save can't be finished. Time
    // and memory grow in proportion to the file.
    explicit IniStore(std::filesystem::path fileName, std::filesystem::path journalFolder = {});

    // A store holding the given file text, belonging to no file. Throws std::length_error for a
    // text of 2 GB or more.
    static IniStore FromText(std::string text);

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
    // holding "=" or starting with ";" or "[". Throws std::length_error past 2 GB of written text.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The whole store as the file text Save() writes: each section's "[name]" line, its lines,
    // then one empty line.
    std::string Text() const;

    // Writes Text() to the file (see ReplaceFile): the old file stays whole on any failure, or
    // (written in place) is finished at the next opening. Throws FileError when the write fails,
    // std::logic_error for a store with no file.
    void Save() const;

private:
    // A stretch of the store's bytes: of the file's text, or with kWritten set, of the texts
    // written since. Offsets rather than pointers keep a store valid when moved or copied.
    struct Span {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };
    static constexpr std::uint32_t kWritten = 0x80000000u;

    // One line of a section: a key with its value, or any other text kept as it stands.
    struct Line {
        Span key; // for a line that is no key: its whole text
        Span value;
        bool isKey = true;
    };

    struct Section {
        Span name;
        std::vector<Line> lines;
        NameIndex keys; // each key's first line
    };

    void Parse();
    std::string_view View(Span span) const;
    Span SpanOf(std::string_view partOfText) const;
    Span AppendWritten(std::string_view bytes);
    std::optional<std::uint32_t> FindSection(std::string_view name) const;
    const Line *FindLine(std::string_view section, std::string_view key) const;
    Section &SectionForWriting(std::string_view name);

    std::filesystem::path fileName_;
    std::filesystem::path journalFolder_;
    std::string text_;    // the file's bytes as read
    std::string written_; // every name and value written since
    std::vector<Section> sections_;
    NameIndex sectionIndex_;
};

} // namespace ziffa
