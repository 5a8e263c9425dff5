#include "comlib/window/high_dpi.h"

#include "comlib/dll_function.h"
#include "comlib/unique_resource.h"

int ScaleForDpi(int value, bool dpiAware, int dpi) { return dpiAware ? value : ::MulDiv(value, dpi, 96); }

bool HighDpiHelper_CL::DecideDpiAware(GetAwarenessFunction getAwareness, IsAwareFunction isAware) {
    if (getAwareness) {
        int awareness = 0;  // PROCESS_DPI_UNAWARE
        if (getAwareness(nullptr, &awareness) == S_OK) return awareness != 0;
        return false;
    }
    if (isAware) return isAware() != FALSE;
    return false;
}

void HighDpiHelper_CL::Query() {
    dpiAware_ = false;
    // GetVersionExW reports 6.2 to a program without a compatibility manifest, which is
    // enough here: only "Vista or later" (major 6 and up) is asked.
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ::GetVersionExW(&version);
#pragma GCC diagnostic pop
    if (version.dwMajorVersion >= 6) {
        const DllFunction_CL shcore(L"SHCore.dll");
        const DllFunction_CL user32(L"user32.dll");
        dpiAware_ = DecideDpiAware(shcore.LookupAs<GetAwarenessFunction>("GetProcessDpiAwareness"),
                                   user32.LookupAs<IsAwareFunction>("IsProcessDPIAware"));
    }
    if (!dpiAware_) {
        WindowDc screen(nullptr);
        if (screen.Get()) {
            dpiX_ = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
            dpiY_ = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
        }
    }
}

int HighDpiHelper_CL::ScaleX(int value) const { return ScaleForDpi(value, dpiAware_, dpiX_); }

int HighDpiHelper_CL::ScaleY(int value) const { return ScaleForDpi(value, dpiAware_, dpiY_); }
