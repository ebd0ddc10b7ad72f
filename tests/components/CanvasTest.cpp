#include "GraphTestSupport.h"

#include "components/Graph3d.h"
#include "components/Image.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace ziffa::testing {
namespace {

constexpr QRgb White = 0xffffffff;
constexpr QRgb Red = 0xffff0000;

struct LineCase {
    const char *name;
    int x0, y0, x1, y1;
    std::vector<Pixel> pixels; // every pixel drawn, in any order
};

class LineToTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineToTest, DrawsBresenhamWithoutTheEndPixel) {
    const LineCase &c = GetParam();
    TImage image;
    image.resize(20, 10);
    TCanvas &canvas = image.Canvas();
    canvas.SetPenColor(RGB(255, 0, 0));
    canvas.MoveTo(c.x0, c.y0);
    canvas.LineTo(c.x1, c.y1);
    EXPECT_EQ(canvas.PenPos(), QPoint(c.x1, c.y1));
    EXPECT_EQ(PixelsOtherThan(image.Bitmap(), White), PixelSet(c.pixels.begin(), c.pixels.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Canvas, LineToTest,
    ::testing::Values(
        LineCase{"ZeroLength", 3, 3, 3, 3, {}}, LineCase{"OnePixel", 3, 3, 4, 4, {{3, 3}}},
        LineCase{"Rightward", 1, 2, 5, 2, {{1, 2}, {2, 2}, {3, 2}, {4, 2}}},
        LineCase{"Leftward", 5, 2, 1, 2, {{5, 2}, {4, 2}, {3, 2}, {2, 2}}},
        LineCase{"Downward", 2, 1, 2, 4, {{2, 1}, {2, 2}, {2, 3}}},
        LineCase{"Upward", 2, 4, 2, 1, {{2, 4}, {2, 3}, {2, 2}}},
        LineCase{"Diagonal", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
        LineCase{"AntiDiagonal", 3, 0, 0, 3, {{3, 0}, {2, 1}, {1, 2}}},
        // Slope 2/5: the minor coordinate is round(k * 2 / 5), halves staying near the start.
        LineCase{"Shallow", 0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
        LineCase{"Steep", 0, 0, 2, 5, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}},
        // Slope 1/2: the tie at k = 1 stays on the start's row.
        LineCase{"Tie", 0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        LineCase{"StartsOffTheBitmap", -3, 1, 3, 1, {{0, 1}, {1, 1}, {2, 1}}},
        LineCase{"EndsOffTheBitmap", 17, 9, 23, 9, {{17, 9}, {18, 9}, {19, 9}}},
        LineCase{"WhollyOff", -5, -5, -1, -1, {}},
        // A line from far away: only its visible part costs anything, and its pixels are those
        // of the whole line (here the row is exact on every column).
        LineCase{"FromFarAway", -1000000000, 5, 3, 5, {{0, 5}, {1, 5}, {2, 5}}},
        LineCase{"FarDiagonal", -1000000000, -1000000000, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
        LineCase{"AcrossFromFarToFar", INT_MIN, 4, INT_MAX, 4,
                 [] {
                     std::vector<Pixel> row;
                     for (int x = 0; x < 20; ++x)
                         row.push_back({x, 4});
                     return row;
                 }()}),
    [](const ::testing::TestParamInfo<LineCase> &info) { return std::string(info.param.name); });

TEST(Canvas, ColoursHoldRedInTheLowByte) {
    TImage image;
    image.resize(4, 4);
    TCanvas &canvas = image.Canvas();
    canvas.SetPenColor(RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(canvas.PenColor(), 0x00563412u);
    canvas.MoveTo(1, 1);
    canvas.LineTo(2, 2);
    EXPECT_EQ(PixelAt(image, 1, 1), 0xff123456u);
}

TEST(Canvas, FillRectLeavesOutRightAndBottomAndIsClipped) {
    TImage image;
    image.resize(6, 5);
    TCanvas &canvas = image.Canvas();
    canvas.SetBrushColor(RGB(255, 0, 0));
    canvas.FillRect(-3, 3, 2, 99);
    EXPECT_EQ(PixelsOtherThan(image.Bitmap(), White), (PixelSet{{0, 3}, {1, 3}, {0, 4}, {1, 4}}));
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    canvas.FillRect(0, 0, 6, 5);
    EXPECT_EQ(PixelAt(image, 5, 0), White);
}

TEST(Canvas, TextWithAClearBrushTouchesOnlyGlyphPixels) {
    TImage image;
    image.resize(60, 30);
    TCanvas &canvas = image.Canvas();
    canvas.SetFontColor(RGB(255, 0, 0));
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    canvas.TextOut(2, 2, "-3.14");
    const QImage &bitmap = image.Bitmap();
    int red = 0, other = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const QRgb p = bitmap.pixel(x, y);
            red += p == Red;
            other += p != Red && p != White;
        }
    EXPECT_GT(red, 5);
    EXPECT_EQ(other, 0); // no background box, no blended edges
}

TEST(Canvas, TextWithASolidBrushFillsItsBox) {
    TImage image;
    image.resize(60, 30);
    TCanvas &canvas = image.Canvas();
    canvas.SetBrushColor(RGB(0, 0, 255));
    canvas.TextOut(2, 2, "4");
    EXPECT_EQ(PixelAt(image, 2, 2), 0xff0000ffu);
    EXPECT_EQ(PixelAt(image, 1, 1), White);
}

TEST(Image, DiscardedPictureComesBackAtTheCurrentSizeWithAFreshCanvas) {
    TImage image;
    image.resize(10, 8);
    TCanvas &canvas = image.Canvas();
    EXPECT_EQ(image.Bitmap().size(), QSize(10, 8));
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    canvas.MoveTo(5, 5);
    image.resize(30, 20);
    EXPECT_EQ(image.Bitmap().size(), QSize(10, 8)) << "a resize keeps the old bitmap";
    image.DiscardPicture();
    EXPECT_TRUE(image.Bitmap().isNull());
    image.Canvas();
    EXPECT_EQ(image.Bitmap().size(), QSize(30, 20));
    EXPECT_EQ(canvas.BrushStyle(), TBrushStyle::bsSolid);
    EXPECT_EQ(canvas.PenPos(), QPoint(0, 0));
}

TEST(Image, ZeroSizedControlDrawsNothing) {
    TImage image;
    image.resize(0, 0);
    TCanvas &canvas = image.Canvas();
    canvas.MoveTo(0, 0);
    canvas.LineTo(5, 5);
    canvas.FillRect(0, 0, 5, 5);
    canvas.TextOut(0, 0, "x");
    EXPECT_TRUE(image.Bitmap().isNull());
}

TEST(Image, ClientAlignmentFollowsTheParent) {
    QWidget parent;
    parent.resize(300, 200);
    auto *image = new TImage(&parent);
    image->SetAlign(TAlign::alClient);
    EXPECT_EQ(image->geometry(), QRect(0, 0, 300, 200));
    parent.show();
    parent.resize(556, 424);
    EXPECT_EQ(image->geometry(), QRect(0, 0, 556, 424));

    QWidget other;
    other.resize(120, 90);
    image->setParent(&other);
    EXPECT_EQ(image->geometry(), QRect(0, 0, 120, 90));
    parent.resize(50, 50);
    EXPECT_EQ(image->size(), QSize(120, 90));
    image->SetAlign(TAlign::alNone);
    other.resize(10, 10);
    EXPECT_EQ(image->size(), QSize(120, 90));
}

TEST(Image, HiddenParentsResizeReachesTheNextBitmap) {
    QWidget parent; // never shown, like the chart window at start
    parent.resize(300, 200);
    auto *graph = new TGraph3D(&parent);
    graph->SetAlign(TAlign::alClient);
    graph->g3D_graphmargin = 12;
    parent.resize(556, 424);
    graph->g3D_cleargraph();
    EXPECT_EQ(graph->Bitmap().size(), QSize(556, 424));
    EXPECT_EQ(graph->g3D_arearight(), 544);
    EXPECT_EQ(graph->g3D_areabottom(), 412);
}

} // namespace
} // namespace ziffa::testing
