// Entry point: one copy per session, the main window in the tray, a plain message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>
#include <objidl.h>
#include <gdiplus.h>

#include <clocale>

#include "comlib/command_line.h"
#include "comlib/log.h"
#include "comlib/process/process_listing.h"
#include "comlib/utility.h"
#include "comlib/window/main_window_base.h"
#include "comlib/dll_function.h"
#include "comlib/window_station.h"
#include "data/awake_command.h"
#include "data/policy.h"
#include "data/save_data.h"
#include "guard/policy_rules.h"
#include "view/settings/language_setting.h"
#include "view/texts/ui_texts.h"
#include "comlib/unique_resource.h"
#include "view/main_window/main_dialog.h"

namespace {

// A second copy only brings the first one's window into view.
const wchar_t kInstanceMutexName[] = L"http://" DORMIGUARD_WEB_HOST L"/DormiGuard/help.html";
const wchar_t kMainWindowTitle[] = L"DormiGuard";
// By class as well: an Explorer window on Documents\DormiGuard and the tray-failure message box
// carry the same title.
const wchar_t kMainWindowClass[] = L"MainWindowClass";

void RaiseRunningCopy() {
    const HWND window = ::FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (window) BringWindowToFront(window);
}

// Scripts run without anyone watching: a refused command line is a line on the parent's console
// (or the redirected standard error), a log line and exit code 2, never a message box.
constexpr int kBadCommandLine = 2;

void WriteConsoleLine(const std::wstring& text) {
    const std::wstring line = text + L"\r\n";
    DWORD written = 0;
    DWORD mode = 0;
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    if (error && error != INVALID_HANDLE_VALUE && ::GetFileType(error) != FILE_TYPE_UNKNOWN) {
        if (::GetConsoleMode(error, &mode)) {
            ::WriteConsoleW(error, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
        } else {
            const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr,
                                                    0, nullptr, nullptr);
            std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &utf8[0], bytes, nullptr,
                                  nullptr);
            ::WriteFile(error, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
        }
        return;
    }
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    const UniqueFile console(::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                           nullptr));
    if (console) ::WriteConsoleW(console.Get(), line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::FreeConsole();
}

// Into the running copy's log, when the data folder is there; never created from here.
void LogBesideTheRunningCopy(const wchar_t* format, const std::wstring& text) {
    if (::GetFileAttributesW(SaveData::DataFolder().c_str()) == INVALID_FILE_ATTRIBUTES) return;
    g_Logger.SetPath(SaveData::LogPath());
    g_Logger.Log(format, __FILE__, __LINE__, text.c_str());
}

// The console speaks the user's language; the log line stays Japanese in every language.
int RefuseCommandLine(const std::wstring& reason, const std::wstring& logReason) {
    WriteConsoleLine(reason);
    LogBesideTheRunningCopy(L"コマンドラインエラー : %s", logReason);
    return kBadCommandLine;
}

std::wstring ParseErrorText(const CommandParse& parse, UiLanguage language) {
    switch (parse.error) {
        case CommandError::UnknownSwitch:
            return UiFormatIn(language, TextId::ConsoleUnknownSwitch, parse.offending.c_str());
        case CommandError::BadAwakeValue:
            return UiFormatIn(language, TextId::ConsoleBadAwakeValue, parse.offending.c_str());
        case CommandError::BadProcessId:
            return UiFormatIn(language, TextId::ConsoleBadProcessId, parse.offending.c_str());
        case CommandError::PidMissing:
            return UiTextIn(language, TextId::ConsolePidMissing);
        case CommandError::RunMissing:
            return UiTextIn(language, TextId::ConsoleRunMissing);
        default:
            return UiTextIn(language, TextId::ConsoleTooManyCommands);
    }
}

int RefuseParse(const CommandParse& parse) {
    return RefuseCommandLine(ParseErrorText(parse, CurrentUiLanguage()), ParseErrorText(parse, UiLanguage::Japanese));
}

int RefuseText(TextId id) { return RefuseCommandLine(UiText(id), UiTextIn(UiLanguage::Japanese, id)); }

bool ProcessRuns(DWORD processId) {
    const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (process) return ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
    // A service or another user's program may not be opened; the listing shows it, and the
    // running copy watches it there.
    std::vector<ListedProcess> listed;
    return SystemProcessSource::Instance().List(listed) && FindListedProcess(listed, processId);
}

// A copy that is still starting has its titled window within this, even on a slow machine.
constexpr DWORD kStartingCopyMs = 30000;

bool InstanceMutexExists() {
    const UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName));
    // ERROR_ACCESS_DENIED: held by a copy at a higher integrity level.
    return mutex || ::GetLastError() == ERROR_ACCESS_DENIED;
}

