#include "comlib/window/control_base.h"

#include "comlib/log.h"
#include "comlib/utility.h"
#include "comlib/window/high_dpi.h"
#include "comlib/window/ui_font.h"

LOGFONTW ScaleLogFont(const LOGFONTW& base, float scale, int weight) {
    LOGFONTW font = base;
    font.lfWidth = static_cast<LONG>(static_cast<float>(base.lfWidth) * scale);
    font.lfHeight = static_cast<LONG>(static_cast<float>(base.lfHeight) * scale);
    font.lfWeight = weight;
    return font;
}

LRESULT ControlBase_CL::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return handler_ ? handler_(window, message, wParam, lParam) : 0;
}

void ControlBase_CL::SetSize(int width, int height, bool repaint) {
    RECT rect = {};
    ::GetWindowRect(window_, &rect);
    POINT topLeft = {rect.left, rect.top};
    // A top-level window has no parent: its position stays in screen coordinates.
    if (HWND parent = ::GetParent(window_); parent && (::GetWindowLongPtrW(window_, GWL_STYLE) & WS_CHILD))
        ::ScreenToClient(parent, &topLeft);
    ::MoveWindow(window_, topLeft.x, topLeft.y, width, height, repaint);
}

void ControlBase_CL::SetPosition(int x, int y) {
    RECT rect = {};
    ::GetWindowRect(window_, &rect);
    ::MoveWindow(window_, x, y, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

HFONT ControlBase_CL::Font() const {
    return ownedFont_ ? ownedFont_.Get() : UiFontForDpi(DpiOfWindow(window_));
}

void ControlBase_CL::SetFont(float scale, int weight) {
    fontScale_ = scale;
    fontWeight_ = weight;
    LOGFONTW base = {};
    // The UI font made for the window's DPI, which may be another monitor's than the system's.
    ::GetObjectW(UiFontForDpi(DpiOfWindow(window_)), sizeof(base), &base);
    const LOGFONTW scaled = ScaleLogFont(base, scale, weight);
    UniqueFont font(::CreateFontIndirectW(&scaled));
    if (!font) {
        g_Logger.Log(L"CreateFontIndirectW failed: %s", __FILE__, __LINE__, SystemErrorText(::GetLastError()).c_str());
        return;
    }
    // The window switches to the new font before the old one is deleted, so it never paints
    // with a deleted font.
    if (window_) ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    ownedFont_ = std::move(font);
}

void ControlBase_CL::RebuildFont() {
    if (ownedFont_) SetFont(fontScale_, fontWeight_);
}

void ControlBase_CL::GetClientMetrics(ClientMetrics& metrics) const {
    RECT client = {};
    ::GetClientRect(window_, &client);
    metrics.left = client.left;
    metrics.top = client.top;
    metrics.right = client.right;
    metrics.bottom = client.bottom;
    metrics.width = client.right - client.left;
    metrics.height = client.bottom - client.top;
    // The screen DC's own font (nothing selected), as the layout unit.
    WindowDc screen(nullptr);
    RECT text = client;
    ::DrawTextW(screen.Get(), L"\uFF37", -1, &text, DT_CALCRECT);
    // The screen's font is the system DPI's: on a monitor of another DPI the unit follows it.
    const int dpi = DpiOfWindow(window_);
    const int systemDpi = SystemDpi();
    metrics.charWidth = ::MulDiv(text.right - text.left, dpi, systemDpi);
    metrics.charHeight = ::MulDiv(text.bottom - text.top, dpi, systemDpi);
}
