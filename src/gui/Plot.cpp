#include "gui/Plot.h"

#include "cli/Headless.h"
#include "components/Graph3d.h"
#include "components/PictureFile.h"
#include "forms/ChartLook.h"
#include "interpreter/Codepage.h"
#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"
#include "interpreter/Tables.h"
#include "system/ErrnoText.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ziffa {

namespace {

struct PlotOptions {
    std::optional<std::string> function;
    std::optional<std::string> output;
    std::optional<std::string> points;
    int width = 556;
    int height = 424;
};

struct PlotUsageError {
    std::string message;
};

// Reads "WxH" with both sides positive and at most 16384 pixels.
bool ParseSize(const std::string &text, int &width, int &height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    auto number = [](std::string_view s, int &value) {
        const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
        return r.ec == std::errc() && r.ptr == s.data() + s.size() && value > 0 && value <= 16384;
    };
    const std::string_view all(text);
    return number(all.substr(0, x), width) && number(all.substr(x + 1), height);
}

// Qt's own notes (English, for developers, such as a missing XDG_RUNTIME_DIR) are no part of a
// picture's outcome, which the messages below and the exit status tell: they are dropped. A
// critical failure of Qt is passed on, marked as Qt's words.
void ReportQtMessage(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "ziffa: biblioteka Qt zgłasza: %s\n",
                     message.toLocal8Bit().constData());
}

// Why a points file can't be read, as far as the file system tells; empty when it doesn't.
std::string WhyNotReadable(const std::string &name) {
    if (name.empty())
        return ErrnoText(ENOENT);
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0)
        return ErrnoText(errno);
    if (S_ISDIR(st.st_mode))
        return ErrnoText(EISDIR);
    if (::faccessat(AT_FDCWD, name.c_str(), R_OK, AT_EACCESS) != 0)
        return ErrnoText(errno);
    return {};
}

PlotOptions ParsePlot(std::span<const std::string> args) {
    PlotOptions options;
    auto value = [&](std::size_t &i, const char *name) -> const std::string & {
        if (i + 1 >= args.size())
            throw PlotUsageError{std::string(name) + " wymaga argumentu"};
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--plot")
            options.function = value(i, "--plot");
        else if (a == "--output")
            options.output = value(i, "--output");
        else if (a == "--points")
            options.points = value(i, "--points");
        else if (a == "--size") {
            if (!ParseSize(value(i, "--size"), options.width, options.height))
                throw PlotUsageError{"--size przyjmuje SZEROKOŚĆxWYSOKOŚĆ, na przykład 556x424"};
        } else
            throw PlotUsageError{"nieznany argument: " + a};
    }
    if (!options.function && !options.points)
        throw PlotUsageError{"--plot wymaga funkcji"};
    if (!options.output)
        throw PlotUsageError{"brak opcji --output"};
    return options;
}

int Draw(const PlotOptions &options, std::ostream &out, std::ostream &err) {
    TGraph3D graph;
    graph.resize(options.width, options.height);
    ApplyChartLook(graph);
    graph.g3D_cleargraph();
    if (options.points) {
        graph.g3D_pointfun_autosize = true;
        if (graph.g3D_drawfrompoints(*options.points) != 0) {
            const std::string why = WhyNotReadable(*options.points);
            err << "ziffa: nie można otworzyć pliku punktów \"" << *options.points << '"'
                << (why.empty() ? "" : ": ") << why << '\n';
            return StatusFault;
        }
    } else {
        const std::string text = NormalizeExpression(Utf8ToCp1250(*options.function));
        const int code = graph.g3D_drawfromfunction(text);
        if (code != 0) {
            out << Cp1250ToUtf8("B\xA3\xA5"
                                "D: ")
                << Cp1250ToUtf8(ErrorMessage(code)) << '\n';
            err << Cp1250ToUtf8(text) << '\n'
                << std::string(static_cast<std::size_t>(std::max(graph.g3D_errorposition(), 0)),
                               ' ')
                << "^\n";
            return StatusFault;
        }
    }
    // The name comes as the file system spells it; Qt takes it back to those bytes.
    const QString output = QFile::decodeName(QByteArray::fromStdString(*options.output));
    QString reason;
    if (!WritePictureFile(graph.Bitmap(), output, &reason)) {
        err << "ziffa: nie można zapisać pliku \"" << *options.output
            << "\": " << reason.toStdString() << '\n';
        return StatusFault;
    }
    return StatusOk;
}

} // namespace

int RunPlot(int &argc, char **argv, std::span<const std::string> args, char decimalSeparator,
            std::ostream &out, std::ostream &err) {
    PlotOptions options;
    try {
        options = ParsePlot(args);
    } catch (const PlotUsageError &e) {
        err << "ziffa: " << e.message << "\n\n" << HeadlessUsage();
        return StatusUsage;
    }
    // A picture needs no display: Qt's offscreen platform draws the same pixels.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(ReportQtMessage);
    QApplication app(argc, argv);
    ExprDecimalSeparator = decimalSeparator;
    try {
        return Draw(options, out, err);
    } catch (const FloatFault &fault) {
        err << "ziffa: " << ExceptionText(fault) << '\n';
        return StatusFloatFault;
    }
}

} // namespace ziffa
