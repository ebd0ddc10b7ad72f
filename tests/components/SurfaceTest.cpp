#include "GraphTestSupport.h"

#include "interpreter/Tables.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace ziffa::testing {
namespace {

constexpr QRgb Black = 0xff000000;
constexpr QRgb Purple = 0xff800080;

TEST(Surface, CubeOfFourMakesOneTrialAnd26082GridEvaluations) {
    auto g = MakeDesignedGraph(556, 424);
    g->g3D_cleargraph();
    EXPECT_EQ(g->g3D_drawfromfunction("sin(x)*cos(y)"), 0);
    EXPECT_EQ(g->EvaluationCount(), 26083u);
    EXPECT_EQ(g->g3D_lastkind(), 1);
    EXPECT_EQ(g->g3D_lastsource(), "sin(x)*cos(y)");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the hourglass is gone";
}

TEST(Surface, RejectedTextLeavesPictureAndLastDrawingAlone) {
    auto g = MakeDesignedGraph(556, 424);
    g->g3D_cleargraph();
    ASSERT_EQ(g->g3D_drawfromfunction("x*y"), 0);
    const QImage before = g->Bitmap().copy();
    const std::uint64_t evaluations = g->EvaluationCount();
    EXPECT_EQ(g->g3D_drawfromfunction("sin(x"), 1);
    EXPECT_EQ(g->g3D_errormessage(), ErrorMessageTable[1]);
    EXPECT_EQ(g->g3D_errormessage(), "Brak zamkni\xEA"
                                     "cia nawiasu");
    EXPECT_EQ(g->Bitmap(), before);
    EXPECT_EQ(g->g3D_lastkind(), 1);
    EXPECT_EQ(g->g3D_lastsource(), "x*y");
    EXPECT_EQ(g->EvaluationCount(), evaluations + 1) << "only the trial evaluation";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // A later success doesn't reset the message.
    ASSERT_EQ(g->g3D_drawfromfunction("x"), 0);
    EXPECT_EQ(g->g3D_errormessage(), ErrorMessageTable[1]);
}

TEST(Surface, UnknownNameIsRejectedBeforeAnythingIsDrawn) {
    auto g = MakeDesignedGraph(100, 100);
    g->g3D_cleargraph();
    const QImage before = g->Bitmap().copy();
    const int code = g->g3D_drawfromfunction("q+x");
    EXPECT_GT(code, 0);
    EXPECT_LT(code, 12);
    EXPECT_EQ(g->Bitmap(), before);
    EXPECT_EQ(g->g3D_lastkind(), 0);
}

TEST(Surface, DivisionByZeroAtTheOriginIsStillDrawn) {
    auto g = MakeDesignedGraph(556, 424);
    g->g3D_drawnumbers = false;
    g->g3D_drawaxises = false;
    g->g3D_cleargraph();
    EXPECT_EQ(g->g3D_drawfromfunction("1/(x*x+y*y+0*x)"), 0);
    EXPECT_EQ(g->g3D_lastkind(), 1);
    EXPECT_GT(PixelsOtherThan(g->Bitmap(), Black).size(), 1000u);
}

// The picture of the axes and numbers alone.
QImage AxesAndNumbersOnly(int width, int height) {
    auto g = MakeDesignedGraph(width, height);
    g->g3D_cleargraph();
    g->axises();
    g->numbers();
    return g->Bitmap().copy();
}

TEST(Surface, WithoutLinesOnlyAxesAndNumbersAreDrawn) {
    auto g = MakeDesignedGraph(556, 424);
    g->g3D_fun_drawhorizlines = false;
    g->g3D_fun_drawvertlines = false;
    g->g3D_cleargraph();
    EXPECT_EQ(g->g3D_drawfromfunction("x*y"), 0);
    EXPECT_EQ(g->g3D_lastkind(), 1);
    EXPECT_EQ(g->Bitmap(), AxesAndNumbersOnly(556, 424));
    EXPECT_EQ(g->EvaluationCount(), 1u);
}

// One line of constant z = 0 with points x = 1, 0.5, 0, -0.5 at height 0, on the example
// component where they fall on row 212, columns 312, 287, 262 and 237.
std::unique_ptr<TGraph3D> OneLineGraph(bool linedraw) {
    auto g = MakeExampleGraph();
    g->g3D_fun_drawhorizlines = true;
    g->g3D_fun_linedraw = linedraw;
    g->g3D_drawxmin = -1;
    g->g3D_drawxmax = 1;
    g->g3D_fun_xlinestep = 0.5f;
    g->g3D_drawzmin = -1;
    g->g3D_drawzmax = 0;
    g->g3D_fun_step = 1;
    return g;
}

TEST(Surface, LineModeJoinsThePointsOfALine) {
    auto g = OneLineGraph(true);
    ASSERT_EQ(g->g3D_drawfromfunction("0"), 0);
    PixelSet expected;
    for (int c = 238; c <= 312; ++c)
        expected.insert({c, 212});
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black), expected);
    EXPECT_EQ(g->Bitmap().pixel(300, 212), Purple);
}

