// The acting half of the sleep check: state changes, their log lines and the real input reset.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/power_request.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "tests/test_helpers.h"
#include "view/texts/awake_texts.h"
#include "guard/awake_guard.h"
#include "guard/hand_over.h"
#include "tests/http_test_support.h"
#include "view/texts/ui_texts.h"
#include "view/main_window/main_dialog.h"

namespace {

// A FILETIME value of a calendar moment, read as UTC or as local time by the caller.
unsigned long long FileTimeOf(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    const SYSTEMTIME parts = {year, month, 0, day, hour, minute, 0, 0};
    FILETIME time = {};
    ::SystemTimeToFileTime(&parts, &time);
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A clock nine hours ahead of UTC that shows this local time.
GuardTime TokyoTime(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    GuardTime time;
    time.local = FileTimeOf(year, month, day, hour, minute);
    time.utc = time.local - 9 * 60 * kFileTimePerMinute;
    return time;
}

DWORD LastInputTime() {
    LASTINPUTINFO info = {};
    info.cbSize = sizeof(info);
    ::GetLastInputInfo(&info);
    return info.dwTime;
}

// Waits until the tick count has moved past the last input, so a new input is visible.
bool IdleForAWhile() {
    const DWORD last = LastInputTime();
    return WaitFor([&] { return ::GetTickCount() - last > 100; }, 2000);
}

class SleepGuard : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        logPath_ = std::wstring(temp) + L"dg_sleep_log.txt";
        ::DeleteFileW(logPath_.c_str());
        g_Logger.SetPath(logPath_);
    }
    void TearDown() override {
        g_Logger.SetPath(L"");
    }

    std::vector<std::wstring> Messages() const {
        std::vector<std::wstring> messages;
        for (const std::wstring& line : SplitLines(ReadUtf16File(logPath_))) {
            EXPECT_NE(line.find(L"main_dialog.cpp"), std::wstring::npos) << line;
            const size_t at = line.find(L" : ", 26);
            messages.push_back(at == std::wstring::npos ? line : line.substr(at + 3));
        }
        return messages;
    }

    std::wstring logPath_;
};

}  // namespace

TEST_F(SleepGuard, StateChangesAreLoggedOnce) {
    SleepGuard_CL guard;
    EXPECT_EQ(guard.State(), SleepGuard_CL::kProhibited);
    guard.Apply(true);   // starts prohibited: no line
    guard.Apply(false);  // allowed
    guard.Apply(false);
    guard.Apply(true);   // prohibited again
    guard.Apply(true);
    EXPECT_EQ(guard.State(), SleepGuard_CL::kProhibited);
    EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"★スリープを許可します", L"★スリープを禁止します"}));

    SleepGuard_CL fresh;
    fresh.Apply(false);  // a first check with nothing to keep awake for
    EXPECT_EQ(fresh.State(), SleepGuard_CL::kAllowed);
    EXPECT_EQ(Messages().back(), L"★スリープを許可します");
}

TEST_F(SleepGuard, EachAwakeCheckResetsTheInputIdleTimer) {
    SleepGuard_CL guard;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(IdleForAWhile());
        const DWORD before = LastInputTime();
        guard.Apply(true);
        EXPECT_TRUE(WaitFor([&] { return LastInputTime() != before; }, 2000)) << "round " << round;
    }
    // That nothing is sent while sleep is allowed is shown from outside, in test_program_calls.
}

