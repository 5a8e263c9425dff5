// The notification-area icon: its add loop against a scripted shell, and the real thing
// under Wine's shell (added, put back after a "TaskbarCreated" broadcast, removed).
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <string>
#include <vector>

#include "comlib/log.h"
#include "comlib/task_tray_icon.h"
#include "tests/http_test_support.h"

namespace {

const wchar_t kAdded[] = L"タスクトレイへアイコンを追加しました。";
const wchar_t kUpdated[] = L"タスクトレイへアイコンアップデート成功";
const wchar_t kRemoved[] = L"タスクトレイアイコンを削除しました。";
const wchar_t kAgain[] = L"タスクトレイアイコンを追加します。(IsTaskbarCreated)";

std::wstring FailureLine(DWORD error) {
    return FormatWide(L"タスクトレイへアイコンを追加失敗。Shell_NotifyIconエラー %d, 0x%08x", 0, error);
}

// A shell that answers from a script. An add result of 0 is success, anything else the error
// GetLastError reports; when the script runs out, the fallback answers.
struct ScriptedShell {
    std::deque<DWORD> addResults;
    DWORD addFallback = 0;
    std::deque<bool> modifyResults;
    bool modifyFallback = false;
    std::deque<int> boxAnswers;

    std::vector<DWORD> messages;
    std::vector<NOTIFYICONDATAW> data;
    std::vector<UINT> timers;  // intervals of the armed retry timers
    bool armed = false;
    int kills = 0;
    struct Box {
        HWND owner;
        std::wstring text;
        std::wstring caption;
        UINT type;
    };
    std::vector<Box> boxes;

    int Count(DWORD message) const {
        int n = 0;
        for (DWORD m : messages) n += m == message ? 1 : 0;
        return n;
    }
};
ScriptedShell* g_shell = nullptr;

BOOL WINAPI ScriptedNotify(DWORD message, PNOTIFYICONDATAW data) {
    g_shell->messages.push_back(message);
    g_shell->data.push_back(*data);
    if (message == NIM_ADD) {
        DWORD result = g_shell->addFallback;
        if (!g_shell->addResults.empty()) {
            result = g_shell->addResults.front();
            g_shell->addResults.pop_front();
        }
        ::SetLastError(result);
        return result == 0;
    }
    if (message == NIM_MODIFY) {
        bool ok = g_shell->modifyFallback;
        if (!g_shell->modifyResults.empty()) {
            ok = g_shell->modifyResults.front();
            g_shell->modifyResults.pop_front();
        }
        ::SetLastError(ok ? 0 : ERROR_INVALID_PARAMETER);
        return ok;
    }
    return TRUE;
}
UINT_PTR WINAPI ScriptedSetTimer(HWND, UINT_PTR id, UINT ms, TIMERPROC) {
    g_shell->timers.push_back(ms);
    g_shell->armed = true;
    return id;
}
BOOL WINAPI ScriptedKillTimer(HWND, UINT_PTR) {
    ++g_shell->kills;
    g_shell->armed = false;
    return TRUE;
}
int WINAPI ScriptedBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    g_shell->boxes.push_back({owner, text, caption, type});
    int answer = IDCANCEL;
    if (!g_shell->boxAnswers.empty()) {
        answer = g_shell->boxAnswers.front();
        g_shell->boxAnswers.pop_front();
    }
    return answer;
}
const TrayShellCalls kScripted = {&ScriptedNotify, &ScriptedSetTimer, &ScriptedKillTimer, &ScriptedBox};

// Ticks the retry timer while it is armed, as the window's WM_TIMER would: the icon's state
// when the attempts end.
bool Drive(TaskTrayIcon_CL& tray, ScriptedShell& shell) {
    while (shell.armed) {
        if (!tray.OnTimer(TaskTrayIcon_CL::kRetryTimerId)) return false;
    }
    return tray.Added();
}

class TrayLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = FreshTempFolder(L"dg_tray_test");
        logPath_ = folder_ + L"\\log.txt";
        g_Logger.SetPath(logPath_);
    }
    void TearDown() override { g_Logger.SetPath(L""); }
    std::vector<std::wstring> Messages() const { return LogMessagesFrom(logPath_, L"task_tray_icon.cpp"); }
    // The lines after the constructor's message-id line.
    std::vector<std::wstring> MessagesAfterConstruction() const {
        std::vector<std::wstring> all = Messages();
        if (!all.empty()) all.erase(all.begin());
        return all;
    }

    std::wstring folder_;
    std::wstring logPath_;
};

