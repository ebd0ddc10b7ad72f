#pragma once

#include <string>
#include <string_view>

namespace ziffa {

// Removes a UTF-8 byte-order mark from the start of a text, which editors on some systems put at
// the start of a file: it marks the text as UTF-8 and is no part of it.
inline void SkipByteOrderMark(std::string &text) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    if (std::string_view(text).starts_with(kMark))
        text.erase(0, kMark.size());
}

} // namespace ziffa
