#include "settings/NameIndex.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace ziffa {
namespace {

TEST(NameIndex, FindsEveryNameIgnoringAsciiCase) {
    std::vector<std::string> names;
    for (int i = 0; i < 50000; ++i) {
        names.push_back("Key" + std::to_string(i));
    }
    const auto nameAt = [&](std::uint32_t i) -> std::string_view { return names[i]; };
    NameIndex index;
    for (std::uint32_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(index.FindOrInsert(names[i], i, nameAt), i);
    }
    EXPECT_EQ(index.size(), names.size());
    for (std::uint32_t i = 0; i < names.size(); i += 7) {
        std::string upper = names[i];
        for (char &c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        EXPECT_EQ(index.Find(upper, nameAt), i) << upper;
    }
    EXPECT_EQ(index.Find("Key50000", nameAt), std::nullopt);
    EXPECT_EQ(index.Find("", nameAt), std::nullopt);
}

TEST(NameIndex, FirstPositionOfANameStays) {
    const std::vector<std::string> names = {"Width", "WIDTH", "width", "Left"};
    const auto nameAt = [&](std::uint32_t i) -> std::string_view { return names[i]; };
    NameIndex index;
    const std::vector<std::uint32_t> expected = {0, 0, 0, 3};
    for (std::uint32_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(index.FindOrInsert(names[i], i, nameAt), expected[i]) << names[i];
    }
    EXPECT_EQ(index.size(), 2u);
}

TEST(NameIndex, CaseFoldingIsAsciiOnly) {
    EXPECT_TRUE(EqualIgnoringCase("Calculator", "cALCULATOR"));
    EXPECT_FALSE(EqualIgnoringCase("\xa5", "\xb9")); // Windows-1250 capital and small a-ogonek
    EXPECT_FALSE(EqualIgnoringCase("a", "a "));
    EXPECT_EQ(CaseInsensitiveHash("ChartEntries"), CaseInsensitiveHash("CHARTENTRIES"));
}

} // namespace
} // namespace ziffa