class ScriptedTrayTest : public TrayLogTest {
protected:
    void SetUp() override {
        TrayLogTest::SetUp();
        g_shell = &shell_;
    }
    void TearDown() override {
        g_shell = nullptr;
        TrayLogTest::TearDown();
    }
    // Any window will do as the owner: the scripted shell never looks at it.
    HWND Owner() const { return ::GetDesktopWindow(); }

    ScriptedShell shell_;
};

}  // namespace

TEST_F(TrayLogTest, ConstructionRegistersTaskbarCreated) {
    TaskTrayIcon_CL tray(kScripted);
    const UINT id = ::RegisterWindowMessageW(L"TaskbarCreated");
    ASSERT_GE(id, 0xC000u);  // registered messages live in 0xC000..0xFFFF
    EXPECT_EQ(tray.TaskbarCreatedMessage(), id);
    EXPECT_TRUE(tray.IsTaskbarCreated(id));
    EXPECT_FALSE(tray.IsTaskbarCreated(id + 1));
    EXPECT_FALSE(tray.IsTaskbarCreated(TaskTrayIcon_CL::kCallbackMessage));
    EXPECT_EQ(tray.Window(), nullptr);
    EXPECT_EQ(tray.IconData().cbSize, sizeof(NOTIFYICONDATAW));
    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], FormatWide(L"タスクバーリスタートメッセージ Id = %d", static_cast<int>(id)));
}

TEST_F(ScriptedTrayTest, IconAndTipFillTheRecord) {
    TaskTrayIcon_CL tray(kScripted);
    tray.SetTrayIcon();
    tray.SetTip(L"DormiGuard");
    const NOTIFYICONDATAW& data = tray.IconData();
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(data.uCallbackMessage, 0x700u);
    EXPECT_EQ(data.uID, 0u);
    EXPECT_STREQ(data.szTip, L"DormiGuard");
    // Resource 101 of this executable, loaded at the small-icon size.
    ASSERT_NE(data.hIcon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(data.hIcon, &info));
    BITMAP bitmap = {};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 16);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);

    // A tip longer than the record's 128 characters is cut, terminator included.
    tray.SetTip(std::wstring(300, L'x'));
    EXPECT_EQ(std::wstring(tray.IconData().szTip), std::wstring(127, L'x'));
}

TEST_F(ScriptedTrayTest, FirstAddSucceeds) {
    TaskTrayIcon_CL tray(kScripted);
    tray.SetTrayIcon();
    tray.SetTip(L"DormiGuard");
    EXPECT_TRUE(tray.Add(Owner()));
    EXPECT_EQ(tray.Window(), Owner());
    ASSERT_EQ(shell_.messages, std::vector<DWORD>{NIM_ADD});
    EXPECT_EQ(shell_.data[0].hWnd, Owner());
    EXPECT_EQ(shell_.data[0].hIcon, tray.IconData().hIcon);
    EXPECT_TRUE(shell_.timers.empty());
    EXPECT_EQ(MessagesAfterConstruction(), std::vector<std::wstring>{kAdded});
}

