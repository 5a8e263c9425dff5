#pragma once
// Why the computer stays awake: one small value that the check returns and the tray icon, the
// state band and the power request show.
#include <windows.h>

#include <string>

struct AwakeReason {
    // In the order the check looks at them; None means sleep is allowed.
    enum class Kind { None, Manual, HandedProcess, WatchedProgram, MarkedHour };

    Kind kind = Kind::None;
    std::wstring fileName;  // WatchedProgram, HandedProcess
    DWORD processId = 0;    // HandedProcess
    int hour = 0;           // MarkedHour
    int weekday = 0;        // MarkedHour: 0 Sunday .. 6 Saturday
    bool hasEnd = false;    // Manual: false until ended by hand
    int endHour = 0;        // Manual with an end, local time
    int endMinute = 0;

    // Kind None only: a battery rule holds the computer back from a reason it had, or the
    // organisation's Disabled policy holds it back from any.
    enum class HeldBack { None, OnBattery, LowBattery, Organization };
    HeldBack heldBack = HeldBack::None;
    int batteryPercent = 0;  // LowBattery
    // A reason that keeps awake while the power plan does not let applications prevent sleep.
    bool windowsForbids = false;

    bool KeepsAwake() const { return kind != Kind::None; }
    bool operator==(const AwakeReason& other) const {
        return kind == other.kind && fileName == other.fileName && processId == other.processId &&
               hour == other.hour && weekday == other.weekday && hasEnd == other.hasEnd &&
               endHour == other.endHour && endMinute == other.endMinute && heldBack == other.heldBack &&
               batteryPercent == other.batteryPercent && windowsForbids == other.windowsForbids;
    }
    bool operator!=(const AwakeReason& other) const { return !(*this == other); }
};

// A manual session: none, without an end, or until a UTC time (FILETIME units).
struct ManualSession {
    bool active = false;
    bool indefinite = false;
    unsigned long long endUtc = 0;
};

// The INI form of a session, section "AWAKE" key "until": "indefinite" or "YYYY-MM-DDTHH:MM:SSZ".
std::wstring FormatSessionValue(const ManualSession& session);
enum class SessionValue { Session, Damaged, Past };
SessionValue ParseSessionValue(const std::wstring& value, unsigned long long nowUtc, ManualSession* session);

// FILETIME units now, in UTC.
unsigned long long UtcNow();
constexpr unsigned long long kFileTimePerMinute = 600000000ULL;
