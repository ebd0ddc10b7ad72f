#pragma once

namespace ziffa {

// The windows as a screen reader reads them. Each top-level window of the program that is not a
// dialog is a frame named by its caption (a plain widget would be an unnamed filler). A window
// or a panel lists only the controls that can be seen: one that is hidden, or placed wholly
// outside it (the calculator's "Zamknij", which only Escape presses), is left out. Installed
// once, before the first window is made; a second call does nothing.
void InstallAccessibleWindows();

} // namespace ziffa