TEST_F(ScriptedTrayTest, TimedOutAddThatLandedIsConfirmedByModify) {
    shell_.addResults = {ERROR_TIMEOUT};
    shell_.modifyResults = {true};
    TaskTrayIcon_CL tray(kScripted);
    tray.SetTrayIcon();
    EXPECT_TRUE(tray.Add(Owner()));
    EXPECT_EQ(shell_.messages, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
    EXPECT_TRUE(shell_.timers.empty());
    EXPECT_EQ(MessagesAfterConstruction(), (std::vector<std::wstring>{FailureLine(0x5b4), kUpdated, kAdded}));
    EXPECT_EQ(FailureLine(0x5b4), L"タスクトレイへアイコンを追加失敗。Shell_NotifyIconエラー 0, 0x000005b4");
}

TEST_F(ScriptedTrayTest, TimeOutsRetryWithoutLimit) {
    // Far more time-outs than the budget: nobody is asked, every retry is a 2-second timer and
    // the add returns at once, without waiting for it.
    shell_.addResults = std::deque<DWORD>(150, ERROR_TIMEOUT);
    TaskTrayIcon_CL tray(kScripted);
    EXPECT_FALSE(tray.Add(Owner()));
    EXPECT_TRUE(tray.Retrying());
    EXPECT_EQ(shell_.timers, std::vector<UINT>{2000});
    EXPECT_FALSE(tray.OnTimer(TaskTrayIcon_CL::kRetryTimerId + 1));  // another timer of the window
    EXPECT_EQ(shell_.Count(NIM_ADD), 1);
    EXPECT_TRUE(Drive(tray, shell_));
    EXPECT_FALSE(tray.Retrying());
    EXPECT_TRUE(shell_.boxes.empty());
    EXPECT_EQ(shell_.Count(NIM_ADD), 151);
    EXPECT_EQ(shell_.Count(NIM_MODIFY), 150);
    EXPECT_EQ(shell_.timers, std::vector<UINT>(150, 2000));
    const std::vector<std::wstring> lines = MessagesAfterConstruction();
    ASSERT_EQ(lines.size(), 151u);
    EXPECT_EQ(lines.back(), kAdded);
}

TEST_F(ScriptedTrayTest, SixtyFailuresAskAndCancelGivesUp) {
    shell_.addFallback = ERROR_ACCESS_DENIED;
    shell_.boxAnswers = {IDCANCEL};
    TaskTrayIcon_CL tray(kScripted);
    tray.SetTrayIcon();
    EXPECT_FALSE(tray.Add(Owner()));
    EXPECT_FALSE(Drive(tray, shell_));
    EXPECT_EQ(tray.Window(), nullptr);
    EXPECT_FALSE(tray.Retrying());
    EXPECT_EQ(shell_.Count(NIM_ADD), 60);
    EXPECT_EQ(shell_.Count(NIM_MODIFY), 59);
    EXPECT_EQ(shell_.timers.size(), 59u);
    ASSERT_EQ(shell_.boxes.size(), 1u);
    EXPECT_EQ(shell_.boxes[0].owner, Owner());
    EXPECT_EQ(shell_.boxes[0].text, L"タスクトレイへアイコンを追加できませんでした。");
    EXPECT_EQ(shell_.boxes[0].caption, L"DormiGuard");
    EXPECT_EQ(shell_.boxes[0].type, static_cast<UINT>(MB_RETRYCANCEL));
    const std::vector<std::wstring> lines = MessagesAfterConstruction();
    EXPECT_EQ(lines, std::vector<std::wstring>(60, FailureLine(ERROR_ACCESS_DENIED)));

    // Given up: a later taskbar restart does not try again.
    shell_.messages.clear();
    EXPECT_FALSE(tray.AddAgain());
    EXPECT_TRUE(shell_.messages.empty());
    EXPECT_EQ(MessagesAfterConstruction().size(), 60u);
}

TEST_F(ScriptedTrayTest, RetryGivesAnotherSixtyAttempts) {
    struct Case {
        std::deque<int> answers;
        int successfulAdd;  // 0: never
        bool added;
        int adds;
        int boxes;
    } cases[] = {
        {{IDRETRY, IDCANCEL}, 0, false, 120, 2},
        {{IDRETRY}, 75, true, 75, 1},
        {{IDOK}, 0, false, 60, 1},  // only Retry goes on
    };
    for (const Case& c : cases) {
        ScriptedShell shell;
        g_shell = &shell;
        for (int i = 1; i < (c.successfulAdd ? c.successfulAdd : 1000); ++i) shell.addResults.push_back(ERROR_GEN_FAILURE);
        shell.addFallback = 0;
        shell.boxAnswers = c.answers;
        TaskTrayIcon_CL tray(kScripted);
        tray.Add(Owner());
        EXPECT_EQ(Drive(tray, shell), c.added) << c.adds;
        EXPECT_EQ(shell.Count(NIM_ADD), c.adds);
        EXPECT_EQ(static_cast<int>(shell.boxes.size()), c.boxes);
        EXPECT_EQ(tray.Window(), c.added ? Owner() : nullptr);
    }
    g_shell = &shell_;
}

TEST_F(ScriptedTrayTest, TimeOutsDoNotSpendTheBudget) {
    // 59 ordinary failures with time-outs between them never reach the question.
    for (int i = 0; i < 59; ++i) {
        shell_.addResults.push_back(ERROR_GEN_FAILURE);
        shell_.addResults.push_back(ERROR_TIMEOUT);
        shell_.addResults.push_back(ERROR_TIMEOUT);
    }
    TaskTrayIcon_CL tray(kScripted);
    tray.Add(Owner());
    EXPECT_TRUE(Drive(tray, shell_));
    EXPECT_TRUE(shell_.boxes.empty());
    EXPECT_EQ(shell_.Count(NIM_ADD), 59 * 3 + 1);
}

TEST_F(ScriptedTrayTest, AddAgainRunsTheLoopWithTheSameIconAndTip) {
    TaskTrayIcon_CL tray(kScripted);
    tray.SetTrayIcon();
    tray.SetTip(L"DormiGuard");
    ASSERT_TRUE(tray.Add(Owner()));
    shell_.addResults = {ERROR_GEN_FAILURE};
    shell_.modifyResults = {true};
    EXPECT_TRUE(tray.AddAgain());
    ASSERT_EQ(shell_.messages, (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_MODIFY}));
    for (const NOTIFYICONDATAW& sent : shell_.data) {
        EXPECT_EQ(sent.hWnd, Owner());
        EXPECT_EQ(sent.hIcon, shell_.data[0].hIcon);
        EXPECT_STREQ(sent.szTip, L"DormiGuard");
        EXPECT_EQ(sent.cbSize, sizeof(NOTIFYICONDATAW));
    }
    EXPECT_EQ(MessagesAfterConstruction(),
              (std::vector<std::wstring>{kAdded, kAgain, FailureLine(ERROR_GEN_FAILURE), kUpdated, kAdded}));
}

