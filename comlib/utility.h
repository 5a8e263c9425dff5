#pragma once
// Small path, shell and text helpers shared by every part of the program.
#include <windows.h>
#include <cstdarg>
#include <string>

// A FILETIME as one count of 100 ns units, and back.
inline unsigned long long FileTimeValue(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
inline FILETIME FileTimeOfValue(unsigned long long value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

// Folder of the running executable, without the trailing backslash ("" when the path has none).
std::wstring ModuleFolder();

// Text after the last backslash; the whole text when there is none.
std::wstring FileNamePart(const std::wstring& path);

// Same rule for a narrow source path, accepting '/' as well: MinGW writes __FILE__ with forward slashes.
std::string SourceFileName(const char* path);

// True when a file or folder of this name exists (PathFileExistsW without shlwapi, which
// start-up then does not load): no "insert a disk" box for a drive without its medium.
bool PathExists(const std::wstring& path);

// True while "c:\MyHome.txt" exists: the developer's machine, where nothing is opened with the shell.
bool IsDeveloperMachine();

// Opens a URL or document with its default handler, unless on the developer's machine.
void ShellOpen(const std::wstring& target);

// Tests observe shell opens through this hook instead of starting a program.
using ShellOpenHandler = void (*)(const std::wstring& target);
void SetShellOpenHandler(ShellOpenHandler handler);

// The system's one-line text for an error code, "" when the system has none.
std::wstring SystemErrorText(DWORD code);

// printf-style formatting with the Windows runtime's rules (%s takes a wide string).
// A formatting failure gives "".
std::wstring FormatWide(const wchar_t* format, ...);
std::wstring FormatWideV(const wchar_t* format, va_list args);

// The program's one case folding of a UTF-16 code unit: the invariant upper case (the table
// that ordinal case-insensitive comparison uses), then its lower case, so that A to Z fold to
// a to z. Equality of names and their quick keys both come from it, so they always agree.
wchar_t FoldCase(wchar_t c);
// The same folding as a table of 65,536 units, indexed by the unit: for loops over whole paths,
// where a call per unit would cost more than the folding itself.
const wchar_t* FoldCaseTable();

// Case-insensitive equality of two wide strings, unit by unit through FoldCase.
bool EqualsNoCase(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength);
inline bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    return EqualsNoCase(a.data(), a.size(), b.data(), b.size());
}
