// The real DormiGuard.exe under Wine, driven from outside its process: files, messages,
// screenshots and processes.
#include <gtest/gtest.h>
#include <windows.h>

#include "comlib/inifile.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "tests/http_test_support.h"
#include "data/awake_command.h"
#include "tests/program_driver.h"
#include "tests/remote_controls.h"
#include "tests/test_helpers.h"

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override { ResetDataFolder(); }
};

std::wstring IniValue(const wchar_t* section, const wchar_t* key) {
    Inifile_CL ini(ProgramIniPath());
    return ini.ReadString(section, key, L"<missing>");
}

}  // namespace

TEST_F(Program, FirstAndSecondRunFiles) {
    {
        RunningProgram program(L"-startup");
        ASSERT_TRUE(program.Started());
        // The first run's update check looks the update host up; without a resolver that can
        // take a while before the window gets its title.
        ASSERT_NE(program.WaitForMainWindow(90000), nullptr);
        const std::vector<unsigned char> bytes = ReadFileBytes(ProgramIniPath());
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xFE);
        const std::vector<std::wstring> messages = LogMessages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages[0], L"Inifile新規作成 = " + ProgramIniPath());
        DWORD code = 99;
        ASSERT_TRUE(program.Exit(&code));
        EXPECT_EQ(code, 0u);
    }
    const size_t before = LogMessages().size();
    {
        RunningProgram program(L"-startup");
        ASSERT_NE(program.WaitForMainWindow(90000), nullptr);
        DWORD code = 99;
        ASSERT_TRUE(program.Exit(&code));
    }
    const std::vector<std::wstring> lines = SplitLines(ReadUtf16File(ProgramLogPath()));
    // The banner begins with CR LF: an empty message, then the stars on their own line.
    ASSERT_GT(lines.size(), before + 2);
    EXPECT_EQ(lines[before], lines[before].substr(0, lines[before].find(L" : ", 26) + 3));
    EXPECT_EQ(lines[before + 1], L"★★★★★ アプリ起動 ★★★★★");
    // Documents\DormiGuard: the Wine user's profile folder and the literal name.
    wchar_t profile[MAX_PATH] = {};
    ASSERT_NE(::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
    EXPECT_NE(lines[before + 2].find(L"DataFolderPath = \"" + std::wstring(profile) + L"\\Documents\\DormiGuard\""),
              std::wstring::npos) << lines[before + 2];
}

