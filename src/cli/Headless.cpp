#include "cli/Headless.h"

#include "cli/ByteOrderMark.h"
#include "cli/ExceptionText.h"
#include "cli/FaultEcho.h"
#include "cli/FdOutput.h"
#include "cli/LineReader.h"
#include "cli/Usage.h"
#include "interpreter/Codepage.h"
#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"
#include "interpreter/ResultFormat.h"
#include "interpreter/Variables.h"
#include "system/ErrnoText.h"

#include <algorithm>
#include <array>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <variant>
#include <vector>

namespace ziffa {

namespace {

// The variables of the --var rows (UTF-8 "NAZWA=WARTOŚĆ"), as the variables window builds them
// from its rows.
Variables VariablesOfRows(const std::vector<std::string> &rows, char separator) {
    std::vector<std::string> texts;
    std::vector<VariableRow> split;
    texts.reserve(rows.size());
    for (const std::string &row : rows) {
        const std::string_view text = texts.emplace_back(Utf8ToCp1250(row));
        const std::size_t eq = text.find('=');
        split.push_back({text.substr(0, eq),
                         eq == std::string_view::npos ? std::string_view() : text.substr(eq + 1)});
    }
    return BuildVariables(split, separator);
}

// "znak", "znaki" or "znaków": the form of the word that follows a count in Polish.
const char *Characters(std::size_t count) {
    const std::size_t tens = count % 100;
    const std::size_t ones = count % 10;
    if (count == 1)
        return "znak";
    if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14))
        return "znaki";
    return "znaków";
}

// The answers of one run: the results on standard output, the faults' details on err. Each input
// line gets exactly one output line, so outputs stay aligned with inputs.
class Answers {
public:
    Answers(const Variables &vars, FdOutput &out, std::ostream &err)
        : vars_(vars), out_(out), err_(err) {}

    // Evaluates one UTF-8 expression line, which is turned into the normalised text in place.
    // Returns the line's exit status.
    ExitStatus Evaluate(std::string &line) {
        try {
            if (!IsAscii(line))
                line = Utf8ToCp1250(line);
            NormalizeExpressionInPlace(line);
            int code = 0;
            int position = 0;
            const long double value = EvaluateExpression(
                line, code, position, vars_.count, vars_.values.data(), vars_.names.data(), 0);
            if (code > 0)
                return Fault(line, code, position);
            out_.Write(FormatResultValue(value));
            out_.Write('\n');
            return ExitStatus::Ok;
        } catch (const FloatFault &fault) {
            out_.Write('\n');
            err_ << "ziffa: " << ExceptionText(fault) << '\n';
            return ExitStatus::FloatFault;
        } catch (const std::bad_alloc &) {
            return OutOfMemory(line);
        } catch (const std::length_error &) {
            return OutOfMemory(line);
        }
    }

    // A line that memory couldn't hold, or whose evaluation it couldn't hold.
    ExitStatus OutOfMemory(std::string &line) {
        line.clear();
        line.shrink_to_fit();
        out_.Write("BŁĄD: Za mało pamięci\n");
        err_ << "ziffa: za mało pamięci na wyrażenie\n";
        return ExitStatus::FloatFault;
    }

    ExitStatus TooLong(std::size_t limit) {
        out_.Write("BŁĄD: Wyrażenie zbyt długie\n");
        err_ << "ziffa: wyrażenie jest dłuższe niż " << limit << ' ' << Characters(limit) << '\n';
        return ExitStatus::Fault;
    }

private:
    // The expression with a caret under the fault on err, then the message on standard output
    // (last, so that a lack of memory on the way leaves the line to OutOfMemory alone).
    ExitStatus Fault(const std::string &text, int code, int position) {
        EchoWithCaret(err_, text, position);
        out_.Write(Message(code));
        return ExitStatus::Fault;
    }

    // The line of a code's message, converted once.
    const std::string &Message(int code) {
        std::string &m = messages_[static_cast<std::size_t>(std::clamp(code, 0, 16))];
        if (m.empty())
            m = FaultLine(code);
        return m;
    }

    const Variables &vars_;
    FdOutput &out_;
    std::ostream &err_;
    std::array<std::string, 17> messages_;
};

ExitStatus ReportWriteFailure(const FdOutput &out, std::ostream &err) {
    err << "ziffa: nie można zapisać standardowego wyjścia: " << ErrnoText(out.Error()) << '\n';
    return ExitStatus::IoError;
}

// One expression a line from in, until its end.
// On a terminal each answer shows at once; otherwise answers are flushed before a read may wait,
// so a program that talks to this one line by line gets them too.
ExitStatus AnswerLines(int in, bool terminal, Answers &answers, FdOutput &out, std::ostream &err,
                       std::size_t maxLineLength) {
    LineReader reader(in, maxLineLength, [&out] { out.Flush(); });
    std::string line;
    ExitStatus worst = ExitStatus::Ok;
    bool first = true;
    while (!out.Failed()) {
        ExitStatus status = ExitStatus::Ok;
        const LineReader::Status read = reader.Next(line);
        if (std::exchange(first, false) && read == LineReader::Status::Line)
            SkipByteOrderMark(line); // the stream's, not the line's
        switch (read) {
        case LineReader::Status::End:
            return worst;
        case LineReader::Status::ReadError:
            out.Flush();
            err << "ziffa: nie można odczytać standardowego wejścia: " << ErrnoText(reader.Error())
                << '\n';
            return ExitStatus::IoError;
        case LineReader::Status::TooLong:
            status = answers.TooLong(maxLineLength);
            break;
        case LineReader::Status::OutOfMemory:
            status = answers.OutOfMemory(line);
            break;
        case LineReader::Status::Line:
            status = answers.Evaluate(line);
            break;
        }
        worst = std::max(worst, status);
        if (terminal)
            out.Flush();
    }
    return worst;
}

} // namespace

ExitStatus RunHeadless(CommandLine commandLine, char decimalSeparator, int in, int out,
                       std::ostream &err, std::size_t maxLineLength) {
    if (const auto *usage = std::get_if<UsageError>(&commandLine))
        return ReportUsageError(usage->message, err);
    FdOutput output(out);
    ExitStatus status = ExitStatus::Ok;
    if (std::holds_alternative<HelpCommand>(commandLine)) {
        output.Write(UsageText());
    } else {
        EvaluateCommand &command = std::get<EvaluateCommand>(commandLine);
        ExprDecimalSeparator = decimalSeparator;
        const Variables vars = VariablesOfRows(command.variableRows, decimalSeparator);
        Answers answers(vars, output, err);
        if (command.expression == "-") {
            status = AnswerLines(in, ::isatty(out) != 0, answers, output, err, maxLineLength);
        } else {
            SkipByteOrderMark(command.expression);
            status = command.expression.size() > maxLineLength
                         ? answers.TooLong(maxLineLength)
                         : answers.Evaluate(command.expression);
        }
    }
    if (!output.Flush())
        return ReportWriteFailure(output, err);
    return status;
}

} // namespace ziffa