// The running copy's main window. A copy that is still starting gets until the deadline, even
// when the helper started for it has ended (it finds the mutex held and exits); only when the
// helper is gone and nobody holds the mutex can no copy be coming.
HWND WaitForRunningCopy(HANDLE helperCopy) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (const HWND window = ::FindWindowW(kMainWindowClass, kMainWindowTitle)) return window;
        if (::GetTickCount() - start >= kStartingCopyMs) return nullptr;
        const bool helperGone = !helperCopy || ::WaitForSingleObject(helperCopy, 0) == WAIT_OBJECT_0;
        if (helperGone && !InstanceMutexExists()) return nullptr;
        ::Sleep(100);
    }
}

// The running copy's window, or that of a copy started here with -startup. Null when none
// came in time, or (invisible set) where no tray copy may start.
HWND RunningOrStartedCopy(bool* invisible) {
    *invisible = false;
    if (const HWND window = ::FindWindowW(kMainWindowClass, kMainWindowTitle)) return window;
    if (!WindowStationVisible()) {
        *invisible = true;
        return nullptr;
    }
    wchar_t self[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    std::wstring guardLine = L"\"" + std::wstring(self) + L"\" -startup";
    STARTUPINFOW guardStartup = {};
    guardStartup.cb = sizeof(guardStartup);
    PROCESS_INFORMATION guard = {};
    if (!::CreateProcessW(nullptr, &guardLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &guardStartup, &guard))
        return WaitForRunningCopy(nullptr);
    const UniqueHandle guardProcess(guard.hProcess);
    const UniqueHandle guardThread(guard.hThread);
    // Nothing waits before the window gets its title (the update check comes after it).
    return WaitForRunningCopy(guardProcess.Get());
}

enum class HandOverResult { Taken, Refused, AccessDenied };

// WM_COPYDATA to the running copy. User Interface Privilege Isolation drops it from a lower
// integrity level (SendMessageTimeout fails with ERROR_ACCESS_DENIED) unless the receiver let
// it through.
HandOverResult HandOver(HWND window, const AwakeCommand& command) {
    const std::wstring text = HandOverText(command);
    COPYDATASTRUCT data = {};
    data.dwData = kHandOverTag;
    data.cbData = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(text.c_str());
    DWORD_PTR result = 0;
    ::SetLastError(ERROR_SUCCESS);
    if (!::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 15000,
                               &result))
        return ::GetLastError() == ERROR_ACCESS_DENIED ? HandOverResult::AccessDenied : HandOverResult::Refused;
    return result == 1 ? HandOverResult::Taken : HandOverResult::Refused;
}

int RefuseHandOver(HandOverResult result, bool invisible) {
    if (invisible) return RefuseText(TextId::ConsoleNoVisibleDesktop);
    return RefuseText(result == HandOverResult::AccessDenied ? TextId::ConsoleAccessDenied
                                                             : TextId::ConsoleNotHandedOver);
}

// -awake and -pid: handed to the running copy, started in the tray when there is none; this
// copy ends at once, so that a script goes on.
int HandOverOrRefuse(const AwakeCommand& command) {
    bool invisible = false;
    const HWND window = RunningOrStartedCopy(&invisible);
    const HandOverResult result = window ? HandOver(window, command) : HandOverResult::Refused;
    return result == HandOverResult::Taken ? 0 : RefuseHandOver(result, invisible);
}

// -run: the command starts suspended, so that it runs only once the running copy (started
// here with -startup when there is none) watches it; this copy ends with its exit code.
int RunAndWatch(const std::wstring& commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::wstring mutableLine = commandLine;
    // A console program run from a script writes to the script's console, not a new window.
    ::AttachConsole(ATTACH_PARENT_PROCESS);
    // Handles given to this copy (a redirection, the console front end's) go on to the command.
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE errors = ::GetStdHandle(STD_ERROR_HANDLE);
    auto valid = [](HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; };
    if (valid(input) || valid(output) || valid(errors)) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = output;
        startup.hStdError = errors;
    }
    if (!::CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                          &startup, &info)) {
        const DWORD error = ::GetLastError();
        // ERROR_ELEVATION_REQUIRED (740): the program's manifest asks for administrator rights.
        if (error == 740)
            return RefuseCommandLine(UiFormat(TextId::ConsoleNeedsAdmin, commandLine.c_str()),
                                     UiFormatIn(UiLanguage::Japanese, TextId::ConsoleNeedsAdmin, commandLine.c_str()));
        const std::wstring reason = SystemErrorText(error);
        return RefuseCommandLine(UiFormat(TextId::ConsoleRunFailed, commandLine.c_str(), reason.c_str()),
                                 UiFormatIn(UiLanguage::Japanese, TextId::ConsoleRunFailed, commandLine.c_str(),
                                            reason.c_str()));
    }
    const UniqueHandle child(info.hProcess);
    const UniqueHandle childThread(info.hThread);
    // The user started this copy: the command may bring its own window to the front.
    ::AllowSetForegroundWindow(info.dwProcessId);

    bool invisible = false;
    const HWND window = RunningOrStartedCopy(&invisible);
    AwakeCommand watch;
    watch.kind = AwakeCommand::Kind::Pid;
    watch.processId = info.dwProcessId;
    const HandOverResult result = window ? HandOver(window, watch) : HandOverResult::Refused;
    if (result != HandOverResult::Taken) {
        ::TerminateProcess(child.Get(), kBadCommandLine);
        return RefuseHandOver(result, invisible);
    }
    ::ResumeThread(childThread.Get());
    ::WaitForSingleObject(child.Get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(child.Get(), &code);
    return static_cast<int>(code);
}

