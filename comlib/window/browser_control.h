#pragma once
// The web-browser control ("Shell.Explorer.2") in an ATL ActiveX host window.
#include <windows.h>
#include <ole2.h>
#include <exdisp.h>

#include <string>
#include <vector>

#include "comlib/unique_resource.h"

struct AtlHostLibrary {
    const wchar_t* library;
    const wchar_t* windowClass;
};
// The ATL versions that can host the control, newest first: atl120.dll ("AtlAxWin120") down
// to atl.dll ("AtlAxWin").
const std::vector<AtlHostLibrary>& AtlHostLibraries();

class BrowserControl_CL {
public:
    BrowserControl_CL() = default;
    BrowserControl_CL(const BrowserControl_CL&) = delete;
    BrowserControl_CL& operator=(const BrowserControl_CL&) = delete;
    // Releases the browser once; a host window still alive (no parent took it) goes first.
    virtual ~BrowserControl_CL();

    // Creates the host window (a visible tab-stop child of parent, or a top-level window when
    // parent is null) with the browser in it. Returns the host window, or null when no ATL
    // library is present or the host could not be created. The ATL library is loaded from the
    // system folder only and stays loaded for the rest of the run.
    HWND CreateHost(HWND parent);
    // Navigate2 to a file path or address; false when no browser is attached or it refused.
    bool Navigate(const std::wstring& target);

    HWND Host() const { return host_; }
    HWND Parent() const { return parent_; }
    bool HasBrowser() const { return browser_.IsValid(); }

private:
    HWND host_ = nullptr;
    HWND parent_ = nullptr;
    UniqueCom<IWebBrowser2> browser_;
    bool comStarted_ = false;  // CoInitialize succeeded here and is balanced in the destructor
};
