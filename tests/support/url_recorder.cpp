// Stands in for the browser: the tests register it as the http handler of their Wine prefix,
// and it appends each address it is given to opened_urls.txt beside itself.
#include <windows.h>

#include <string>

#include "comlib/unique_resource.h"
#include "comlib/utility.h"

int wmain(int argc, wchar_t** argv) {
    std::wstring line;
    for (int i = 1; i < argc; ++i) line += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    line += L"\r\n";
    // Shared for writing: two copies started together both append their line.
    UniqueFile file(::CreateFileW((ModuleFolder() + L"\\opened_urls.txt").c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return 1;
    DWORD written = 0;
    ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    return 0;
}
