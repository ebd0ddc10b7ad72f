#pragma once

// A window shown without taking the activation keeps it from the active one on X11 and Windows.
// A Wayland compositor activates every window it maps, whatever the window asks; there the
// activation is asked back once the shown window has taken it.

#include <QStringView>

#include <functional>

class QWidget;

namespace ziffa {

// Whether a platform activates every window it shows: Wayland's compositors do.
bool PlatformActivatesShownWindows(QStringView platformName);
// The same of the platform this program runs on. There a window just shown is activated by the
// window system; a request of the program's own would only come late and undo a later one.
bool ShownWindowsActivated();

// On such a platform, calls giveBack when the window, just shown, becomes the focus window. The
// watch ends there, at the first other focus window, when the window is hidden, or after a few
// seconds (a compositor that left the activation where it was).
void KeepActivationFrom(QWidget &shown, std::function<void()> giveBack);

} // namespace ziffa
