#pragma once

#include <array>
#include <fstream>
#include <optional>
#include <streambuf>
#include <string_view>

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

// Opens a points file for reading, its name given as Windows-1250 text. Nothing when it can't
// be opened (missing, unreadable, a folder).
std::optional<std::ifstream> OpenPointsFile(std::string_view fileName);

} // namespace ziffa
