#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace ziffa {

// The most variables an evaluation takes: the variables window's five rows, or five --var
// options.
inline constexpr std::size_t kMaxVariables = 5;

// One row of a name and a value, as typed: Windows-1250 text.
struct VariableRow {
    std::string_view name;
    std::string_view value;
};

// The variables an evaluation receives: the first count names and values.
struct Variables {
    std::array<std::string, kMaxVariables> names;
    std::array<double, kMaxVariables> values{};
    int count = 0;
};

// The variables of up to kMaxVariables rows (the rest are not read): each row's name and value
// are trimmed, and a row with an empty name, an empty value or a value that doesn't convert
// with the separator is left out, so the valid rows are packed to the front in row order.
Variables BuildVariables(std::span<const VariableRow> rows, char separator);

} // namespace ziffa