TEST_F(Program, WatchedNotepadKeepsTheComputerAwake) {
    PrepareProgramIni(L"[PROCESS_INFO]\r\ncount=1\r\npath0=1:C:\\somewhere\\notepad.exe\r\n");
    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(notepad.Started());
    ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(notepad.Handle(), 0) == 0; }, 15000));

    RunningProgram program;
    const HWND window = program.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 10000));
    ::SetForegroundWindow(window);
    ASSERT_TRUE(WaitFor([&] { return CaptureStateBand(window).red > 200; }, 10000)) << "スリープ禁止中 in red";
    EXPECT_EQ(CaptureStateBand(window).blue, 0);
    SaveWindowScreenshot(window, L"main_window_prohibited.png");
    EXPECT_EQ(CountLogMessage(L"★スリープを許可します"), 0u);

    // A screen-saver request is swallowed while sleep is prohibited (sent: handled on return).
    ::SendMessageW(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    EXPECT_EQ(CountLogMessage(L"★スクリーンセーバー抑止しました"), 1u);
    ::SendMessageW(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    EXPECT_EQ(CountLogMessage(L"★スクリーンセーバー抑止しました"), 2u);

    // Notepad ends; F5 through the message loop runs the check at once: its line is there as
    // soon as the F5 has been handled, and no timer tick fell in between to write it.
    ASSERT_TRUE(WaitClearOfTimerTick(5000));
    notepad.Kill();
    ASSERT_TRUE(notepad.WaitExit(10000));
    ::PostMessageW(window, WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(PostedMessagesHandled(window));
    EXPECT_EQ(CountLogMessage(L"★スリープを許可します"), 1u);
    ::SendMessageW(window, WM_COMMAND, 125, 0);
    ASSERT_TRUE(WaitFor([&] { return CaptureStateBand(window).blue > 200; }, 10000)) << "スリープ許可中 in blue";
    EXPECT_EQ(CaptureStateBand(window).red, 0);
    SaveWindowScreenshot(window, L"main_window_allowed.png");

    // While sleep is allowed the request passes and nothing is logged.
    ::SendMessageW(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    EXPECT_EQ(CountLogMessage(L"★スクリーンセーバー抑止しました"), 2u);

    // Notepad again; the menu's state command (124) brings the state back. Counted before the
    // start, with no timer tick until the command has run.
    ASSERT_TRUE(WaitClearOfTimerTick(8000));
    const size_t changeBlocks = CountLogMessage(L"---- プロセス情報変更 ----");
    ChildProcess again(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(again.Handle(), 0) == 0; }, 15000));
    EXPECT_EQ(CountLogMessage(L"★スリープを禁止します"), 0u);
    ::SendMessageW(window, WM_COMMAND, 124, 0);  // the check has run when this returns
    EXPECT_EQ(CountLogMessage(L"★スリープを禁止します"), 1u);
    EXPECT_EQ(CountLogMessage(L"---- プロセス情報変更 ----"), changeBlocks + 1) << "the new notepad";

    DWORD code = 99;
    ASSERT_TRUE(program.Exit(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Program, NotepadInFrontKeepsAwakeFromTheMomentItComesToTheFront) {
    PrepareProgramIni(L"[PROCESS_INFO]\r\ncount=1\r\npath0=1:C:\\somewhere\\notepad.exe\r\n");
    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(notepad.Handle(), 0) == 0; }, 15000));
    HWND editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (editor = FindProcessWindow(notepad.Id(), nullptr, L"")) != nullptr; }, 10000));
    RunningProgram program;
    const HWND window = program.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    // The title comes before the list: the first check's process lines say the window is built.
    ASSERT_TRUE(WaitForLogMessage(L"---- プロセス情報変更 ----"));
    ::SendMessageW(window, WM_NULL, 0, 0);
    // Another window in front; notepad's row made "in front" with the list menu's command 146:
    // stored, shown and checked at once (sent: done on return).
    ::SetForegroundWindow(window);
    RemoteListView rows(FindDescendantByClass(window, WC_LISTVIEWW));
    ASSERT_TRUE(rows.SetState(0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED));
    ::SendMessageW(window, WM_COMMAND, 146, 0);
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"mode0"), L"front");
    EXPECT_EQ(rows.Text(0, 0), L"notepad.exe（最前面）");
    ASSERT_EQ(CountLogMessage(L"★スリープを許可します"), 1u);
    // Counted before the cause, with no tick of the timer within the next 3 s.
    for (const HWND front : {editor, window}) {
        const wchar_t* const state = front == editor ? L"★スリープを禁止します" : L"★スリープを許可します";
        ASSERT_TRUE(WaitClearOfTimerTick(3000));
        const size_t before = CountLogMessage(state);
        ::SetForegroundWindow(front);
        // Windows reports the change to win-event hooks itself; Wine 8 does not, so the test does.
        ::NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, front, OBJID_WINDOW, CHILDID_SELF);
        EXPECT_TRUE(WaitForLogMessage(state, before + 1, 2000)) << "within 2 s, with no tick";
    }
    DWORD code = 99;
    ASSERT_TRUE(program.Exit(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Program, StartupSwitchSecondCopyCloseAndExit) {
    // A damaged count and one key far past 2^31 cost the start nothing.
    PrepareProgramIni(L"[PROCESS_INFO]\r\ncount=4294967295\r\npath4000000000=1:C:\\a.exe\r\n");
    RunningProgram program(L"/StartUp");
    const HWND window = program.WaitForMainWindow(10000);
    ASSERT_NE(window, nullptr);
    // The first check is the last step of the creation before the window would be shown; the
    // sent message returns only once the thread is back in its message loop.
    ASSERT_TRUE(WaitForLogMessage(L"★スリープを許可します"));
    ::SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(window)) << "started hidden in the tray";

    // The owner is a hidden window, so the main window has no taskbar button.
    const HWND owner = ::GetWindow(window, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(::IsWindowVisible(owner));

    // A second start shows the first copy's window and ends with 0, without a second guard;
    // a newer window of another class with the same title (an Explorer window on the data
    // folder, say) stands above it and must not be taken for it.
    const UniqueWindow sameTitle(::CreateWindowExW(0, L"Static", L"DormiGuard", WS_OVERLAPPED, 0, 0, 100, 50,
                                                   nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(sameTitle.IsValid());
    ASSERT_EQ(::FindWindowW(nullptr, L"DormiGuard"), sameTitle.Get()) << "the decoy comes first by title";
    // A second -startup (sign-in runs the program twice) ends quietly: the window stays hidden.
    RunningProgram quiet(L"-startup");
    DWORD quietCode = 99;
    ASSERT_TRUE(quiet.WaitExit(20000, &quietCode) && quietCode == 0) << quietCode;
    ::SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(window));
    RunningProgram second;
    DWORD secondCode = 99;
    ASSERT_TRUE(second.WaitExit(20000, &secondCode));
    EXPECT_EQ(secondCode, 0u);
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5000));
    EXPECT_EQ(CountLogMessage(L"★★★★★ アプリ起動 ★★★★★"), 1u) << "the second copy loads nothing";

    // The close box and minimising store the window in the tray; the program goes on.
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(window); }, 5000));
    // A window that is gone answers no message.
    EXPECT_NE(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, nullptr), 0);
    ::PostMessageW(window, WM_COMMAND, 125, 0);  // "メインウインドウの表示"
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5000));
    ::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(window); }, 5000));
    // Still there, and the minimise's handler has finished when the sent message returns. A
    // minimised window's empty client area is no failure worth a log line.
    EXPECT_NE(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, nullptr), 0);
    for (const std::wstring& message : LogMessages()) EXPECT_EQ(message.find(L"failed"), std::wstring::npos) << message;

    DWORD code = 99;
    ASSERT_TRUE(program.Exit(&code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(LogHasMessage(L"タスクトレイアイコンを削除しました。"));
}

// A copy run as administrator holds the instance mutex at a higher integrity level, so that
// opening it is refused: an empty DACL gives the same refusal here.
TEST_F(Program, RefusedInstanceMutexCountsAsARunningCopy) {
    SECURITY_DESCRIPTOR descriptor = {};
    ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ACL emptyAcl = {};
    ASSERT_TRUE(::InitializeAcl(&emptyAcl, sizeof(emptyAcl), ACL_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyAcl, FALSE));
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
    const UniqueHandle mutex(
        ::CreateMutexW(&attributes, TRUE, L"http://" DORMIGUARD_WEB_HOST L"/DormiGuard/help.html"));
    ASSERT_TRUE(mutex.IsValid());
    ASSERT_EQ(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"http://" DORMIGUARD_WEB_HOST L"/DormiGuard/help.html"),
              nullptr);
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    RunningProgram second(L"-startup");
    DWORD code = 99;
    ASSERT_TRUE(second.WaitExit(20000, &code)) << "a second sleep guard started";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(::GetFileAttributesW(ProgramLogPath().c_str()), INVALID_FILE_ATTRIBUTES) << "it loaded nothing";
}

