#include "comlib/utility.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <vector>

#include "comlib/unique_resource.h"

namespace {
ShellOpenHandler g_shellOpenHandler = nullptr;
}

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    const size_t slash = text.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : text.substr(0, slash);
}

std::wstring FileNamePart(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string SourceFileName(const char* path) {
    if (!path) return std::string();
    std::string text(path);
    const size_t slash = text.find_last_of("\\/");
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

bool IsDeveloperMachine() { return ::PathFileExistsW(L"c:\\MyHome.txt") != FALSE; }

void ShellOpen(const std::wstring& target) {
    if (IsDeveloperMachine()) return;
    if (g_shellOpenHandler) {
        g_shellOpenHandler(target);
        return;
    }
    ::ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void SetShellOpenHandler(ShellOpenHandler handler) { g_shellOpenHandler = handler; }

std::wstring SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    const DWORD length = ::FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                          reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    // FORMAT_MESSAGE_ALLOCATE_BUFFER hands back a LocalAlloc block.
    UniqueLocal owner(reinterpret_cast<HLOCAL>(buffer));
    if (length == 0 || !buffer) return std::wstring();
    return std::wstring(buffer, length);
}

std::wstring FormatWideV(const wchar_t* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    // msvcrt's _vscwprintf/_vsnwprintf: %s in a wide format is a wide string.
    const int length = _vscwprintf(format, measure);
    va_end(measure);
    if (length < 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int written = _vsnwprintf(buffer.data(), buffer.size(), format, args);
    if (written < 0) return std::wstring();
    return std::wstring(buffer.data(), static_cast<size_t>(written));
}

std::wstring FormatWide(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatWideV(format, args);
    va_end(args);
    return text;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}
