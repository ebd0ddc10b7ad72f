#pragma once

// The points file of the graph component: its opening and the reading of its numbers. Plain C++
// and POSIX, no Qt.

#include <array>
#include <memory>
#include <optional>
#include <streambuf>
#include <string_view>
#include <vector>

namespace ziffa {

// Reads the numbers of a points file: decimal numbers separated by white space, each an
// optional sign, digits with an optional "." and an optional exponent. Reading ends for good at
// the first thing that is not such a number (a decimal comma among them), at a number beyond the
// float range, and at the end of the data. Independent of the process's locale.
class PointsReader {
public:
    explicit PointsReader(std::streambuf &source) : source_(source) {}

    // The next number, or nothing once reading has ended.
    std::optional<float> NextNumber();
    // The next three numbers in file order, or nothing when fewer than three are left.
    std::optional<std::array<float, 3>> NextTriple();

private:
    std::streambuf &source_;
    bool ended_ = false;
};

// Converts a number that matches the grammar above. Nothing for text that doesn't match whole
// or for a value beyond the float range; a value too small for a float becomes 0 (or the nearest
// subnormal).
std::optional<float> ParsePointNumber(std::string_view text);

// One point of a points file: its three numbers in file order.
using PointTriple = std::array<float, 3>;

// Reads every remaining point.
std::vector<PointTriple> ReadAllPoints(PointsReader &reader);

// A points file open for reading.
class PointsFile {
public:
    // Opens a file by its name as the file system spells it: its own bytes, used as they are
    // (what the command line gives, or QFile::encodeName of a QString). Nothing when it can't be
    // opened: missing, unreadable, a folder, an empty name or one holding a zero byte. A FIFO
    // waits for a writer, as any reader does.
    static std::optional<PointsFile> Open(std::string_view fileName);

    PointsFile(PointsFile &&) noexcept;
    PointsFile &operator=(PointsFile &&) noexcept;
    ~PointsFile();

    // Whether opening the name again reads the same data from its start, as for a regular file.
    // A pipe, a terminal or a socket gives its data only once.
    bool CanReadAgain() const noexcept;
    // The file's bytes, from its start. A failure to read ends them.
    std::streambuf &Data() noexcept;

private:
    class Buffer;
    explicit PointsFile(std::unique_ptr<Buffer> buffer);
    std::unique_ptr<Buffer> buffer_;
};

} // namespace ziffa
