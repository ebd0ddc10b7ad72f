#pragma once

#include "cli/ExitStatus.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace ziffa {

// The usage text of every mode, printed by --help and after a usage error.
std::string UsageText();

// Tells a usage error on err: "ziffa: " and what is wrong, an empty line, the usage text.
// Returns ExitStatus::Usage.
ExitStatus ReportUsageError(std::string_view message, std::ostream &err);

} // namespace ziffa
