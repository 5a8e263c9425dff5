#include "comlib/dll_function.h"

#include "comlib/log.h"
#include "comlib/utility.h"

std::wstring DllFunction_CL::SystemPath(const std::wstring& path) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    // Only the file name counts: '/' is a separator to the loader as well.
    std::wstring name = path;
    const size_t separator = name.find_last_of(L"\\/:");
    if (separator != std::wstring::npos) name = name.substr(separator + 1);
    return std::wstring(folder) + L"\\" + name;
}

DllFunction_CL::DllFunction_CL(const std::wstring& path) {
    const std::wstring fullPath = SystemPath(path);
    if (fullPath.empty()) {
        g_Logger.Log(L"GetSystemDirectoryW failed: %s", __FILE__, __LINE__, SystemErrorText(::GetLastError()).c_str());
        return;
    }
    // A full path in the system folder, and LOAD_LIBRARY_SEARCH_SYSTEM32 so that the DLL's own
    // imports are not looked for beside the executable either.
    module_.Reset(::LoadLibraryExW(fullPath.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    // Windows 7 without KB2533623 rejects the flag with ERROR_INVALID_PARAMETER: the full path
    // alone still keeps the DLL itself out of the executable's folder.
    if (!module_ && ::GetLastError() == ERROR_INVALID_PARAMETER) module_.Reset(::LoadLibraryExW(fullPath.c_str(), nullptr, 0));
}

FARPROC DllFunction_CL::Lookup(const char* name) const {
    if (!module_) return nullptr;
    return ::GetProcAddress(module_.Get(), name);
}
