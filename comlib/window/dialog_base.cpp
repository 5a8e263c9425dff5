#include "comlib/window/dialog_base.h"
#include "comlib/window/high_dpi.h"
#include "comlib/window/ui_font.h"

#include <prsht.h>
#include <cstring>

namespace {
void PutWord(unsigned char* at, WORD value) { std::memcpy(at, &value, sizeof(value)); }
void PutDword(unsigned char* at, DWORD value) { std::memcpy(at, &value, sizeof(value)); }
}  // namespace

void FillDialogTemplate(void* buffer, DWORD style) {
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    std::memset(bytes, 0, kTemplateBytes);
    // DLGTEMPLATE: style, dwExtendedStyle, cdit, x, y, cx, cy; then the menu, class and title
    // arrays, each a single 0 WORD (none, the predefined dialog class, an empty title).
    PutDword(bytes + 0, style);
    PutDword(bytes + 4, 0);
    PutWord(bytes + 8, 0);
    PutWord(bytes + 10, 0);
    PutWord(bytes + 12, 0);
    PutWord(bytes + 14, static_cast<WORD>(kTemplateWidthDlu));
    PutWord(bytes + 16, static_cast<WORD>(kTemplateHeightDlu));
}

POINT CenterInRect(const RECT& reference, int width, int height) {
    return POINT{reference.left + (reference.right - width - reference.left) / 2,
                 reference.top + (reference.bottom - height - reference.top) / 2};
}

POINT ClampIntoArea(const RECT& window, const RECT& area) {
    // Right and bottom first, then left and top: a window larger than the area keeps its caption
    // and its left edge on the screen.
    POINT at = {window.left, window.top};
    if (at.x + (window.right - window.left) > area.right) at.x = area.right - (window.right - window.left);
    if (at.y + (window.bottom - window.top) > area.bottom) at.y = area.bottom - (window.bottom - window.top);
    if (at.x < area.left) at.x = area.left;
    if (at.y < area.top) at.y = area.top;
    return at;
}

void KeepOnOwnersScreen(HWND owner, HWND window) {
    // The work area of the owner's monitor (the window's own where there is no owner).
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    const HMONITOR handle = ::MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTONEAREST);
    if (!handle || !::GetMonitorInfoW(handle, &monitor)) return;
    RECT rect = {};
    if (!::GetWindowRect(window, &rect)) return;
    const POINT at = ClampIntoArea(rect, monitor.rcWork);
    if (at.x != rect.left || at.y != rect.top)
        ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT CenterSheetOver(const RECT& sheet, const RECT& parent) {
    return POINT{(sheet.left - sheet.right + parent.left + parent.right) / 2,
                 (sheet.top - sheet.bottom + parent.top + parent.bottom) / 2};
}


namespace {
constexpr size_t kTemplateDwords = kTemplateBytes / sizeof(DWORD);
}  // namespace

SubClassDialogBase_CL::SubClassDialogBase_CL() = default;

SubClassDialogBase_CL::~SubClassDialogBase_CL() {
    // A page destroyed with its sheet after the object is gone must not reach it.
    if (window_ && ::IsWindow(window_) &&
        ::GetWindowLongPtrW(window_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    if (dc_ && window_) ::ReleaseDC(window_, dc_);
}

DLGTEMPLATE* SubClassDialogBase_CL::BuildTemplate() {
    if (!template_) template_ = std::make_unique<DWORD[]>(kTemplateDwords);
    FillDialogTemplate(template_.get(), style_);
    return reinterpret_cast<DLGTEMPLATE*>(template_.get());
}

INT_PTR SubClassDialogBase_CL::DoModal(HINSTANCE, const wchar_t*, HWND owner) {
    const DLGTEMPLATE* dialogTemplate = BuildTemplate();
    owner_ = owner;
    return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), dialogTemplate, owner, StaticDialogProc,
                                     reinterpret_cast<LPARAM>(this));
}

