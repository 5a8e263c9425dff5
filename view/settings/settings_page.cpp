#include "view/settings/settings_page.h"

#include <prsht.h>

#include "comlib/window/control_factory.h"
#include "comlib/window/high_dpi.h"
#include "comlib/window/ui_font.h"

int FirstRowInGroup(HWND page, int top) {
    const int dpi = DpiOfWindow(page);
    // A group box draws its title from its top edge down, in the font the page's controls have.
    const int title = ControlFactory_CL::MeasureText(UiFontForDpi(dpi), L"Ｗ").cy;
    const int below = title + ScaleForDpi(6, dpi);
    return top + (below > ScaleForDpi(16, dpi) ? below : ScaleForDpi(16, dpi));
}

INT_PTR SettingsPage_CL::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            BuildControls(window);
            ::ShowWindow(window, SW_SHOW);
            return TRUE;
        case WM_CLOSE:
            ::EndDialog(window, 0);
            return 0;
        default:
            return PageMessage(window, message, wParam, lParam);
    }
}

INT_PTR SettingsPage_CL::PageMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }

void SettingsPage_CL::ReportChanged() const {
    ::SendMessageW(::GetParent(Window()), PSM_CHANGED, reinterpret_cast<WPARAM>(Window()), 0);
}
