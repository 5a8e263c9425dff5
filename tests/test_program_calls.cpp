// The system calls of the real DormiGuard.exe, seen from outside through Wine's relay trace:
// ctest runs this executable with its standard error in relay_trace.log (see CMakeLists.txt),
// and the program started here writes its trace there too.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "comlib/utility.h"
#include "tests/program_driver.h"
#include "tests/test_helpers.h"

namespace {

const wchar_t kDebugKey[] = L"Software\\Wine\\Debug";
const wchar_t kRelayed[] =
    L"kernel32.K32EnumProcesses;kernel32.OpenProcess;kernel32.SetThreadExecutionState;user32.SendInput;"
    L"RegisterApplicationRestart;kernel32.PowerCreateRequest;user32.RegisterHotKey;user32.ChangeWindowMessageFilterEx;user32.SetWinEventHook";
// The process listing and the device queries of the drive map.
const wchar_t kRelayedListing[] = L";ntdll.NtQuerySystemInformation;kernel32.QueryDosDeviceW";

// The relay list in the prefix, and WINEDEBUG for the programs this test starts (each trace
// line then begins with the process id); both are taken back when it goes.
class RelayTrace {
public:
    RelayTrace() {
        const std::wstring relayed = std::wstring(kRelayed) + kRelayedListing;
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kDebugKey, L"RelayInclude", REG_SZ, relayed.c_str(),
                          static_cast<DWORD>((relayed.size() + 1) * sizeof(wchar_t)));
        ::SetEnvironmentVariableW(L"WINEDEBUG", L"+pid,+relay");
    }
    ~RelayTrace() {
        ::SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kDebugKey, L"RelayInclude");
    }
    RelayTrace(const RelayTrace&) = delete;
    RelayTrace& operator=(const RelayTrace&) = delete;
};

std::string TraceText() {
    const std::vector<unsigned char> bytes = ReadFileBytes(ModuleFolder() + L"\\relay_trace.log");
    return std::string(bytes.begin(), bytes.end());
}

// The relayed calls of one process, whole lines: "pid:tid:Call dll.Function(arguments) ret=...".
std::vector<std::string> CallLines(const std::string& trace, DWORD processId) {
    char prefix[16];
    snprintf(prefix, sizeof(prefix), "%04lx:", static_cast<unsigned long>(processId));
    std::vector<std::string> lines;
    for (size_t at = 0; at < trace.size();) {
        const size_t end = std::min(trace.find('\n', at), trace.size());
        std::string line = trace.substr(at, end - at);
        at = end + 1;
        if (line.rfind(prefix, 0) == 0 && line.find(":Call ") != std::string::npos) lines.push_back(std::move(line));
    }
    return lines;
}

// The relayed calls of one process as letters: E an enumeration (one per check), O an open,
// S a SetThreadExecutionState, I a SendInput; runs of opens are one O. Arguments that differ
// from the expected ones are collected.
struct CallPattern {
    std::string letters;
    // The same with P for each PowerCreateRequest.
    std::string withPower;
    std::vector<std::string> wrongArguments;
    std::vector<std::string> restartRegistrations;  // RegisterApplicationRestart calls, whole lines
    std::vector<std::string> winEventHooks;         // SetWinEventHook calls, whole lines
};

