#include "GraphTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace ziffa::testing {
namespace {

constexpr QRgb Black = 0xff000000;
constexpr QRgb Purple = 0xff800080;

TEST(Projection, AngleOfViewForPi) {
    auto g = MakeGraph(10, 10);
    EXPECT_EQ(g->g3D_viewangle(), std::numbers::pi_v<float>);
    float t, alpha, gamma;
    g->g3D_angleofview(t, alpha, gamma, nullptr, nullptr);
    EXPECT_EQ(alpha, static_cast<float>(5 * std::numbers::pi_v<long double> / 6));
    EXPECT_EQ(gamma, static_cast<float>(std::numbers::pi_v<long double> / 6));
    EXPECT_NEAR(t, -1 / std::sqrt(3.0), 1e-7);
    EXPECT_NEAR(t * std::cos(gamma), -0.5, 1e-7);
}

TEST(Projection, AngleOfViewFillsBothHorizons) {
    auto g = MakeExampleGraph();
    std::vector<int> lower(513, -1), upper(513, -1);
    float t, a, c;
    g->g3D_angleofview(t, a, c, lower.data(), upper.data());
    for (int i = 0; i < 512; ++i) {
        ASSERT_EQ(lower[i], 12);
        ASSERT_EQ(upper[i], 412);
    }
    EXPECT_EQ(lower[512], -1);
}

struct ProjectCase {
    float x, y, z, X, Y;
};

class ProjectTest : public ::testing::TestWithParam<ProjectCase> {};

TEST_P(ProjectTest, DepthShiftsDownAndLeftByHalf) {
    const ProjectCase &c = GetParam();
    auto g = MakeGraph(10, 10);
    float t, a, gamma, X, Y;
    g->g3D_angleofview(t, a, gamma, nullptr, nullptr);
    TGraph3D::g3D_convertcoordinateto2D(c.x, c.y, c.z, t, gamma, X, Y);
    EXPECT_NEAR(X, c.X, 1e-6);
    EXPECT_NEAR(Y, c.Y, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Projection, ProjectTest,
                         ::testing::Values(ProjectCase{0, 0, 0, 0, 0},
                                           ProjectCase{1, 2, -3, 2.5, 3.5},
                                           ProjectCase{0, 0, 4, -2, -2},
                                           ProjectCase{0, 0, -4, 2, 2}, ProjectCase{4, 0, 4, 2, -2},
                                           ProjectCase{-4, 0, 4, -6, -2}));

struct MapCase {
    float X, Y;
    int column, row;
};

class ExampleMappingTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(ExampleMappingTest, MapsAndMarksThePixel) {
    const MapCase &c = GetParam();
    auto g = MakeExampleGraph();
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(c.X), c.column);
    EXPECT_EQ(g->g3D_convertyvaluetoscreen(c.Y), c.row);
    g->g3D_putpixel(c.X, c.Y, RGB(128, 0, 128));
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black), (PixelSet{{c.column, c.row}}));
}

INSTANTIATE_TEST_SUITE_P(Example524x424, ExampleMappingTest,
                         ::testing::Values(MapCase{0, 0, 262, 212}, MapCase{2.5, 3.5, 387, 37},
                                           MapCase{5, 4, 512, 12}, MapCase{-5, -4, 12, 412}));

TEST(ScreenMapping, CutsTowardZero) {
    // One unit is 50 pixels from column 0 and to row 400: -0.014 maps to column -0.7, which is
    // cut to 0, not floored to -1; the same for a row of -0.7.
    auto g = MakeGraph(500, 400);
    g->g3D_realxmin = 0;
    g->g3D_realxmax = 10;
    g->g3D_drawymin = 0;
    g->g3D_drawymax = 8;
    g->g3D_cleargraph();
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(-0.014f), 0);
    EXPECT_EQ(g->g3D_convertyvaluetoscreen(8.014f), 0);
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(-0.03f), -1);
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(0.039f), 1);
}

TEST(ScreenMapping, EqualRangeEndsMapToTheFirstColumnAndBottomRow) {
    auto g = MakeExampleGraph();
    g->g3D_realxmin = g->g3D_realxmax = 1;
    g->g3D_drawymin = g->g3D_drawymax = 1;
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(7), 12);
    EXPECT_EQ(g->g3D_convertyvaluetoscreen(-7), 412);
}

TEST(ScreenMapping, SaturatesFarValuesAndNaN) {
    auto g = MakeExampleGraph();
    const float huge = std::numeric_limits<float>::max();
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(huge), 1 << 30);
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(-huge), -(1 << 30));
    EXPECT_EQ(g->g3D_convertyvaluetoscreen(huge), -(1 << 30));
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(std::numeric_limits<float>::quiet_NaN()), -(1 << 30));
    g->g3D_putpixel(huge, huge, RGB(255, 0, 0)); // nothing on the bitmap, no overflow
    g->g3D_pointtype = 5;
    g->g3D_putpixel(-huge, -huge, RGB(255, 0, 0));
    g->g3D_textxy(huge, -huge, "1e+38", RGB(255, 0, 0));
    g->g3D_textxy(-huge, huge, "1e+38", RGB(255, 0, 0));
    EXPECT_TRUE(PixelsOtherThan(g->Bitmap(), Black).empty());
}