INT_PTR SubClassDialogBase_CL::DialogProc(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        ::ShowWindow(window, SW_SHOW);
        return 1;
    case WM_CLOSE:
        ::EndDialog(window, 0);
        return 0;
    default:
        return 0;
    }
}

void SubClassDialogBase_CL::Bind(HWND window, HWND handleValue) {
    // A pointer-sized slot: the object's address does not fit in 32 bits on x64.
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (dc_) ::ReleaseDC(window_, dc_);
    window_ = window;
    if (handleTarget_) *handleTarget_ = handleValue;
    dc_ = ::GetDC(window);
    // The template has no DS_SETFONT; the program's UI font is set here instead, never deleted.
    font_ = UiFontForDpi(DpiOfWindow(window));
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

INT_PTR SubClassDialogBase_CL::Route(SubClassDialogBase_CL* object, HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
    const INT_PTR result = object->DialogProc(window, message, wParam, lParam);
    if (message == WM_DESTROY && object->dc_) {
        ::ReleaseDC(object->window_, object->dc_);
        object->dc_ = nullptr;
    }
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return result;
}

INT_PTR CALLBACK SubClassDialogBase_CL::StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = reinterpret_cast<SubClassDialogBase_CL*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!object) {
        // Messages before WM_INITDIALOG are not the object's.
        if (message != WM_INITDIALOG || !lParam) return FALSE;
        object = reinterpret_cast<SubClassDialogBase_CL*>(lParam);
        object->Bind(window, window);
    }
    return Route(object, window, message, wParam, lParam);
}

INT_PTR CALLBACK SubClassDialogBase_CL::StaticPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = reinterpret_cast<SubClassDialogBase_CL*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!object) {
        if (message != WM_INITDIALOG || !lParam) return FALSE;
        const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        object = reinterpret_cast<SubClassDialogBase_CL*>(page->lParam);
        if (!object) return FALSE;
        // The handle target gets the sheet's frame window, the page's parent.
        object->Bind(window, ::GetParent(window));
    }
    return Route(object, window, message, wParam, lParam);
}

LRESULT CALLBACK PropSheetSubclassProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SHOWWINDOW) {
        RECT sheetRect = {};
        RECT parentRect = {};
        ::GetWindowRect(sheet, &sheetRect);
        ::GetWindowRect(::GetParent(sheet), &parentRect);
        const POINT at = CenterSheetOver(sheetRect, parentRect);
        ::SetWindowPos(sheet, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        KeepOnOwnersScreen(::GetParent(sheet), sheet);
    }
    const auto previous = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(sheet, GWLP_USERDATA));
    if (!previous) return 0;
    return ::CallWindowProcW(previous, sheet, message, wParam, lParam);
}

int CALLBACK PropSheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message != PSCB_INITIALIZED) return 0;
    // GWLP_WNDPROC and GWLP_USERDATA are pointer-sized; the 32-bit forms would cut the address.
    const LONG_PTR previous = ::GetWindowLongPtrW(sheet, GWLP_WNDPROC);
    ::SetWindowLongPtrW(sheet, GWLP_USERDATA, previous);
    ::SetWindowLongPtrW(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PropSheetSubclassProc));
    return 0;
}

void CenterWindowOver(HWND reference, HWND dialog) {
    if (!dialog) return;
    ::SetParent(dialog, nullptr);
    RECT area = {};
    if (::GetWindowLongPtrW(reference, GWL_STYLE) & WS_MINIMIZE)
        area = RECT{0, 0, ::GetSystemMetrics(SM_CXFULLSCREEN), ::GetSystemMetrics(SM_CYFULLSCREEN)};
    else
        ::GetWindowRect(reference, &area);
    RECT client = {};
    ::GetClientRect(dialog, &client);
    const POINT at = CenterInRect(area, client.right, client.bottom);
    ::SetWindowPos(dialog, HWND_NOTOPMOST, at.x, at.y, client.right, client.bottom, SWP_NOSIZE | SWP_NOZORDER);
    KeepOnOwnersScreen(reference, dialog);
}