TEST(Surface, MarkerModeMarksEachAcceptedSegmentsOlderEndAndTheLastPoint) {
    auto g = OneLineGraph(false);
    g->g3D_pointtype = 0;
    ASSERT_EQ(g->g3D_drawfromfunction("0"), 0);
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black),
              (PixelSet{{312, 212}, {287, 212}, {262, 212}, {237, 212}}));
}

TEST(Surface, LowerLinesAreSeenFromBelowInTheBottomColour) {
    // Two lines of constant z: at z = 0 with height 1 (row 162), then at z = -1 with height -1,
    // which the depth shifts by half a unit (by 0.50000004 in float arithmetic) up and right, to
    // row 236 from column 263. Every segment of the second line ends in a column where the first
    // line has a point above it, so all of it is seen from below.
    auto g = OneLineGraph(true);
    g->g3D_drawzmin = -2;
    ASSERT_EQ(g->g3D_drawfromfunction("2*x+1"), 0); // x is the depth here
    const QImage &b = g->Bitmap();
    EXPECT_EQ(b.pixel(300, 162), Purple);
    EXPECT_EQ(b.pixel(238, 162), Purple);
    EXPECT_EQ(b.pixel(300, 236), 0xff008000u);
    EXPECT_EQ(b.pixel(337, 236), 0xff008000u);
    EXPECT_EQ(b.pixel(262, 236), Black);
}

struct StepCase {
    const char *name;
    float xlinestep, zlinestep, step;
    bool horizontal, vertical; // which families still draw
};

class BadStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(BadStepTest, DrawsNothingForTheFamilyAndReturns) {
    const StepCase &c = GetParam();
    auto picture = [&](float xl, float zl, float s, bool h, bool v) {
        auto g = MakeDesignedGraph(556, 424);
        g->g3D_fun_xlinestep = xl;
        g->g3D_fun_zlinestep = zl;
        g->g3D_fun_step = s;
        g->g3D_fun_drawhorizlines = h;
        g->g3D_fun_drawvertlines = v;
        g->g3D_cleargraph();
        EXPECT_EQ(g->g3D_drawfromfunction("sin(x)*cos(y)"), 0);
        EXPECT_EQ(g->g3D_lastkind(), 1);
        return g->Bitmap().copy();
    };
    EXPECT_EQ(picture(c.xlinestep, c.zlinestep, c.step, true, true),
              picture(0.05f, 0.05f, 0.1f, c.horizontal, c.vertical));
}

const float NaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Surface, BadStepTest,
    ::testing::Values(StepCase{"ZeroAlongX", 0, 0.05f, 0.1f, false, true},
                      StepCase{"NegativeAlongZ", 0.05f, -0.05f, 0.1f, true, false},
                      StepCase{"NaNAlongX", NaN, 0.05f, 0.1f, false, true},
                      StepCase{"TooSmallAlongZ", 0.05f, 1e-9f, 0.1f, true, false},
                      StepCase{"ZeroBetweenLines", 0.05f, 0.05f, 0, false, false},
                      StepCase{"AllZero", 0, 0, 0, false, false}),
    [](const ::testing::TestParamInfo<StepCase> &info) { return std::string(info.param.name); });

TEST(Surface, RunTimeComponentWithZeroStepsReturns) {
    auto g = MakeGraph(200, 100);
    g->g3D_fun_drawhorizlines = true;
    g->g3D_fun_drawvertlines = true;
    g->g3D_cleargraph();
    EXPECT_EQ(g->g3D_drawfromfunction("x"), 0);
    EXPECT_EQ(g->EvaluationCount(), 1u);
}

TEST(Surface, ControlNarrowerThanItsMarginDrawsNoSurface) {
    auto g = MakeDesignedGraph(10, 100);
    g->g3D_cleargraph();
    ASSERT_LT(g->g3D_arearight(), 0);
    EXPECT_EQ(g->g3D_drawfromfunction("x*y"), 0);
    EXPECT_EQ(g->EvaluationCount(), 1u);
    EXPECT_EQ(g->g3D_lastkind(), 1);
}

TEST(Surface, BeforeTheFirstClearNoSegmentPassesTheHorizon) {
    auto g = MakeDesignedGraph(100, 100);
    g->g3D_drawaxises = false;
    g->g3D_drawnumbers = false;
    EXPECT_EQ(g->g3D_drawfromfunction("x*y"), 0);
    EXPECT_TRUE(PixelsOtherThan(g->Bitmap(), 0xffffffff).empty());
}

