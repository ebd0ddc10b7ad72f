// The picture at device pixel ratio 2: drawn in the control's pixels, lines one device pixel
// wide. (The suite runs a second time with QT_SCALE_FACTOR=2.)
#include "GraphTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>

namespace ziffa::testing {
namespace {

struct RatioCase {
    const char *name;
    std::function<void(TCanvas &)> draw;
    PixelSet device; // every device pixel drawn
};

class AtRatioTwo : public ::testing::TestWithParam<RatioCase> {};

TEST_P(AtRatioTwo, DrawsInDevicePixels) {
    TImage image;
    image.SetPixelRatio(2);
    image.resize(8, 6);
    image.Canvas().SetPenColor(RGB(255, 0, 0));
    GetParam().draw(image.Canvas());
    EXPECT_EQ(image.Bitmap().size(), QSize(16, 12));
    EXPECT_EQ(PixelsOtherThan(image.Bitmap(), 0xffffffff), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Canvas, AtRatioTwo,
    ::testing::Values(
        RatioCase{"LevelLine",
                  [](TCanvas &c) { c.MoveTo(1, 2), c.LineTo(4, 2); },
                  {{2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4}, {7, 4}}},
        RatioCase{"Diagonal",
                  [](TCanvas &c) { c.MoveTo(0, 0), c.LineTo(2, 2); },
                  {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        RatioCase{"Pixel", [](TCanvas &c) { c.PutPixel(3, 1); }, {{6, 2}, {7, 2}, {6, 3}, {7, 3}}},
        RatioCase{"Rectangle",
                  [](TCanvas &c) { c.SetBrushColor(0), c.FillRect(7, 4, 9, 5); },
                  {{14, 8}, {15, 8}, {14, 9}, {15, 9}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PixelRatio, ShownImageTakesItsWindowsRatioAPictureForAFileRatioOne) {
    TImage image;
    image.resize(10, 10);
    int told = 0;
    QObject::connect(&image, &TImage::PixelRatioChanged, [&] { ++told; });
    image.Canvas(); // while no window shows it
    EXPECT_EQ(image.Bitmap().devicePixelRatio(), 1.0);
    image.show();
    image.grab(); // painted
    QCoreApplication::processEvents();
    EXPECT_EQ(told, image.devicePixelRatioF() != 1.0 ? 1 : 0) << "the host hears of the change";
    image.DiscardPicture();
    image.Canvas();
    EXPECT_EQ(image.Bitmap().size(), image.size() * image.devicePixelRatioF());
}

} // namespace
} // namespace ziffa::testing