TEST_F(ScriptedTrayTest, RemoveAndDestructor) {
    {
        TaskTrayIcon_CL tray(kScripted);
        tray.SetTrayIcon();
        ASSERT_TRUE(tray.Add(Owner()));
        const HICON icon = tray.IconData().hIcon;
        tray.Remove();
        EXPECT_EQ(tray.Window(), nullptr);
        EXPECT_EQ(tray.IconData().hIcon, nullptr);
        // The icon handle is gone with the removal.
        ICONINFO info = {};
        EXPECT_FALSE(::GetIconInfo(icon, &info));
        ASSERT_EQ(shell_.messages.back(), static_cast<DWORD>(NIM_DELETE));
        EXPECT_EQ(shell_.data.back().hWnd, Owner());
    }
    // Already removed: the destructor does not remove a second time.
    EXPECT_EQ(shell_.Count(NIM_DELETE), 1);
    EXPECT_EQ(MessagesAfterConstruction(), (std::vector<std::wstring>{kAdded, kRemoved}));

    {
        TaskTrayIcon_CL tray(kScripted);
        ASSERT_TRUE(tray.Add(Owner()));
    }
    // Still in the tray when it went: removed by the destructor.
    EXPECT_EQ(shell_.Count(NIM_DELETE), 2);
    EXPECT_EQ(Messages().back(), kRemoved);
}

// ---- Under Wine's own shell ----