// A copy run as administrator takes hand-overs from scripts at the normal level too.
// ChangeWindowMessageFilterEx is Windows 7 and later.
void LetCopyDataThrough(HWND window) {
    using FilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    const DllFunction_CL user32(L"user32.dll");
    const auto allow = user32.LookupAs<FilterFunction>("ChangeWindowMessageFilterEx");
    if (allow && !allow(window, WM_COPYDATA, MSGFLT_ALLOW, nullptr)) {
        const DWORD error = ::GetLastError();
        g_Logger.Log(L"ChangeWindowMessageFilterEx()エラー = 0x%08x : %s", __FILE__, __LINE__,
                     static_cast<unsigned>(error), SystemErrorText(error).c_str());
    }
}

int RunMessageLoop(MainDialog_CL& mainDialog) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_F5) mainDialog.CheckSleep();
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::setlocale(LC_ALL, "Japanese");
    // Before any text: the console messages of a refused command line speak it too.
    ApplyLanguageChoice(ReadLanguageChoice(SaveData::IniPath()));
    const CommandLine_CL commandLine;
    const int startupFlag = commandLine.HasOption(L"-startup") ? 1 : 0;

    // -awake, -pid and -run: handed to the running copy, which is started when there is none.
    if (HasAwakeSwitch(commandLine.RawArguments())) {
        // The organisation's CommandLine and ManualSessions, before anything is handed over.
        const Policies policies = ReadPoliciesQuietly();
        if (CommandLineOff(policies)) return RefuseText(TextId::ConsoleCommandLineOff);
        const CommandParse parse = ParseAwakeCommand(commandLine.RawArguments());
        if (parse.error != CommandError::None) return RefuseParse(parse);
        const AwakeCommand& command = parse.command;
        const SessionRefusal refusal = RefuseSession(command, policies);
        if (refusal != SessionRefusal::None)
            return RefuseText(refusal == SessionRefusal::NoSessions ? TextId::ConsoleSessionsRefused
                                                                    : TextId::ConsoleNoEndRefused);
        if (command.kind == AwakeCommand::Kind::Pid && !ProcessRuns(command.processId))
            return RefuseCommandLine(
                UiFormat(TextId::ConsoleNoProcess, static_cast<unsigned>(command.processId)),
                UiFormatIn(UiLanguage::Japanese, TextId::ConsoleNoProcess, static_cast<unsigned>(command.processId)));
        // The command exactly as typed after -run: the program path and the arguments up to -run.
        if (command.kind == AwakeCommand::Kind::Run)
            return RunAndWatch(CommandLine_CL::TextAfterArguments(::GetCommandLineW(), parse.runArgument + 2));
        return HandOverOrRefuse(command);
    }

    // Session 0 or a service's station: a tray nobody sees, and no one to answer a message box.
    if (!WindowStationVisible()) {
        LogBesideTheRunningCopy(L"%s", L"画面を表示できないウィンドウステーションのため起動しません");
        return 1;
    }

    // Held for the whole run: it goes only when wWinMain returns, after the shut-down.
    const UniqueHandle instanceMutex(::CreateMutexW(nullptr, TRUE, kInstanceMutexName));
    // ERROR_ACCESS_DENIED: the mutex exists but belongs to a copy at a higher integrity level
    // (run as administrator). That copy runs too, and two sleep guards must never run.
    const DWORD mutexError = ::GetLastError();
    // ERROR_ALREADY_EXISTS alone does not say that a copy runs: a copy that has just ended can
    // leave the mutex behind for a moment, abandoned, and then this copy owns it now
    // (WAIT_ABANDONED). Only a mutex another copy owns (WAIT_TIMEOUT) means one runs.
    const bool running = mutexError == ERROR_ALREADY_EXISTS && instanceMutex &&
                         ::WaitForSingleObject(instanceMutex.Get(), 0) == WAIT_TIMEOUT;
    if (running || (!instanceMutex && mutexError == ERROR_ACCESS_DENIED)) {
        // A -startup copy stays quiet: sign-in may start the program twice (the Run value and
        // the restart registration), and the second must not raise the window.
        if (startupFlag == 0) RaiseRunningCopy();
        return 0;
    }

    ::CoInitialize(nullptr);
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES;
    ::InitCommonControlsEx(&controls);
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    int exitCode = 0;
    {
        MainDialog_CL mainDialog(startupFlag);
        if (mainDialog.Create()) {
            LetCopyDataThrough(mainDialog.Window());
            RunMessageLoop(mainDialog);
        } else {
            // Without a window nothing would ever end the message loop.
            exitCode = 1;
        }
    }

    Gdiplus::GdiplusShutdown(gdiplusToken);
    ::OleUninitialize();
    ::CoUninitialize();
    return exitCode;
}
