#pragma once
// Whether the process is DPI-aware and, if not, the DPI the system reports to it.
#include <windows.h>

// 96-DPI pixels to real pixels: unchanged when DPI-aware, else MulDiv(v, dpi, 96).
int ScaleForDpi(int value, bool dpiAware, int dpi);

class HighDpiHelper_CL {
public:
    // GetProcessDpiAwareness (SHCore) and IsProcessDPIAware (user32).
    using GetAwarenessFunction = HRESULT(WINAPI*)(HANDLE process, int* awareness);
    using IsAwareFunction = BOOL(WINAPI*)();

    HighDpiHelper_CL() = default;
    virtual ~HighDpiHelper_CL() = default;

    // Fills the three fields; on a process that is not DPI-aware reads LOGPIXELSX/Y of the screen.
    void Query();

    // A 96-DPI size in real pixels.
    int ScaleX(int value) const;
    int ScaleY(int value) const;

    bool DpiAware() const { return dpiAware_; }
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }

    // The awareness decision from whichever functions exist (null when missing): a successful
    // GetProcessDpiAwareness decides; if it fails, the answer is "not aware" and IsProcessDPIAware
    // is not consulted; only when it is missing does IsProcessDPIAware decide.
    static bool DecideDpiAware(GetAwarenessFunction getAwareness, IsAwareFunction isAware);

private:
    bool dpiAware_ = true;
    int dpiX_ = 96;
    int dpiY_ = 96;
};
