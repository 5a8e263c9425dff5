#include "view/settings/settings_page.h"

#include <prsht.h>

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