namespace {

TaskTrayIcon_CL* g_realTray = nullptr;
int g_callbacks = 0;

// What the main window does with the registered message: put the icon back.
LRESULT CALLBACK TrayHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_realTray && g_realTray->IsTaskbarCreated(message)) {
        g_realTray->AddAgain();
        return 0;
    }
    if (message == TaskTrayIcon_CL::kCallbackMessage) ++g_callbacks;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateTrayHost() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TrayHostProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DgTrayHostTest";
    ::RegisterClassW(&windowClass);
    return ::CreateWindowExW(0, L"DgTrayHostTest", L"tray host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

// The shell holds the icon exactly when a modify of it is accepted.
bool ShellHoldsIcon(HWND window) {
    NOTIFYICONDATAW probe = {};
    probe.cbSize = sizeof(probe);
    probe.hWnd = window;
    probe.uID = 0;
    return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

}  // namespace

TEST_F(TrayLogTest, RealShellAddRestoreAndRemove) {
    const HWND window = CreateTrayHost();
    ASSERT_NE(window, nullptr);
    {
        TaskTrayIcon_CL tray;
        g_realTray = &tray;
        tray.SetTrayIcon();
        tray.SetTip(L"DormiGuard");
        const ULONGLONG start = ::GetTickCount64();
        ASSERT_TRUE(tray.Add(window));
        EXPECT_LT(::GetTickCount64() - start, 1500u);  // taken at once, no 2-second pause
        EXPECT_TRUE(ShellHoldsIcon(window));
        EXPECT_EQ(MessagesAfterConstruction(), std::vector<std::wstring>{kAdded});

        // A restarted shell has forgotten the icon, then broadcasts "TaskbarCreated".
        NOTIFYICONDATAW forget = tray.IconData();
        ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &forget));
        ASSERT_FALSE(ShellHoldsIcon(window));
        ::PostMessageW(HWND_BROADCAST, tray.TaskbarCreatedMessage(), 0, 0);
        EXPECT_TRUE(WaitFor([&] { return ShellHoldsIcon(window); }, 10000));
        EXPECT_EQ(MessagesAfterConstruction(), (std::vector<std::wstring>{kAdded, kAgain, kAdded}));

        // A broadcast while the shell still holds the icon: the add is refused as a
        // duplicate and the modify confirms the icon.
        ::PostMessageW(HWND_BROADCAST, tray.TaskbarCreatedMessage(), 0, 0);
        EXPECT_TRUE(WaitFor([&] { return MessagesAfterConstruction().size() >= 6; }, 10000));
        std::vector<std::wstring> lines = MessagesAfterConstruction();
        ASSERT_GE(lines.size(), 6u);
        EXPECT_EQ(lines[3], kAgain);
        EXPECT_EQ(lines[4].rfind(L"タスクトレイへアイコンを追加失敗。Shell_NotifyIconエラー 0, 0x", 0), 0u) << lines[4];
        EXPECT_EQ(lines[5], kUpdated);
        EXPECT_TRUE(WaitFor([&] { return MessagesAfterConstruction().size() >= 7; }, 5000));
        EXPECT_EQ(MessagesAfterConstruction().back(), kAdded);
        EXPECT_TRUE(ShellHoldsIcon(window));

        tray.Remove();
        EXPECT_FALSE(ShellHoldsIcon(window));
        EXPECT_EQ(tray.Window(), nullptr);
        EXPECT_EQ(MessagesAfterConstruction().back(), kRemoved);

        // Removed: a broadcast now is ignored.
        const size_t before = MessagesAfterConstruction().size();
        ::PostMessageW(HWND_BROADCAST, tray.TaskbarCreatedMessage(), 0, 0);
        PumpMessagesFor(300);
        EXPECT_EQ(MessagesAfterConstruction().size(), before);
        EXPECT_FALSE(ShellHoldsIcon(window));
        g_realTray = nullptr;
    }
    ::DestroyWindow(window);
}

// ---- Retries on the window's timer, while the window's other timers go on ----

