#include "GraphTestSupport.h"

#include "components/ScaleNumber.h"

#include <gtest/gtest.h>

namespace ziffa::testing {
namespace {

constexpr QRgb Black = 0xff000000;
constexpr QRgb Grey = 0xff808080;
constexpr QRgb Red = 0xffff0000;

struct FormatCase {
    double value;
    const char *text;
};

class ScaleNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ScaleNumberTest, WritesLikePercentG) {
    EXPECT_EQ(FormatScaleNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, ScaleNumberTest,
    ::testing::Values(FormatCase{4, "4"}, FormatCase{-3.14f, "-3.14"}, FormatCase{0.05f, "0.05"},
                      FormatCase{1234567, "1.23457e+06"}, FormatCase{2000000, "2e+06"},
                      FormatCase{-0.0001f, "-0.0001"}, FormatCase{0.0001f, "0.0001"},
                      FormatCase{0.00001, "1e-05"}, FormatCase{123456, "123456"},
                      FormatCase{999999.5, "1e+06"}, FormatCase{0, "0"}, FormatCase{-2.5f, "-2.5"},
                      FormatCase{1e100, "1e+100"}));

// The cube of four on the example component: one unit is 50 pixels, the origin at pixel
// (262, 212), and a depth of 4 shifts a point by (-2, -2).
std::unique_ptr<TGraph3D> AxesGraph() {
    auto g = MakeExampleGraph();
    DrawCubeOfFour(*g);
    g->g3D_drawaxises = true;
    g->g3D_cl_axisescolor = RGB(128, 128, 128);
    g->g3D_cl_grtextcolor = RGB(255, 0, 0);
    return g;
}

Pixel Screen(const TGraph3D &g, float X, float Y) {
    return {g.g3D_convertxvaluetoscreen(X), g.g3D_convertyvaluetoscreen(Y)};
}

TEST(Axes, SevenLinesFromTheirFirstPoints) {
    auto g = AxesGraph();
    g->axises();
    const QImage &b = g->Bitmap();
    // x axis across the plotting area at height 0, its end pixel left out.
    for (int c = 12; c < 512; ++c)
        ASSERT_EQ(b.pixel(c, 212), Grey) << c;
    EXPECT_EQ(b.pixel(512, 212), Black);
    // y axis from the bottom row up to, not including, the top row.
    for (int r = 13; r <= 412; ++r)
        ASSERT_EQ(b.pixel(262, r), Grey) << r;
    EXPECT_EQ(b.pixel(262, 12), Black);
    // The z axis and the base frame. The depth factor is -0.50000004 in float arithmetic, so a
    // depth of 4 shifts by a hair more than 2 and the cut toward zero decides the pixel: the
    // projected corners (2, 2), (-2, -2), (2, -2), (-6, -2), (-2, 2) and (6, 2) fall on the
    // pixels below.
    const Pixel zBack{362, 111}, zFront{161, 312}, frontRight{361, 312}, frontLeft{-38, 312},
        backLeft{162, 111}, backRight{562, 111};
    EXPECT_EQ(Screen(*g, 2.0000002f, 2.0000002f), zBack);
    EXPECT_EQ(Screen(*g, -2.0000002f, -2.0000002f), zFront);
    // The z axis from the back (362, 111) toward the front (161, 312), its end pixel left out.
    EXPECT_EQ(b.pixel(zBack.first, zBack.second), Grey);
    EXPECT_EQ(b.pixel(zFront.first + 1, zFront.second - 1), Grey);
    // The front edge from the front right corner left to off the bitmap: all of row 312 up to
    // column 361, nothing right of it.
    for (int c = 0; c <= frontRight.first; ++c)
        ASSERT_EQ(b.pixel(c, 312), Grey) << c;
    EXPECT_EQ(b.pixel(362, 312), Black);
    // The back edge along row 111 from (162, 111) to off the bitmap at the right.
    for (int c = backLeft.first; c < 524; ++c)
        ASSERT_EQ(b.pixel(c, 111), Grey) << c;
    EXPECT_EQ(b.pixel(backLeft.first - 1, 111), Black);
    // The left edge from (162, 111) down to (-38, 312) and the right edge from (361, 312) up to
    // (562, 111), both close to diagonals.
    EXPECT_EQ(b.pixel(62, 211), Grey);
    EXPECT_EQ(b.pixel(461, 212), Grey);
    (void)frontLeft;
    (void)backRight;
}

TEST(Axes, NothingWhenSwitchedOff) {
    auto g = AxesGraph();
    g->g3D_drawaxises = false;
    g->axises();
    EXPECT_TRUE(PixelsOtherThan(g->Bitmap(), Black).empty());
}

// Whether a label has red pixels in the box to the right of and below its top-left corner.
int RedPixelsNear(const QImage &b, Pixel corner, int w = 40, int h = 16) {
    int count = 0;
    for (int y = corner.second; y < corner.second + h; ++y)
        for (int x = corner.first; x < corner.first + w; ++x)
            if (x >= 0 && y >= 0 && x < b.width() && y < b.height() && b.pixel(x, y) == Red)
                ++count;
    return count;
}

TEST(Numbers, SevenLabelsAtTheirPoints) {
    auto g = AxesGraph();
    g->numbers();
    const QImage &b = g->Bitmap();
    for (const Pixel &corner :
         {Screen(*g, 0, 0), Screen(*g, 4, 0), Screen(*g, -4, 0), Screen(*g, 0, 4),
          Screen(*g, 0, -4), Screen(*g, -2, -2), Screen(*g, 2, 2)})
        EXPECT_GT(RedPixelsNear(b, corner), 3) << corner.first << "," << corner.second;
    // Text starts at its corner: nothing left of or above the origin's label.
    EXPECT_EQ(RedPixelsNear(b, {252, 200}, 10, 12), 0);
}

TEST(Numbers, ZeroIsWrittenAtTheOriginEvenOutsideTheRanges) {
    auto g = AxesGraph();
    g->g3D_drawxmin = 1;
    g->g3D_drawxmax = 2;
    g->g3D_drawzmin = 1;
    g->g3D_drawzmax = 2;
    g->numbers();
    EXPECT_GT(RedPixelsNear(g->Bitmap(), {262, 212}, 8, 16), 3);
}

} // namespace
} // namespace ziffa::testing
