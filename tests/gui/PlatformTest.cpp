// The window system chosen before the application object is made: X11 through Xwayland in a
// Wayland session, the user's own choice always first.
#include "gui/Platform.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ziffa {
namespace {

TEST(Platform, X11InAWaylandSessionUnlessTheUserChose) {
    const struct {
        const char *what;
        PlatformFacts facts;
        bool x11First; // whether X11 is asked for before anything else
    } rows[] = {
        {"Wayland display and X display", {.waylandDisplay = "wayland-0", .display = ":0"}, true},
        {"Wayland session type and X display", {.sessionType = "wayland", .display = ":1"}, true},
        {"the user's QT_QPA_PLATFORM",
         {.qpaPlatform = "wayland", .waylandDisplay = "wayland-0", .display = ":0"},
         false},
        {"the user's -platform argument",
         {.platformArgument = true, .waylandDisplay = "wayland-0", .display = ":0"},
         false},
        {"no X server at hand", {.waylandDisplay = "wayland-0", .sessionType = "wayland"}, false},
        {"an X11 session", {.sessionType = "x11", .display = ":0"}, false},
        {"no display at all", {}, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const std::optional<std::string_view> chosen = ChosenPlatform(row.facts);
        EXPECT_EQ(chosen.has_value(), row.x11First);
        if (chosen) { // Wayland remains the fallback when the X server can't be reached
            EXPECT_TRUE(chosen->starts_with("xcb;")) << *chosen;
        }
    }
}

TEST(Platform, PlatformArgumentIsFoundInEitherSpelling) {
    const struct {
        std::vector<const char *> argv;
        bool found;
    } rows[] = {{{"ziffa", "-platform", "wayland"}, true},
                {{"ziffa", "2+2", "--platform", "xcb"}, true},
                {{"ziffa", "-platformtheme", "gtk3"}, false},
                {{"-platform", "2+2"}, false}, // the program's own name
                {{"ziffa", "platform"}, false}};
    for (const auto &row : rows)
        EXPECT_EQ(HasPlatformArgument(static_cast<int>(row.argv.size()), row.argv.data()),
                  row.found)
            << row.argv.back();
}

} // namespace
} // namespace ziffa
