#pragma once
// The program in front: the process that owns the foreground window.
#include <windows.h>

// GetForegroundWindow, then GetWindowThreadProcessId; 0 when no window is in front (the desktop
// switching, a locked screen).
DWORD ForegroundProcessId();
