#pragma once
// The DPI a window is drawn at. The process is DPI-aware (per monitor where Windows supports it,
// else system-aware): every size designed at 96 DPI is scaled by the DPI of its window.
#include <windows.h>

// 96-DPI pixels to real pixels at this DPI: MulDiv(v, dpi, 96).
int ScaleForDpi(int value, int dpi);

// LOGPIXELSX of the screen: the DPI of every window where the system knows no other.
int SystemDpi();
// GetDpiForWindow (Windows 10 1607 and later, looked up at run time), else the system DPI; null
// or a failed answer gives the system DPI too.
int DpiOfWindow(HWND window);
// The DPI of the monitor at this screen point (GetDpiForMonitor of shcore, Windows 8.1 and
// later, looked up at run time), else the system DPI: where a menu opened there is drawn.
int DpiAtPoint(POINT point);
// GetSystemMetricsForDpi where it exists, else the system's metric scaled from the system DPI.
int SystemMetricForDpi(int index, int dpi);

class HighDpiHelper_CL {
public:
    HighDpiHelper_CL() = default;
    virtual ~HighDpiHelper_CL() = default;

    // The DPI of this window (null: the system DPI).
    void Query(HWND window = nullptr);

    // A 96-DPI size in real pixels.
    int ScaleX(int value) const { return ScaleForDpi(value, dpi_); }
    int ScaleY(int value) const { return ScaleForDpi(value, dpi_); }
    int Dpi() const { return dpi_; }

private:
    int dpi_ = 96;
};
