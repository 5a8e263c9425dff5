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
    HoursColumn,             // also the frame around the hour list
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
// ERROR_ACCESS_DENIED, the hint about Windows Security's controlled folder access.
std::wstring SaveFailureNoticeText(const std::wstring& file, DWORD error);