TEST(ScreenMapping, BeforeTheFirstClearEveryPointMapsToTheCorner) {
    auto g = MakeGraph(100, 100);
    g->g3D_realxmin = -5;
    g->g3D_realxmax = 5;
    g->g3D_drawymin = -4;
    g->g3D_drawymax = 4;
    EXPECT_EQ(g->g3D_convertxvaluetoscreen(3), 0);
    EXPECT_EQ(g->g3D_convertyvaluetoscreen(3), 0);
}

struct MarkerCase {
    int type;
    std::vector<Pixel> offsets;
};

class MarkerTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(MarkerTest, DrawsItsPixelSet) {
    const MarkerCase &c = GetParam();
    auto g = MakeExampleGraph();
    g->g3D_pointtype = c.type;
    g->g3D_putpixel(0, 0, RGB(128, 0, 128));
    PixelSet expected;
    for (auto [dx, dy] : c.offsets)
        expected.insert({262 + dx, 212 + dy});
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black), expected);
    for (const Pixel &p : expected)
        EXPECT_EQ(g->Bitmap().pixel(p.first, p.second), Purple);
}

const std::vector<Pixel> OnePixel = {{0, 0}};
const std::vector<Pixel> Square = {{-2, -2}, {-1, -2}, {0, -2}, {1, -2}, {2, -2},  {-2, 2},
                                   {-1, 2},  {0, 2},   {1, 2},  {2, 2},  {-2, -1}, {-2, 0},
                                   {-2, 1},  {2, -1},  {2, 0},  {2, 1}};
const std::vector<Pixel> Diamond = {{0, -2}, {0, 2}, {-1, -1}, {-1, 1},
                                    {-2, 0}, {2, 0}, {1, -1},  {1, 1}};
const std::vector<Pixel> Plus = {{-2, 0}, {-1, 0}, {0, 0}, {1, 0}, {2, 0},
                                 {0, -2}, {0, -1}, {0, 1}, {0, 2}};
const std::vector<Pixel> Cross = {{-2, -2}, {-1, -1}, {0, 0},  {1, 1}, {2, 2},
                                  {2, -2},  {1, -1},  {-1, 1}, {-2, 2}};
const std::vector<Pixel> TriangleUp = {{0, -2}, {1, -1}, {-1, -1}, {2, 0}, {-2, 0}, {-3, 1},
                                       {-2, 1}, {-1, 1}, {0, 1},   {1, 1}, {2, 1},  {3, 1}};
const std::vector<Pixel> TriangleDown = {{0, 2},   {1, 1},   {-1, 1}, {2, 0},  {-2, 0}, {-3, -1},
                                         {-2, -1}, {-1, -1}, {0, -1}, {1, -1}, {2, -1}, {3, -1}};

INSTANTIATE_TEST_SUITE_P(Markers, MarkerTest,
                         ::testing::Values(MarkerCase{0, OnePixel}, MarkerCase{1, Square},
                                           MarkerCase{2, Diamond}, MarkerCase{3, Plus},
                                           MarkerCase{4, Cross}, MarkerCase{5, TriangleUp},
                                           MarkerCase{6, TriangleDown}, MarkerCase{7, OnePixel},
                                           MarkerCase{-1, OnePixel}));

TEST(Primitives, DrawPointNegatesDepth) {
    auto g = MakeExampleGraph();
    g->g3D_drawpoint(1, 2, 3); // drawn at (1, 2, -3), projected (2.5, 3.5)
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black), (PixelSet{{387, 37}}));
}

TEST(Primitives, LineLeavesOutItsEndPixel) {
    auto g = MakeExampleGraph();
    g->g3D_line(0, 0, 0.1f, 0, RGB(128, 0, 128)); // columns 262 to 267
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black),
              (PixelSet{{262, 212}, {263, 212}, {264, 212}, {265, 212}, {266, 212}}));
}

TEST(Primitives, LineTowardAPoleDrawsOnlyWhatIsVisible) {
    auto g = MakeExampleGraph();
    // A vertical line from the origin up to a value 1e30: the column stays exact and the line
    // stops at the bitmap's top edge.
    g->g3D_line(0, 0, 0, 1e30f, RGB(128, 0, 128));
    PixelSet expected;
    for (int row = 0; row <= 212; ++row)
        expected.insert({262, row});
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black), expected);
    // A slanted one keeps its direction: slope 1 up to the far end.
    auto h = MakeExampleGraph();
    h->g3D_line(0, 0, 1e30f, 1e30f, RGB(128, 0, 128));
    PixelSet diagonal;
    for (int k = 0; k <= 212; ++k)
        diagonal.insert({262 + k, 212 - k});
    EXPECT_EQ(PixelsOtherThan(h->Bitmap(), Black), diagonal);
}

