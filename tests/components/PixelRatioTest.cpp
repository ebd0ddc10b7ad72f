// The picture on a screen of device pixel ratio 2: the same drawing in the control's pixels, lines
// one device pixel wide. (The suite runs a second time with QT_SCALE_FACTOR=2.)
#include "GraphTestSupport.h"

#include "components/Image.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace ziffa::testing {
namespace {

constexpr QRgb White = 0xffffffff;

struct RatioCase {
    const char *name;
    std::function<void(TCanvas &)> draw;
    std::vector<Pixel> devicePixels; // every device pixel drawn, in any order
};

class AtRatioTwo : public ::testing::TestWithParam<RatioCase> {};

TEST_P(AtRatioTwo, DrawsInDevicePixels) {
    TImage image;
    image.SetPixelRatio(2);
    image.resize(8, 6);
    TCanvas &canvas = image.Canvas();
    canvas.SetPenColor(RGB(255, 0, 0));
    canvas.SetBrushColor(RGB(0, 0, 255));
    GetParam().draw(canvas);
    ASSERT_EQ(image.Bitmap().size(), QSize(16, 12));
    EXPECT_EQ(image.PictureSize(), QSize(8, 6));
    const std::vector<Pixel> &want = GetParam().devicePixels;
    EXPECT_EQ(PixelsOtherThan(image.Bitmap(), White), PixelSet(want.begin(), want.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Canvas, AtRatioTwo,
    ::testing::Values(
        // From (1, 2) to (4, 2): device columns 2 to 7 on the one row 4.
        RatioCase{"LevelLineOneDevicePixelHigh",
                  [](TCanvas &c) { c.MoveTo(1, 2), c.LineTo(4, 2); },
                  {{2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4}, {7, 4}}},
        RatioCase{"DiagonalOneDevicePixelWide",
                  [](TCanvas &c) { c.MoveTo(0, 0), c.LineTo(2, 2); },
                  {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        RatioCase{"UprightLine",
                  [](TCanvas &c) { c.MoveTo(7, 5), c.LineTo(7, 3); },
                  {{14, 10}, {14, 9}, {14, 8}, {14, 7}}},
        RatioCase{"PixelCoversItsPlace",
                  [](TCanvas &c) { c.PutPixel(3, 1); },
                  {{6, 2}, {7, 2}, {6, 3}, {7, 3}}},
        RatioCase{"PixelOffTheBitmap", [](TCanvas &c) { c.PutPixel(8, 0); }, {}},
        RatioCase{"FilledRectangle",
                  [](TCanvas &c) { c.FillRect(6, 4, 9, 5); },
                  {{12, 8}, {13, 8}, {14, 8}, {15, 8}, {12, 9}, {13, 9}, {14, 9}, {15, 9}}}),
    [](const ::testing::TestParamInfo<RatioCase> &info) { return std::string(info.param.name); });

TEST(PixelRatio, ClearedGraphCoversEveryDevicePixel) {
    auto graph = MakeGraph(30, 20);
    graph->SetPixelRatio(2);
    graph->g3D_cl_canvascolor = RGB(0, 0, 0);
    graph->g3D_cleargraph();
    EXPECT_EQ(graph->Bitmap().size(), QSize(60, 40));
    EXPECT_EQ(PixelsOtherThan(graph->Bitmap(), 0xff000000u), PixelSet());
}

TEST(PixelRatio, ShownImageTakesItsWindowsRatioAndAPictureForAFileRatioOne) {
    TImage unshown;
    unshown.resize(10, 10);
    unshown.Canvas();
    EXPECT_EQ(unshown.Bitmap().devicePixelRatio(), 1.0);

    TImage shown;
    shown.resize(10, 10);
    int told = 0;
    QObject::connect(&shown, &TImage::PixelRatioChanged, [&] { ++told; });
    shown.Canvas(); // drawn before any window shows it: at ratio 1
    shown.show();
    shown.grab(); // painted
    QCoreApplication::processEvents();
    const bool otherRatio = shown.devicePixelRatioF() != 1.0;
    EXPECT_EQ(told, otherRatio ? 1 : 0) << "the host hears of the window's other ratio";
    shown.DiscardPicture();
    shown.Canvas();
    EXPECT_EQ(shown.Bitmap().devicePixelRatio(), shown.devicePixelRatioF());
    EXPECT_EQ(shown.Bitmap().size(), shown.size() * shown.devicePixelRatioF());
}

} // namespace
} // namespace ziffa::testing