CallPattern ReadPattern(const std::string& trace, DWORD processId, const char* executionState = "00000003") {
    CallPattern pattern;
    for (const std::string& line : CallLines(trace, processId)) {
        char letter = 0;
        if (line.find(".K32EnumProcesses(") != std::string::npos) {
            letter = 'E';
        } else if (line.find(".NtQuerySystemInformation(00000005,") != std::string::npos) {
            letter = 'E';  // SystemProcessInformation: the one listing of a check
        } else if (line.find(".OpenProcess(") != std::string::npos) {
            letter = 'O';
            // PROCESS_QUERY_LIMITED_INFORMATION alone, no inheritance.
            if (line.find(".OpenProcess(00001000,00000000,") == std::string::npos) pattern.wrongArguments.push_back(line);
        } else if (line.find(".SetThreadExecutionState(") != std::string::npos) {
            letter = 'S';
            // ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED (or the first alone while the display may
            // sleep), without ES_CONTINUOUS.
            if (line.find(std::string(".SetThreadExecutionState(") + executionState + ")") == std::string::npos)
                pattern.wrongArguments.push_back(line);
        } else if (line.find(".SendInput(") != std::string::npos) {
            letter = 'I';
            // One input of sizeof(INPUT), 0x28 on x64.
            if (line.find(".SendInput(00000001,") == std::string::npos || line.find(",00000028)") == std::string::npos)
                pattern.wrongArguments.push_back(line);
        } else if (line.find(".RegisterApplicationRestart(") != std::string::npos) {
            pattern.restartRegistrations.push_back(line);
        } else if (line.find(".SetWinEventHook(") != std::string::npos) {
            pattern.winEventHooks.push_back(line);
        }
        if (letter && !(letter == 'O' && !pattern.letters.empty() && pattern.letters.back() == 'O'))
            pattern.letters.push_back(letter);
        if (letter && !(letter == 'O' && !pattern.withPower.empty() && pattern.withPower.back() == 'O'))
            pattern.withPower.push_back(letter);
        if (line.find(".PowerCreateRequest(") != std::string::npos) pattern.withPower.push_back('P');
    }
    return pattern;
}

// Runs the program under the relay trace with this INI text, lets the action drive its window,
// ends it with the exit command and returns its process id (0 when it showed no window).
DWORD TracedRun(const std::wstring& ini, const std::function<void(HWND window)>& action) {
    ResetDataFolder();
    PrepareProgramIni(ini);
    const RelayTrace relay;
    RunningProgram program(L"-startup");
    EXPECT_TRUE(program.Started());
    const HWND window = program.WaitForMainWindow();
    EXPECT_NE(window, nullptr);
    if (!window) return 0;
    action(window);
    DWORD code = 99;
    EXPECT_TRUE(program.Exit(&code));
    EXPECT_EQ(code, 0u);
    return program.ProcessId();
}

// Runs the program with the hour table given (and more INI text), two checks through command 124
// (or a change of the power status) after the first, and returns its calls once it has ended.
CallPattern RunThreeChecks(const wchar_t* hourValue, const wchar_t* between = nullptr, const std::wstring& moreIni = L"",
                           const char* executionState = "00000003", bool byPowerStatus = false) {
    std::wstring hours = L"[DISABLE_TIME]\r\n";
    for (int h = 0; h < 24; ++h) hours += FormatWide(L"hour%d=%s\r\n", h, hourValue);
    const DWORD processId = TracedRun(hours + moreIni, [&](HWND window) {
        // Sent, not posted: each returns once its check has run.
        for (int i = 0; i < 2; ++i) {
            if (byPowerStatus)
                ::SendMessageW(window, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
            else
                ::SendMessageW(window, WM_COMMAND, 124, 0);
        }
        // A command between the checks, handed over by a second copy.
        if (between) {
            ChildProcess copy(L"\"" + ModuleFolder() + L"\\DormiGuard.exe\" " + between, ModuleFolder());
            DWORD copyCode = 99;
            EXPECT_TRUE(copy.WaitExit(60000, &copyCode));
            EXPECT_EQ(copyCode, 0u);
            ::SendMessageW(window, WM_COMMAND, 124, 0);
        }
    });
    return processId ? ReadPattern(TraceText(), processId, executionState) : CallPattern{};
}

// One check of one process, from its listing to the next: the ids it opened (as the trace gives
// them, 8 hex digits) and its device queries. The drive map built before the first check is left out.
struct CheckCalls {
    std::vector<std::string> openedIds;
    int deviceQueries = 0;
};

std::vector<CheckCalls> ReadChecks(const std::string& trace, DWORD processId) {
    std::vector<CheckCalls> checks;
    for (const std::string& line : CallLines(trace, processId)) {
        if (line.find(".NtQuerySystemInformation(00000005,") != std::string::npos) {
            checks.emplace_back();
        } else if (checks.empty()) {
            continue;
        } else if (line.find(".QueryDosDeviceW(") != std::string::npos) {
            ++checks.back().deviceQueries;
        } else {
            const size_t open = line.find(".OpenProcess(00001000,00000000,");
            if (open != std::string::npos) checks.back().openedIds.push_back(line.substr(open + 31, 8));
        }
    }
    return checks;
}

}  // namespace

