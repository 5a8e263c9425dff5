#include "comlib/window/browser_control.h"

#include <memory>

#include "comlib/dll_function.h"
#include "comlib/log.h"
#include "comlib/utility.h"

namespace {
using AtlAxWinInitFunction = BOOL(WINAPI*)();
using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND host, IUnknown** control);

constexpr DWORD kChildHostStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kTopLevelHostStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;

struct LoadedAtl {
    std::unique_ptr<DllFunction_CL> dll;
    const wchar_t* windowClass = nullptr;
};

// The first ATL library present, loaded once and kept for the run: the host window class it
// registers must outlive every host window.
const LoadedAtl& AtlHost() {
    static const LoadedAtl loaded = [] {
        LoadedAtl found;
        for (const AtlHostLibrary& candidate : AtlHostLibraries()) {
            auto dll = std::make_unique<DllFunction_CL>(candidate.library);
            if (!dll->Module()) continue;
            found.dll = std::move(dll);
            found.windowClass = candidate.windowClass;
            break;
        }
        return found;
    }();
    return loaded;
}

// oleaut32 is looked up when a page is first shown, not imported: nothing before needs it.
struct OleAutomation {
    DllFunction_CL dll{L"oleaut32.dll"};
    decltype(&::SysAllocString) allocString = dll.LookupAs<decltype(&::SysAllocString)>("SysAllocString");
    decltype(&::SysFreeString) freeString = dll.LookupAs<decltype(&::SysFreeString)>("SysFreeString");
};

const OleAutomation& Automation() {
    static const OleAutomation api;
    return api;
}
}  // namespace

const std::vector<AtlHostLibrary>& AtlHostLibraries() {
    static const std::vector<AtlHostLibrary> libraries = {
        {L"atl120.dll", L"AtlAxWin120"}, {L"atl110.dll", L"AtlAxWin110"}, {L"atl100.dll", L"AtlAxWin100"},
        {L"atl90.dll", L"AtlAxWin90"},   {L"atl80.dll", L"AtlAxWin80"},   {L"atl71.dll", L"AtlAxWin71"},
        {L"atl.dll", L"AtlAxWin"},
    };
    return libraries;
}

BrowserControl_CL::~BrowserControl_CL() {
    // The control inside a live host needs COM until the host is gone.
    if (host_ && ::IsWindow(host_) && ::GetParent(host_) == parent_) ::DestroyWindow(host_);
    browser_.Reset();
    if (comStarted_) ::CoUninitialize();
}

HWND BrowserControl_CL::CreateHost(HWND parent) {
    parent_ = parent;
    const LoadedAtl& atl = AtlHost();
    if (!atl.dll) {
        g_Logger.Log(L"ATLライブラリがありません", __FILE__, __LINE__);
        return nullptr;
    }
    const auto axWinInit = atl.dll->LookupAs<AtlAxWinInitFunction>("AtlAxWinInit");
    const auto axGetControl = atl.dll->LookupAs<AtlAxGetControlFunction>("AtlAxGetControl");
    if (!axWinInit || !axGetControl) {
        g_Logger.Log(L"AtlAxWinInit / AtlAxGetControl がありません", __FILE__, __LINE__);
        return nullptr;
    }
    // S_FALSE (already started on this thread) also needs its CoUninitialize.
    if (!comStarted_) comStarted_ = SUCCEEDED(::CoInitialize(nullptr));
    axWinInit();

    host_ = ::CreateWindowExW(0, atl.windowClass, L"Shell.Explorer.2", parent ? kChildHostStyle : kTopLevelHostStyle,
                              200, 200, 440, 280, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!host_) {
        g_Logger.Log(L"CreateWindowExW(%s) failed: %s", __FILE__, __LINE__, atl.windowClass,
                     SystemErrorText(::GetLastError()).c_str());
        return nullptr;
    }

    UniqueCom<IUnknown> control;
    const HRESULT got = axGetControl(host_, control.Put());
    if (FAILED(got) || !control) {
        // A host without a control would stay a blank window at (200, 200) over the page.
        g_Logger.Log(L"AtlAxGetControl failed: 0x%08X", __FILE__, __LINE__, static_cast<unsigned>(got));
        ::DestroyWindow(host_);
        host_ = nullptr;
        return nullptr;
    }
    IWebBrowser2* browser = nullptr;
    if (SUCCEEDED(control.Get()->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) && browser) {
        browser_.Reset(browser);
        // No script-error dialogs from the page.
        browser_.Get()->put_Silent(VARIANT_TRUE);
    } else {
        g_Logger.Log(L"IWebBrowser2 がありません", __FILE__, __LINE__);
    }
    return host_;
}

bool BrowserControl_CL::Navigate(const std::wstring& target) {
    if (!browser_) return false;
    const OleAutomation& automation = Automation();
    if (!automation.allocString || !automation.freeString) {
        g_Logger.Log(L"SysAllocString / SysFreeString がありません", __FILE__, __LINE__);
        return false;
    }
    // Zeroed: VT_EMPTY, as VariantInit leaves it.
    VARIANT address = {};
    address.vt = VT_BSTR;
    address.bstrVal = automation.allocString(target.c_str());
    if (!address.bstrVal) return false;
    VARIANT empty = {};
    const HRESULT result = browser_.Get()->Navigate2(&address, &empty, &empty, &empty, &empty);
    // What VariantClear does for a VT_BSTR.
    automation.freeString(address.bstrVal);
    if (FAILED(result)) {
        g_Logger.Log(L"Navigate2(%s) failed: 0x%08X", __FILE__, __LINE__, target.c_str(), static_cast<unsigned>(result));
        return false;
    }
    return true;
}