TEST(Primitives, TextRestoresTheBrushStyle) {
    auto g = MakeExampleGraph();
    for (TBrushStyle style : {TBrushStyle::bsSolid, TBrushStyle::bsClear}) {
        g->Canvas().SetBrushStyle(style);
        g->g3D_textxy(0, 0, "0.05", RGB(255, 0, 0));
        EXPECT_EQ(g->Canvas().BrushStyle(), style);
    }
    // No background box: nothing but red glyph pixels on black.
    for (auto [x, y] : PixelsOtherThan(g->Bitmap(), Black))
        ASSERT_EQ(g->Bitmap().pixel(x, y), 0xffff0000u) << x << "," << y;
    EXPECT_FALSE(PixelsOtherThan(g->Bitmap(), Black).empty());
    EXPECT_EQ(g->Bitmap().pixel(261, 211), Black);
}

// ---- The floating horizon. In the example graph, X = 0 is column 262 and Y = 1, 0, -1 are rows
// 162, 212, 262.

class HorizonTest : public ::testing::Test {
protected:
    void SetUp() override {
        g = MakeExampleGraph();
        lower.assign(513, 0);
        upper.assign(513, 0);
        float t, a, c;
        g->g3D_angleofview(t, a, c, lower.data(), upper.data());
    }
    int Test(float X, float Y) { return g->test(X, Y, colour, lower.data(), upper.data()); }

    std::unique_ptr<TGraph3D> g;
    std::vector<int> lower, upper;
    TColor colour = RGB(1, 2, 3);
};

TEST_F(HorizonTest, FirstPointOfAColumnIsSeenFromAbove) {
    EXPECT_EQ(Test(0, 0), 1);
    EXPECT_EQ(colour, RGB(128, 0, 128));
    EXPECT_EQ(lower[261], 212);
    EXPECT_EQ(upper[261], 212);
}

TEST_F(HorizonTest, AcceptsBelowAndAboveHidesBetweenAndOnTheHorizons) {
    ASSERT_EQ(Test(0, 1), 1); // row 162: both horizons there
    EXPECT_EQ(Test(0, -1), 1) << "below everything: seen from below";
    EXPECT_EQ(colour, RGB(0, 128, 0));
    EXPECT_EQ(lower[261], 262);
    EXPECT_EQ(upper[261], 162);
    EXPECT_EQ(Test(0, 0), 0) << "strictly between the horizons";
    EXPECT_EQ(colour, RGB(0, 128, 0)) << "a hidden point leaves the colour";
    EXPECT_EQ(Test(0, 1), 0) << "on the upper horizon";
    EXPECT_EQ(Test(0, -1), 0) << "on the lower horizon";
    EXPECT_EQ(Test(0, 2), 1) << "above everything: seen from above";
    EXPECT_EQ(colour, RGB(128, 0, 128));
    EXPECT_EQ(upper[261], 112);
    EXPECT_EQ(lower[261], 262);
}

TEST_F(HorizonTest, TransparentModeDrawsHiddenPointsInTheLastColour) {
    g->g3D_fun_transparentgraph = true;
    ASSERT_EQ(Test(0, 1), 1);
    ASSERT_EQ(Test(0, -1), 1);
    EXPECT_EQ(Test(0, 0), 1);
    EXPECT_EQ(colour, RGB(0, 128, 0));
    EXPECT_EQ(lower[261], 262);
    EXPECT_EQ(upper[261], 162);
}

TEST_F(HorizonTest, ColumnsOutsideOneToAreaRightAreNeverAccepted) {
    g->g3D_fun_transparentgraph = true;
    const std::vector<int> lowerBefore = lower, upperBefore = upper;
    EXPECT_EQ(Test(-5.24f, 0), 0); // column 0
    EXPECT_EQ(Test(-6, 0), 0);     // column -38
    EXPECT_EQ(Test(5.03f, 0), 0);  // column 513
    EXPECT_EQ(colour, RGB(1, 2, 3));
    EXPECT_EQ(lower, lowerBefore);
    EXPECT_EQ(upper, upperBefore);
    EXPECT_EQ(Test(5, 0), 1); // column 512 uses index 511
    EXPECT_EQ(lower[511], 212);
    EXPECT_EQ(lower[512], lowerBefore[512]);
    EXPECT_EQ(Test(-5.21f, 0), 1); // column 1 uses index 0
    EXPECT_EQ(upper[0], 212);
}

} // namespace
} // namespace ziffa::testing
