#pragma once
// Why the computer stays awake: one small value that the check returns and the tray icon, the
// state band and the power request show.
#include <windows.h>

#include <string>

struct AwakeReason {
    // In the order the check looks at them; None means sleep is allowed.
    enum class Kind { None, Manual, HandedProcess, WatchedProgram, FrontProgram, BusyProgram, MarkedHour };

    Kind kind = Kind::None;
    std::wstring fileName;  // WatchedProgram, FrontProgram, BusyProgram, HandedProcess
    int cpuPercent = 0;     // BusyProgram: of one core, since the check before
    DWORD processId = 0;    // HandedProcess
    int hour = 0;           // MarkedHour
    int weekday = 0;        // MarkedHour: 0 Sunday .. 6 Saturday
    bool hasEnd = false;    // Manual: false until ended by hand
    int endHour = 0;        // Manual with an end, local time
    int endMinute = 0;
    int endMonth = 0;       // 1 to 12
    int endDay = 0;
    int endDaysAway = 0;    // local calendar days from the decision to the end: 0 today, 1 tomorrow

    // Kind None only: a battery rule holds the computer back from a reason it had, or the
    // organisation's Disabled policy holds it back from any.
    enum class HeldBack { None, OnBattery, LowBattery, Organization };
    HeldBack heldBack = HeldBack::None;
    int batteryPercent = 0;  // LowBattery
    // A reason that keeps awake while the power plan does not let applications prevent sleep.
    bool windowsForbids = false;

    bool KeepsAwake() const { return kind != Kind::None; }
    bool operator==(const AwakeReason& other) const {
        return kind == other.kind && fileName == other.fileName && cpuPercent == other.cpuPercent &&
               processId == other.processId &&
               hour == other.hour && weekday == other.weekday && hasEnd == other.hasEnd &&
               endHour == other.endHour && endMinute == other.endMinute && endMonth == other.endMonth &&
               endDay == other.endDay && endDaysAway == other.endDaysAway && heldBack == other.heldBack &&
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

// Local calendar days from one local date to another (only year, month and day are read).
int CalendarDaysBetween(const SYSTEMTIME& from, const SYSTEMTIME& to);

// The INI form of a session, section "AWAKE" key "until": "indefinite" or "YYYY-MM-DDTHH:MM:SSZ".
std::wstring FormatSessionValue(const ManualSession& session);
enum class SessionValue { Session, Damaged, Past };
SessionValue ParseSessionValue(const std::wstring& value, unsigned long long nowUtc, ManualSession* session);

// FILETIME units now, in UTC.
unsigned long long UtcNow();
constexpr unsigned long long kFileTimePerMinute = 600000000ULL;
