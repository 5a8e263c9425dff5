// The organisation's policies in the main window: what they govern is read from the guard, and
// a Group Policy refresh (WM_SETTINGCHANGE "Policy") takes effect without a restart.
#include "view/main_window/main_dialog.h"

#include "comlib/power_scheme.h"
#include "data/save_data.h"
#include "guard/policy_rules.h"
#include "view/main_window/locked_rows.h"

namespace {
// GUID_ACTIVE_POWERSCHEME: another plan made active.
const GUID kActivePowerScheme = {0x31f9f286, 0x5084, 0x42fe, {0xb7, 0x20, 0x2b, 0x02, 0x64, 0x99, 0x37, 0x63}};
}  // namespace

void MainDialog_CL::OnPolicyChange() {
    if (guard_.ReadPolicies()) {
        ApplyHotkeyPolicy();
        FillWatchedList();
        if (UpdateCheckOff(guard_.CurrentPolicies())) update_.Stop();
    }
    CheckSleep();
}

void MainDialog_CL::ApplyHotkeyPolicy() {
    const bool off = HotkeyOff(guard_.CurrentPolicies());
    if (off && hotkeyRegistered_) {
        ::UnregisterHotKey(Window(), kHotkeyId);
        hotkeyRegistered_ = false;
    } else if (!off && !hotkeyRegistered_) {
        RegisterAwakeHotkey();
    }
    ShowHotkeyInMenuBar(menu_.Get(), ShownHotkey());
}

void MainDialog_CL::WatchPowerSettings() {
    // RegisterPowerSettingNotification: PBT_POWERSETTINGCHANGE arrives when the setting changes,
    // so the check need not read the plan each time.
    const GUID* settings[] = {&kActivePowerScheme, &kAllowSystemRequired};
    for (size_t i = 0; i < 2; ++i)
        powerNotices_[i].Reset(::RegisterPowerSettingNotification(Window(), settings[i], DEVICE_NOTIFY_WINDOW_HANDLE));
}

bool MainDialog_CL::OnPolicyNotify(const NMHDR* header, LRESULT* result) {
    if (!list_) return false;
    return LockedRowsNotify(header, list_->Window(), static_cast<int>(g_SaveData.watched.Size()), listFillGuard_ != 0,
                            result);
}
