#pragma once
// The monitors present now, and the main window's rectangle stored in the INI file.
#include <windows.h>

#include <string>
#include <vector>

// A stored window corner counts only on a work area: left <= x < right, top <= y < bottom.
bool CornerOnWorkArea(const RECT& work, int x, int y);
// The stored rectangle when its corner lies on one of the work areas, otherwise the default.
RECT ChooseWindowRect(const RECT& stored, const std::vector<RECT>& workAreas, const RECT& fallback);

struct MonitorEntry {
    HMONITOR monitor;
    HDC dc;  // the enumeration's device context: null, none is given
    MONITORINFOEXW info;
};

class MultiScreen_CL {
public:
    MultiScreen_CL() = default;
    virtual ~MultiScreen_CL() = default;

    // Refills the list in the platform's enumeration order.
    void EnumMonitors();
    const std::vector<MonitorEntry>& Entries() const { return entries_; }
    std::vector<RECT> WorkAreas() const;

private:
    static BOOL CALLBACK EnumProc(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM data);

    std::vector<MonitorEntry> entries_;
};

// Stores GetWindowRect of the window through g_Inifile; returns 1, 0 (nothing written) for a
// minimised or maximised window or one whose rectangle cannot be read, -1 when the file refused it.
int WriteWindowRect(const std::wstring& section, const std::wstring& key, HWND window);
// The stored rectangle when its top-left corner lies on a monitor's work area; otherwise (no
// value, damaged value, corner on no monitor) the default.
RECT ReadWindowRect(const std::wstring& section, const std::wstring& key, const RECT& defaultRect);
