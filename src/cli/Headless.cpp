#include "cli/Headless.h"

#include "cli/FdOutput.h"
#include "cli/LineReader.h"
#include "interpreter/Codepage.h"
#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"
#include "interpreter/NumberText.h"
#include "interpreter/ResultFormat.h"
#include "interpreter/Tables.h"
#include "system/ErrnoText.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

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
                throw UsageError{"--eval wymaga wyrażenia"};
            if (options.expression)
                throw UsageError{"opcję --eval podano dwa razy"};
            options.expression = args[++i];
        } else if (a == "--var") {
            if (i + 1 >= args.size())
                throw UsageError{"--var wymaga argumentu NAZWA=WARTOŚĆ"};
            if (options.variableRows.size() == kMaxVariables)
                throw UsageError{"można podać najwyżej pięć opcji --var"};
            options.variableRows.push_back(args[++i]);
        } else {
            throw UsageError{"nieznany argument: " + a};
        }
    }
    if (!options.help && !options.expression)
        throw UsageError{"brak opcji --eval"};
    return options;
}

// The answers of one run: the results on standard output, the faults' details on err. Each input
// line gets exactly one output line, so outputs stay aligned with inputs.
class Answers {
public:
    Answers(const Variables &vars, FdOutput &out, std::ostream &err)
        : vars_(vars), out_(out), err_(err) {}

    // Evaluates one UTF-8 expression line, which is turned into the normalised text in place.
    // Returns the line's exit status.
    int Evaluate(std::string &line) {
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
            return StatusOk;
        } catch (const FloatFault &fault) {
            out_.Write('\n');
            err_ << "ziffa: " << ExceptionText(fault) << '\n';
            return StatusFloatFault;
        } catch (const std::bad_alloc &) {
            return OutOfMemory(line);
        } catch (const std::length_error &) {
            return OutOfMemory(line);
        }
    }

    // A line that memory couldn't hold, or whose evaluation it couldn't hold.
    int OutOfMemory(std::string &line) {
        line.clear();
        line.shrink_to_fit();
        out_.Write("BŁĄD: Za mało pamięci\n");
        err_ << "ziffa: za mało pamięci na wyrażenie\n";
        return StatusFloatFault;
    }

    int TooLong(std::size_t limit) {
        out_.Write("BŁĄD: Wyrażenie zbyt długie\n");
        err_ << "ziffa: wyrażenie jest dłuższe niż " << limit << ' ' << Characters(limit) << '\n';
        return StatusFault;
    }

private:
    // The expression with a caret under the fault on err, then the message on standard output
    // (last, so that a lack of memory on the way leaves the line to OutOfMemory alone).
    int Fault(const std::string &text, int code, int position) {
        // Windows-1250 has one byte a character, so the text converts piece by piece.
        constexpr std::size_t kPiece = 64 * 1024;
        for (std::size_t at = 0; at < text.size(); at += kPiece) {
            const std::string_view piece = std::string_view(text).substr(at, kPiece);
            if (IsAscii(piece))
                err_ << piece;
            else
                err_ << Cp1250ToUtf8(piece);
        }
        err_ << '\n';
        const std::string spaces(4096, ' ');
        for (std::size_t left = static_cast<std::size_t>(std::max(position, 0)); left > 0;) {
            const std::size_t n = std::min(left, spaces.size());
            err_.write(spaces.data(), static_cast<std::streamsize>(n));
            left -= n;
        }
        err_ << "^\n";
        out_.Write(Message(code));
        return StatusFault;
    }

    // "BŁĄD: " and the message of a code, as UTF-8, converted once.
    const std::string &Message(int code) {
        std::string &m = messages_[static_cast<std::size_t>(std::clamp(code, 0, 16))];
        if (m.empty())
            m = "BŁĄD: " + Cp1250ToUtf8(ErrorMessage(code)) + '\n';
        return m;
    }

    const Variables &vars_;
    FdOutput &out_;
    std::ostream &err_;
    std::array<std::string, 17> messages_;
};

int ReportWriteFailure(const FdOutput &out, std::ostream &err) {
    err << "ziffa: nie można zapisać standardowego wyjścia: " << ErrnoText(out.Error()) << '\n';
    return StatusIoError;
}

