// Started by the toolkit tests from a folder holding a planted DLL: reports which file a DLL name
// loads from through DllFunction_CL and through a plain LoadLibraryW.
//   dll_probe NAME REPORT_FILE
// The report is UTF-16LE lines "preloaded\tPATH" (a module of that name already in the process at
// start), "toolkit\tPATH" and "plain\tPATH"; PATH is "" when there is none.
#include <windows.h>

#include <string>

#include "comlib/dll_function.h"

namespace {

std::wstring ModulePath(HMODULE module) {
    if (!module) return std::wstring();
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

bool WriteReport(const std::wstring& path, const std::wstring& text) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const unsigned char mark[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file, mark, sizeof(mark), &written, nullptr);
    ::WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring name = argv[1];
    const std::wstring preloaded = ModulePath(::GetModuleHandleW(name.c_str()));
    std::wstring toolkit;
    {
        const DllFunction_CL dll(name);
        toolkit = ModulePath(dll.Module());
    }
    // The module is unloaded again here unless something else holds it.
    HMODULE plain = ::LoadLibraryW(name.c_str());
    const std::wstring plainPath = ModulePath(plain);
    if (plain) ::FreeLibrary(plain);
    const std::wstring report = L"preloaded\t" + preloaded + L"\r\ntoolkit\t" + toolkit +
                                L"\r\nplain\t" + plainPath + L"\r\n";
    return WriteReport(argv[2], report) ? 0 : 1;
}