TEST_F(SleepGuard, ScreenSaverRequestsSwallowedOnlyWhileAwake) {
    SleepGuard_CL guard;
    struct Case {
        WPARAM command;
        bool swallowedWhileAwake;
    } cases[] = {
        {SC_SCREENSAVE, true},
        {SC_MONITORPOWER, true},
        {SC_MONITORPOWER | 0x2, true},  // the low four bits are the system's own
        {SC_CLOSE, false},
        {SC_MINIMIZE, false},
    };
    for (const Case& c : cases) EXPECT_EQ(guard.SwallowSysCommand(c.command), c.swallowedWhileAwake);
    guard.Apply(false);
    for (const Case& c : cases) EXPECT_FALSE(guard.SwallowSysCommand(c.command));

    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(messages.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(messages[i], L"★スクリーンセーバー抑止しました");
    EXPECT_EQ(messages[3], L"★スリープを許可します");
}

namespace {
// SendInput's stand-in: refuses as the lock screen does while g_refuse, and keeps what it got.
bool g_refuse = false;
std::vector<std::wstring> g_calls;
UINT WINAPI FakeSendInput(UINT count, INPUT* inputs, int size) {
    const MOUSEINPUT& move = inputs[0].mi;
    g_calls.push_back(FormatWide(L"%u %d %lu %ld %ld %lx", count, size, inputs[0].type, move.dx, move.dy,
                                 move.dwFlags));
    if (!g_refuse) return count;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}
}  // namespace

TEST_F(SleepGuard, RefusedInputIsLoggedOncePerProhibitedPeriod) {
    g_calls.clear();
    SleepGuard_CL guard;
    guard.SetInputSender(FakeSendInput);
    g_refuse = true;  // locked: every check is refused
    guard.Apply(true);
    guard.Apply(true);
    g_refuse = false;
    guard.Apply(true);
    guard.Apply(false);
    g_refuse = true;
    guard.Apply(true);  // a new period logs again
    // Each awake check: one input of 40 bytes (sizeof(INPUT) on x64), INPUT_MOUSE, dx 0, dy 0,
    // MOUSEEVENTF_MOVE.
    EXPECT_EQ(g_calls, std::vector<std::wstring>(4, L"1 40 0 0 0 1"));
    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].rfind(L"SendInput()エラー = 0x00000005 : ", 0), 0u) << messages[0];
    EXPECT_GT(messages[0].size(), std::wstring(L"SendInput()エラー = 0x00000005 : ").size()) << "the system's text";
    EXPECT_EQ(messages[1], L"★スリープを許可します");
    EXPECT_EQ(messages[2], L"★スリープを禁止します");
    EXPECT_EQ(messages[3], messages[0]);
}

namespace {
int g_moves = 0;
UINT WINAPI CountMoves(UINT count, LPINPUT inputs, int) {
    for (UINT i = 0; i < count; ++i)
        if (inputs[i].type == INPUT_MOUSE && inputs[i].mi.dwFlags == MOUSEEVENTF_MOVE) ++g_moves;
    return count;
}
}  // namespace

TEST_F(SleepGuard, DisplayFreeToSleepSendsNoMoveAndLetsTheScreenSaverRun) {
    SleepGuard_CL guard;
    guard.SetInputSender(&CountMoves);
    g_moves = 0;
    guard.Apply(true);  // the display kept on, as by default: one move
    EXPECT_EQ(g_moves, 1);
    EXPECT_TRUE(guard.SwallowSysCommand(SC_SCREENSAVE));
    guard.SetKeepDisplay(false);
    guard.Apply(true);
    guard.Apply(true);
    EXPECT_EQ(guard.State(), SleepGuard_CL::kProhibited);
    EXPECT_EQ(g_moves, 1) << "no move while the display may sleep";
    EXPECT_FALSE(guard.SwallowSysCommand(SC_SCREENSAVE));
    EXPECT_FALSE(guard.SwallowSysCommand(SC_MONITORPOWER | 0x2));
    // One swallowed request, logged; the two passed ones left no line.
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"★スクリーンセーバー抑止しました"});
}

TEST_F(SleepGuard, NoCheckOnceTheMainWindowIsGone) {
    // Nothing keeps awake, so a check that ran would switch the state to allowed and log it.
    g_SaveData.watched.Clear();
    g_SaveData.hourTable.assign(24, false);
    MainDialog_CL dialog(1);  // its tray icon logs the taskbar message id
    ASSERT_EQ(dialog.Window(), nullptr);
    const size_t lines = SplitLines(ReadUtf16File(logPath_)).size();
    dialog.CheckSleep();
    EXPECT_EQ(dialog.SleepState(), SleepGuard_CL::kProhibited);
    EXPECT_EQ(SplitLines(ReadUtf16File(logPath_)).size(), lines);
}