TEST_F(Program, NormalStartShowsTheWindow) {
    PrepareProgramIni(L"");
    RunningProgram program(L"startup");  // not the switch: no leading - or /
    const HWND window = program.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 10000));
    DWORD code = 99;
    ASSERT_TRUE(program.Exit(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Program, MinimumSizeAndStoredPlacement) {
    PrepareProgramIni(L"[DISPLAY]\r\nImageType=1\r\n");
    RECT placed = {};
    {
        RunningProgram program;
        const HWND window = program.WaitForMainWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 10000));

        // WM_SIZING with a proposed rectangle: only the right and bottom edges move.
        struct Case {
            RECT proposed;
            RECT expected;
        } cases[] = {
            {{100, 100, 300, 300}, {100, 100, 580, 586}},  // below 470 high: 486 with ImageType 1
            {{100, 100, 700, 575}, {100, 100, 700, 575}},  // 475 high is accepted
            {{50, 60, 600, 700}, {50, 60, 600, 700}},
        };
        for (const Case& c : cases) {
            RECT rect = c.proposed;
            ::SendMessageW(window, WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&rect));
            EXPECT_EQ(rect.left, c.expected.left);
            EXPECT_EQ(rect.top, c.expected.top);
            EXPECT_EQ(rect.right, c.expected.right);
            EXPECT_EQ(rect.bottom, c.expected.bottom);
        }

        // A move is stored at once.
        ::SetWindowPos(window, nullptr, 123, 77, 500, 520, SWP_NOZORDER);
        ::GetWindowRect(window, &placed);
        RECT stored = {};
        EXPECT_TRUE(WaitFor(
            [&] {
                return Inifile_CL(ProgramIniPath()).ReadStruct(L"WINDOW", L"rect", &stored, sizeof(stored)) &&
                       ::EqualRect(&stored, &placed);
            },
            5000))
            << stored.left << "," << stored.top;
        EXPECT_EQ(placed.left, 123);
        EXPECT_EQ(placed.top, 77);

        // Maximised: nothing written.
        const std::wstring before = IniValue(L"WINDOW", L"rect");
        ::ShowWindow(window, SW_MAXIMIZE);
        ::SendMessageW(window, WM_NULL, 0, 0);
        ASSERT_TRUE(::IsZoomed(window));
        EXPECT_EQ(IniValue(L"WINDOW", L"rect"), before);
        ::ShowWindow(window, SW_RESTORE);
        ::SendMessageW(window, WM_NULL, 0, 0);
        DWORD code = 99;
        ASSERT_TRUE(program.Exit(&code));
    }
    RunningProgram program;
    const HWND window = program.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    // Shown at the very end of its creation, after the placement.
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 10000));
    RECT restored = {};
    ::GetWindowRect(window, &restored);
    EXPECT_TRUE(::EqualRect(&restored, &placed)) << restored.left << "," << restored.top;
    DWORD code = 99;
    ASSERT_TRUE(program.Exit(&code));
}

