// The organisation's policies in the main window: what they govern is read from the guard, and
// a Group Policy refresh (WM_SETTINGCHANGE "Policy") takes effect without a restart.
#include "view/main_window/main_dialog.h"

#include "comlib/power_scheme.h"
#include "data/save_data.h"
#include "guard/policy_rules.h"
#include "view/main_window/locked_rows.h"

void MainDialog_CL::OnPolicyChange() {
    if (guard_.ReadPolicies()) {
        hotkey_.Register(Window(), g_SaveData.hotkey, HotkeyOff(guard_.CurrentPolicies()));
        ShowHotkeyInMenuBar(menu_.Get(), ShownHotkey());
        FillWatchedList();
        if (UpdateCheckOff(guard_.CurrentPolicies())) update_.Stop();
    }
    CheckSleep();
}

bool MainDialog_CL::OnPolicyNotify(const NMHDR* header, LRESULT* result) {
    if (!list_) return false;
    return LockedRowsNotify(header, list_->Window(), static_cast<int>(g_SaveData.watched.Size()), listFillGuard_ != 0,
                            result);
}
