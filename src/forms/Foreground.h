#pragma once

class QWidget;

namespace ziffa {

// Makes a top-level window the foreground window: restores it and asks for it to be raised and
// activated. Returns true when the window is, or was asked to become, the foreground window; on
// X11 the activation itself happens later, so the answer says that the request was made.
bool ForceForeground(QWidget &window);

} // namespace ziffa
