#include "forms/Foreground.h"

#include <QWidget>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ziffa {

bool ForceForeground(QWidget &window) {
#ifdef _WIN32
    const HWND handle = reinterpret_cast<HWND>(window.winId());
    const HWND foreground = GetForegroundWindow();
    if (foreground == handle)
        return true;
    const DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
    const DWORD ownThread = GetWindowThreadProcessId(handle, nullptr);
    bool made = false;
    if (foregroundThread != ownThread) {
        AttachThreadInput(foregroundThread, ownThread, TRUE);
        made = SetForegroundWindow(handle) != 0;
        AttachThreadInput(foregroundThread, ownThread, FALSE);
    } else {
        made = SetForegroundWindow(handle) != 0;
    }
    ShowWindow(handle, SW_RESTORE);
    return made;
#else
    if (window.isActiveWindow())
        return true;
    window.showNormal();
    window.raise();
    window.activateWindow();
    return true;
#endif
}

} // namespace ziffa
