#pragma once

// Window places, client sizes and window states as the settings file keeps them: the position
// is the window frame's corner (pos() and move()), the size is the client area's.

#include "settings/SettingsKeys.h"

#include <QMargins>

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

// Moves a window's frame corner to a place of the file, bounded.
void PlaceWindow(QWidget &window, int left, int top);
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
