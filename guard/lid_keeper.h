#pragma once
// The lid, by the user's choice: while the computer stays awake, closing the lid does nothing,
// and the user's own lid action always comes back. Windows treats a lid close as the user's own
// sleep, which power requests do not hold off; the action is a setting of the power plan.
#include <windows.h>

#include "comlib/power_scheme.h"
#include "data/awake_settings.h"

// INI section "LID": "scheme" (the plan changed, as "{GUID}"), "ac" and "dc" (the user's own lid
// actions of that plan). Present only while a change is in force, or after a run that did not end.
class LidKeeper_CL {
public:
    explicit LidKeeper_CL(PowerSchemeCalls& calls = SystemPowerSchemeCalls::Instance());
    LidKeeper_CL(const LidKeeper_CL&) = delete;
    LidKeeper_CL& operator=(const LidKeeper_CL&) = delete;

    // After each check. While the computer stays awake, the choice ("lid") is on, the machine
    // has a lid, and it is not on battery with "lidmainsonly": the active plan's lid action for
    // the power source in use becomes 0 and the plan is made active again so that it takes
    // effect; the user's values are saved to the INI file before the first change. Otherwise
    // whatever was changed is given back. Nothing is asked of the system while the choice is off
    // and nothing is changed, and onBattery is looked at only while the choice is on.
    void Update(bool keepingAwake, const AwakeSettings& settings, bool onBattery);
    // Gives the saved values back to the plan they were taken from, even after the user switched
    // plans, then removes the LID section: at exit, at WM_ENDSESSION and from Update. A value that
    // is no longer 0 (the user set one) stays as it is.
    void Restore();
    // At start: values left in the INI file by a run that did not end are given back.
    void RestoreLeftover();

    // GetPwrCapabilities, asked once: the page shows the choice only where there is a lid.
    bool LidPresent();
    // A change is in force (or its values are saved and not yet given back).
    bool Holding() const { return saved_; }

private:
    bool Save(const GUID& scheme, const AcDcValues& values);
    void LogFailure(const wchar_t* call, DWORD error);

    PowerSchemeCalls& calls_;
    int lidPresent_ = -1;  // unknown until asked
    bool saved_ = false;
    GUID savedScheme_ = {};
    AcDcValues savedValues_;
    // The plan whose sources have been seen to this check: set to 0, or 0 already.
    GUID handledScheme_ = {};
    bool acHandled_ = false;
    bool dcHandled_ = false;
    bool failureLogged_ = false;
};
