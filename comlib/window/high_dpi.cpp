#include "comlib/window/high_dpi.h"

#include "comlib/dll_function.h"
#include "comlib/unique_resource.h"

namespace {
using DpiForWindowFunction = UINT(WINAPI*)(HWND);
using MetricsForDpiFunction = int(WINAPI*)(int, UINT);

// Both functions are missing before Windows 10 1607; looked up once.
const DllFunction_CL& User32() {
    static const DllFunction_CL user32(L"user32.dll");
    return user32;
}
}  // namespace

int ScaleForDpi(int value, int dpi) { return ::MulDiv(value, dpi, 96); }

int SystemDpi() {
    const WindowDc screen(nullptr);
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

int DpiOfWindow(HWND window) {
    static const DpiForWindowFunction dpiForWindow = User32().LookupAs<DpiForWindowFunction>("GetDpiForWindow");
    if (window && dpiForWindow) {
        const UINT dpi = dpiForWindow(window);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

int DpiAtPoint(POINT point) {
    // MDT_EFFECTIVE_DPI is 0.
    using DpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const DllFunction_CL shcore(L"shcore.dll");
    static const DpiForMonitorFunction dpiForMonitor = shcore.LookupAs<DpiForMonitorFunction>("GetDpiForMonitor");
    UINT x = 0, y = 0;
    const HMONITOR monitor = ::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    if (dpiForMonitor && SUCCEEDED(dpiForMonitor(monitor, 0, &x, &y)) && x > 0) return static_cast<int>(x);
    return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    static const MetricsForDpiFunction metricsForDpi = User32().LookupAs<MetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (metricsForDpi) return metricsForDpi(index, static_cast<UINT>(dpi));
    return ::MulDiv(::GetSystemMetrics(index), dpi, SystemDpi());
}

void HighDpiHelper_CL::Query(HWND window) { dpi_ = DpiOfWindow(window); }