// The reason: manual session, then a handed-over process, then the first matching enabled
// watched program, then the marked hour; and the texts each one shows.
TEST(AwakeReasons, OrderAndTexts) {
    WatchedList_CL watched;
    watched.AddWatched(L"C:\\a\\off.exe", 0);
    watched.AddWatched(L"C:\\a\\first.exe", 1);
    watched.AddWatched(L"C:\\a\\second.exe", 1);
    const std::vector<ProcessEntry> running = {MakeProcessEntry(L"\\Device\\HarddiskVolume2\\x\\SECOND.EXE"),
                                               MakeProcessEntry(L"\\Device\\HarddiskVolume2\\y\\First.exe"),
                                               MakeProcessEntry(L"\\Device\\HarddiskVolume2\\z\\off.exe")};
    const std::vector<ProcessEntry> nothing;
    std::vector<HandedProcess> handed(1);
    handed[0].processId = 4242;
    handed[0].fileName = L"backup.exe";
    ManualSession indefinite;
    indefinite.active = indefinite.indefinite = true;
    ManualSession timed;
    timed.active = true;
    timed.endUtc = FileTimeOf(2026, 1, 1, 0, 0);  // 09:00 on a clock nine hours ahead
    const ManualSession none;
    struct Case {
        const ManualSession& session;
        bool handed, running;
        WORD hour;
        const wchar_t* text;
    } cases[] = {
        {indefinite, true, true, 7, L"手動（解除するまで）"},
        {timed, true, true, 7, L"手動（1/1 09:00 まで）"},
        {none, true, true, 7, L"backup.exe（PID 4242）の終了まで"},
        {none, false, true, 7, L"first.exe が起動中"},
        {none, false, false, 7, L"時間帯 月 07:00 ～ 07:59"},
        {none, false, false, 8, L""},
    };
    GuardInputs in;
    in.watched = &watched;
    in.hourTable.assign(24, false);
    in.hourTable[7] = true;
    for (const Case& c : cases) {
        in.now = TokyoTime(2026, 1, 5, c.hour, 30);  // a Monday
        in.session = c.session;
        in.handed = c.handed ? handed : std::vector<HandedProcess>();
        in.snapshot = c.running ? &running : &nothing;
        const AwakeReason reason = DecideAwakeReason(in);
        EXPECT_EQ(ReasonText(reason), c.text);
        EXPECT_EQ(reason.KeepsAwake(), c.text[0] != L'\0') << c.text;
        if (c.running && !c.handed) {
            EXPECT_EQ(TrayTip(reason), L"DormiGuard - スリープ禁止中（first.exe が起動中）");
        }
    }
    EXPECT_EQ(TrayTip(AwakeReason()), L"DormiGuard - スリープ許可中");
}

// Given at 12:11 local time on 8 December: 30 minutes, "-awake 11:00" and a week.
TEST(AwakeReasons, TheEndsDayWhereItMatters) {
    const GuardTime now = TokyoTime(2026, 12, 8, 12, 11);
    const struct { int minutes, untilHour; const wchar_t *japanese, *english; } cases[] = {
        {30, -1, L"手動（12:41 まで）", L"Manual (until 12:41)"},
        {0, 11, L"手動（明日 11:00 まで）", L"Manual (until tomorrow 11:00)"},
        {10080, -1, L"手動（12/15 12:11 まで）", L"Manual (until Dec 15 12:11)"}};
    for (const auto& c : cases) {
        AwakeCommand command;
        command.minutes = c.minutes, command.untilHour = c.untilHour, command.untilMinute = c.untilHour < 0 ? -1 : 0;
        GuardInputs in;
        in.now = now;
        in.session = SessionFor(command, now.utc, now.local);
        const AwakeReason reason = DecideAwakeReason(in);
        SetUiLanguage(UiLanguage::Japanese);
        EXPECT_EQ(NoticeText(reason), std::wstring(L"スリープ禁止中（") + c.japanese + L"）");
        SetUiLanguage(UiLanguage::English);
        EXPECT_EQ(TrayTip(reason), std::wstring(L"DormiGuard - Staying awake (") + c.english + L")");
    }
    SetUiLanguage(UiLanguage::Japanese);
    EXPECT_EQ(CalendarDaysBetween(SYSTEMTIME{2026, 12, 4, 31, 23, 59, 0, 0}, SYSTEMTIME{2027, 1, 5, 1, 0, 0, 0, 0}), 1);
}

