#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace ziffa {

// The boundary between widget text and the core's 8-bit Windows-1250 text. A character that
// Windows-1250 can't hold becomes "?"; every byte decodes to exactly one character, so byte
// positions in the core are character positions in the widget.
std::string ToCp1250(const QString &text);
QString FromCp1250(std::string_view text);

} // namespace ziffa
