// DormiGuard.com, the console front end for scripts. Every shell waits for a console program
// and takes its exit code, while an interactive cmd or PowerShell returns at once from a GUI
// program such as DormiGuard.exe. Typed as "DormiGuard", the .com comes first (PATHEXT). It runs
// DormiGuard.exe from its own folder with the same arguments, sharing this console and its
// standard handles, and ends with DormiGuard.exe's exit code.
#include <windows.h>

#include <string>

#include "comlib/command_line.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"
#include "data/awake_command.h"
#include "view/texts/ui_texts.h"

int wmain() {
    const std::wstring program = ModuleFolder() + L"\\DormiGuard.exe";
    const std::wstring arguments = CommandLine_CL::TextAfterArguments(::GetCommandLineW(), 1);
    std::wstring line = L"\"" + program + L"\" " + arguments;

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        const DWORD error = ::GetLastError();
        const std::wstring text = UiFormat(TextId::ConsoleRunFailed, program.c_str(), SystemErrorText(error).c_str()) + L"\r\n";
        DWORD written = 0;
        ::WriteConsoleW(startup.hStdError, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return 2;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    // Ctrl+C reaches DormiGuard.exe and the command too: this one waits for their exit code.
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    // A plain start may become the tray copy, which runs until the user ends it: the console
    // is given back once its window takes input. The commands are waited for to their end.
    CommandLine_CL commandLine;
    if (!HasAwakeSwitch(commandLine.RawArguments())) {
        // Until it takes input or has ended: a second copy only raises the first and ends, and
        // never waits for input.
        while (::WaitForInputIdle(process.Get(), 100) == WAIT_TIMEOUT &&
               ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
        }
    } else {
        ::WaitForSingleObject(process.Get(), INFINITE);
    }
    DWORD code = 0;
    if (::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}
