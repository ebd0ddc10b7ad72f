// The picture mode, run as the program itself: what it writes and how it ends.
#include "components/Graph3d.h"
#include "forms/ChartLook.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <gtest/gtest.h>

namespace ziffa {
namespace {

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome Ziffa(const QStringList &args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM"); // the program must choose the offscreen platform itself
    env.remove("XDG_RUNTIME_DIR"); // which Qt, in English, says it misses
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ZIFFA_BINARY), args);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Runs a bash command line with the program as $0 and the given arguments as $1, $2, ...
Outcome Shell(const QString &command, const QStringList &args) {
    QProcess process;
    process.start(QStringLiteral("/bin/bash"),
                  QStringList{QStringLiteral("-c"), command, QStringLiteral(ZIFFA_BINARY)} + args);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QImage ChartPicture(int width, int height, const char *function) {
    TGraph3D graph;
    graph.resize(width, height);
    ApplyChartLook(graph);
    graph.g3D_cleargraph();
    EXPECT_EQ(graph.g3D_drawfromfunction(function), 0);
    return graph.Bitmap().convertToFormat(QImage::Format_RGB32);
}

class Plot : public testing::Test {
protected:
    QTemporaryDir dir;
    QString File(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(Plot, WritesThePictureOfTheChartLook) {
    const Outcome r =
        Ziffa({"--plot", " SIN(x) * cos(y) ", "--output", File("a.png"), "--size", "300x200"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(r.err, QString()) << "nothing but the program's own messages";
    const QImage written(File("a.png"));
    ASSERT_EQ(written.size(), QSize(300, 200));
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32),
              ChartPicture(300, 200, "sin(x)*cos(y)"));
}

TEST_F(Plot, DefaultSize) {
    ASSERT_EQ(Ziffa({"--plot", "x*y", "--output", File("b.png")}).status, 0);
    EXPECT_EQ(QImage(File("b.png")).size(), QSize(556, 424));
}

TEST_F(Plot, RefusedFunction) {
    const Outcome r = Ziffa({"--plot", "1+", "--output", File("c.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, QString::fromUtf8("BŁĄD: Brak wyrażenia po prawej stronie operatora\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("1+\n  ^\n")));
    EXPECT_FALSE(QFile::exists(File("c.png")));
}

TEST_F(Plot, Points) {
    QFile points(File("points.txt"));
    ASSERT_TRUE(points.open(QIODevice::WriteOnly));
    points.write("0 0 0\n1 1 1\n-1 2 0.5\n");
    points.close();
    EXPECT_EQ(Ziffa({"--points", File("points.txt"), "--output", File("d.png")}).status, 0);
    EXPECT_EQ(QImage(File("d.png")).size(), QSize(556, 424));
    const struct {
        QString points;
        QString reason;
    } unreadable[] = {
        {File("missing.txt"), QStringLiteral("nie ma takiego pliku ani folderu")},
        {dir.path(), QStringLiteral("to jest folder")},
        {File("points.txt/x"), QStringLiteral("element ścieżki nie jest folderem")},
    };
    for (const auto &c : unreadable) {
        const Outcome r = Ziffa({"--points", c.points, "--output", File("e.png")});
        EXPECT_EQ(r.status, 1) << c.points.toStdString();
        EXPECT_EQ(r.err, QStringLiteral("ziffa: nie można otworzyć pliku punktów \"%1\": %2\n")
                             .arg(c.points, c.reason));
        EXPECT_FALSE(QFile::exists(File("e.png")));
    }
}

TEST_F(Plot, UsageErrors) {
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"--plot", "x"}, QStringLiteral("brak opcji --output")},
        {{"--output", "a.png", "--size", "10x10", "--points"},
         QStringLiteral("--points wymaga argumentu")},
        {{"--size", "10x10", "--plot"}, QStringLiteral("--plot wymaga argumentu")},
        {{"--plot", "x", "--output"}, QStringLiteral("--output wymaga argumentu")},
        {{"--plot", "x", "--output", "a.png", "--size", "10"},
         QStringLiteral("--size przyjmuje SZEROKOŚĆxWYSOKOŚĆ, na przykład 556x424")},
        {{"--plot", "x", "--output", "a.png", "--eval", "1"},
         QStringLiteral("nieznany argument: --eval")},
    };
    for (const auto &c : cases) {
        const Outcome r = Ziffa(c.args);
        EXPECT_EQ(r.status, 64) << c.message.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("ziffa: ") + c.message +
                                     QStringLiteral("\n\nUżycie:\n")))
            << r.err.toStdString();
        EXPECT_EQ(r.out, QString());
    }
}

