#pragma once

// Window places, client sizes and window states as the settings file keeps them: the position
// is the window frame's corner (pos() and move()), the size is the client area's.

#include "settings/SettingsKeys.h"

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QStringView>

#include <functional>
#include <optional>

class QWidget;

namespace ziffa {

// Values from a hand-edited file can be anything. A position is kept within the 16-bit
// coordinates of the window system, which positions may still lie far off the screen; a
// client size within a few screens' worth, so that no window or bitmap of gigabytes is made.
inline constexpr int MaxWindowCoordinate = 32767;
inline constexpr int MaxClientExtent = 8192;

int BoundedCoordinate(int value);
int BoundedExtent(int value);

// Moves a window's frame corner to a place of the file, bounded, and pulls it back within reach
// (ReachablePlace, with the window's frame as far as it is known, FrameOrEstimate).
void PlaceWindow(QWidget &window, int left, int top);

// How much of a title bar a screen must show for the window to be reachable: its whole height
// and this much of its width (all of it, where it is narrower).
inline constexpr int TitleBarGrip = 40;

// Where a window's frame is to stand for its title bar to be reachable. frame: the window's outer
// rectangle; titleHeight: its title bar's height; availableAreas: each screen's area that windows
// may take. A frame whose title bar a screen shows (TitleBarGrip) stays where it is. Otherwise
// it moves, on each axis where the screen nearest to the title bar doesn't show it, just enough to
// lie within that screen's area on that axis (its top or left edge at the area's, where it is the
// larger). Without screens nothing moves.
QPoint ReachablePlace(const QRect &frame, int titleHeight, const QList<QRect> &availableAreas);

// Whether a platform tells a program where its windows stand and lets it place them. X11 and
// Windows do; a Wayland compositor tells a client neither (positions read as some fixed corner).
bool PlatformKnowsPlaces(QStringView platformName);
// The same of the platform this program runs on.
bool WindowPlacesKnown();
// Gives a window a client size of the file, bounded; the window's own size limits apply too.
void SizeClientArea(QWidget &window, int width, int height);

// The state in which a hidden window is shown next (windowState() tells it at once); a window
// that has been shown takes it at once.
void SetWindowStateOf(QWidget &window, WindowShowState state);
// A window's state now: minimised (also when maximised underneath), maximised, or normal (any
// other state, such as full screen).
WindowShowState WindowStateOf(const QWidget &window);

// The widths of a top-level window's frame (title bar and borders), as the window system reports
// them once it has framed the window: when the window is shown and exposed. A window manager
// frames a window only when it maps it, so before that nothing is known.
std::optional<QMargins> FrameOf(const QWidget &window);

// The frame of a window not framed yet: that of a framed window of the program (the window
// manager gives its windows alike frames), or else a usual title bar and border.
inline constexpr QMargins UsualFrame{4, 24, 4, 4};
QMargins FrameOrEstimate(const QWidget &window, const QWidget *framed = nullptr);

// Calls back once, when the window has been shown and framed (its first expose).
void WhenFramed(QWidget &window, std::function<void()> framed);

} // namespace ziffa
