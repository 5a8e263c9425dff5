// The acting half of the sleep check: state changes, their log lines and the real input reset.
#include <gtest/gtest.h>
#include <windows.h>

#include "comlib/log.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "tests/test_helpers.h"
#include "view/main_dialog.h"

namespace {

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
        SleepGuard_CL::SetInputSender(nullptr);
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
    SleepGuard_CL::SetInputSender(FakeSendInput);
    g_calls.clear();
    SleepGuard_CL guard;
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