// One expression a line from in, until its end.
// On a terminal each answer shows at once; otherwise answers are flushed before a read may wait,
// so a program that talks to this one line by line gets them too.
int AnswerLines(int in, bool terminal, Answers &answers, FdOutput &out, std::ostream &err,
                std::size_t maxLineLength) {
    LineReader reader(in, maxLineLength, [&out] { out.Flush(); });
    std::string line;
    int worst = StatusOk;
    while (!out.Failed()) {
        int status = StatusOk;
        switch (reader.Next(line)) {
        case LineReader::Status::End:
            return worst;
        case LineReader::Status::ReadError:
            out.Flush();
            err << "ziffa: nie można odczytać standardowego wejścia: " << ErrnoText(reader.Error())
                << '\n';
            return StatusIoError;
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

std::string HeadlessUsage() {
    return "Użycie:\n"
           "  ziffa [--chart] [WYRAŻENIE]             uruchamia kalkulator i oblicza\n"
           "                                          WYRAŻENIE; --chart pokazuje przycisk\n"
           "                                          \"Wykres\" (F6)\n"
           "  ziffa --eval WYRAŻENIE [--var NAZWA=WARTOŚĆ]...\n"
           "                                          wypisuje wartość WYRAŻENIA\n"
           "  ziffa --eval - [--var NAZWA=WARTOŚĆ]...\n"
           "                                          oblicza po jednym wyrażeniu z każdego\n"
           "                                          wiersza standardowego wejścia\n"
           "  ziffa --plot FUNKCJA --output PLIK.png [--size SZERxWYS] [--points PLIK]\n"
           "                                          rysuje bez ekranu powierzchnię funkcji\n"
           "                                          x i y w pliku PNG (domyślny rozmiar\n"
           "                                          556x424); --points rysuje zamiast niej\n"
           "                                          trójki liczb z pliku (FUNKCJĘ można\n"
           "                                          wtedy pominąć)\n"
           "  ziffa --help                            wypisuje ten tekst\n"
           "\n"
           "Najwyżej pięć opcji --var określa zmienne, tak jak wiersze okna zmiennych.\n"
           "Separatorem dziesiętnym jest separator ustawień regionalnych (LC_ALL,\n"
           "LC_NUMERIC, LANG) według danych locale biblioteki C; \".\" tam, gdzie tych\n"
           "ustawień nie zainstalowano.\n"
           "\n"
           "Kod zakończenia:\n"
           "  0   sukces; wartości, które daje biblioteka matematyczna, takie jak INF\n"
           "      (10^4000) i NAN (asin(-2)), są wynikami\n"
           "  1   błąd w wyrażeniu (komunikat na standardowym wyjściu, a wyrażenie i znak ^\n"
           "      pod miejscem błędu na standardowym wyjściu błędów), wiersz za długi do\n"
           "      obliczenia, plik punktów, którego nie można otworzyć, lub obraz, którego\n"
           "      nie można zapisać\n"
           "  2   własna arytmetyka interpretera przekroczyła zakres liczb lub wykonała\n"
           "      niedozwoloną operację (!(1755), 10^4000-10^4000) albo zabrakło pamięci\n"
           "      na wiersz\n"
           "  64  błędne użycie\n"
           "  72  brak biblioteki okien (okna i obrazy) albo nie można jej wczytać\n"
           "  74  nie można zapisać standardowego wyjścia lub odczytać standardowego wejścia\n"
           "Przy --eval - kodem zakończenia jest najwyższy z kodów wszystkich wierszy.\n";
}

std::string ExceptionText(const std::exception &e) {
    if (dynamic_cast<const FloatFault *>(&e) != nullptr)
        return e.what();
    if (dynamic_cast<const std::bad_alloc *>(&e) != nullptr)
        return "za mało pamięci";
    return std::string("nieoczekiwany błąd: ") + e.what();
}

bool IsHeadlessCommandLine(std::span<const std::string> args) {
    return !args.empty() && args[0].starts_with("--") && args[0] != "--chart";
}

bool IsPictureCommandLine(std::span<const std::string> args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string &a) { return a == "--plot" || a == "--points"; });
}

bool NeedsWindowLibrary(std::span<const std::string> args) {
    return !IsHeadlessCommandLine(args) || IsPictureCommandLine(args);
}

int RunHeadless(std::span<const std::string> args, char decimalSeparator, int in, int out,
                std::ostream &err, std::size_t maxLineLength) {
    Options options;
    try {
        options = Parse(args);
    } catch (const UsageError &e) {
        err << "ziffa: " << e.message << "\n\n" << HeadlessUsage();
        return StatusUsage;
    }
    FdOutput output(out);
    int status = StatusOk;
    if (options.help) {
        output.Write(HeadlessUsage());
    } else {
        ExprDecimalSeparator = decimalSeparator;
        const Variables vars = BuildVariables(options.variableRows, decimalSeparator);
        Answers answers(vars, output, err);
        if (*options.expression == "-") {
            status = AnswerLines(in, ::isatty(out) != 0, answers, output, err, maxLineLength);
        } else if (options.expression->size() > maxLineLength) {
            status = answers.TooLong(maxLineLength);
        } else {
            std::string line = std::move(*options.expression);
            status = answers.Evaluate(line);
        }
    }
    if (!output.Flush())
        return ReportWriteFailure(output, err);
    return status;
}

} // namespace ziffa
