#pragma once
// What an organisation's policies make of the user's settings and requests: plain rules beside
// the guard, which holds the policies in force.
#include <windows.h>

#include "comlib/power_scheme.h"
#include "data/awake_command.h"
#include "data/awake_reason.h"
#include "data/awake_settings.h"
#include "data/policy.h"

// The settings in force: KeepDisplayOn, OnlyOnMains and BatteryFloor replace the user's own.
AwakeSettings EffectiveAwakeSettings(const AwakeSettings& user, const Policies& policies);

// What the settings page stores of the user's edit: where a policy governs a setting, the
// value stored before, so that the user's own setting comes back when the policy goes.
AwakeSettings UserEditUnderPolicies(const AwakeSettings& edited, const AwakeSettings& stored,
                                    const Policies& policies);

// Disabled=1, UpdateCheck=0, Hotkey=0, CommandLine=0.
bool PolicyDisabled(const Policies& policies);
bool UpdateCheckOff(const Policies& policies);
bool HotkeyOff(const Policies& policies);
bool CommandLineOff(const Policies& policies);

// Why ManualSessions refuses a manual session: none at all, or none without an end.
enum class SessionRefusal { None, NoSessions, NoEndlessSession };
// minutes as a menu item has them: 0 is the session without an end.
SessionRefusal RefuseSessionMinutes(int minutes, const Policies& policies);
// A Session command; every other kind (the end of a session included) is never refused.
SessionRefusal RefuseSession(const AwakeCommand& command, const Policies& policies);

// The session the policies leave: none where ManualSessions forbids it, and one that ends at
// most MaxSessionMinutes after nowUtc (a session without an end included).
ManualSession SessionUnderPolicies(const ManualSession& session, unsigned long long nowUtc, const Policies& policies);

// The plan's "allow applications to prevent automatic sleep" is 0 for the power source in use:
// AC on mains, DC on battery.
bool WindowsForbidsKeepingAwake(const AcDcValues& allowed, const PowerStatus& power);
