#include "data/awake_settings.h"

int ClampBatteryFloor(int floor) {
    if (floor <= 0) return 0;
    if (floor < kBatteryFloorMin) return kBatteryFloorMin;
    return floor > kBatteryFloorMax ? kBatteryFloorMax : floor;
}

int ClampBusyPercent(int percent) {
    if (percent < kBusyPercentMin) return kBusyPercentMin;
    return percent > kBusyPercentMax ? kBusyPercentMax : percent;
}

bool HourKeepsAwake(const std::vector<bool>& hourTable, const std::vector<bool>& dayTable, int hour, int weekday) {
    if (hour < 0 || hour >= 24 || static_cast<size_t>(hour) >= hourTable.size() || !hourTable[hour]) return false;
    if (weekday < 0 || weekday >= kWeekdays) return false;
    return static_cast<size_t>(weekday) >= dayTable.size() || dayTable[weekday];
}

PowerStatus ReadPowerStatus(const SYSTEM_POWER_STATUS& status) {
    constexpr BYTE kUnknown = 255;
    constexpr BYTE kNoSystemBattery = 128;
    PowerStatus power;
    if (status.ACLineStatus == kUnknown || status.BatteryLifePercent == kUnknown ||
        (status.BatteryFlag != kUnknown && (status.BatteryFlag & kNoSystemBattery) != 0))
        return power;
    power.onBattery = status.ACLineStatus == 0;
    power.percent = status.BatteryLifePercent > 100 ? 100 : status.BatteryLifePercent;
    return power;
}

AwakeReason ApplyBatteryRules(const AwakeReason& reason, const AwakeSettings& settings, const PowerStatus& power) {
    if (!reason.KeepsAwake() || !power.onBattery) return reason;
    AwakeReason held;
    if (settings.batteryFloor > 0 && power.percent < settings.batteryFloor) {
        held.heldBack = AwakeReason::HeldBack::LowBattery;
        held.batteryPercent = power.percent;
        return held;
    }
    const bool asked = reason.kind == AwakeReason::Kind::Manual || reason.kind == AwakeReason::Kind::HandedProcess;
    if (!settings.acOnly || asked) return reason;
    // No level here: the text does not show it, so a falling level is no change of reason.
    held.heldBack = AwakeReason::HeldBack::OnBattery;
    return held;
}
