// The one reader of the command line: which mode each command line asks for, and the options it
// gives that mode.
#include "cli/CommandLine.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ziffa {
namespace {

// The mode a parsed command line asks for, by name; a usage error names its message.
std::string ModeOf(const CommandLine &commandLine) {
    if (std::holds_alternative<WindowedCommand>(commandLine))
        return "windowed";
    if (std::holds_alternative<EvaluateCommand>(commandLine))
        return "eval";
    if (std::holds_alternative<HelpCommand>(commandLine))
        return "help";
    if (std::holds_alternative<PictureCommand>(commandLine))
        return "picture";
    return "usage: " + std::get<UsageError>(commandLine).message;
}

struct ModeCase {
    std::vector<std::string> args;
    std::string mode;
    bool windowLibrary;
};

TEST(CommandLine, WhichModeAndWhetherItNeedsTheWindowLibrary) {
    const std::vector<ModeCase> cases = {
        {{"--eval", "1"}, "eval", false},
        {{"--eval", "-", "--var", "x=1"}, "eval", false},
        {{"--help"}, "help", false},
        {{"--eval", "1", "-h"}, "help", false},
        // A usage error is told without windows, whichever mode's rules found it.
        {{"--frobnicate"}, "usage: nieznany argument: --frobnicate", false},
        {{"--eval", "1", "--plot"}, "usage: nieznany argument: --eval", false},
        {{"--plot", "x"}, "usage: brak opcji --output", false},
        {{}, "windowed", true},
        {{"-2+3"}, "windowed", true},
        {{"-h"}, "windowed", true},
        {{"2+2", "--eval"}, "windowed", true},
        {{"--chart"}, "windowed", true},
        {{"--chart", "1+1"}, "windowed", true},
        {{"--plot", "x*y", "--output", "a.png"}, "picture", true},
        {{"--output", "a.png", "--points", "p.txt"}, "picture", true},
    };
    for (const ModeCase &c : cases) {
        const std::string line = testing::PrintToString(c.args);
        const CommandLine commandLine = ParseCommandLine(c.args);
        EXPECT_EQ(ModeOf(commandLine), c.mode) << line;
        EXPECT_EQ(NeedsWindowLibrary(commandLine), c.windowLibrary) << line;
    }
}

TEST(CommandLine, TheWindowedProgramTakesChartFirstAndThenItsExpression) {
    const struct {
        std::vector<std::string> args;
        bool chart;
        std::optional<std::string> expression;
    } cases[] = {
        {{}, false, std::nullopt},
        {{"--chart"}, true, std::nullopt},
        {{"--chart", " 2*3 ", "4"}, true, " 2*3 "},
        {{"1+1", "--chart"}, false, "1+1"},
        {{"--chart", "--chart"}, true, "--chart"},
    };
    for (const auto &c : cases) {
        const WindowedCommand command = ParseWindowedCommandLine(c.args);
        EXPECT_EQ(command.chart, c.chart) << testing::PrintToString(c.args);
        EXPECT_EQ(command.expression, c.expression) << testing::PrintToString(c.args);
    }
}

TEST(CommandLine, EvalKeepsItsVariableRowsInOrder) {
    const CommandLine commandLine =
        ParseCommandLine(std::vector<std::string>{"--var", "b=2", "--eval", "a+b", "--var", "a"});
    const auto *command = std::get_if<EvaluateCommand>(&commandLine);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->expression, "a+b");
    EXPECT_EQ(command->variableRows, (std::vector<std::string>{"b=2", "a"}));
}

TEST(CommandLine, PictureSizes) {
    const struct {
        const char *size; // nullptr: no --size
        int width;        // 0: refused
        int height;
    } cases[] = {
        {nullptr, 556, 424}, {"300x200", 300, 200}, {"1X16384", 1, 16384}, {"0x10", 0, 0},
        {"10x16385", 0, 0},  {"10", 0, 0},          {"x10", 0, 0},         {"10x", 0, 0},
        {"+5x5", 0, 0},      {" 5x5", 0, 0},        {"5x5x5", 0, 0},       {"5.0x5", 0, 0},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"--points", "p.txt", "--output", "a.png"};
        if (c.size != nullptr)
            args.insert(args.end(), {"--size", c.size});
        const CommandLine commandLine = ParseCommandLine(args);
        const auto *command = std::get_if<PictureCommand>(&commandLine);
        const std::string size = c.size != nullptr ? c.size : "(none)";
        if (c.width == 0) {
            EXPECT_EQ(command, nullptr) << size;
            continue;
        }
        ASSERT_NE(command, nullptr) << size;
        EXPECT_EQ(command->width, c.width) << size;
        EXPECT_EQ(command->height, c.height) << size;
        EXPECT_EQ(command->points, "p.txt");
        EXPECT_EQ(command->function, std::nullopt);
        EXPECT_EQ(command->output, "a.png");
    }
}

} // namespace
} // namespace ziffa
