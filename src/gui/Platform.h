#pragma once

// The window system that the windows run on. A Wayland compositor tells a client neither where
// its windows stand nor lets it place them or keep one above the others; X11 does both, and in
// a Wayland session an X server is at hand through Xwayland. So, unless the user has chosen a
// platform, the windows run on X11 wherever an X display is given.

#include <optional>
#include <string_view>

namespace ziffa {

// What the choice depends on: the user's own choice and the session's displays.
struct PlatformFacts {
    std::string_view qpaPlatform = {}; // QT_QPA_PLATFORM: the user's choice, when not empty
    bool platformArgument = false; // "-platform NAME" (or "--platform NAME") on the command line
    std::string_view waylandDisplay = {}; // WAYLAND_DISPLAY
    std::string_view sessionType = {};    // XDG_SESSION_TYPE
    std::string_view display = {};        // DISPLAY: an X server (Xwayland in a Wayland session)
};

// The platform to ask Qt for, in its own list form (the first that starts is taken), or nothing
// to leave Qt its own choice: X11, then Wayland where the X server can't be reached, in a
// Wayland session with an X display that the user has chosen no platform for.
std::optional<std::string_view> ChosenPlatform(const PlatformFacts &facts);

// Whether the command line names a platform for Qt ("-platform" or "--platform").
bool HasPlatformArgument(int argc, const char *const *argv);

// Reads the facts from the environment and the command line and sets the chosen platform for
// the application object to come. Call before it is made.
void ChoosePlatform(int argc, const char *const *argv);

} // namespace ziffa