TEST_F(Plot, WriteErrorsTellWhy) {
    const struct {
        QString output;
        QString reason;
    } cases[] = {
        {File("no/such/folder/g.png"), QStringLiteral("nie ma takiego pliku ani folderu")},
        {dir.path(), QStringLiteral("to jest folder")},
        {QStringLiteral("/dev/full"), QStringLiteral("brak miejsca na urządzeniu")},
    };
    for (const auto &c : cases) {
        const Outcome r = Ziffa({"--plot", "x", "--size", "30x20", "--output", c.output});
        EXPECT_EQ(r.status, 1) << c.output.toStdString();
        EXPECT_EQ(
            r.err,
            QStringLiteral("ziffa: nie można zapisać pliku \"%1\": %2\n").arg(c.output, c.reason));
    }
}

// Points around the origin with extremes on every axis, so that the fitted ranges matter.
QByteArray SomePoints() {
    QByteArray text;
    for (int i = 0; i < 500; ++i)
        text += QByteArray::number(i % 17 - 5) + ' ' + QByteArray::number((i * 7) % 23 * 0.5) +
                ' ' + QByteArray::number((i * 13) % 41 - 30) + '\n';
    return text;
}

class PlotPoints : public Plot {
protected:
    void SetUp() override {
        QFile points(File("points.txt"));
        ASSERT_TRUE(points.open(QIODevice::WriteOnly));
        points.write(SomePoints());
        points.close();
        ASSERT_EQ(Ziffa({"--points", File("points.txt"), "--output", File("disk.png")}).status, 0);
        onDisk = QImage(File("disk.png"));
        ASSERT_FALSE(onDisk.isNull());
    }
    QImage onDisk;
};

TEST_F(PlotPoints, FromAPipeDrawWhatTheSameFileOnDiskDraws) {
    QProcess process;
    process.start(QStringLiteral(ZIFFA_BINARY),
                  {"--points", "/dev/stdin", "--output", File("stdin.png")});
    ASSERT_TRUE(process.waitForStarted());
    process.write(SomePoints());
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(QImage(File("stdin.png")), onDisk);

    // A process substitution of the shell: a pipe with a name of its own.
    const Outcome r = Shell(QStringLiteral("\"$0\" --points <(cat \"$1\") --output \"$2\""),
                            {File("points.txt"), File("substituted.png")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(File("substituted.png")), onDisk);
}

TEST_F(PlotPoints, NamesOutsideAsciiOpenAndAreWritten) {
    // Polish letters, which Windows-1250 holds, and letters it doesn't hold.
    for (const char *name : {"dane_\u017C\u00F3\u0142w", "\u0442\u043E\u0447\u043A\u0438_\u2713"}) {
        const QString points = dir.filePath(QString::fromUtf8(name) + QStringLiteral(".txt"));
        const QString picture = dir.filePath(QString::fromUtf8(name) + QStringLiteral(".png"));
        ASSERT_TRUE(QFile::copy(File("points.txt"), points));
        const Outcome r = Ziffa({"--points", points, "--output", picture});
        EXPECT_EQ(r.status, 0) << name << r.err.toStdString();
        EXPECT_EQ(QImage(picture), onDisk) << name;
    }
}

} // namespace
} // namespace ziffa

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