namespace {

constexpr UINT_PTR kCheckTimer = 4096;
TaskTrayIcon_CL* g_timedTray = nullptr;
int g_checks = 0;

// What the main window does with its timers: the check on its own, the retry handed over.
LRESULT CALLBACK TimedHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        if (wParam == kCheckTimer) ++g_checks;
        if (g_timedTray) g_timedTray->OnTimer(wParam);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

TEST_F(ScriptedTrayTest, FailingAddsDoNotStopTheCheckTimer) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TimedHostProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DgTrayTimedHostTest";
    ::RegisterClassW(&windowClass);
    const HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"timed host", WS_OVERLAPPEDWINDOW, 0, 0,
                                          200, 100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    // Time-outs and refusals alike; the shell's script never runs dry within the test.
    for (int i = 0; i < 100; ++i) shell_.addResults.push_back(i % 2 ? ERROR_TIMEOUT : ERROR_GEN_FAILURE);
    TrayShellCalls calls = kScripted;
    calls.setTimer = &::SetTimer;
    calls.killTimer = &::KillTimer;
    {
        TaskTrayIcon_CL tray(calls);
        g_timedTray = &tray;
        g_checks = 0;
        ::SetTimer(window, kCheckTimer, 100, nullptr);  // the check, faster than in the program
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_FALSE(tray.Add(window));
        EXPECT_LT(::GetTickCount64() - start, 1000u);  // returned without waiting for the shell
        // Three attempts take two retry periods; the check timer ticks all along.
        ASSERT_TRUE(WaitFor([&] { return shell_.Count(NIM_ADD) >= 3; }, 10000));
        EXPECT_GE(g_checks, 20);
        EXPECT_TRUE(tray.Retrying());
        const int checksBefore = g_checks;
        ASSERT_TRUE(WaitFor([&] { return g_checks >= checksBefore + 5; }, 5000));
        tray.Remove();
        EXPECT_FALSE(tray.Retrying());
        g_timedTray = nullptr;
    }
    const int adds = shell_.Count(NIM_ADD);
    // Removed: no attempt follows, while the check still ticks.
    const int checksAfter = g_checks;
    ASSERT_TRUE(WaitFor([&] { return g_checks >= checksAfter + 30; }, 10000));  // past a retry period
    EXPECT_EQ(shell_.Count(NIM_ADD), adds);
    ::KillTimer(window, kCheckTimer);
    ::DestroyWindow(window);
}

TEST_F(ScriptedTrayTest, StateIconAndTipSentOnlyWhenTheyChange) {
    TaskTrayIcon_CL tray(kScripted);
    tray.SetTrayIcon();
    tray.SetTip(L"DormiGuard");
    // Before the icon is in the tray nothing is sent; the add then carries the state.
    EXPECT_TRUE(tray.ShowState(103, L"DormiGuard - スリープ禁止中（a.exe が起動中）"));
    EXPECT_TRUE(shell_.messages.empty());
    ASSERT_TRUE(tray.Add(Owner()));
    EXPECT_STREQ(shell_.data.back().szTip, L"DormiGuard - スリープ禁止中（a.exe が起動中）");
    const HICON prohibited = shell_.data.back().hIcon;
    ASSERT_NE(prohibited, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(prohibited, &info));
    BITMAP bitmap = {};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, ::GetSystemMetrics(SM_CXSMICON));
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);

    EXPECT_FALSE(tray.ShowState(103, L"DormiGuard - スリープ禁止中（a.exe が起動中）"));  // unchanged
    EXPECT_TRUE(tray.ShowState(103, L"DormiGuard - スリープ禁止中（手動（解除するまで））"));  // reason only
    EXPECT_TRUE(tray.ShowState(104, L"DormiGuard - スリープ許可中"));
    EXPECT_FALSE(tray.ShowState(104, L"DormiGuard - スリープ許可中"));
    ASSERT_EQ(shell_.messages, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_MODIFY}));
    EXPECT_EQ(shell_.data[1].hIcon, prohibited);
    EXPECT_STREQ(shell_.data[1].szTip, L"DormiGuard - スリープ禁止中（手動（解除するまで））");
    EXPECT_NE(shell_.data[2].hIcon, prohibited);
    EXPECT_STREQ(shell_.data[2].szTip, L"DormiGuard - スリープ許可中");

    // A taskbar restart adds it again as it is now.
    EXPECT_TRUE(tray.AddAgain());
    EXPECT_EQ(shell_.messages.back(), static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(shell_.data.back().hIcon, shell_.data[2].hIcon);
    EXPECT_STREQ(shell_.data.back().szTip, L"DormiGuard - スリープ許可中");

    // A notice: NIF_INFO alone, no sound; the record itself keeps its flags.
    tray.ShowBalloon(L"DormiGuard", L"スリープ許可中", NIIF_INFO | NIIF_NOSOUND);
    EXPECT_EQ(shell_.data.back().uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(shell_.data.back().dwInfoFlags, static_cast<DWORD>(NIIF_INFO | NIIF_NOSOUND));
    EXPECT_STREQ(shell_.data.back().szInfo, L"スリープ許可中");
    EXPECT_EQ(tray.IconData().uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
}
