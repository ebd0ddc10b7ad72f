#include "cli/CommandLine.h"

#include "interpreter/Variables.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace ziffa {

namespace {

// The argument after the option at i, which the option takes: i moves onto it. Without one, the
// command line is refused with message.
const std::string &ValueOf(std::span<const std::string> args, std::size_t &i, std::string message) {
    if (i + 1 >= args.size())
        throw UsageError{std::move(message)};
    return args[++i];
}

// Reads "WxH" with both sides positive and at most 16384 pixels.
bool ParseSize(std::string_view text, int &width, int &height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return false;
    auto number = [](std::string_view s, int &value) {
        const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
        return r.ec == std::errc() && r.ptr == s.data() + s.size() && value > 0 && value <= 16384;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

PictureCommand ParsePicture(std::span<const std::string> args) {
    PictureCommand command;
    std::optional<std::string> output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--plot") {
            command.function = ValueOf(args, i, "--plot wymaga argumentu");
        } else if (a == "--output") {
            output = ValueOf(args, i, "--output wymaga argumentu");
        } else if (a == "--points") {
            command.points = ValueOf(args, i, "--points wymaga argumentu");
        } else if (a == "--size") {
            if (!ParseSize(ValueOf(args, i, "--size wymaga argumentu"), command.width,
                           command.height))
                throw UsageError{"--size przyjmuje SZEROKOŚĆxWYSOKOŚĆ, na przykład 556x424"};
        } else {
            throw UsageError{"nieznany argument: " + a};
        }
    }
    if (!command.function && !command.points)
        throw UsageError{"--plot wymaga funkcji"};
    if (!output)
        throw UsageError{"brak opcji --output"};
    command.output = std::move(*output);
    return command;
}

// --help (or -h), --eval and --var.
CommandLine ParseHeadless(std::span<const std::string> args) {
    bool help = false;
    std::optional<std::string> expression;
    std::vector<std::string> variableRows;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--eval") {
            const std::string &value = ValueOf(args, i, "--eval wymaga wyrażenia");
            if (expression)
                throw UsageError{"opcję --eval podano dwa razy"};
            expression = value;
        } else if (a == "--var") {
            const std::string &row = ValueOf(args, i, "--var wymaga argumentu NAZWA=WARTOŚĆ");
            if (variableRows.size() == kMaxVariables)
                throw UsageError{"można podać najwyżej pięć opcji --var"};
            variableRows.push_back(row);
        } else {
            throw UsageError{"nieznany argument: " + a};
        }
    }
    if (help)
        return HelpCommand{};
    if (!expression)
        throw UsageError{"brak opcji --eval"};
    return EvaluateCommand{std::move(*expression), std::move(variableRows)};
}

} // namespace

WindowedCommand ParseWindowedCommandLine(std::span<const std::string> args) {
    WindowedCommand command;
    command.chart = !args.empty() && args.front() == "--chart";
    if (command.chart)
        args = args.subspan(1);
    if (!args.empty())
        command.expression = args.front();
    return command;
}

CommandLine ParseCommandLine(std::span<const std::string> args) {
    try {
        if (std::ranges::any_of(
                args, [](const std::string &a) { return a == "--plot" || a == "--points"; }))
            return ParsePicture(args);
        if (!args.empty() && args.front().starts_with("--") && args.front() != "--chart")
            return ParseHeadless(args);
        return ParseWindowedCommandLine(args);
    } catch (UsageError &error) {
        return std::move(error);
    }
}

bool NeedsWindowLibrary(const CommandLine &commandLine) {
    return std::holds_alternative<WindowedCommand>(commandLine) ||
           std::holds_alternative<PictureCommand>(commandLine);
}

} // namespace ziffa
