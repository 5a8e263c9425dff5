#pragma once
// The first settings page: the hours of the day during which the computer stays awake.
#include <windows.h>

#include <string>
#include <vector>

#include "comlib/window/control_base.h"
#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"
#include "view/settings/settings_page.h"

// A property page's display area (0, 0, W, H) and the size of one "Ｗ" on the screen DC.
using PageMetrics = ClientMetrics;
PageMetrics GetPageMetrics(HWND page);

// "05:00 ～ 05:59" for hour 5.
std::wstring HourRowText(int hour);
// A list-view item state counts as ticked only with exactly state image 2.
bool IsCheckedState(UINT itemState);
// True when a row's tick differs from the table (entries missing from the table count as off).
bool HoursDiffer(const std::vector<bool>& rows, const std::vector<bool>& table);
// The hour list in page coordinates: at (cw, top), (W - cw / 2 - cw) wide, 15 lines high; top is
// below the row of weekday boxes.
RECT HourListRect(const PageMetrics& metrics, int top);
// The hour column: W - 3 x cw wide, but never wider than the list's inside less its vertical
// scroll bar, so that no horizontal scroll bar appears (at 144 DPI the scroll bar grows faster
// than the margin left by the character width).
int HourColumnWidth(const PageMetrics& metrics, int listClientWidth, int scrollBarWidth);

class PropAppSetting_CL : public SettingsPage_CL {
public:
    static constexpr int kHours = 24;

    PropAppSetting_CL() = default;
    ~PropAppSetting_CL() override;


    // PSN_APPLY: the image type from the (hidden) check box, then hour0..hour23 written to
    // DISABLE_TIME and the hour table replaced by the ticks; the weekdays stored as changed.
    void SaveHours();

private:
    void BuildControls(HWND page) override;
    INT_PTR PageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    std::vector<bool> RowTicks() const;
    std::vector<bool> DayTicks() const;

    ControlFactory_CL factory_;
    CheckBox_CL* koalaCheck_ = nullptr;  // owned by factory_
    ListView_CL* hourList_ = nullptr;    // owned by factory_
    CheckBox_CL* dayChecks_[7] = {};     // Sunday to Saturday, owned by factory_
    // While the rows get their first ticks, LVN_ITEMCHANGED is no user change.
    bool building_ = false;
};
