// Text colours that can be read: the contrast rule, and the windows under a dark palette.
#include "WindowsFixture.h"

#include "forms/Contrast.h"

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

// A dark palette comes while the windows are open: every text of the calculator and variables
// windows becomes legible, in the error and disabled states too; the light one brings back the
// colours the windows name.
TEST_F(WindowsTest, DarkPaletteMakesEveryTextLegible) {
    const QPalette light = QApplication::palette();
    QPalette dark;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(42, 46, 50)},
                                {QPalette::Base, QColor(27, 30, 32)},
                                {QPalette::Button, QColor(49, 54, 59)}})
        dark.setColor(role, colour);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(role, QColor(252, 252, 252));
        dark.setColor(QPalette::Disabled, role, QColor(98, 108, 118));
    }
    QApplication::setPalette(dark);
    QCoreApplication::processEvents(); // the change comes as an event
    Calculate(QStringLiteral("(1"));
    for (QWidget *control :
         ziffa->findChildren<QWidget *>() + variables->findChildren<QWidget *>()) {
        const QPalette p = control->palette();
        const bool edit = qobject_cast<QLineEdit *>(control);
        if (!edit && !qobject_cast<QLabel *>(control) && !qobject_cast<QAbstractButton *>(control))
            continue;
        const QColor under = edit                                   ? p.color(QPalette::Base)
                             : control->autoFillBackground()        ? p.color(QPalette::Window)
                             : qobject_cast<QPushButton *>(control) ? dark.color(QPalette::Button)
                                                                    : dark.color(QPalette::Window);
        const QPalette::ColorRole text = control->foregroundRole();
        EXPECT_GE(ContrastRatio(p.color(QPalette::Active, text), under), 4.5)
            << control->objectName().toStdString();
        EXPECT_GE(ContrastRatio(p.color(QPalette::Disabled, text), under), 3)
            << control->objectName().toStdString();
    }
    EXPECT_TRUE(ziffa->ResultShowsError()) << "the error state, whatever the red shown";
    QApplication::setPalette(light);
    QCoreApplication::processEvents();
    EXPECT_EQ(ziffa->EditResult->palette().color(QPalette::Active, QPalette::Text), Qt::red);
}

} // namespace
} // namespace ziffa
