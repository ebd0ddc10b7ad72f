// Window places that can't be reached, and places that the window system doesn't tell.
#include "WindowsFixture.h"

#include "forms/WindowGeometry.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include <string>

namespace ziffa {
namespace {

// Two screens side by side: a 1280x1024 one with a 24-pixel panel at its top, and a taller one
// to its right.
const QList<QRect> TwoScreens = {QRect(0, 24, 1280, 1000), QRect(1280, 0, 1920, 1080)};

TEST(ReachablePlace, MovesAWindowOnlyWhereItsTitleBarIsOutOfReach) {
    const struct {
        const char *what;
        QRect frame;
        QPoint expected;
    } rows[] = {
        {"on the first screen", {100, 100, 400, 100}, {100, 100}},
        {"mostly off the right edge, 50 pixels of title bar shown",
         {3150, 500, 400, 100},
         {3150, 500}},
        {"the body below the bottom, the title bar shown", {200, 1000, 400, 300}, {200, 1000}},
        {"only 20 pixels of title bar shown: left edge at the screen's",
         {-380, 300, 400, 100},
         {0, 300}},
        {"under the panel: top at the panel's edge", {300, 10, 400, 100}, {300, 24}},
        {"beyond the far corner: against the right and bottom edges",
         {5000, 3000, 400, 100},
         {2800, 980}},
        {"below the shorter screen, nearer to it than to the other",
         {100, 1030, 400, 100},
         {100, 924}},
        {"wider than any screen: left edge at the nearest one's",
         {-9000, 100, 9000, 100},
         {0, 100}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(ReachablePlace(row.frame, 20, TwoScreens), row.expected) << row.what;
    EXPECT_EQ(ReachablePlace({5000, 5000, 10, 10}, 20, {}), QPoint(5000, 5000)) << "no screens";
}

class WindowPlaceTest : public WindowsTest {
protected:
    void StartWith(const std::string &text) {
        QFile file(SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.data(), static_cast<qint64>(text.size()));
        file.close();
        CreateWindows();
    }
    std::string CloseAndRead() {
        ziffa->close();
        QFile file(SettingsFile());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }
};

TEST_F(WindowPlaceTest, PlacesOutOfReachArePulledBackTheOthersStay) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    StartWith("[Calculator]\nLeft=50\nTop=-500\n[Variables]\nLeft=-30\nTop=100\n[Chart]\nLeft=" +
              std::to_string(screen.right() + 500) +
              "\nTop=" + std::to_string(screen.bottom() + 500) + "\nWidth=300\nHeight=200\n");
    EXPECT_EQ(ziffa->pos(), QPoint(50, screen.top()));
    EXPECT_EQ(variables->pos(), QPoint(-30, 100)) << "its title bar can be reached";
    // The chart window, not framed yet, by its estimated frame.
    const QRect frame(wykres->pos(), wykres->size().grownBy(FrameOrEstimate(*wykres)));
    EXPECT_EQ(frame.bottomRight(), screen.bottomRight());
}

TEST_F(WindowPlaceTest, UnknownPlacesAreWrittenBackAsTheFileHadThem) {
    StartWith("[Calculator]\nWidth=450\nLeft=300\nTop=40\n[Variables]\nLeft=10\nTop=20\n"
              "[Chart]\nLeft=70\nTop=80\nWidth=500\n");
    ziffa->SetPlacesKnown(false);
    for (QWidget *window :
         {static_cast<QWidget *>(ziffa.get()), static_cast<QWidget *>(variables.get()),
          static_cast<QWidget *>(wykres.get())})
        window->move(0, 0); // what a compositor tells
    ziffa->resize(480, ziffa->height());
    const std::string file = CloseAndRead();
    for (const char *kept :
         {"[Calculator]\nWidth=480\nLeft=300\nTop=40\n", "[Variables]\nLeft=10\nTop=20\n",
          "[Chart]\nLeft=70\nTop=80\nWidth=500\n"})
        EXPECT_NE(file.find(kept), std::string::npos) << kept << " in\n" << file;

    // A file without places gets none.
    QFile::remove(SettingsFile());
    CreateWindows();
    ziffa->SetPlacesKnown(false);
    EXPECT_EQ(CloseAndRead().find("Left="), std::string::npos);
}

} // namespace
} // namespace ziffa
