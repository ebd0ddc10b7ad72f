// Text colours that can be read: the contrast rule, and the windows under a dark palette.
#include "WindowsFixture.h"

#include "forms/Contrast.h"

#include <QApplication>
#include <QLineEdit>

namespace ziffa {
namespace {

TEST(Contrast, RatiosOfKnownPairs) {
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21);
    EXPECT_DOUBLE_EQ(ContrastRatio(QColor(80, 90, 100), QColor(80, 90, 100)), 1);
    // #767676 is the lightest grey that passes 4.5 on white.
    EXPECT_GE(ContrastRatio(Qt::white, QColor(0x76, 0x76, 0x76)), 4.5);
    EXPECT_LT(ContrastRatio(Qt::white, QColor(0x77, 0x77, 0x77)), 4.5);
}

struct LegibleCase {
    QColor colour, background;
    double ratio;
};

class LegibleColour : public testing::TestWithParam<LegibleCase> {};

TEST_P(LegibleColour, KeepsTheHueAndMovesTheLightnessNoFurtherThanNeeded) {
    const auto [colour, background, ratio] = GetParam();
    const QColor got = Legible(colour, {background}, ratio);
    EXPECT_GE(ContrastRatio(got, background), ratio) << got.name().toStdString();
    if (ContrastRatio(colour, background) >= ratio) {
        EXPECT_EQ(got, colour) << "a colour that passes stays";
        return;
    }
    EXPECT_NEAR(got.hslHueF(), colour.hslHueF(), 0.01) << got.name().toStdString();
    const float back = got.lightnessF() > colour.lightnessF() ? -0.01f : 0.01f;
    EXPECT_LT(ContrastRatio(QColor::fromHslF(colour.hslHueF(), colour.hslSaturationF(),
                                             got.lightnessF() + back),
                            background),
              ratio)
        << "a little nearer the colour's own lightness misses the ratio";
}

INSTANTIATE_TEST_SUITE_P(Colours, LegibleColour,
                         testing::Values(LegibleCase{Qt::black, Qt::white, 4.5},
                                         LegibleCase{QColor(255, 0, 0), QColor(27, 30, 32), 4.5},
                                         LegibleCase{QColor(255, 0, 0), Qt::white, 4.5},
                                         LegibleCase{QColor(0, 128, 0), QColor(42, 46, 50), 3},
                                         LegibleCase{QColor(128, 128, 128), Qt::white, 4.5},
                                         LegibleCase{QColor(98, 108, 118), QColor(42, 46, 50), 3}));

// A dark palette that comes while the windows are open makes the red error line legible on it;
// the light one brings back the red the window names.
TEST_F(WindowsTest, PaletteChangeReachesTheWindows) {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(42, 46, 50));
    dark.setColor(QPalette::Base, QColor(27, 30, 32));
    dark.setColor(QPalette::WindowText, QColor(252, 252, 252));
    Calculate(QStringLiteral("(1"));
    auto shown = [this] {
        return ziffa->EditResult->palette().color(QPalette::Active, QPalette::Text);
    };
    QApplication::setPalette(dark);
    QCoreApplication::processEvents(); // the change comes as an event
    EXPECT_GE(ContrastRatio(shown(), dark.color(QPalette::Base)), 4.5);
    EXPECT_TRUE(ziffa->ResultShowsError()) << "the error state, whatever the red shown";
    QApplication::setPalette(light);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(), Qt::red);
}

} // namespace
} // namespace ziffa
