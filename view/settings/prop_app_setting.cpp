#include "view/settings/prop_app_setting.h"

#include <commctrl.h>
#include <prsht.h>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"
#include "comlib/window/high_dpi.h"
#include "data/save_data.h"
#include "view/texts/awake_texts.h"
#include "view/texts/ui_texts.h"

namespace {
constexpr DWORD kHourListExtendedStyle = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
// State image 1 is the empty box, 2 the ticked one (bits 12-15 of the item state).
constexpr UINT kUncheckedState = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kCheckedState = INDEXTOSTATEIMAGEMASK(2);
}  // namespace

PageMetrics GetPageMetrics(HWND page) {
    PageMetrics metrics;
    HWND tab = reinterpret_cast<HWND>(::SendMessageW(::GetParent(page), PSM_GETTABCONTROL, 0, 0));
    RECT display = {};
    ::GetClientRect(tab, &display);
    // FALSE: from the tab control's window rectangle to its display area.
    ::SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    metrics.width = display.right - display.left;
    metrics.height = display.bottom - display.top;
    metrics.right = metrics.width;
    metrics.bottom = metrics.height;

    WindowDc screen(nullptr);
    RECT text = {0, 0, metrics.width, metrics.height};
    ::DrawTextW(screen.Get(), L"Ｗ", -1, &text, DT_CALCRECT);
    metrics.charWidth = text.right - text.left;
    metrics.charHeight = text.bottom - text.top;
    return metrics;
}

std::wstring HourRowText(int hour) { return UiFormat(TextId::HourRow, hour, hour); }

bool IsCheckedState(UINT itemState) { return (itemState & 0xFFFFF000u) == kCheckedState; }

bool HoursDiffer(const std::vector<bool>& rows, const std::vector<bool>& table) {
    for (size_t h = 0; h < rows.size(); ++h) {
        const bool stored = h < table.size() && table[h];
        if (rows[h] != stored) return true;
    }
    return false;
}

RECT HourListRect(const PageMetrics& metrics, int top) {
    // Signed division toward zero, as C++ does.
    const int right = metrics.width - metrics.charWidth / 2;
    return RECT{metrics.charWidth, top, right, top + 15 * metrics.charHeight};
}

int HourColumnWidth(const PageMetrics& metrics, int listClientWidth, int scrollBarWidth) {
    const int wanted = metrics.width - 3 * metrics.charWidth;
    const int room = listClientWidth - scrollBarWidth;
    return room < wanted ? room : wanted;
}

PropAppSetting_CL::~PropAppSetting_CL() = default;

INT_PTR PropAppSetting_CL::PageMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (koalaCheck_ && LOWORD(wParam) == koalaCheck_->Id()) ReportChanged();
        for (const CheckBox_CL* day : dayChecks_)
            if (day && LOWORD(wParam) == day->Id()) ReportChanged();
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == LVN_ITEMCHANGED && hourList_ && header->hwndFrom == hourList_->Window()) {
            if (!building_ && HoursDiffer(RowTicks(), g_SaveData.hourTable)) ReportChanged();
        } else if (header->code == static_cast<UINT>(PSN_APPLY)) {
            SaveHours();
            // 0 leaves the message result at PSNRET_NOERROR.
            return 0;
        }
        return 0;
    }
    default:
        return 0;
    }
}