// The program's WinInet follows the proxy setting it inherits (WinInet's http_proxy under
// Wine), so the update request for the real host reaches the loopback server.
class ProxyForChildren {
public:
    explicit ProxyForChildren(unsigned short port) {
        ::SetEnvironmentVariableW(L"http_proxy", FormatWide(L"http://127.0.0.1:%u", port).c_str());
    }
    ~ProxyForChildren() { ::SetEnvironmentVariableW(L"http_proxy", nullptr); }
};

TEST_F(Program, SilentUpdateServerHoldsNothingUp) {
    TestHttpServer server(L"stall");
    ASSERT_TRUE(server.Ready());
    const ProxyForChildren proxy(server.Port());
    ::CreateDirectoryW(SaveData::DataFolder().c_str(), nullptr);
    WriteUtf16File(ProgramIniPath(), L"[VERSION]\r\nnotify=0\r\n");

    const ULONGLONG start = ::GetTickCount64();
    RunningProgram program(L"-startup");
    const HWND window = program.WaitForMainWindow(2000);
    ASSERT_NE(window, nullptr) << "no window titled DormiGuard within 2 s";
    // The window gets its title before the first check, which follows within the same 2 s.
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_TRUE(WaitFor([&] { return LogHasMessage(L"★スリープを許可します"); },
                        elapsed < 2000 ? static_cast<DWORD>(2000 - elapsed) : 0))
        << "first sleep check";
    // The update request is out and unanswered.
    ASSERT_TRUE(WaitFor([&] { return server.RequestCount() == 1; }, 10000));
    EXPECT_NE(server.Requests().find("/DormiGuard/Version.txt"), std::string::npos);

    // A second start finds the window and brings it out of the tray.
    ASSERT_FALSE(::IsWindowVisible(window));
    RunningProgram second;
    DWORD code = 99;
    ASSERT_TRUE(second.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5000));

    code = 99;
    ASSERT_TRUE(program.Exit(&code, 2000)) << "still running 2 s after the exit command";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(CountLogMessage(L"タスクトレイアイコンを削除しました。"), 1u);
}

