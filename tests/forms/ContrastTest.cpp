// Text colours that can be read: the contrast rule, and the windows under a dark palette.
#include "WindowsFixture.h"

#include "forms/Contrast.h"
#include "forms/FormLook.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace ziffa {
namespace {

TEST(Contrast, RatiosOfKnownPairs) {
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21);
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::white, Qt::black), 21);
    EXPECT_DOUBLE_EQ(ContrastRatio(QColor(80, 90, 100), QColor(80, 90, 100)), 1);
    // #767676 is the lightest grey that passes 4.5 on white; #777777 just misses.
    EXPECT_GE(ContrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.5);
    EXPECT_LT(ContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.5);
}

struct LegibleCase {
    QColor colour, background;
    double ratio;
    bool unchanged; // the colour passes as it is
};

class LegibleColour : public testing::TestWithParam<LegibleCase> {};

TEST_P(LegibleColour, KeepsTheHueAndMovesTheLightnessNoFurtherThanNeeded) {
    const LegibleCase &c = GetParam();
    const QColor got = Legible(c.colour, {c.background}, c.ratio);
    EXPECT_GE(ContrastRatio(got, c.background), c.ratio) << got.name().toStdString();
    if (c.unchanged) {
        EXPECT_EQ(got, c.colour);
        return;
    }
    EXPECT_NEAR(got.hslHueF(), c.colour.hslHueF(), 0.01) << got.name().toStdString();
    // A lightness a little nearer the colour's own misses the ratio.
    const float own = c.colour.lightnessF(), step = got.lightnessF() > own ? -0.01f : 0.01f;
    const QColor nearer =
        QColor::fromHslF(c.colour.hslHueF(), c.colour.hslSaturationF(), got.lightnessF() + step);
    EXPECT_LT(ContrastRatio(nearer, c.background), c.ratio);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, LegibleColour,
    testing::Values(LegibleCase{Qt::black, Qt::white, 4.5, true},
                    LegibleCase{QColor(255, 0, 0), QColor(27, 30, 32), 4.5, false},
                    LegibleCase{QColor(255, 0, 0), Qt::white, 4.5, false},
                    LegibleCase{QColor(0, 128, 0), QColor(42, 46, 50), 4.5, false},
                    LegibleCase{QColor(0, 128, 0), QColor(42, 46, 50), 3, false},
                    LegibleCase{QColor(128, 128, 128), Qt::white, 4.5, false},
                    LegibleCase{QColor(98, 108, 118), QColor(42, 46, 50), 3, false},
                    LegibleCase{QColor(252, 252, 252), QColor(27, 30, 32), 4.5, true}));

TEST(Contrast, UnreachableRatioGivesTheBestLightness) {
    EXPECT_EQ(Legible(QColor(200, 0, 0), {QColor(128, 128, 128)}, 21), QColor(Qt::black));
    const QColor both = Legible(QColor(0, 0, 255), {Qt::white, QColor(200, 200, 200)}, 4.5);
    EXPECT_GE(ContrastRatio(both, QColor(200, 200, 200)), 4.5) << "the worse background counts";
}

// Under a dark palette, shown while the windows are open: every text of the calculator and
// variables windows is legible, in its error and disabled states too; back to the light
// palette, the colours the windows name come back.
TEST_F(WindowsTest, DarkPaletteMakesEveryTextLegible) {
    const QPalette light = QApplication::palette();
    QPalette dark;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(42, 46, 50)},
                                {QPalette::Base, QColor(27, 30, 32)},
                                {QPalette::Button, QColor(49, 54, 59)}}) {
        dark.setColor(role, colour);
    }
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(role, QColor(252, 252, 252));
        dark.setColor(QPalette::Disabled, role, QColor(98, 108, 118));
    }
    QApplication::setPalette(dark);
    QCoreApplication::processEvents(); // the change comes as an event
    Calculate(QStringLiteral("(1"));
    for (QWidget *window :
         {static_cast<QWidget *>(ziffa.get()), static_cast<QWidget *>(variables.get())}) {
        for (QWidget *control : window->findChildren<QWidget *>()) {
            if (!qobject_cast<QLabel *>(control) && !qobject_cast<QAbstractButton *>(control) &&
                !qobject_cast<QLineEdit *>(control))
                continue;
            const QPalette p = control->palette();
            const QColor under =
                qobject_cast<QLineEdit *>(control) ? p.color(QPalette::Base)
                : control->autoFillBackground()
                    ? p.color(QPalette::Window)
                    : dark.color(qobject_cast<QPushButton *>(control) ? QPalette::Button
                                                                      : QPalette::Window);
            const std::string name = control->objectName().toStdString();
            EXPECT_GE(ContrastRatio(p.color(QPalette::Active, control->foregroundRole()), under),
                      4.5)
                << name;
            EXPECT_GE(ContrastRatio(p.color(QPalette::Disabled, control->foregroundRole()), under),
                      3)
                << name;
        }
    }
    EXPECT_TRUE(ziffa->ResultShowsError()) << "the error state, whatever the red shown";
    QApplication::setPalette(light);
    QCoreApplication::processEvents();
    EXPECT_EQ(ziffa->EditResult->palette().color(QPalette::Active, QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(ziffa->SpeedButton3->palette().color(QPalette::Active, QPalette::ButtonText), QColor(0, 128, 0));
}

} // namespace
} // namespace ziffa