TEST(ProgramCalls, EachCheckWhileProhibitedResetsBothTimersOnceAndInjectsOneMove) {
    const CallPattern calls = RunThreeChecks(L"1");
    // The start's check and the two commands; the 20-second timer may add one more.
    // Only the first check meets new processes and opens them.
    EXPECT_TRUE(calls.letters == "EOSIESIESI" || calls.letters == "EOSIESIESIESI") << calls.letters;
    EXPECT_TRUE(calls.wrongArguments.empty()) << calls.wrongArguments.front();
    EXPECT_TRUE(calls.winEventHooks.empty()) << "no program is watched in front";
    // Windows brings the program back, in the tray, after an update restart or a crash.
    ASSERT_EQ(calls.restartRegistrations.size(), 1u);
    EXPECT_NE(calls.restartRegistrations[0].find("L\"-startup\",00000000)"), std::string::npos)
        << calls.restartRegistrations[0];
}

TEST(ProgramCalls, ChecksWhileAllowedMakeNeitherCall) {
    const CallPattern calls = RunThreeChecks(L"0");
    // Three enumerations prove that three checks ran.
    EXPECT_TRUE(calls.letters == "EOEE" || calls.letters == "EOEEE") << calls.letters;
    EXPECT_TRUE(calls.wrongArguments.empty()) << calls.wrongArguments.front();
}

TEST(ProgramCalls, PowerRequestOnlyWhenSleepBecomesProhibited) {
    // Prohibited from the first check: one creation (Wine refuses it), none on later checks.
    // The 20-second timer may add one check anywhere.
    const CallPattern marked = RunThreeChecks(L"1");
    EXPECT_TRUE(marked.withPower == "EOSIPESIESI" || marked.withPower == "EOSIPESIESIESI") << marked.withPower;
    // Allowed, then a manual session from a second copy: created when the state changes; every
    // check after it one reset and one move, and no creation.
    const CallPattern manual = RunThreeChecks(L"0", L"-awake");
    // The check of the hand-over also opens the second copy, which is new to it.
    const size_t firstAwake = manual.withPower.find("SI");
    ASSERT_NE(firstAwake, std::string::npos) << manual.withPower;
    EXPECT_EQ(manual.withPower.find('P'), firstAwake + 2) << manual.withPower;
    EXPECT_EQ(std::count(manual.withPower.begin(), manual.withPower.end(), 'P'), 1) << manual.withPower;
    const std::string after = manual.withPower.substr(firstAwake + 3);
    EXPECT_TRUE(after == "ESI" || after == "ESIESI") << manual.withPower;
    const std::string before = manual.withPower.substr(0, firstAwake);
    EXPECT_GE(std::count(before.begin(), before.end(), 'E'), 4) << "three checks while allowed first: " << manual.withPower;
}

TEST(ProgramCalls, DisplayFreeToSleepMeansSystemResetOnlyAndNoMove) {
    // A watched program keeps the computer awake; the display setting is off.
    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(notepad.Started());
    const CallPattern calls = RunThreeChecks(
        L"0", nullptr, L"[PROCESS_INFO]\r\ncount=1\r\npath0=1:" + NotepadPath() + L"\r\n[AWAKE]\r\ndisplay=0\r\n",
        "00000001", true);
    notepad.Kill();
    // Three checks (the start's and one per power-status change), each with one
    // SetThreadExecutionState(ES_SYSTEM_REQUIRED) and no SendInput.
    EXPECT_TRUE(calls.letters == "EOSESES" || calls.letters == "EOSESESES") << calls.letters;
    EXPECT_TRUE(calls.wrongArguments.empty()) << calls.wrongArguments.front();
}

TEST(ProgramCalls, ConditionsAddNoCallPerCheckAndInFrontFollowsTheForeground) {
    // Notepad runs, watched "at work"; another program is watched "in front"; every hour marked.
    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(notepad.Started());
    const CallPattern calls = RunThreeChecks(L"1", nullptr,
                                             L"[PROCESS_INFO]\r\ncount=2\r\npath0=1:" + NotepadPath() +
                                                 L"\r\nmode0=busy\r\npath1=1:C:\\x\\viewer.exe\r\nmode1=front\r\n");
    notepad.Kill();
    // The same calls as with the hour alone: the CPU times come with the listing.
    EXPECT_TRUE(calls.letters == "EOSIESIESI" || calls.letters == "EOSIESIESIESI") << calls.letters;
    // Installed once and kept: EVENT_SYSTEM_FOREGROUND (3) alone, out of context (flags 0).
    ASSERT_EQ(calls.winEventHooks.size(), 1u);
    const std::string& hook = calls.winEventHooks[0];
    EXPECT_TRUE(hook.find(".SetWinEventHook(00000003,00000003,00000000,") != std::string::npos &&
                hook.find(",00000000) ret=") != std::string::npos) << hook;
}