namespace {
// Another DormiGuard.exe with these arguments, as a script would start it; its exit code.
DWORD RunCopy(const std::wstring& arguments) {
    ChildProcess copy(L"\"" + ModuleFolder() + L"\\DormiGuard.exe\" " + arguments, ModuleFolder());
    DWORD code = 99;
    if (!copy.WaitExit(60000, &code)) return 98;
    return code;
}

// A batch file run by cmd, as a script runs the program (file beside the tests, then the lines);
// what it left in out.txt, once it ended within the deadline.
std::string RunBatch(const wchar_t* file, const std::string& lines, DWORD timeoutMs) {
    const std::wstring folder = FreshTempFolder(L"dg_batch"), path = ModuleFolder() + L"\\" + file;
    const std::string body = "@echo off\r\n\"" + std::string(path.begin(), path.end()) + "\"" + lines + "\r\n";
    WriteFileBytes(folder + L"\\script.bat", std::vector<unsigned char>(body.begin(), body.end()));
    ChildProcess cmd(L"cmd.exe /c script.bat", folder);
    if (!cmd.WaitExit(timeoutMs)) return "<no end>";
    const std::vector<unsigned char> out = ReadFileBytes(folder + L"\\out.txt");
    return std::string(out.begin(), out.end());
}

int GuardWindows() {
    int count = 0;
    for (HWND w = ::FindWindowW(L"MainWindowClass", L"DormiGuard"); w;
         w = ::FindWindowExW(nullptr, w, L"MainWindowClass", L"DormiGuard"))
        ++count;
    return count;
}
}  // namespace

