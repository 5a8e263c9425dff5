#include "comlib/utility.h"

#include <shellapi.h>
#include <stdio.h>
#include <cstdint>
#include <cstring>
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

bool PathExists(const std::wstring& path) {
    // What PathFileExistsW does, with the error mode of this thread only.
    DWORD previous = 0;
    const bool quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous) != FALSE;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (quiet) ::SetThreadErrorMode(previous, nullptr);
    return attributes != INVALID_FILE_ATTRIBUTES;
}

bool IsDeveloperMachine() { return PathExists(L"c:\\MyHome.txt"); }

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
    // FORMAT_MESSAGE_IGNORE_INSERTS: texts such as "%1 is not a valid Win32 application" would
    // otherwise read insert arguments that nobody passed.
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                        FORMAT_MESSAGE_MAX_WIDTH_MASK;
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

namespace {
// All 65,536 folds, made once with two LCMapStringEx calls over every code unit: per-unit calls
// would cost a system call for each character of every compared path.
std::vector<wchar_t> MakeFoldTable() {
    std::vector<wchar_t> units(0x10000);
    for (size_t c = 0; c < units.size(); ++c) units[c] = static_cast<wchar_t>(c);
    std::vector<wchar_t> upper(units.size());
    std::vector<wchar_t> folded(units.size());
    const int count = static_cast<int>(units.size());
    // LOCALE_NAME_INVARIANT: the same mapping on every machine, whatever the user's locale.
    // Lone surrogates map to themselves, so the output keeps one unit per input unit.
    if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units.data(), count, upper.data(), count, nullptr,
                        nullptr, 0) != count ||
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, upper.data(), count, folded.data(), count, nullptr,
                        nullptr, 0) != count) {
        for (size_t c = 0; c < units.size(); ++c)
            folded[c] = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : static_cast<wchar_t>(c);
    }
    return folded;
}
}  // namespace

const wchar_t* FoldCaseTable() {
    static const std::vector<wchar_t> table = MakeFoldTable();
    return table.data();
}

wchar_t FoldCase(wchar_t c) { return FoldCaseTable()[static_cast<uint16_t>(c)]; }

bool EqualsNoCase(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    if (aLength != bLength) return false;
    size_t i = 0;
    // Four units at a time while they are equal: the paths compared are mostly equal ones.
    for (; i + 4 <= aLength; i += 4) {
        uint64_t left = 0;
        uint64_t right = 0;
        memcpy(&left, a + i, sizeof(left));
        memcpy(&right, b + i, sizeof(right));
        if (left != right) break;
    }
    const wchar_t* fold = FoldCaseTable();
    for (; i < aLength; ++i)
        if (a[i] != b[i] && fold[static_cast<uint16_t>(a[i])] != fold[static_cast<uint16_t>(b[i])]) return false;
    return true;
}
