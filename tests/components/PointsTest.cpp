#include "GraphTestSupport.h"

#include "components/PointsFile.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace ziffa::testing {
namespace {

constexpr QRgb Black = 0xff000000;

// ---- The reader

struct ReadCase {
    const char *name;
    std::string text;
    std::vector<float> numbers; // every number read before reading ends
};

class ReaderTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReaderTest, ReadsNumbersUntilTheFirstNonNumber) {
    std::istringstream in(GetParam().text);
    PointsReader reader(*in.rdbuf());
    std::vector<float> read;
    while (const std::optional<float> n = reader.NextNumber())
        read.push_back(*n);
    EXPECT_EQ(read, GetParam().numbers);
    EXPECT_FALSE(reader.NextNumber()) << "reading stays ended";
}

INSTANTIATE_TEST_SUITE_P(
    Points, ReaderTest,
    ::testing::Values(ReadCase{"Empty", "", {}}, ReadCase{"BlanksOnly", " \t\r\n ", {}},
                      ReadCase{"OneLine", "1 2 3", {1, 2, 3}},
                      ReadCase{"AnyWhiteSpace", "\t1\n\n2\r\n  3 \n", {1, 2, 3}},
                      ReadCase{"SignsPointsExponents",
                               "-1.5 +2 .25 3. 1e3 -2E-2 7e+1",
                               {-1.5f, 2, 0.25f, 3, 1000, -0.02f, 70}},
                      ReadCase{"DecimalCommaEndsReading", "1 2 3\n1,5 2 3", {1, 2, 3, 1}},
                      ReadCase{"WordEndsReading", "1 2 x 3", {1, 2}},
                      ReadCase{"LoneSignEndsReading", "1 - 2", {1}},
                      ReadCase{"LonePointEndsReading", "1 . 2", {1}},
                      ReadCase{"ExponentWithoutDigitsEndsAfterTheNumber", "1e 2", {1}},
                      ReadCase{"NoInfinityOrNaN", "1 inf nan", {1}},
                      ReadCase{"BeyondTheFloatRangeEndsReading", "1 1e39 2", {1}},
                      ReadCase{"TooSmallBecomesZero", "1e-50 -1e-5000 2", {0, -0.0f, 2}},
                      ReadCase{"NulByteEndsReading", std::string("1 2\0 3", 6), {1, 2}}),
    [](const ::testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

TEST(PointsReaderTest, DropsAnIncompleteLastTriple) {
    std::istringstream in("1 2 3 4 5");
    PointsReader reader(*in.rdbuf());
    EXPECT_TRUE(reader.NextTriple());
    EXPECT_FALSE(reader.NextTriple());
}

// ---- Drawing from a file

class PointsFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string &name, const std::string &contents) {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    // The designer defaults over the cube of four, on the example-sized component.
    std::unique_ptr<TGraph3D> Graph() {
        auto g = MakeDesignedGraph(524, 424);
        g->g3D_drawnumbers = false;
        g->g3D_drawaxises = false;
        g->g3D_cleargraph();
        return g;
    }
    QTemporaryDir dir;
};

TEST_F(PointsFileTest, OneLineFitsTheRanges) {
    auto g = Graph();
    const std::string path = Write("one.txt", "1 2 3");
    ASSERT_EQ(g->g3D_drawfrompoints(path), 0);
    EXPECT_EQ(g->g3D_drawxmin, 2);
    EXPECT_EQ(g->g3D_drawxmax, 2);
    EXPECT_EQ(g->g3D_drawzmin, 1);
    EXPECT_EQ(g->g3D_drawzmax, 1);
    EXPECT_EQ(g->g3D_drawymin, 2.5f);
    EXPECT_EQ(g->g3D_drawymax, 3);
    EXPECT_EQ(g->g3D_realxmin, 1.5f);
    EXPECT_EQ(g->g3D_realxmax, 2);
    EXPECT_EQ(g->g3D_lastkind(), 2);
    EXPECT_EQ(g->g3D_lastsource(), path);
    // The point (2, 3, 1) projects to (1.5, 2.5): the bottom left corner of the area.
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black), (PixelSet{{12, 412}}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(PointsFileTest, RangesTakeTheExtremesOfEveryAxis) {
    auto g = Graph();
    ASSERT_EQ(g->g3D_drawfrompoints(Write("p.txt", "0 0 0\n-1 5 2\n3 -2 -4\n")), 0);
    EXPECT_EQ(g->g3D_drawxmin, -2);
    EXPECT_EQ(g->g3D_drawxmax, 5);
    EXPECT_EQ(g->g3D_drawzmin, -1);
    EXPECT_EQ(g->g3D_drawzmax, 3);
    EXPECT_EQ(g->g3D_drawymax, 2);
    EXPECT_NEAR(g->g3D_drawymin, -4 - 1.5, 1e-6);
    EXPECT_EQ(g->g3D_realxmin, -2 - 1.5f);
    EXPECT_EQ(g->g3D_realxmax, 5);
}

TEST_F(PointsFileTest, TrailingLineBreakDrawsTheSame) {
    auto a = Graph();
    auto b = Graph();
    ASSERT_EQ(a->g3D_drawfrompoints(Write("a.txt", "1 2 3\n0.5 1 1")), 0);
    ASSERT_EQ(b->g3D_drawfrompoints(Write("b.txt", "1 2 3\n0.5 1 1\n")), 0);
    EXPECT_EQ(a->Bitmap(), b->Bitmap());
    EXPECT_EQ(PixelsOtherThan(a->Bitmap(), Black).size(), 2u);
}

TEST_F(PointsFileTest, DecimalCommaEndsReadingAndKeepsThePointsBeforeIt) {
    auto withComma = Graph();
    auto without = Graph();
    withComma->g3D_pointfun_autosize = without->g3D_pointfun_autosize = false;
    ASSERT_EQ(withComma->g3D_drawfrompoints(Write("c.txt", "1 2 3\n0 1 1\n1,5 2 0\n1 1 1\n")), 0);
    ASSERT_EQ(without->g3D_drawfrompoints(Write("d.txt", "1 2 3\n0 1 1\n")), 0);
    EXPECT_EQ(withComma->Bitmap(), without->Bitmap());
    EXPECT_EQ(withComma->g3D_lastkind(), 2);
}

TEST_F(PointsFileTest, MissingFileChangesNothing) {
    auto g = Graph();
    ASSERT_EQ(g->g3D_drawfromfunction("x"), 0);
    const QImage before = g->Bitmap().copy();
    EXPECT_EQ(g->g3D_drawfrompoints(dir.filePath("none.txt").toStdString()), 1);
    EXPECT_EQ(g->g3D_drawfrompoints(dir.path().toStdString()), 1) << "a folder is no file";
    EXPECT_EQ(g->g3D_drawxmin, -4);
    EXPECT_EQ(g->g3D_realxmin, -5);
    EXPECT_EQ(g->Bitmap(), before);
    EXPECT_EQ(g->g3D_lastkind(), 1);
    EXPECT_EQ(g->g3D_lastsource(), "x");
    EXPECT_EQ(g->setminmaxfrompoints(dir.filePath("none.txt").toStdString()), 1);
}

TEST_F(PointsFileTest, NoCompleteTripleDrawsAxesOnlyAndLeavesTheRanges) {
    for (const char *contents : {"", "1 2", "abc"}) {
        auto g = Graph();
        g->g3D_drawaxises = true;
        const std::string path = Write("short.txt", contents);
        EXPECT_EQ(g->g3D_drawfrompoints(path), 0) << contents;
        EXPECT_EQ(g->g3D_drawxmin, -4);
        EXPECT_EQ(g->g3D_drawymin, -4);
        EXPECT_EQ(g->g3D_realxmax, 5);
        EXPECT_EQ(g->g3D_lastkind(), 2);
        auto axes = Graph();
        axes->g3D_drawaxises = true;
        axes->axises();
        EXPECT_EQ(g->Bitmap(), axes->Bitmap()) << contents;
    }
}

TEST_F(PointsFileTest, MarkersUseTheTopColourAndPointType) {
    auto g = Graph();
    g->g3D_pointfun_autosize = false;
    g->g3D_pointtype = 3;
    ASSERT_EQ(g->g3D_drawfrompoints(Write("m.txt", "0 0 0")), 0);
    // The chart ranges on 524 by 424: 50 pixels a unit, the origin at (262, 212).
    const PixelSet drawn = PixelsOtherThan(g->Bitmap(), Black);
    EXPECT_EQ(drawn.size(), 9u);
    EXPECT_TRUE(drawn.count({260, 212}) && drawn.count({262, 214}));
    EXPECT_EQ(g->Bitmap().pixel(262, 212), 0xff800080u);
}

TEST_F(PointsFileTest, RedrawLastRepeatsWithTheRangesInForce) {
    auto g = Graph();
    const std::string path = Write("r.txt", "1 2 3\n2 4 6\n");
    ASSERT_EQ(g->g3D_drawfrompoints(path), 0);
    const QImage first = g->Bitmap().copy();
    ASSERT_EQ(g->g3D_realxmax, 4);
    g->g3D_realxmax = 100; // a changed range is kept, not fitted again
    g->g3D_redrawlast();
    EXPECT_EQ(g->g3D_realxmax, 100);
    EXPECT_TRUE(g->g3D_pointfun_autosize) << "restored afterwards";
    EXPECT_EQ(g->g3D_lastkind(), 2);
    EXPECT_NE(g->Bitmap(), first);
    g->g3D_realxmax = 4;
    g->g3D_redrawlast();
    EXPECT_EQ(g->Bitmap(), first);
}

TEST_F(PointsFileTest, SecondOpeningFailingDrawsWithTheRangesInForce) {
    // setminmaxfrompoints on its own: a file that can't be opened leaves the ranges alone.
    auto g = Graph();
    EXPECT_EQ(g->setminmaxfrompoints(dir.filePath("gone.txt").toStdString()), 1);
    EXPECT_EQ(g->g3D_drawymin, -4);
}

// ---- Data that can be read only once, and names outside ASCII

// The ranges a drawing leaves, for comparing two drawings.
std::vector<float> RangesOf(const TGraph3D &g) {
    return {g.g3D_drawxmin, g.g3D_drawxmax, g.g3D_drawymin, g.g3D_drawymax,
            g.g3D_drawzmin, g.g3D_drawzmax, g.g3D_realxmin, g.g3D_realxmax};
}

// Points around the origin, with extremes on every axis, so that fitted ranges differ from the
// cube of four.
std::string SomePoints() {
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += std::to_string(i % 37 - 11) + " " + std::to_string((i * 7) % 23 * 0.5) + " " +
                std::to_string((i * 13) % 41 - 30) + "\n";
    return text;
}

TEST_F(PointsFileTest, PipeDrawsWhatTheSameFileOnDiskDraws) {
    const std::string points = SomePoints();
    for (const bool autosize : {true, false}) {
        SCOPED_TRACE(autosize);
        auto onDisk = Graph();
        onDisk->g3D_pointfun_autosize = autosize;
        ASSERT_EQ(onDisk->g3D_drawfrompoints(Write("disk.txt", points)), 0);

        const std::string fifo = dir.filePath(QStringLiteral("fifo")).toStdString();
        ::unlink(fifo.c_str());
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        // The writer gives the data once and closes, as `cat f |` or <(cat f) does.
        std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << points; });
        auto piped = Graph();
        piped->g3D_pointfun_autosize = autosize;
        const int result = piped->g3D_drawfrompoints(fifo);
        writer.join();
        ASSERT_EQ(result, 0);
        EXPECT_EQ(RangesOf(*piped), RangesOf(*onDisk));
        EXPECT_EQ(piped->Bitmap(), onDisk->Bitmap());
        EXPECT_EQ(piped->g3D_lastsource(), fifo);
    }
}

