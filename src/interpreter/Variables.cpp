#include "interpreter/Variables.h"

#include "interpreter/NumberText.h"

#include <algorithm>
#include <optional>

namespace ziffa {

Variables BuildVariables(std::span<const VariableRow> rows, char separator) {
    Variables vars;
    for (const VariableRow &row : rows.first(std::min(rows.size(), kMaxVariables))) {
        const std::string_view name = TrimBlanks(row.name);
        const std::string_view value = TrimBlanks(row.value);
        if (name.empty() || value.empty())
            continue;
        const std::optional<double> number = ConvertRegionalNumber(value, separator);
        if (!number)
            continue;
        const auto slot = static_cast<std::size_t>(vars.count);
        vars.names[slot] = std::string(name);
        vars.values[slot] = *number;
        ++vars.count;
    }
    return vars;
}

} // namespace ziffa
