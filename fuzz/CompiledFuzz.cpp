// The compiled form (machine code and interpreter) against the recursive reference evaluator on
// arbitrary bytes. The first byte chooses the decimal separator, the second the variables (their
// number and, from the following bytes, their names and values); the rest is the text. Any
// difference in value bits, error code, position or FloatFault aborts.
#include "Differential.h"

#include "interpreter/ExpressionText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

const char *const kNames[] = {"x", "y", "0", "5", "sin", "pi", "12", "", ".", "a1"};

double Value(std::uint8_t b) {
    const double inf = std::numeric_limits<double>::infinity();
    // From 134217727 on: a square or a cube exactly halfway between two doubles (where "^" must
    // call the power function), full mantissas, and powers at the edges of the double range.
    const double table[] = {0,         -0.0,       1,      -1,      2.5, 1e308,  -1e308, 5e-324,
                            NAN,       inf,        -inf,   0.5,     3,   1755,   200,    1e154,
                            134217727, -134217727, 262143, -262143, 0.1, 1e-300, -1.1,   1e102};
    constexpr int kTable = static_cast<int>(std::size(table));
    return b < kTable ? table[b] : (static_cast<double>(b) - 128) / 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t choice = data[0] & 3;
    ziffa::ExprDecimalSeparator = choice == 2   ? ','
                                  : choice == 3 ? static_cast<char>(data[1])
                                                : '.';
    std::size_t at = 2;
    ziffa::reference::Variables vars;
    std::vector<double> second;
    const int count = data[1] % 6;
    for (int i = 0; i < count && at + 1 < size; ++i, at += 2) {
        vars.names.push_back(kNames[data[at] % std::size(kNames)]);
        vars.values.push_back(Value(data[at + 1]));
        second.push_back(Value(static_cast<std::uint8_t>(data[at + 1] ^ data[at])));
    }
    const std::string_view text(reinterpret_cast<const char *>(data + at), size - at);
    const std::string difference = ziffa::reference::Compare(text, vars, {vars.values, second});
    if (!difference.empty()) {
        std::fprintf(stderr, "DIFFERENCE: %s\n", difference.c_str());
        std::abort();
    }
    return 0;
}
