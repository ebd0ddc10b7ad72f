#pragma once

// The words a user reads when the system refuses a file or a stream. Plain C++, no Qt.

#include <string>
#include <system_error>

namespace ziffa {

// The Polish text of an errno value, as it follows a colon in a message ("brak miejsca na
// urządzeniu"): lower case, without a full stop, in UTF-8. The failures a user meets when files
// and streams fail have texts of their own; any other value gives "błąd systemu N: " and the C
// library's text, so that nothing is lost.
std::string ErrnoText(int error);

// The same for an error code: errno values (the generic and the system categories) by
// ErrnoText, the codes of any other category by their own message.
std::string ErrorCodeText(const std::error_code &code);

} // namespace ziffa
