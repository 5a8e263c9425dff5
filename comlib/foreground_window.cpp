#include "comlib/foreground_window.h"

DWORD ForegroundProcessId() {
    const HWND front = ::GetForegroundWindow();
    if (!front) return 0;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(front, &processId);
    return processId;
}
