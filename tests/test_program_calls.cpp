// The system calls of the real DormiGuard.exe, seen from outside through Wine's relay trace:
// ctest runs this executable with its standard error in relay_trace.log (see CMakeLists.txt),
// and the program started here writes its trace there too.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "comlib/utility.h"
#include "tests/program_driver.h"
#include "tests/test_helpers.h"

namespace {

const wchar_t kDebugKey[] = L"Software\\Wine\\Debug";
const wchar_t kRelayed[] =
    L"kernel32.K32EnumProcesses;kernel32.OpenProcess;kernel32.SetThreadExecutionState;user32.SendInput;"
    L"RegisterApplicationRestart;kernel32.PowerCreateRequest";

// The relay list in the prefix, and WINEDEBUG for the programs this test starts (each trace
// line then begins with the process id); both are taken back when it goes.
class RelayTrace {
public:
    RelayTrace() {
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kDebugKey, L"RelayInclude", REG_SZ, kRelayed,
                          static_cast<DWORD>((wcslen(kRelayed) + 1) * sizeof(wchar_t)));
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

// The relayed calls of one process as letters: E an enumeration (one per check), O an open,
// S a SetThreadExecutionState, I a SendInput; runs of opens are one O. Arguments that differ
// from the expected ones are collected.
struct CallPattern {
    std::string letters;
    // The same with P for each PowerCreateRequest.
    std::string withPower;
    std::vector<std::string> wrongArguments;
    std::vector<std::string> restartRegistrations;  // RegisterApplicationRestart calls, whole lines
};

CallPattern ReadPattern(const std::string& trace, DWORD processId, const char* executionState = "00000003") {
    CallPattern pattern;
    char prefix[16];
    snprintf(prefix, sizeof(prefix), "%04lx:", static_cast<unsigned long>(processId));
    for (size_t at = 0; at < trace.size();) {
        const size_t end = std::min(trace.find('\n', at), trace.size());
        const std::string line = trace.substr(at, end - at);
        at = end + 1;
        // "pid:tid:Call dll.Function(arguments) ret=..."
        if (line.rfind(prefix, 0) != 0 || line.find(":Call ") == std::string::npos) continue;
        char letter = 0;
        if (line.find(".K32EnumProcesses(") != std::string::npos) {
            letter = 'E';
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
        }
        if (letter && !(letter == 'O' && !pattern.letters.empty() && pattern.letters.back() == 'O'))
            pattern.letters.push_back(letter);
        if (letter && !(letter == 'O' && !pattern.withPower.empty() && pattern.withPower.back() == 'O'))
            pattern.withPower.push_back(letter);
        if (line.find(".PowerCreateRequest(") != std::string::npos) pattern.withPower.push_back('P');
    }
    return pattern;
}

// Runs the program with the hour table given (and more INI text), two checks through command 124
// (or a change of the power status) after the first, and returns its calls once it has ended.
CallPattern RunThreeChecks(const wchar_t* hourValue, const wchar_t* between = nullptr, const std::wstring& moreIni = L"",
                           const char* executionState = "00000003", bool byPowerStatus = false) {
    ResetDataFolder();
    std::wstring hours = L"[DISABLE_TIME]\r\n";
    for (int h = 0; h < 24; ++h) hours += FormatWide(L"hour%d=%s\r\n", h, hourValue);
    PrepareProgramIni(hours + moreIni);
    DWORD processId = 0;
    {
        const RelayTrace relay;
        RunningProgram program(L"-startup");
        EXPECT_TRUE(program.Started());
        processId = program.ProcessId();
        const HWND window = program.WaitForMainWindow();
        EXPECT_NE(window, nullptr);
        if (!window) return {};
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
        DWORD code = 99;
        EXPECT_TRUE(program.Exit(&code));
        EXPECT_EQ(code, 0u);
    }
    return ReadPattern(TraceText(), processId, executionState);
}

}  // namespace

TEST(ProgramCalls, EachCheckWhileProhibitedResetsBothTimersOnceAndInjectsOneMove) {
    const CallPattern calls = RunThreeChecks(L"1");
    // The start's check and the two commands; the 20-second timer may add one more.
    EXPECT_TRUE(calls.letters == "EOSIEOSIEOSI" || calls.letters == "EOSIEOSIEOSIEOSI") << calls.letters;
    EXPECT_TRUE(calls.wrongArguments.empty()) << calls.wrongArguments.front();
    // Windows brings the program back, in the tray, after an update restart or a crash.
    ASSERT_EQ(calls.restartRegistrations.size(), 1u);
    EXPECT_NE(calls.restartRegistrations[0].find("L\"-startup\",00000000)"), std::string::npos)
        << calls.restartRegistrations[0];
}

TEST(ProgramCalls, ChecksWhileAllowedMakeNeitherCall) {
    const CallPattern calls = RunThreeChecks(L"0");
    // Three enumerations prove that three checks ran.
    EXPECT_TRUE(calls.letters == "EOEOEO" || calls.letters == "EOEOEOEO") << calls.letters;
    EXPECT_TRUE(calls.wrongArguments.empty()) << calls.wrongArguments.front();
}

TEST(ProgramCalls, PowerRequestOnlyWhenSleepBecomesProhibited) {
    // Prohibited from the first check: one creation (Wine refuses it), none on later checks.
    // The 20-second timer may add one check anywhere.
    const CallPattern marked = RunThreeChecks(L"1");
    EXPECT_TRUE(marked.withPower == "EOSIPEOSIEOSI" || marked.withPower == "EOSIPEOSIEOSIEOSI") << marked.withPower;
    // Allowed, then a manual session from a second copy: created when the state changes; every
    // check after it one reset and one move, and no creation.
    const CallPattern manual = RunThreeChecks(L"0", L"-awake");
    const size_t firstAwake = manual.withPower.find("EOSI");
    ASSERT_NE(firstAwake, std::string::npos) << manual.withPower;
    EXPECT_EQ(manual.withPower.find('P'), firstAwake + 4) << manual.withPower;
    EXPECT_EQ(std::count(manual.withPower.begin(), manual.withPower.end(), 'P'), 1) << manual.withPower;
    const std::string after = manual.withPower.substr(firstAwake + 5);
    EXPECT_TRUE(after == "EOSI" || after == "EOSIEOSI") << manual.withPower;
    EXPECT_GE(firstAwake, 6u) << "three checks while allowed first: " << manual.withPower;
}

TEST(ProgramCalls, DisplayFreeToSleepMeansSystemResetOnlyAndNoMove) {
    // A watched program keeps the computer awake; the display setting is off.
    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(notepad.Started());
    const CallPattern calls = RunThreeChecks(
        L"0", nullptr, L"[PROCESS_INFO]\r\ncount=1\r\npath0=1:" + NotepadPath() + L"\r\n[AWAKE]\r\ndisplay=0\r\n",
        "00000001", true);
    notepad.Kill();
    // Three checks (the start's and one per power-status change), each with one SetThreadExecutionState(ES_SYSTEM_REQUIRED) and no SendInput.
    EXPECT_TRUE(calls.letters == "EOSEOSEOS" || calls.letters == "EOSEOSEOSEOS") << calls.letters;
    EXPECT_TRUE(calls.wrongArguments.empty()) << calls.wrongArguments.front();
}
