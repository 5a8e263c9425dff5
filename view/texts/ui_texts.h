#pragma once
// Texts the user reads, one id each. One table per language, each of TextId::Count texts: a
// third language is one more table and one more UiLanguage. The log stays in Japanese.
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
    MenuFile,
    MenuEdit,
    MenuHelp,
    MenuExit,
    MenuAddProgram,
    MenuRemoveProgram,
    MenuCheckNow,
    MenuSettings,
    MenuSupportSite,
    ListMenuAdd,
    ListMenuRemove,
    TrayShowWindow,
    TrayHideToTray,
    TraySupportSite,
    TrayExit,
    StateProhibited,
    StateAllowed,
    WatchedListHeader,
    SelectPrompt,
    SelectColumnName,
    SelectColumnPath,
    SelectButton,
    CancelButton,
    SheetCaption,
    PageHours,
    PageUpdates,
    PageLicense,
    CheckKoala,
    GroupDisplayInfo,
    HoursColumn,             // the frame around the hour list
    HourRow,                 // %02d, %02d: the hour twice
    CheckNoUpdateNotice,
    GroupUpdateNotice,
    GroupVersionInfo,
    SupportSiteLabel,
    SupportSiteButton,
    UpdateTitle,
    UpdateMessage,           // %s: the new version, %s: the installed version
    UpdateGoToSite,
    UpdateNotifyLater,
    TrayAddFailed,
    GroupLanguage,
    LanguageAuto,
    LanguageJapanese,
    LanguageEnglish,
    LanguageTakesEffect,
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
    ReasonManualUntilTomorrow,  // %02d:%02d: local end time
    ReasonManualUntilDate,      // %s: MonthDay, %02d:%02d: local end time
    MonthDay,                   // %s: MonthJanuary.., %d: day of the month
    MonthJanuary,               // twelve, January to December in order
    MonthFebruary,
    MonthMarch,
    MonthApril,
    MonthMay,
    MonthJune,
    MonthJuly,
    MonthAugust,
    MonthSeptember,
    MonthOctober,
    MonthNovember,
    MonthDecember,
    SheetOk,                    // the settings sheet's buttons
    SheetCancel,
    SheetApply,
    HourListColumn,             // the hour list's column header
    HotkeyNeedsCtrlShift,    // why the page refuses a key: a key that types a character
    HotkeyNeedsModifier,     // F1 to F24 alone
    HotkeyF12Reserved,
    HotkeyNoWindowsKey,
    NoticeHotkeyDropped,     // %s: the hotkey that was switched off
    ConsolePidMissing,
    ConsoleAccessDenied,     // WM_COPYDATA refused across integrity levels
    ConsoleNeedsAdmin,       // %s: command line
    ConsoleNoVisibleDesktop,
    ReasonFrontProgram,      // %s: file name
    ReasonBusyProgram,       // %s: file name, %d: CPU percent
    ListModeFront,           // after the row's file name
    ListModeBusy,
    ListMenuCondition,
    ConditionRunning,
    ConditionFront,
    ConditionBusy,
    GroupConditions,
    BusyPercentRow,          // %d: the number box stands here
    CheckLidKeepWorking,
    CheckLidMainsOnly,
    ReasonOrganization,      // the Disabled policy
    ReasonWindowsForbids,    // the power plan does not let applications prevent sleep
    ManagedByOrganization,   // a settings page with a control a policy governs
    NoticeSessionsRefused,   // ManualSessions 0
    NoticeNoEndRefused,      // ManualSessions 1
    ConsoleCommandLineOff,   // CommandLine 0
    ConsoleSessionsRefused,
    ConsoleNoEndRefused,
    Count
};

enum class UiLanguage : size_t { Japanese, English, Count };

// The user's choice, section "DISPLAY", key "language": "auto", "ja" or "en"; anything else is
// "auto".
enum class LanguageChoice { Auto, Japanese, English };
LanguageChoice ParseLanguageChoice(const std::wstring& value);
const wchar_t* LanguageChoiceValue(LanguageChoice choice);
// Auto follows the primary language of the user's UI language: Japanese or else English.
UiLanguage ResolveLanguage(LanguageChoice choice, LANGID userUiLanguage);
// The language every UiText call uses; until set, the one the user's UI language gives.
UiLanguage CurrentUiLanguage();
void SetUiLanguage(UiLanguage language);

// The text of one language, "" for an id out of range.
const wchar_t* UiTextIn(UiLanguage language, TextId id);

// The text of the current language.
const wchar_t* UiText(TextId id);
// UiText through FormatWide.
std::wstring UiFormat(TextId id, ...);
// The same in the language given: the log writes the Japanese text in every language.
std::wstring UiFormatIn(UiLanguage language, TextId id, ...);

// The notification about settings that could not be saved: the file, the reason and, for
// ERROR_ACCESS_DENIED, the hint about Windows Security's controlled folder access. Within
// kNoticeChars: the hint stays whole, the file's path is shortened first, then the reason.
std::wstring SaveFailureNoticeText(const std::wstring& file, DWORD error);

// The notification area's limits (NOTIFYICONDATAW szTip, szInfoTitle, szInfo, less the terminator).
constexpr size_t kTipChars = 127;
constexpr size_t kNoticeTitleChars = 63;
constexpr size_t kNoticeChars = 255;
// text cut to at most limit characters, ending in "…" when cut.
std::wstring CutWithEllipsis(const std::wstring& text, size_t limit);
// A path of at most limit characters: its start and its end, "…" between them.
std::wstring ShortenPath(const std::wstring& path, size_t limit);