TEST(ProgramCalls, OnlyANewProcessIsOpenedAndOnlyThenIsTheDriveMapBuilt) {
    DWORD notepadId = 0;
    const DWORD processId = TracedRun(L"", [&](HWND window) {
        for (int i = 0; i < 2; ++i) ::SendMessageW(window, WM_COMMAND, 124, 0);
        ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
        ASSERT_TRUE(notepad.Started());
        notepadId = notepad.Id();
        ASSERT_EQ(::WaitForInputIdle(notepad.Handle(), 15000), 0u);
        for (int i = 0; i < 2; ++i) ::SendMessageW(window, WM_COMMAND, 124, 0);
    });
    ASSERT_NE(processId, 0u);
    const std::vector<CheckCalls> checks = ReadChecks(TraceText(), processId);
    // The start's check and four commands; the 20-second timer may add one more.
    ASSERT_GE(checks.size(), 5u);
    EXPECT_FALSE(checks[0].openedIds.empty()) << "the first check opens what runs";
    std::vector<std::string> openedLater;
    size_t steady = 0;
    for (size_t i = 0; i < checks.size(); ++i) {
        // 26 device queries a to z where a process is opened, none where nothing is new.
        EXPECT_EQ(checks[i].deviceQueries, checks[i].openedIds.empty() ? 0 : 26) << "check " << i;
        if (i == 0) continue;
        openedLater.insert(openedLater.end(), checks[i].openedIds.begin(), checks[i].openedIds.end());
        if (checks[i].openedIds.empty()) ++steady;
    }
    char notepadHex[16];
    snprintf(notepadHex, sizeof(notepadHex), "%08lx", static_cast<unsigned long>(notepadId));
    EXPECT_EQ(openedLater, std::vector<std::string>{notepadHex});
    EXPECT_GE(steady, 3u);
    // Opened once, it is listed by its full path.
    const std::vector<std::wstring> messages = LogMessages();
    const auto added = std::find(messages.begin(), messages.end(), L"★今回追加(1件)");
    ASSERT_NE(added, messages.end());
    ASSERT_NE(added + 1, messages.end());
    EXPECT_TRUE(EqualsNoCase(added[1], L"c:\\windows\\system32\\notepad.exe")) << added[1];
}

TEST(ProgramCalls, DefaultHotkeyAndCopyDataAcrossIntegrityLevels) {
    // A fresh run registers Ctrl+Shift+F11 with MOD_NOREPEAT; hotkey=S registers nothing.
    for (const wchar_t* ini : {L"", L"[AWAKE]\r\nhotkey=S\r\n"}) {
        HWND main = nullptr;
        const DWORD processId = TracedRun(ini, [&](HWND window) { main = window; });
        ASSERT_NE(processId, 0u);
        char window[16];
        snprintf(window, sizeof(window), "%08lx", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(main)));
        // WM_COPYDATA (0x4a) let through with MSGFLT_ALLOW (1) on the main window.
        const std::string registered = std::string(".RegisterHotKey(") + window + ",00000001,00004006,0000007a)",
                          filtered = std::string(".ChangeWindowMessageFilterEx(") + window + ",0000004a,00000001,00000000)";
        size_t hotkeys = 0, expected = 0, filters = 0;
        for (const std::string& line : CallLines(TraceText(), processId)) {
            hotkeys += line.find(".RegisterHotKey(") != std::string::npos;
            expected += line.find(registered) != std::string::npos;
            filters += line.find(filtered) != std::string::npos;
        }
        EXPECT_EQ(hotkeys, expected);
        EXPECT_EQ(expected, ini[0] ? 0u : 1u);
        EXPECT_EQ(filters, 1u);
        EXPECT_EQ(CountLogMessage(L"使えないホットキーを無効にしました = S"), ini[0] ? 1u : 0u);
    }
}
