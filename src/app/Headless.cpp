#include "app/Headless.h"

#include "interpreter/Codepage.h"
#include "interpreter/Evaluator.h"
#include "interpreter/FloatFault.h"
#include "interpreter/NumberText.h"
#include "interpreter/ResultFormat.h"
#include "interpreter/Tables.h"

#include <algorithm>
#include <array>
#include <istream>
#include <optional>
#include <ostream>

namespace ziffa {

namespace {

constexpr std::size_t kMaxVariables = 5;

// The variables given by --var rows, built like the rows of the variables window: each row is
// trimmed, and a row with an empty name, an empty value or a value that doesn't convert is left
// out, so the valid rows are packed to the front.
struct Variables {
    std::array<std::string, kMaxVariables> names;
    std::array<double, kMaxVariables> values{};
    int count = 0;
};

Variables BuildVariables(const std::vector<std::string> &rows, char separator) {
    Variables vars;
    for (const std::string &row : rows) {
        const std::string text = Utf8ToCp1250(row);
        const std::size_t eq = text.find('=');
        const std::string_view name =
            TrimBlanks(std::string_view(text).substr(0, std::min(eq, text.size())));
        const std::string_view value = eq == std::string::npos
                                           ? std::string_view()
                                           : TrimBlanks(std::string_view(text).substr(eq + 1));
        if (name.empty() || value.empty())
            continue;
        const auto number = ConvertRegionalNumber(value, separator);
        if (!number)
            continue;
        vars.names[static_cast<std::size_t>(vars.count)] = std::string(name);
        vars.values[static_cast<std::size_t>(vars.count)] = *number;
        ++vars.count;
    }
    return vars;
}

struct Options {
    std::optional<std::string> expression; // "-" reads standard input
    std::vector<std::string> variableRows;
    bool help = false;
};

struct UsageError {
    std::string message;
};

Options Parse(std::span<const std::string> args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--eval") {
            if (i + 1 >= args.size())
                throw UsageError{"--eval needs an expression"};
            if (options.expression)
                throw UsageError{"--eval given twice"};
            options.expression = args[++i];
        } else if (a == "--var") {
            if (i + 1 >= args.size())
                throw UsageError{"--var needs NAME=VALUE"};
            if (options.variableRows.size() == kMaxVariables)
                throw UsageError{"at most five --var rows"};
            options.variableRows.push_back(args[++i]);
        } else {
            throw UsageError{"unknown argument: " + a};
        }
    }
    if (!options.help && !options.expression)
        throw UsageError{"--eval is missing"};
    return options;
}

// Evaluates one expression line. Writes exactly one line on out; the caret or the fault goes to
// err. Returns the exit status of the line.
int EvaluateLine(const std::string &utf8, const Variables &vars, std::ostream &out,
                 std::ostream &err) {
    const std::string text = NormalizeExpression(Utf8ToCp1250(utf8));
    int code = 0;
    int position = 0;
    long double value = 0;
    try {
        value = EvaluateExpression(text, code, position, vars.count, vars.values.data(),
                                   vars.names.data(), 0);
    } catch (const FloatFault &fault) {
        out << '\n';
        err << "ziffa: " << fault.what() << '\n';
        return StatusFloatFault;
    }
    if (code > 0) {
        out << Cp1250ToUtf8("B\xA3\xA5"
                            "D: ")
            << Cp1250ToUtf8(ErrorMessage(code)) << '\n';
        err << Cp1250ToUtf8(text) << '\n'
            << std::string(static_cast<std::size_t>(std::max(position, 0)), ' ') << "^\n";
        return StatusFault;
    }
    out << Cp1250ToUtf8(FormatResultValue(value)) << '\n';
    return StatusOk;
}

} // namespace

std::string HeadlessUsage() {
    return "Usage:\n"
           "  ziffa [--chart] [EXPRESSION]            start the calculator, calculating "
           "EXPRESSION;\n"
           "                                          --chart shows the \"Wykres\" button (F6)\n"
           "  ziffa --eval EXPRESSION [--var NAME=VALUE]...\n"
           "                                          print the value of EXPRESSION\n"
           "  ziffa --eval - [--var NAME=VALUE]...    evaluate one expression a line from standard "
           "input\n"
           "  ziffa --plot FUNCTION --output FILE.png [--size WxH] [--points FILE]\n"
           "                                          draw the surface of a function of x and y "
           "into\n"
           "                                          a PNG file (default size 556x424), without "
           "a\n"
           "                                          display; --points draws the number triples "
           "of\n"
           "                                          a file instead (FUNCTION may then be left "
           "out)\n"
           "  ziffa --help                            print this text\n"
           "\n"
           "Up to five --var rows define variables, like the rows of the variables window.\n"
           "The decimal separator is the one of your locale (LC_ALL, LC_NUMERIC, LANG).\n"
           "\n"
           "Exit status: 0 success; 1 a fault in the expression (the message on standard output,\n"
           "the expression and a caret under the fault on standard error), a points file that\n"
           "can't be opened or a picture that can't be written; 2 a floating-point overflow or\n"
           "invalid operation; 64 a usage error.\n";
}

bool IsHeadlessCommandLine(std::span<const std::string> args) {
    return !args.empty() && args[0].starts_with("--") && args[0] != "--chart";
}

int RunHeadless(std::span<const std::string> args, char decimalSeparator, std::istream &in,
                std::ostream &out, std::ostream &err) {
    Options options;
    try {
        options = Parse(args);
    } catch (const UsageError &e) {
        err << "ziffa: " << e.message << "\n\n" << HeadlessUsage();
        return StatusUsage;
    }
    if (options.help) {
        out << HeadlessUsage();
        return StatusOk;
    }
    ExprDecimalSeparator = decimalSeparator;
    const Variables vars = BuildVariables(options.variableRows, decimalSeparator);
    if (*options.expression != "-")
        return EvaluateLine(*options.expression, vars, out, err);

    int worst = StatusOk;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        worst = std::max(worst, EvaluateLine(line, vars, out, err));
    }
    out.flush();
    return worst;
}

} // namespace ziffa
