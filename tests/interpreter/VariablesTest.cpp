#include "interpreter/Variables.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ziffa {
namespace {

TEST(Variables, ValidRowsArePackedToTheFrontInOrder) {
    // Windows-1250 text: "\xBF" is "ż". Rows after the fifth are not read.
    const std::vector<VariableRow> rows = {
        {"\t a ", " 1,5\t"}, {"", "2"}, {"b", ""}, {"c", "1.5"}, {"\xBF", "-2e3"}, {"d", "7"},
    };
    const Variables vars = BuildVariables(rows, ',');
    ASSERT_EQ(vars.count, 2);
    EXPECT_EQ(vars.names[0], "a");
    EXPECT_EQ(vars.values[0], 1.5);
    EXPECT_EQ(vars.names[1], "\xBF");
    EXPECT_EQ(vars.values[1], -2000.0);
}

TEST(Variables, AValueBeyondDoubleOrWithTheOtherSeparatorIsLeftOut) {
    const std::vector<VariableRow> rows = {{"x", "1e400"}, {"y", "0,5"}, {"z", "0.25"}};
    const Variables vars = BuildVariables(rows, '.');
    ASSERT_EQ(vars.count, 1);
    EXPECT_EQ(vars.names[0], "z");
    EXPECT_EQ(vars.values[0], 0.25);
}

} // namespace
} // namespace ziffa
