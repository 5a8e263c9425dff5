#include "guard/policy_rules.h"

AwakeSettings EffectiveAwakeSettings(const AwakeSettings& user, const Policies& policies) {
    AwakeSettings settings = user;
    if (policies.keepDisplayOn) settings.display = *policies.keepDisplayOn != 0;
    if (policies.onlyOnMains) settings.acOnly = *policies.onlyOnMains != 0;
    if (policies.batteryFloor) settings.batteryFloor = static_cast<int>(*policies.batteryFloor);
    return settings;
}

AwakeSettings UserEditUnderPolicies(const AwakeSettings& edited, const AwakeSettings& stored,
                                    const Policies& policies) {
    AwakeSettings kept = edited;
    if (policies.keepDisplayOn) kept.display = stored.display;
    if (policies.onlyOnMains) kept.acOnly = stored.acOnly;
    if (policies.batteryFloor) kept.batteryFloor = stored.batteryFloor;
    return kept;
}

bool PolicyDisabled(const Policies& policies) { return policies.disabled == std::optional<DWORD>(1); }
bool UpdateCheckOff(const Policies& policies) { return policies.updateCheck == std::optional<DWORD>(0); }
bool HotkeyOff(const Policies& policies) { return policies.hotkey == std::optional<DWORD>(0); }
bool CommandLineOff(const Policies& policies) { return policies.commandLine == std::optional<DWORD>(0); }

SessionRefusal RefuseSessionMinutes(int minutes, const Policies& policies) {
    if (!policies.manualSessions) return SessionRefusal::None;
    if (*policies.manualSessions == kManualSessionsNone) return SessionRefusal::NoSessions;
    if (*policies.manualSessions == kManualSessionsTimedOnly && minutes == 0) return SessionRefusal::NoEndlessSession;
    return SessionRefusal::None;
}

SessionRefusal RefuseSession(const AwakeCommand& command, const Policies& policies) {
    if (command.kind != AwakeCommand::Kind::Session) return SessionRefusal::None;
    // A session until a clock time has an end, as one of N minutes has.
    return RefuseSessionMinutes(command.untilHour >= 0 ? 1 : command.minutes, policies);
}

ManualSession SessionUnderPolicies(const ManualSession& session, unsigned long long nowUtc, const Policies& policies) {
    if (!session.active) return session;
    if (RefuseSessionMinutes(session.indefinite ? 0 : 1, policies) != SessionRefusal::None) return ManualSession();
    if (!policies.maxSessionMinutes) return session;
    const unsigned long long latest = nowUtc + *policies.maxSessionMinutes * kFileTimePerMinute;
    if (!session.indefinite && session.endUtc <= latest) return session;
    ManualSession cut;
    cut.active = true;
    cut.endUtc = latest;
    return cut;
}

bool WindowsForbidsKeepingAwake(const AcDcValues& allowed, const PowerStatus& power) {
    return (power.onBattery ? allowed.dc : allowed.ac) == 0;
}
