#include "gui/Plot.h"

#include "cli/ExceptionText.h"
#include "cli/FaultEcho.h"
#include "components/Graph3d.h"
#include "components/PictureFile.h"
#include "forms/ChartLook.h"
#include "interpreter/Codepage.h"
#include "interpreter/ExpressionText.h"
#include "interpreter/FloatFault.h"
#include "system/ErrnoText.h"

#include <QApplication>
#include <QImage>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <ostream>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ziffa {

namespace {

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

ExitStatus Draw(const PictureCommand &command, std::ostream &out, std::ostream &err) {
    TGraph3D graph;
    graph.resize(command.width, command.height);
    ApplyChartLook(graph);
    graph.g3D_cleargraph();
    if (command.points) {
        graph.g3D_pointfun_autosize = true;
        if (graph.g3D_drawfrompoints(*command.points) != 0) {
            const std::string why = WhyNotReadable(*command.points);
            err << "ziffa: nie można otworzyć pliku punktów \"" << *command.points << '"'
                << (why.empty() ? "" : ": ") << why << '\n';
            return ExitStatus::Fault;
        }
    } else {
        const std::string text = NormalizeExpression(Utf8ToCp1250(*command.function));
        const int code = graph.g3D_drawfromfunction(text);
        if (code != 0) {
            out << FaultLine(code);
            EchoWithCaret(err, text, graph.g3D_errorposition());
            return ExitStatus::Fault;
        }
    }
    // The name is written as the file system spells it, whether it is UTF-8 or not.
    QString reason;
    if (!WritePictureFile(graph.Bitmap(), std::filesystem::path(command.output), &reason)) {
        err << "ziffa: nie można zapisać pliku \"" << command.output
            << "\": " << reason.toStdString() << '\n';
        return ExitStatus::Fault;
    }
    return ExitStatus::Ok;
}

} // namespace

ExitStatus RunPlot(int &argc, char **argv, const PictureCommand &command, char decimalSeparator,
                   std::ostream &out, std::ostream &err) {
    // A picture needs no display: Qt's offscreen platform draws the same pixels.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(ReportQtMessage);
    QApplication app(argc, argv);
    ExprDecimalSeparator = decimalSeparator;
    try {
        return Draw(command, out, err);
    } catch (const FloatFault &fault) {
        err << "ziffa: " << ExceptionText(fault) << '\n';
        return ExitStatus::FloatFault;
    }
}

} // namespace ziffa
