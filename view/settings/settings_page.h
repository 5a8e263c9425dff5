#pragma once
// What the settings pages share: controls built when the tab is first shown, a change that
// enables the sheet's Apply button.
#include <windows.h>

#include "comlib/window/dialog_base.h"

// The first row inside a group box whose frame starts at top (page coordinates): below the
// title, measured in the page's font at its DPI, and a gap, never above the 16 of 96 DPI scaled.
int FirstRowInGroup(HWND page, int top);

class SettingsPage_CL : public SubClassDialogBase_CL {
public:
    // WM_INITDIALOG builds the controls and shows the page; WM_CLOSE ends it with 0; every other
    // message goes to PageMessage.
    INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) final;

protected:
    virtual void BuildControls(HWND page) = 0;
    // 0 for a message the page does not handle (and for PSN_APPLY: PSNRET_NOERROR).
    virtual INT_PTR PageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // PSM_CHANGED to the sheet: enables its Apply button.
    void ReportChanged() const;
};