// Lines of constant z at z = 1 and z = 0, of which the one at z = 1 fails at every point, must
// draw exactly what the line at z = 0 draws alone: the failed points draw nothing and hide
// nothing.
class FailedPointTest : public ::testing::TestWithParam<const char *> {};

TEST_P(FailedPointTest, HasNoPlaceAndMovesNoHorizon) {
    auto draw = [](float zmax) {
        auto g = MakeDesignedGraph(556, 424);
        g->g3D_drawaxises = false;
        g->g3D_drawnumbers = false;
        g->g3D_fun_drawvertlines = false;
        g->g3D_drawzmax = zmax;
        g->g3D_drawzmin = -1;
        g->g3D_fun_step = 1;
        g->g3D_cleargraph();
        EXPECT_EQ(g->g3D_drawfromfunction(GetParam()), 0);
        return g->Bitmap().copy();
    };
    const QImage alone = draw(0);
    EXPECT_GT(PixelsOtherThan(alone, Black).size(), 100u);
    EXPECT_EQ(draw(1), alone);
}

INSTANTIATE_TEST_SUITE_P(Surface, FailedPointTest,
                         ::testing::Values("10^(100*x)+y*0.1", // beyond the float range at x = 1
                                           "!(1755*x)+y*0.1"   // overflows, throwing, at x = 1
                                           ));

TEST(Surface, PoleNearAGridLineCostsNothingOffTheBitmap) {
    auto g = MakeDesignedGraph(556, 424);
    g->g3D_cleargraph();
    // x runs through values within float rounding of 0, where 1/x is of the order of 1e7 to 1e9.
    EXPECT_EQ(g->g3D_drawfromfunction("1/x"), 0);
    EXPECT_EQ(g->g3D_lastkind(), 1);
    EXPECT_GT(PixelsOtherThan(g->Bitmap(), Black).size(), 1000u);
}

TEST(Surface, KeepsALongTextWhole) {
    std::string text = "x";
    while (text.size() < 3000)
        text += "+0";
    auto g = MakeDesignedGraph(100, 100);
    g->g3D_fun_drawhorizlines = false;
    g->g3D_fun_drawvertlines = false;
    g->g3D_cleargraph();
    ASSERT_EQ(g->g3D_drawfromfunction(text), 0);
    EXPECT_EQ(g->g3D_lastsource(), text);
}

TEST(Surface, RedrawLastRepeatsTheFunction) {
    auto g = MakeDesignedGraph(556, 424);
    g->g3D_cleargraph();
    ASSERT_EQ(g->g3D_drawfromfunction("sin(x)*cos(y)"), 0);
    const QImage first = g->Bitmap().copy();
    g->Canvas().FillRect(0, 0, 50, 50); // scribble
    g->g3D_redrawlast();
    EXPECT_EQ(g->Bitmap(), first);
    EXPECT_EQ(g->g3D_lastkind(), 1);
    EXPECT_EQ(g->g3D_lastsource(), "sin(x)*cos(y)");
}

TEST(Surface, RedrawLastAfterAClearOnlyClears) {
    auto g = MakeDesignedGraph(100, 80);
    g->g3D_cleargraph();
    ASSERT_EQ(g->g3D_drawfromfunction("x"), 0);
    g->g3D_cleargraph();
    const std::uint64_t evaluations = g->EvaluationCount();
    g->g3D_redrawlast();
    EXPECT_EQ(g->EvaluationCount(), evaluations);
    EXPECT_EQ(g->g3D_lastkind(), 0);
    EXPECT_EQ(PixelsOtherThan(g->Bitmap(), Black).size(), 0u);
}

TEST(Surface, RedrawLastFollowsANewSize) {
    auto g = MakeDesignedGraph(556, 424);
    g->g3D_cleargraph();
    ASSERT_EQ(g->g3D_drawfromfunction("x*y"), 0);
    g->resize(300, 200);
    g->g3D_redrawlast();
    EXPECT_EQ(g->Bitmap().size(), QSize(300, 200));
    EXPECT_EQ(g->g3D_arearight(), 288);
}

TEST(Surface, PropertyChangesWaitForTheNextDrawing) {
    auto g = MakeDesignedGraph(100, 80);
    g->g3D_cleargraph();
    const QImage before = g->Bitmap().copy();
    g->g3D_cl_canvascolor = RGB(255, 255, 255);
    g->g3D_graphmargin = 30;
    EXPECT_EQ(g->Bitmap(), before);
    EXPECT_EQ(g->g3D_arealeft(), 12);
}

} // namespace
} // namespace ziffa::testing
