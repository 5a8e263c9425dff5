#pragma once
// Texts the user reads, one id each. One table per language: a second language is one more
// table of the same length in ui_texts.cpp and a choice in UiText.
#include <windows.h>

#include <cstddef>
#include <string>

enum class TextId : size_t {
    ReasonWatchedProgram,    // %s: file name
    ReasonMarkedHour,        // %s: day name, %02d, %02d: first and last hour
    ReasonManualNoEnd,
    ReasonManualUntil,       // %02d:%02d: local end time
    ReasonHandedProcess,     // %s, %u: file name, process id
    MenuAwakeNow,
    MenuAwakeNoEnd,
    MenuAwake30Minutes,
    MenuAwake1Hour,
    MenuAwake2Hours,
    MenuAwake4Hours,
    MenuAwakeEnd,
    TipProhibited,           // %s: reason text
    TipAllowed,
    NoticeTitle,
    NoticeProhibited,        // %s: reason text
    NoticeAllowed,
    ConsoleUnknownSwitch,    // %s: the argument
    ConsoleBadAwakeValue,    // %s: the value
    ConsoleBadProcessId,     // %s: the value
    ConsoleNoProcess,        // %u: process id
    ConsoleRunMissing,
    ConsoleRunFailed,        // %s: command line, %s: system error text
    ConsoleTooManyCommands,
    ConsoleNotHandedOver,
    SaveFailedTitle,
    SaveFailedBody,          // %s: the file, %s: the reason
    SaveFailedAccessDenied,  // the hint added for ERROR_ACCESS_DENIED
    DaySunday,               // one character each, Sunday to Saturday in order
    DayMonday,
    DayTuesday,
    DayWednesday,
    DayThursday,
    DayFriday,
    DaySaturday,
    ReasonOnBattery,
    ReasonLowBattery,        // %d: battery level in percent
    TipAllowedWhy,           // %s: why a battery rule allows sleep
    NoticeAllowedWhy,        // %s: the same
    PageAwake,
    GroupDisplay,
    CheckKeepDisplayOn,
    GroupBattery,
    CheckAcOnly,
    CheckBatteryFloor,       // %d: the number box stands here
    GroupHotkey,
    CheckHotkeyOn,
    HotkeyRefused,           // %s: the key, %s: system error text
    HotkeyUnusable,
    Count
};

// The text of the current language.
const wchar_t* UiText(TextId id);
// UiText through FormatWide.
std::wstring UiFormat(TextId id, ...);

// The notification about settings that could not be saved: the file, the reason and, for
// ERROR_ACCESS_DENIED, the hint about Windows Security's controlled folder access.
std::wstring SaveFailureNoticeText(const std::wstring& file, DWORD error);
