#pragma once

namespace ziffa {

// The decimal separator of the user's locale as one Windows-1250 character, "." when the locale's
// separator can't be written in that code page.
char LocaleDecimalSeparator();

} // namespace ziffa
