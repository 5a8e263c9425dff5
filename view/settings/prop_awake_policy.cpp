// The page "動作" under the organisation's policies: KeepDisplayOn, OnlyOnMains, BatteryFloor and
// Hotkey=0 show their values in greyed controls, and one line says why.
#include "view/settings/prop_awake.h"

#include <commctrl.h>

#include "data/save_data.h"
#include "guard/policy_rules.h"
#include "view/settings/managed_line.h"

void PropAwake_CL::ShowPolicies(HWND page) {
    const Policies& policies = actions_.policies;
    const AwakeSettings inForce = EffectiveAwakeSettings(g_SaveData.awake, policies);
    if (policies.keepDisplayOn) ShowGoverned(displayCheck_, inForce.display);
    if (policies.onlyOnMains) ShowGoverned(acOnlyCheck_, inForce.acOnly);
    floorGoverned_ = policies.batteryFloor.has_value();
    if (floorGoverned_) {
        ShowGoverned(floorCheck_, true);
        if (floorUpDown_) ::SendMessageW(floorUpDown_->Window(), UDM_SETPOS32, 0, inForce.batteryFloor);
    }
    hotkeyGoverned_ = HotkeyOff(policies);
    if (hotkeyGoverned_) ShowGoverned(hotkeyCheck_, false);
    if (policies.keepDisplayOn || policies.onlyOnMains || floorGoverned_ || hotkeyGoverned_)
        AddManagedLine(page, factory_);
}
