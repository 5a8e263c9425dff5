#include "comlib/multi_screen.h"

#include "comlib/inifile.h"

bool CornerOnWorkArea(const RECT& work, int x, int y) {
    return work.left <= x && x < work.right && work.top <= y && y < work.bottom;
}

RECT ChooseWindowRect(const RECT& stored, const std::vector<RECT>& workAreas, const RECT& fallback) {
    for (const RECT& work : workAreas) {
        if (CornerOnWorkArea(work, stored.left, stored.top)) return stored;
    }
    return fallback;
}

void MultiScreen_CL::EnumMonitors() {
    entries_.clear();
    ::EnumDisplayMonitors(nullptr, nullptr, EnumProc, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK MultiScreen_CL::EnumProc(HMONITOR monitor, HDC dc, LPRECT, LPARAM data) {
    MonitorEntry entry = {};
    entry.monitor = monitor;
    entry.dc = dc;
    entry.info.cbSize = sizeof(entry.info);
    ::GetMonitorInfoW(monitor, &entry.info);
    reinterpret_cast<MultiScreen_CL*>(data)->entries_.push_back(entry);
    return TRUE;
}

std::vector<RECT> MultiScreen_CL::WorkAreas() const {
    std::vector<RECT> areas;
    for (const MonitorEntry& entry : entries_) areas.push_back(entry.info.rcWork);
    return areas;
}

int WriteWindowRect(const std::wstring& section, const std::wstring& key, HWND window) {
    RECT rect = {};
    if (!::GetWindowRect(window, &rect)) return 0;
    // A minimised or maximised rectangle is not the one to come back to.
    if (::IsIconic(window) || ::IsZoomed(window)) return 0;
    return g_Inifile.WriteStruct(section, key, &rect, sizeof(rect)) ? 1 : -1;
}

RECT ReadWindowRect(const std::wstring& section, const std::wstring& key, const RECT& defaultRect) {
    RECT stored = {};
    if (!g_Inifile.ReadStruct(section, key, &stored, sizeof(stored))) return defaultRect;
    MultiScreen_CL screens;
    screens.EnumMonitors();
    return ChooseWindowRect(stored, screens.WorkAreas(), defaultRect);
}
