#include "bench/startup_time.h"

#include "bench/bench_clock.h"
#include "comlib/unique_resource.h"

std::wstring BesideThisProgram(const wchar_t* fileName) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + fileName;
}

namespace {
HWND ShownWindowOf(const wchar_t* windowClass, DWORD processId) {
    for (HWND window = ::FindWindowExW(nullptr, nullptr, windowClass, nullptr); window;
         window = ::FindWindowExW(nullptr, window, windowClass, nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == processId && ::IsWindowVisible(window)) return window;
    }
    return nullptr;
}
}  // namespace

double StartupMs(const std::wstring& program, const wchar_t* windowClass, WPARAM closeParam) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const double start = NowMs();
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1.0;
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    HWND window = nullptr;
    const ULONGLONG deadline = ::GetTickCount64() + 30000;
    while (!(window = ShownWindowOf(windowClass, info.dwProcessId)) && ::GetTickCount64() < deadline) ::Sleep(1);
    DWORD_PTR answer = 0;
    const bool answered =
        window && ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 30000, &answer) != 0;
    const double elapsed = NowMs() - start;
    if (window) ::PostMessageW(window, WM_CLOSE, closeParam, 0);
    if (::WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0) ::TerminateProcess(process.Get(), 1);
    return answered ? elapsed : -1.0;
}
