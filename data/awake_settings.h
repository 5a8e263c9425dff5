#pragma once
// How the computer is kept awake: the display, the weekdays of the hour table and the battery.
// Every default gives the behaviour of a file without these keys.
#include <windows.h>

#include <vector>

#include "data/awake_reason.h"

// A watched program "at work" used at least this many percent of one core since the last check.
constexpr int kBusyPercentMin = 1;
constexpr int kBusyPercentMax = 100;
constexpr int kBusyPercentDefault = 10;
// A stored value outside 1..100 is brought into range.
int ClampBusyPercent(int percent);

// Section "AWAKE": "display" (1 = keep the display on), "aconly" (1 = watched programs and
// marked hours only on mains power), "batteryfloor" (0 = off, else allow sleep below N %),
// "busypercent" (the "at work" threshold), "lid" (1 = the lid's action is "do nothing" while
// staying awake), "lidmainsonly" (1 = that only on mains power).
struct AwakeSettings {
    bool display = true;
    bool acOnly = false;
    int batteryFloor = 0;
    int busyPercent = kBusyPercentDefault;
    bool lid = false;
    bool lidMainsOnly = true;

    bool operator==(const AwakeSettings& other) const {
        return display == other.display && acOnly == other.acOnly && batteryFloor == other.batteryFloor &&
               busyPercent == other.busyPercent && lid == other.lid && lidMainsOnly == other.lidMainsOnly;
    }
};
constexpr int kBatteryFloorMin = 5;
constexpr int kBatteryFloorMax = 50;
constexpr int kBatteryFloorDefault = 10;
// A stored floor outside 5..50 (other than 0) is brought into range; 0 stays off.
int ClampBatteryFloor(int floor);

// Section "DISABLE_TIME", "day0" (Sunday) to "day6": a marked hour keeps awake only on a marked day.
constexpr int kWeekdays = 7;
// The hour is marked and so is that day; each day stands alone, so Monday 23:00 and Tuesday
// 00:00 each ask their own day. Missing day entries count as marked.
bool HourKeepsAwake(const std::vector<bool>& hourTable, const std::vector<bool>& dayTable, int hour, int weekday);

// What the battery looks like: mains power with a full battery unless the system says otherwise.
struct PowerStatus {
    bool onBattery = false;
    int percent = 100;
};
// GetSystemPowerStatus's answer read conservatively: an unknown AC line (255), an unknown level
// (255), or no system battery at all (flag 128) count as mains power and a full battery.
PowerStatus ReadPowerStatus(const SYSTEM_POWER_STATUS& status);

// The battery rules over a decided reason: below the floor on battery nothing keeps awake; with
// "aconly" on battery, watched programs and marked hours do not, manual sessions and command-line
// processes still do. The reason then says why sleep is allowed.
AwakeReason ApplyBatteryRules(const AwakeReason& reason, const AwakeSettings& settings, const PowerStatus& power);
