#include "system/ErrnoText.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

namespace ziffa {
namespace {

// Lower-case words of the Polish alphabet in UTF-8, with blanks and slashes between them.
bool PolishWords(std::string_view text) {
    constexpr std::string_view kPolishLetters[] = {"ą", "ć", "ę", "ł", "ń", "ó", "ś", "ź", "ż"};
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if ((c >= 'a' && c <= 'z') || c == ' ' || c == '/') {
            ++i;
            continue;
        }
        const auto *letter =
            std::find_if(std::begin(kPolishLetters), std::end(kPolishLetters),
                         [&](std::string_view l) { return text.substr(i).starts_with(l); });
        if (letter == std::end(kPolishLetters))
            return false;
        i += letter->size();
    }
    return !text.empty();
}

TEST(ErrnoText, FileAndStreamFailuresReadInPolish) {
    std::set<std::string> seen;
    for (const int error : {ENOSPC, EDQUOT, EROFS, EACCES, ENOENT, EISDIR, ENOTDIR, EFBIG, EIO,
                            EPIPE, ENAMETOOLONG, ELOOP}) {
        const std::string text = ErrnoText(error);
        SCOPED_TRACE(text);
        // It follows a colon in a message: no capital, no full stop, no number.
        EXPECT_TRUE(PolishWords(text));
        EXPECT_EQ(text.find(std::to_string(error)), std::string::npos);
        EXPECT_FALSE(text.ends_with(std::generic_category().message(error)));
        EXPECT_TRUE(seen.insert(text).second) << "two failures read alike";
    }
}

TEST(ErrnoText, OthersKeepTheNumberAndTheCLibrarysText) {
    std::set<std::string> seen;
    for (const int error : {ECHILD, EDOM, ERANGE, 0, -1, 123456}) {
        const std::string text = ErrnoText(error);
        EXPECT_NE(text.find(std::to_string(error)), std::string::npos) << text;
        EXPECT_TRUE(text.ends_with(std::generic_category().message(error))) << text;
        EXPECT_TRUE(seen.insert(text).second) << text;
    }
}

TEST(ErrnoText, ErrorCodesOfTheSystemAndOtherCategories) {
    EXPECT_EQ(ErrorCodeText(std::make_error_code(std::errc::no_space_on_device)),
              ErrnoText(ENOSPC));
    EXPECT_EQ(ErrorCodeText(std::error_code(EACCES, std::system_category())), ErrnoText(EACCES));
    // What the file system library reports comes through in the same words.
    std::error_code error;
    EXPECT_TRUE(std::filesystem::read_symlink("/nonexistent/ziffa", error).empty());
    EXPECT_EQ(ErrorCodeText(error), ErrnoText(ENOENT));
    // A code of another kind keeps its own message.
    const std::error_code future = std::make_error_code(std::future_errc::no_state);
    EXPECT_EQ(ErrorCodeText(future), future.message());
}

} // namespace
} // namespace ziffa
