#include "bench/idle_programs.h"

#include <windows.h>
#include <psapi.h>

#include "comlib/utility.h"

int WaitForParent(unsigned long parentId) {
    // SYNCHRONIZE is all a wait on a process handle needs; an ended parent cannot be opened.
    const UniqueHandle parent(::OpenProcess(SYNCHRONIZE, FALSE, parentId));
    if (parent) ::WaitForSingleObject(parent.Get(), INFINITE);
    return 0;
}

namespace {
size_t ProcessCount() {
    DWORD ids[8192];
    DWORD bytes = 0;
    return ::K32EnumProcesses(ids, sizeof(ids), &bytes) ? bytes / sizeof(DWORD) : 0;
}
}  // namespace

int IdlePrograms_CL::Start(int count) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = FormatWide(L"%sdg_bench_idle_%lu", temp, ::GetCurrentProcessId());
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    const size_t before = ProcessCount();
    const size_t running = processes_.size();
    for (int i = 0; i < count; ++i) {
        const std::wstring file = FormatWide(L"%s\\idle%03u.exe", folder_.c_str(), static_cast<unsigned>(files_.size()));
        // A copy, not a link: Wine names a process started through a hard link after the file
        // the link shares, so every copy would be one snapshot entry.
        ::DeleteFileW(file.c_str());  // left by a run that ended early (the folder is named by process id)
        if (!::CopyFileW(self, file.c_str(), FALSE)) continue;
        files_.push_back(file);
        std::wstring commandLine = FormatWide(L"\"%s\" --idle %lu", file.c_str(), ::GetCurrentProcessId());
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            continue;
        processes_.emplace_back(info.hProcess);
        ::CloseHandle(info.hThread);
    }
    const ULONGLONG deadline = ::GetTickCount64() + 60000;
    while (ProcessCount() < before + processes_.size() - running && ::GetTickCount64() < deadline) ::Sleep(10);
    return static_cast<int>(processes_.size() - running);
}

IdlePrograms_CL::~IdlePrograms_CL() {
    for (const UniqueHandle& process : processes_) ::TerminateProcess(process.Get(), 0);
    for (const UniqueHandle& process : processes_) ::WaitForSingleObject(process.Get(), 10000);
    processes_.clear();
    for (const std::wstring& file : files_) ::DeleteFileW(file.c_str());
    if (!folder_.empty()) ::RemoveDirectoryW(folder_.c_str());
}