TEST_F(Program, AwakeCommandsHandedToTheRunningCopy) {
    PrepareProgramIni(L"");
    RunningProgram guard(L"-startup");
    const HWND window = guard.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForLogMessage(L"★スリープを許可します"));

    EXPECT_EQ(RunCopy(L"-awake"), 0u);
    EXPECT_EQ(IniValue(L"AWAKE", L"until"), L"indefinite");
    EXPECT_EQ(CountLogMessage(L"★スリープを禁止します"), 1u);
    EXPECT_EQ(RunCopy(L"/AWAKE 30"), 0u);
    const std::wstring until = IniValue(L"AWAKE", L"until");
    EXPECT_TRUE(until.size() == 20 && until.back() == L'Z') << until;
    EXPECT_EQ(RunCopy(L"-awake 23:59"), 0u);
    EXPECT_NE(IniValue(L"AWAKE", L"until"), until);
    EXPECT_EQ(RunCopy(L"-Awake off"), 0u);
    EXPECT_EQ(IniValue(L"AWAKE", L"until"), L"<missing>");
    EXPECT_EQ(CountLogMessage(L"★スリープを許可します"), 2u);

    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(notepad.Handle(), 0) == 0; }, 15000));
    EXPECT_EQ(RunCopy(FormatWide(L"-pid %u", static_cast<unsigned>(notepad.Id()))), 0u);
    EXPECT_TRUE(LogHasMessage(FormatWide(L"コマンドを受け取りました = -pid %u", static_cast<unsigned>(notepad.Id()))));
    EXPECT_EQ(CountLogMessage(L"★スリープを禁止します"), 2u);
    notepad.Kill();
    ASSERT_TRUE(notepad.WaitExit(10000));
    ::SendMessageW(window, WM_COMMAND, 124, 0);  // the check sees it gone
    EXPECT_EQ(CountLogMessage(L"★スリープを許可します"), 3u);

    // -run: the guard keeps awake while the command runs; the copy ends with its exit code.
    EXPECT_EQ(RunCopy(L"-run cmd.exe /c exit 7"), 7u);
    EXPECT_EQ(CountLogMessage(L"★スリープを禁止します"), 3u);

    // Bad command lines: exit code 2, a log line, nothing changed, no second guard.
    const std::vector<unsigned char> before = ReadFileBytes(ProgramIniPath());
    const size_t received = LogMessages().size();
    const wchar_t* bad[] = {L"-awake 0", L"-awake 10081", L"-awake 25:00", L"-awake soon", L"-pid 99999",
                            L"-pid x", L"-bogus -awake", L"-run", L"-run no_such_program_dg.exe", L"-awake -5", L"-pid"};
    for (const wchar_t* line : bad) EXPECT_EQ(RunCopy(line), 2u) << line;
    EXPECT_EQ(ReadFileBytes(ProgramIniPath()), before);
    size_t refused = 0;
    const std::vector<std::wstring> messages = LogMessages();
    for (size_t i = received; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].rfind(L"コマンドラインエラー : DormiGuard: ", 0), 0u) << messages[i];
        ++refused;
    }
    EXPECT_EQ(refused, sizeof(bad) / sizeof(bad[0]));
    EXPECT_TRUE(LogHasMessage(L"コマンドラインエラー : DormiGuard: -awake の値が正しくありません: -5（分数 1～10080、HH:MM、off）"));
    EXPECT_TRUE(LogHasMessage(L"コマンドラインエラー : DormiGuard: -pid にはプロセス ID が必要です"));
    EXPECT_EQ(GuardWindows(), 1);

    // The receiving side takes only its own tag, a bounded size and a known command.
    const std::wstring forged = L"-run cmd.exe";
    COPYDATASTRUCT data = {kHandOverTag, static_cast<DWORD>((forged.size() + 1) * 2), const_cast<wchar_t*>(forged.c_str())};
    EXPECT_EQ(::SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 0);
    data.dwData = 1;
    EXPECT_EQ(::SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 0);
    EXPECT_EQ(CountLogMessage(L"WM_COPYDATAを無視しました = -run cmd.exe"), 1u);
    EXPECT_EQ(ReadFileBytes(ProgramIniPath()), before);

    // The hotkey toggles the session without an end; the menu commands start and end others.
    for (const std::wstring& message : LogMessages()) EXPECT_NE(message.rfind(L"RegisterHotKey()エラー", 0), 0u);
    ::SendMessageW(window, WM_HOTKEY, 1, 0);
    EXPECT_EQ(IniValue(L"AWAKE", L"until"), L"indefinite");
    ::SendMessageW(window, WM_HOTKEY, 1, 0);
    EXPECT_EQ(IniValue(L"AWAKE", L"until"), L"<missing>");
    ::SendMessageW(window, WM_COMMAND, 133, 0);  // 2時間
    EXPECT_EQ(IniValue(L"AWAKE", L"until").size(), 20u);
    ::SendMessageW(window, WM_COMMAND, 135, 0);
    EXPECT_EQ(IniValue(L"AWAKE", L"until"), L"<missing>");

    DWORD code = 99;
    ASSERT_TRUE(guard.Exit(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Program, RunWithoutARunningCopyStartsOne) {
    PrepareProgramIni(L"");
    ASSERT_EQ(GuardWindows(), 0);
    EXPECT_EQ(RunCopy(L"-run cmd.exe /c exit 5"), 5u);
    ASSERT_TRUE(WaitFor([] { return GuardWindows() == 1; }, 10000));
    bool handedOver = false;
    for (const std::wstring& message : LogMessages())
        handedOver = handedOver || message.rfind(L"コマンドを受け取りました = -pid ", 0) == 0;
    EXPECT_TRUE(handedOver);
    const HWND window = ::FindWindowW(L"MainWindowClass", L"DormiGuard");
    EXPECT_FALSE(::IsWindowVisible(window)) << "started in the tray";
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    ::PostMessageW(window, WM_CLOSE, 2, 0);
    EXPECT_EQ(::WaitForSingleObject(process.Get(), 20000), WAIT_OBJECT_0);

    // -awake with no copy running starts one in the tray, hands the session over and returns.
    EXPECT_EQ(RunBatch(L"DormiGuard.exe", " -awake 30\r\n>out.txt echo %ERRORLEVEL%", 10000), "0\r\n");
    EXPECT_TRUE(WaitFor([] { return IniValue(L"AWAKE", L"until").size() == 20; }, 10000));
    EXPECT_TRUE(LogHasMessage(L"コマンドを受け取りました = -awake 30"));
    ASSERT_EQ(GuardWindows(), 1);
    const HWND awakeWindow = ::FindWindowW(L"MainWindowClass", L"DormiGuard");
    EXPECT_FALSE(::IsWindowVisible(awakeWindow));
    // The command exactly as typed; the console front end returns its exit code to cmd.
    EXPECT_EQ(RunBatch(L"DormiGuard.exe", " -run cmd /c echo \"x\"> out.txt", 20000), "\"x\"\r\n");
    EXPECT_EQ(RunBatch(L"DormiGuard.com", " -run cmd /c exit 3\r\n>out.txt echo %ERRORLEVEL%", 20000), "3\r\n");
    ::GetWindowThreadProcessId(awakeWindow, &processId);
    const UniqueHandle awakeProcess(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    ::PostMessageW(awakeWindow, WM_CLOSE, 2, 0);
    EXPECT_EQ(::WaitForSingleObject(awakeProcess.Get(), 20000), WAIT_OBJECT_0);
}

TEST_F(Program, TimedSessionEndsWithinASecondAndTheTrayOffersSessions) {
    // A session ending 8 seconds from now, left by an earlier run.
    const ULONGLONG endTick = ::GetTickCount64() + 8000;
    ManualSession session;
    session.active = true;
    session.endUtc = UtcNow() + 8 * 10000000ULL;
    PrepareProgramIni(L"[AWAKE]\r\nuntil=" + FormatSessionValue(session) + L"\r\n");
    RunningProgram program;
    const HWND window = program.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 10000));
    ASSERT_LT(::GetTickCount64() + 1000, endTick) << "started too slowly to see the end";
    ASSERT_TRUE(WaitFor([&] { return CaptureStateBand(window).red > 200; }, 5000));
    SaveWindowScreenshot(window, L"main_window_manual_reason.png");
    EXPECT_FALSE(LogHasMessage(L"手動のスリープ禁止が終了しました"));
    ASSERT_TRUE(WaitFor([] { return LogHasMessage(L"手動のスリープ禁止が終了しました"); }, 15000));
    EXPECT_LE(::GetTickCount64(), endTick + 1000) << "ended by its own timer, not the 20-second tick";
    // The same check writes the state line just after the end line.
    EXPECT_TRUE(WaitForLogMessage(L"★スリープを許可します", 1, 5000));
    EXPECT_EQ(CountLogMessage(L"★スリープを許可します"), 1u);
    EXPECT_EQ(IniValue(L"AWAKE", L"until"), L"<missing>");

    // The tray menu's submenu: its second item starts a 30-minute session.
    ::SetForegroundWindow(window);
    ::PostMessageW(window, 0x700, 0, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitFor([&] { return FindPopupMenuWindow(program.ProcessId()) != nullptr; }, 10000));
    SendKey(VK_DOWN);
    SendKey(VK_DOWN);
    SendKey(VK_RIGHT);
    PumpMessagesFor(500);
    SaveWindowScreenshot(::GetDesktopWindow(), L"tray_awake_submenu.png");
    SendKey(VK_DOWN);
    SendKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return IniValue(L"AWAKE", L"until") != L"<missing>"; }, 10000));
    ManualSession started;
    ASSERT_EQ(ParseSessionValue(IniValue(L"AWAKE", L"until"), UtcNow(), &started), SessionValue::Session);
    const long long minutes = static_cast<long long>((started.endUtc - UtcNow()) / 10000000ULL + 30) / 60;
    EXPECT_EQ(minutes, 30);
    DWORD code = 99;
    ASSERT_TRUE(program.Exit(&code));
    EXPECT_EQ(code, 0u);
}