namespace {
// Power requests as real event handles, so that the holder's CloseHandle really closes them.
struct PowerScript {
    std::vector<std::string> calls;
    std::vector<std::wstring> reasons;
    std::vector<HANDLE> created;
    bool refuse = false;
    // The newest request with this value: a closed handle's value comes back for a new one.
    int Index(HANDLE h) const {
        for (size_t i = created.size(); i-- > 0;)
            if (created[i] == h) return static_cast<int>(i);
        return -1;
    }
};
PowerScript* g_power = nullptr;
HANDLE WINAPI ScriptCreate(PREASON_CONTEXT context) {
    g_power->calls.push_back("create");
    g_power->reasons.push_back(context->Reason.SimpleReasonString);
    if (g_power->refuse) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    g_power->created.push_back(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    return g_power->created.back();
}
BOOL WINAPI ScriptSet(HANDLE h, POWER_REQUEST_TYPE type) {
    g_power->calls.push_back("set" + std::to_string(g_power->Index(h)) +
                             (type == PowerRequestDisplayRequired ? "display" : "system"));
    return TRUE;
}
BOOL WINAPI ScriptClear(HANDLE h, POWER_REQUEST_TYPE type) {
    DWORD flags = 0;
    // Still open while it is cleared.
    g_power->calls.push_back("clear" + std::to_string(g_power->Index(h)) +
                             (type == PowerRequestDisplayRequired ? "display" : "system") +
                             (::GetHandleInformation(h, &flags) ? "" : "-closed!"));
    return TRUE;
}
bool Closed(HANDLE h) {
    DWORD flags = 0;
    return !::GetHandleInformation(h, &flags);
}
}  // namespace

TEST_F(SleepGuard, PowerRequestNewBeforeOldThenClearAndClose) {
    PowerScript script;
    g_power = &script;
    {
        PowerRequest_CL power(PowerRequestCalls{&ScriptCreate, &ScriptSet, &ScriptClear});
        power.Hold(L"notepad.exe が起動中");
        power.Hold(L"notepad.exe が起動中");  // a check that changes nothing
        power.Hold(L"手動（解除するまで）");
        ASSERT_EQ(script.created.size(), 2u);
        EXPECT_TRUE(Closed(script.created[0]));
        EXPECT_FALSE(Closed(script.created[1]));
        power.Release();
        EXPECT_TRUE(Closed(script.created[1]));
        power.Release();  // nothing held: nothing called
        power.Hold(L"時間帯 07:00 ～ 07:59");
    }  // held at exit: cleared and closed
    g_power = nullptr;
    EXPECT_EQ(script.calls,
              (std::vector<std::string>{"create", "set0system", "set0display", "create", "set1system", "set1display",
                                        "clear0display", "clear0system", "clear1display", "clear1system", "create",
                                        "set2system", "set2display", "clear2display", "clear2system"}));
    EXPECT_EQ(script.reasons, (std::vector<std::wstring>{L"DormiGuard: notepad.exe が起動中",
                                                         L"DormiGuard: 手動（解除するまで）",
                                                         L"DormiGuard: 時間帯 07:00 ～ 07:59"}));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(SleepGuard, PowerRequestWithoutTheDisplayHoldsTheSystemOnly) {
    PowerScript script;
    g_power = &script;
    {
        PowerRequest_CL power(PowerRequestCalls{&ScriptCreate, &ScriptSet, &ScriptClear});
        power.Hold(L"a.exe が起動中", false);
        power.Hold(L"a.exe が起動中", false);  // nothing changed
        power.Hold(L"a.exe が起動中", true);   // the display setting switched on: a new request
    }
    g_power = nullptr;
    EXPECT_EQ(script.calls, (std::vector<std::string>{"create", "set0system", "create", "set1system", "set1display",
                                                      "clear0system", "clear1display", "clear1system"}));
}

TEST_F(SleepGuard, RefusedPowerRequestIsLoggedOncePerProhibitedPeriod) {
    PowerScript script;
    script.refuse = true;
    g_power = &script;
    PowerRequest_CL power(PowerRequestCalls{&ScriptCreate, &ScriptSet, &ScriptClear});
    power.Hold(L"a.exe が起動中");
    power.Hold(L"a.exe が起動中");  // not retried on every check
    power.Hold(L"b.exe が起動中");  // a new reason tries again, but logs nothing more
    power.Release();
    power.Hold(L"b.exe が起動中");  // a new period
    g_power = nullptr;
    EXPECT_EQ(script.calls, (std::vector<std::string>{"create", "create", "create"}));
    std::vector<std::wstring> lines;
    for (const std::wstring& line : SplitLines(ReadUtf16File(logPath_))) {
        EXPECT_NE(line.find(L"power_request.cpp"), std::wstring::npos) << line;
        lines.push_back(line.substr(line.find(L" : ", 26) + 3));
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(L"PowerCreateRequest()エラー = 0x00000078 : ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], lines[0]);
}

// A marked hour keeps awake only on a marked day; each day stands alone across midnight.
TEST(AwakeReasons, WeekdaysOfTheHourTable) {
    std::vector<bool> hours(24, false);
    hours[23] = hours[0] = true;
    const std::vector<bool> mondayOnly = {false, true, false, false, false, false, false};
    struct Case {
        const std::vector<bool>& days;
        int weekday, hour;
        const wchar_t* text;
    } cases[] = {
        {mondayOnly, 1, 23, L"時間帯 月 23:00 ～ 23:59"},
        {mondayOnly, 2, 0, L""},  // Tuesday 00:00 follows Monday 23:00 but asks Tuesday
        {mondayOnly, 1, 0, L"時間帯 月 00:00 ～ 00:59"},
        {mondayOnly, 0, 23, L""},  // Sunday 23:00 comes before Monday 00:00
        {mondayOnly, 1, 12, L""},
        {{}, 0, 23, L"時間帯 日 23:00 ～ 23:59"},  // no day keys: every day
        {{}, 6, 0, L"時間帯 土 00:00 ～ 00:59"},
    };
    GuardInputs in;
    in.hourTable = hours;
    for (const Case& c : cases) {
        in.dayTable = c.days;
        in.now = TokyoTime(2026, 1, static_cast<WORD>(4 + c.weekday), static_cast<WORD>(c.hour), 0);  // 4: a Sunday
        const AwakeReason reason = DecideAwakeReason(in);
        EXPECT_EQ(ReasonText(reason), c.text) << c.weekday << " " << c.hour;
    }
}

namespace {
SYSTEM_POWER_STATUS g_battery = {};
BOOL WINAPI FakePowerStatus(LPSYSTEM_POWER_STATUS status) {
    *status = g_battery;
    return TRUE;
}
BOOL WINAPI FailingPowerStatus(LPSYSTEM_POWER_STATUS) { return FALSE; }
}  // namespace

// The battery rules through the power-status seam, every hour marked: what each status and
// setting leaves of the hour's reason and of a manual session.
TEST(BatteryRules, WhatKeepsAwakeOnBattery) {
    SaveData data;
    AwakeGuard_CL guard(data);
    data.readPowerStatus = &FakePowerStatus;
    data.hourTable.assign(24, true);
    ManualSession manual;
    manual.active = manual.indefinite = true;
    struct Case {
        BYTE line, flag, level;  // GetSystemPowerStatus's AC line, battery flag and level
        bool acOnly;
        int floor;
        bool session;
        const wchar_t* heldBy;  // null: kept awake
    } cases[] = {
        {1, 8, 3, true, 10, false, nullptr},                // mains
        {0, 1, 3, false, 0, false, nullptr},                // battery, no rule
        {0, 1, 80, true, 0, false, L"バッテリー駆動中"},
        {0, 1, 80, true, 0, true, nullptr},                 // a manual session still keeps awake
        {0, 2, 9, false, 10, true, L"バッテリー残量 9%"},  // below the floor: manual too
        {0, 2, 10, false, 10, true, nullptr},               // at the floor
        {255, 2, 3, true, 10, false, nullptr},              // unknown AC line
        {0, 2, 255, true, 10, false, nullptr},              // unknown level
        {0, 128, 0, true, 50, false, nullptr},              // a desktop without a battery
    };
    for (const Case& c : cases) {
        g_battery = SYSTEM_POWER_STATUS{};
        g_battery.ACLineStatus = c.line;
        g_battery.BatteryFlag = c.flag;
        g_battery.BatteryLifePercent = c.level;
        data.awake.acOnly = c.acOnly;
        data.awake.batteryFloor = c.floor;
        data.session = c.session ? manual : ManualSession();
        const AwakeReason reason = guard.Decide();
        const std::wstring where = FormatWide(L"%d %d %d %d", c.line, c.flag, c.level, c.session);
        EXPECT_EQ(reason.KeepsAwake(), c.heldBy == nullptr) << where;
        if (c.heldBy) {
            EXPECT_EQ(TrayTip(reason), std::wstring(L"DormiGuard - スリープ許可中（") + c.heldBy + L"）") << where;
        } else {
            EXPECT_EQ(reason.kind, c.session ? AwakeReason::Kind::Manual : AwakeReason::Kind::MarkedHour) << where;
        }
    }
    // A failing GetSystemPowerStatus counts as mains power.
    data.readPowerStatus = &FailingPowerStatus;
    data.session = ManualSession();
    EXPECT_TRUE(guard.Decide().KeepsAwake());
}

TEST(Hotkeys, TextGivesExactlyItsModifiersAndTheRegistrationAddsNoRepeat) {
    Hotkey hotkey;
    ASSERT_TRUE(ParseHotkey(L"Ctrl+Alt+Shift+S", &hotkey));
    EXPECT_EQ(hotkey.modifiers, 0x0007u);  // MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4
    EXPECT_EQ(hotkey.key, 0x53u);          // 'S'
    EXPECT_EQ(HotkeyRegistrationModifiers(hotkey), 0x4007u) << "and MOD_NOREPEAT";
}

TEST_F(SleepGuard, HandOverOfAtMost128BytesIsRead) {
    std::wstring padded = L"-awake 30";
    padded.resize(64, L' ');  // 128 bytes; the parser skips the blanks
    COPYDATASTRUCT data = {kHandOverTag, 128, &padded[0]};
    AwakeCommand command;
    ASSERT_TRUE(ReadHandOver(&data, &command));
    EXPECT_EQ(command.kind, AwakeCommand::Kind::Session);
    EXPECT_EQ(command.minutes, 30);
    padded.push_back(L' ');
    data = {kHandOverTag, 130, &padded[0]};
    AwakeCommand refused;
    EXPECT_FALSE(ReadHandOver(&data, &refused));
    EXPECT_EQ(refused.kind, AwakeCommand::Kind::None);
    const std::vector<std::wstring> lines = LogMessagesFrom(logPath_, L"main_dialog_awake.cpp");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(L"コマンドを受け取りました = -awake 30 ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], L"WM_COPYDATAを無視しました dwData = 0x44474157, cbData = 130");
}

// Before the first check a hand-over is taken (answer 1) and held; the first check gives it back.
TEST_F(SleepGuard, HandOverBeforeTheFirstCheckIsHeldUntilIt) {
    MainDialog_CL dialog(1);
    std::wstring text = L"-awake 30";
    COPYDATASTRUCT data = {kHandOverTag, 20, &text[0]};
    EXPECT_EQ(dialog.HandleMessage(nullptr, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 1);
    EXPECT_EQ(LogMessagesFrom(logPath_, L"main_dialog_awake.cpp"),
              (std::vector<std::wstring>{L"コマンドを受け取りました = -awake 30", L"起動中のためコマンドを保留します = -awake 30"}));
    HandOverHold_CL hold;
    EXPECT_FALSE(hold.PassOrHold(AwakeCommand()));
    EXPECT_EQ(hold.Open().size(), 1u);
    EXPECT_TRUE(hold.PassOrHold(AwakeCommand()));
}

namespace {
GuardTime TenPastNoon() { return TokyoTime(2026, 3, 5, 12, 11); }

// A guard over settings of its own on a fixed clock (12:11 local, nine hours ahead of UTC), with
// the INI file in the temp folder and the input and power requests recorded, not made.
class GuardTest : public SleepGuard {
protected:
    void SetUp() override {
        SleepGuard::SetUp();
        iniPath_ = logPath_ + L".ini";
        ::DeleteFileW(iniPath_.c_str());
        Inifile_CL::CreateIfMissing(iniPath_);
        g_Inifile.SetPath(iniPath_);
        g_power = &power_;
        data_.hourTable.assign(24, false);
    }
    void TearDown() override {
        guard_.Stop();
        g_power = nullptr;
        g_Inifile.SetPath(L"");
        SleepGuard::TearDown();
    }
    static GuardSystem System() {
        GuardSystem system;
        system.clock = &TenPastNoon;
        system.sendInput = &CountMoves;
        system.power = PowerRequestCalls{&ScriptCreate, &ScriptSet, &ScriptClear};
        return system;
    }

    std::wstring iniPath_;
    PowerScript power_;
    SaveData data_;
    AwakeGuard_CL guard_{data_, GuardWords{&ReasonText, &TrayTip}, System()};
};
}  // namespace

TEST_F(GuardTest, SessionsEndOnTheLocalClockAndWakeTheWindowThen) {
    struct Case {
        const wchar_t* command;
        const wchar_t* until;
        UINT wakeAfterMs;
        const wchar_t* tip;
    } cases[] = {
        {L"-awake 11:00", L"2026-03-06T02:00:00Z", 82140020u, L"DormiGuard - スリープ禁止中（手動（明日 11:00 まで））"},
        {L"-awake 12:12", L"2026-03-05T03:12:00Z", 60020u, L"DormiGuard - スリープ禁止中（手動（12:12 まで））"},
        {L"-awake 30", L"2026-03-05T03:41:00Z", 1800020u, L"DormiGuard - スリープ禁止中（手動（12:41 まで））"},
        {L"-awake", L"indefinite", 0u, L"DormiGuard - スリープ禁止中（手動（解除するまで））"},
        {L"-awake off", L"", 0u, L"DormiGuard - スリープ許可中"},
    };
    for (const Case& c : cases) {
        AwakeCommand command;
        ASSERT_TRUE(ParseHandOverText(c.command, &command));
        ASSERT_TRUE(guard_.Apply(command));
        EXPECT_EQ(g_Inifile.ReadString(L"AWAKE", L"until", L""), c.until) << c.command;
        const GuardOutcome outcome = guard_.Check();
        EXPECT_EQ(outcome.wakeAfterMs, c.wakeAfterMs) << c.command;
        EXPECT_EQ(outcome.tray.iconId, c.until[0] ? 103 : 104) << c.command;
        EXPECT_EQ(outcome.tray.tip, c.tip);
    }
    const std::vector<std::wstring> lines = LogMessagesFrom(logPath_, L"main_dialog_awake.cpp");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], L"手動のスリープ禁止を開始します = 2026-03-06T02:00:00Z");
    EXPECT_EQ(lines[4], L"手動のスリープ禁止を解除します");
}

TEST_F(GuardTest, BatteryHoldIsLoggedOncePerChange) {
    data_.readPowerStatus = &FakePowerStatus;
    data_.hourTable.assign(24, true);
    data_.awake.acOnly = true;
    g_battery = SYSTEM_POWER_STATUS{};
    g_battery.BatteryFlag = 1;
    g_battery.BatteryLifePercent = 80;  // on battery: ACLineStatus 0
    for (int i = 0; i < 3; ++i) {
        const GuardOutcome outcome = guard_.Check();
        EXPECT_EQ(outcome.tray.iconId, 104);
        EXPECT_EQ(outcome.tray.tip, L"DormiGuard - スリープ許可中（バッテリー駆動中）");
    }
    g_battery.ACLineStatus = 1;
    guard_.Check();
    guard_.Check();
    EXPECT_EQ(LogMessagesFrom(logPath_, L"main_dialog.cpp"),
              (std::vector<std::wstring>{L"★スリープを許可します", L"★バッテリーのためスリープを許可します = バッテリー駆動中",
                                         L"★スリープを禁止します", L"★バッテリーによるスリープ許可を終了します"}));
}

TEST_F(GuardTest, SaveFailureNoticeOncePerRun) {
    std::vector<DWORD> notices;
    data_.SetSaveFailureHandler([&](const std::wstring& file, DWORD error) {
        EXPECT_EQ(file, iniPath_);
        notices.push_back(error);
        return notices.size() > 1;  // the first finds no tray icon yet: asked again
    });
    // A handle that shares no writing refuses the writes (ERROR_SHARING_VIOLATION, 32).
    const UniqueFile lock(
        ::CreateFileW(iniPath_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.IsValid());
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(data_.SaveWatchedList());
    EXPECT_EQ(notices, (std::vector<DWORD>{32, 32}));
}

// WatchedPrograms keeps the computer awake while this test program runs; Disabled=1 then holds
// back every reason, a manual session too, and the band and the tip say why.
TEST_F(GuardTest, OrganisationWatchesAndDisablesThroughTheRegistry) {
    ClearPolicyKeys();
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(SetPolicy(HKEY_LOCAL_MACHINE, L"WatchedPrograms", L"1", 0, self));
    EXPECT_TRUE(guard_.ReadPolicies());
    EXPECT_EQ(guard_.Check().tray.tip, L"DormiGuard - スリープ禁止中（test_sleep_check.exe が起動中）");
    ASSERT_TRUE(SetPolicy(HKEY_CURRENT_USER, L"", L"Disabled", 1));
    EXPECT_TRUE(guard_.ReadPolicies());
    ClearPolicyKeys();
    AwakeCommand session;
    session.kind = AwakeCommand::Kind::Session;
    ASSERT_TRUE(guard_.Apply(session));
    const GuardOutcome outcome = guard_.Check();
    EXPECT_EQ(outcome.tray.tip, L"DormiGuard - スリープ許可中（組織によって無効にされています）");
    EXPECT_EQ(ReasonText(outcome.reason), L"組織によって無効にされています");
    EXPECT_EQ(LogMessagesFrom(logPath_, L"main_dialog.cpp"), std::vector<std::wstring>{L"★スリープを許可します"});
}

namespace {
// The power plan through the seam: "allow applications to prevent automatic sleep" on mains and
// on battery.
struct PlanSeam : PowerSchemeCalls {
    AcDcValues allowed{1, 1};
    int reads = 0;
    DWORD ActiveScheme(GUID& scheme) override { return scheme = GUID{}, ERROR_SUCCESS; }
    DWORD ReadValue(const GUID&, const GUID&, const GUID& setting, PowerSource source, DWORD& value) override {
        ++reads;
        EXPECT_EQ(FormatGuid(setting), L"{A4B195F5-8225-47D8-8012-9D41369786E2}");
        value = source == PowerSource::Ac ? allowed.ac : allowed.dc;
        return ERROR_SUCCESS;
    }
    DWORD WriteValue(const GUID&, const GUID&, const GUID&, PowerSource, DWORD) override { return ERROR_ACCESS_DENIED; }
    DWORD SetActiveScheme(const GUID&) override { return ERROR_ACCESS_DENIED; }
    bool LidPresent() override { return false; }
};
}  // namespace

// The plan that forbids keeping awake on the power source in use shows its text, on mains and
// on battery apart; the guard still makes its effects, and logs each change once.
TEST_F(GuardTest, PowerPlanThatForbidsKeepingAwakeIsShownPerPowerSource) {
    PlanSeam plan;
    GuardSystem system = System();
    system.scheme = &plan;
    AwakeGuard_CL guard(data_, GuardWords{&ReasonText, &TrayTip}, system);
    data_.readPowerStatus = &FakePowerStatus;
    data_.hourTable.assign(24, true);
    const wchar_t kForbidden[] = L"DormiGuard - スリープ禁止中（Windows の電源設定がスリープの抑止を許可していません）";
    const wchar_t kHour[] = L"DormiGuard - スリープ禁止中（時間帯 木 12:00 ～ 12:59）";
    struct Case {
        DWORD ac, dc;
        BYTE acLine;  // 1 mains, 0 battery
        const wchar_t* tip;
    } cases[] = {{0, 1, 1, kForbidden}, {0, 1, 0, kHour}, {1, 0, 1, kHour}, {1, 0, 0, kForbidden}, {1, 1, 0, kHour}};
    for (const Case& c : cases) {
        plan.allowed = {c.ac, c.dc};
        guard.PowerSettingsChanged();
        g_battery = SYSTEM_POWER_STATUS{c.acLine, 1, 80, 0, 0, 0};
        g_moves = 0;
        EXPECT_EQ(guard.Check().tray.tip, c.tip) << c.ac << c.dc << int(c.acLine);
        EXPECT_EQ(g_moves, 1) << "the guard still does what it can";
        const int reads = plan.reads;
        guard.Check();
        EXPECT_EQ(plan.reads, reads) << "a steady check does not read the plan";
    }
    guard.Stop();
    const std::wstring forbids = L"★Windows の電源設定がスリープの抑止を許可していません";
    const std::wstring allows = L"★Windows の電源設定がスリープの抑止を許可しました";
    EXPECT_EQ(LogMessagesFrom(logPath_, L"main_dialog.cpp"), (std::vector<std::wstring>{forbids, allows, forbids, allows}));
}

// ManualSessions=1 and MaxSessionMinutes=60 from the registry, at 12:11 local: a session without
// an end is refused (the hotkey too), a longer one is cut to 60 minutes and the log says so.
TEST_F(GuardTest, ManualSessionsUnderPolicies) {
    ClearPolicyKeys();
    ASSERT_TRUE(SetPolicy(HKEY_LOCAL_MACHINE, L"", L"ManualSessions", 1));
    ASSERT_TRUE(SetPolicy(HKEY_CURRENT_USER, L"", L"MaxSessionMinutes", 60));
    guard_.ReadPolicies();
    ClearPolicyKeys();
    EXPECT_EQ(guard_.Toggle(), SessionRefusal::NoEndlessSession);
    const wchar_t* cases[][2] = {{L"-awake", L""},
                                 {L"-awake 30", L"2026-03-05T03:41:00Z"},
                                 {L"-awake 90", L"2026-03-05T04:11:00Z"},
                                 {L"-awake 18:00", L"2026-03-05T04:11:00Z"}};
    for (const auto& c : cases) {
        AwakeCommand command;
        ASSERT_TRUE(ParseHandOverText(c[0], &command));
        EXPECT_EQ(guard_.Apply(command), c[1][0] != L'\0') << c[0];
        EXPECT_EQ(g_Inifile.ReadString(L"AWAKE", L"until", L""), c[1]) << c[0];
    }
    EXPECT_EQ(LogMessagesFrom(logPath_, L"save_data.cpp"),
              std::vector<std::wstring>(2, L"手動のスリープ禁止をポリシー MaxSessionMinutes=60 により短縮します = "
                                           L"2026-03-05T04:11:00Z"));
}