TEST_F(PointsFileTest, NamesOutsideAsciiOpen) {
    const std::string points = SomePoints();
    auto expected = Graph();
    ASSERT_EQ(expected->g3D_drawfrompoints(Write("plain.txt", points)), 0);
    // Polish letters, which Windows-1250 holds, and letters it doesn't hold.
    for (const char *name : {"dane_\u017C\u00F3\u0142w.txt", "\u0442\u043E\u0447\u043A\u0438_"
                                                             "\u2713\u6570.txt"}) {
        SCOPED_TRACE(name);
        const QString file = dir.filePath(QString::fromUtf8(name));
        {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(points.data(), qint64(points.size()));
        }
        const std::string native = QFile::encodeName(file).toStdString();
        auto g = Graph();
        ASSERT_EQ(g->g3D_drawfrompoints(native), 0);
        EXPECT_EQ(g->Bitmap(), expected->Bitmap());
        EXPECT_EQ(g->g3D_lastsource(), native);
        g->g3D_redrawlast();
        EXPECT_EQ(g->Bitmap(), expected->Bitmap()) << "drawn again by its name";
    }
    // A zero byte would cut the name short, to another file's name.
    auto g = Graph();
    const std::string plain = dir.filePath(QStringLiteral("plain.txt")).toStdString();
    EXPECT_EQ(g->g3D_drawfrompoints(plain + std::string(1, '\0') + "x"), 1);
}

} // namespace
} // namespace ziffa::testing