void PropAppSetting_CL::BuildControls(HWND page) {
    const PageMetrics metrics = GetPageMetrics(page);
    const int cw = metrics.charWidth;
    const int ch = metrics.charHeight;

    // The picture choice is kept but not offered: the box and its frame stay hidden.
    koalaCheck_ = factory_.At<CheckBox_CL>(factory_.CreateCheckBox(page, UiText(TextId::CheckKoala), ch));
    ::ShowWindow(koalaCheck_->Window(), SW_HIDE);
    koalaCheck_->SetCheck(g_SaveData.imageType != 0 ? BST_CHECKED : BST_UNCHECKED);

    // The weekdays above the hours, Sunday first, each as wide as its text needs.
    HighDpiHelper_CL dpi;
    dpi.Query(page);
    int dayX = cw;
    int dayBottom = ch;
    for (int d = 0; d < kWeekdays; ++d) {
        dayChecks_[d] = factory_.At<CheckBox_CL>(factory_.CreateCheckBox(page, DayName(d), ch));
        dayChecks_[d]->SetPosition(dayX, ch);
        const bool on = static_cast<size_t>(d) >= g_SaveData.dayTable.size() || g_SaveData.dayTable[d];
        dayChecks_[d]->SetCheck(on ? BST_CHECKED : BST_UNCHECKED);
        RECT box = {};
        ::GetWindowRect(dayChecks_[d]->Window(), &box);
        dayX += (box.right - box.left) + dpi.ScaleX(8);
        dayBottom = ch + (box.bottom - box.top);
    }

    const RECT listRect = HourListRect(metrics, dayBottom + dpi.ScaleY(6));
    hourList_ = factory_.At<ListView_CL>(factory_.CreateListView(
        page, listRect.right - listRect.left, listRect.bottom - listRect.top, listRect.left, listRect.top));
    HWND list = hourList_->Window();
    const LRESULT extended = ::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended | kHourListExtendedStyle);
    // The inside before any row: the 24 rows then bring the vertical scroll bar.
    RECT inside = {};
    ::GetClientRect(list, &inside);
    hourList_->InsertColumn(UiText(TextId::HourListColumn),
                            HourColumnWidth(metrics, inside.right, SystemMetricForDpi(SM_CXVSCROLL, dpi.Dpi())),
                            LVCFMT_LEFT);

    building_ = true;
    for (int h = 0; h < kHours; ++h) hourList_->SetItemText(HourRowText(h), h, 0, 0, 0);
    for (int h = 0; h < kHours; ++h) {
        const bool on = static_cast<size_t>(h) < g_SaveData.hourTable.size() && g_SaveData.hourTable[h];
        LVITEMW item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = on ? kCheckedState : kUncheckedState;
        ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(h), reinterpret_cast<LPARAM>(&item));
    }
    building_ = false;

    auto* displayFrame = factory_.At<GroupBox_CL>(factory_.CreateGroupBox(page, UiText(TextId::GroupDisplayInfo), metrics.width, 36, 0));
    displayFrame->GrowToContain(*koalaCheck_);
    displayFrame->SetSize(metrics.width, displayFrame->NeededHeight() + 8, true);
    ::ShowWindow(displayFrame->Window(), SW_HIDE);

    auto* hourFrame = factory_.At<GroupBox_CL>(
        factory_.CreateGroupBox(page, UiText(TextId::HoursColumn), metrics.width - 2 * cw, 160, 0));
    hourFrame->GrowToContain(*hourList_);
    // The frame's width is the list's right edge (d); 8 more on each measure leave a margin.
    hourFrame->SetSize(listRect.right + 8, hourFrame->NeededHeight() + 8, true);
}

std::vector<bool> PropAppSetting_CL::DayTicks() const {
    std::vector<bool> ticks;
    for (const CheckBox_CL* day : dayChecks_) ticks.push_back(day && (day->GetCheck() & 0xFF) == BST_CHECKED);
    return ticks;
}

std::vector<bool> PropAppSetting_CL::RowTicks() const {
    std::vector<bool> ticks;
    HWND list = hourList_ ? hourList_->Window() : nullptr;
    for (int h = 0; h < kHours; ++h) {
        const UINT state =
            static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(h), LVIS_STATEIMAGEMASK));
        ticks.push_back(IsCheckedState(state));
    }
    return ticks;
}

void PropAppSetting_CL::SaveHours() {
    if (koalaCheck_ && koalaCheck_->Window()) g_SaveData.imageType = (koalaCheck_->GetCheck() & 0xFF) == BST_CHECKED ? 1 : 0;
    if (!hourList_ || !hourList_->Window()) {
        // Without the list every hour would read as unticked and the stored hours be wiped.
        g_Logger.Log(L"時間帯リストがないため保存しません", __FILE__, __LINE__);
        return;
    }
    g_SaveData.hourTable = RowTicks();
    g_SaveData.SaveHours();
    if (dayChecks_[0] && dayChecks_[0]->Window()) g_SaveData.StoreDays(DayTicks());
}
