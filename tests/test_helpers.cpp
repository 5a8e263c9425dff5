#include "tests/test_helpers.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <objidl.h>
#include <gdiplus.h>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/utility.h"
#include "data/save_data.h"

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() >= deadline) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

void PumpMessagesFor(DWORD ms) {
    WaitFor([] { return false; }, ms);
}

std::vector<unsigned char> ReadFileBytes(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file) return bytes;
    LARGE_INTEGER size = {};
    ::GetFileSizeEx(file.Get(), &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file && !bytes.empty()) ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring ReadUtf16File(const std::wstring& path) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    size_t start = (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) ? 2 : 0;
    std::wstring text;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    return text;
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    std::vector<unsigned char> bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    WriteFileBytes(path, bytes);
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

void RemoveTree(const std::wstring& folder) {
    if (!::PathFileExistsW(folder.c_str())) return;
    std::wstring from = folder;
    from.push_back(L'\0');  // SHFileOperationW wants a double-terminated list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

ChildProcess::ChildProcess(const std::wstring& commandLine, const std::wstring& directory) {
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                         directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
        process_.Reset(info.hProcess);
        thread_.Reset(info.hThread);
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_) return true;
    if (::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) ::GetExitCodeProcess(process_.Get(), exitCode);
    return true;
}

void ChildProcess::Kill() {
    if (!process_) return;
    if (::WaitForSingleObject(process_.Get(), 0) != WAIT_OBJECT_0) {
        ::TerminateProcess(process_.Get(), 1);
        ::WaitForSingleObject(process_.Get(), 10000);
    }
    process_.Reset();
    thread_.Reset();
}

std::wstring NotepadPath() {
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\notepad.exe";
}

std::wstring FreshTempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    RemoveTree(folder);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

MarkerFile::MarkerFile() { WriteFileBytes(Path(), {'x'}); }
MarkerFile::~MarkerFile() { ::DeleteFileW(Path()); }

std::wstring ResetDataFolder() {
    const std::wstring folder = SaveData::DataFolder();
    RemoveTree(folder);
    g_Logger.SetPath(L"");
    g_Inifile.SetPath(L"");
    return folder;
}

void StartGdiplusOnce() {
    static ULONG_PTR token = 0;
    if (token) return;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
}

BITMAPINFO TopDown32BitInfo(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

namespace {
std::vector<DWORD> CapturedPixels(HDC memory, HBITMAP bitmap, int width, int height) {
    BITMAPINFO info = TopDown32BitInfo(width, height);
    std::vector<DWORD> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (!::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS))
        pixels.clear();
    return pixels;
}

// True when the captured pixels are not all one colour: a window that is shown but not yet on
// the X display captures as plain black.
bool HasContent(const std::vector<DWORD>& pixels) {
    for (DWORD pixel : pixels)
        if ((pixel & 0xFFFFFF) != (pixels[0] & 0xFFFFFF)) return true;
    return false;
}
}  // namespace

int CountDarkScreenPixels(const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return 0;
    WindowDc screen(nullptr);
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
    }
    int dark = 0;
    for (DWORD pixel : CapturedPixels(memory.Get(), bitmap.Get(), width, height)) {
        const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
        if (r < 80 && g < 80 && b < 80) ++dark;
    }
    return dark;
}

bool SaveWindowScreenshot(HWND window, const std::wstring& fileName) {
    StartGdiplusOnce();
    RECT windowRect = {};
    if (!::GetWindowRect(window, &windowRect)) return false;
    // Only the part on the screen: a window partly off it would capture as nothing at all.
    const RECT screenRect = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    RECT rect = {};
    if (!::IntersectRect(&rect, &windowRect, &screenRect)) return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    WindowDc screen(nullptr);
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
    std::vector<DWORD> previous;
    WaitFor(
        [&] {
            // Pending paints of the window and its children, also in another process, land first.
            ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            {
                SelectedObject selected(memory.Get(), bitmap.Get());
                ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
            }
            // Two equal captures in a row: a busy machine paints a window's children one by one,
            // and a capture between them misses some.
            std::vector<DWORD> pixels = CapturedPixels(memory.Get(), bitmap.Get(), width, height);
            const bool settled = !pixels.empty() && HasContent(pixels) && pixels == previous;
            previous = std::move(pixels);
            return settled;
        },
        5000);
    Gdiplus::GpBitmap* image = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap.Get(), nullptr, &image) != Gdiplus::Ok) return false;
    const bool saved = SaveScreenshotImage(image, fileName);
    Gdiplus::DllExports::GdipDisposeImage(image);
    return saved;
}

bool SaveScreenshotImage(Gdiplus::GpImage* image, const std::wstring& fileName) {
    const std::wstring folder = ModuleFolder() + L"\\screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    // The PNG encoder's class id.
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    return Gdiplus::DllExports::GdipSaveImageToFile(image, (folder + L"\\" + fileName).c_str(), &png, nullptr) ==
           Gdiplus::Ok;
}

PrefixDpi::PrefixDpi(DWORD dpi) {
    ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                      nullptr);
    DWORD size = sizeof(previous_);
    had_ = ::RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&previous_), &size) ==
           ERROR_SUCCESS;
    ::RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
}

PrefixDpi::~PrefixDpi() {
    if (had_)
        ::RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_), sizeof(previous_));
    else
        ::RegDeleteValueW(key_, L"LogPixels");
    ::RegCloseKey(key_);
}

bool SetPolicy(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD value, const wchar_t* text) {
    const std::wstring key = std::wstring(L"Software\\Policies\\DormiGuard") + (*subkey ? L"\\" : L"") + subkey;
    const DWORD bytes = text ? static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)) : sizeof(value);
    return ::RegSetKeyValueW(root, key.c_str(), name, text ? REG_SZ : REG_DWORD,
                             text ? static_cast<const void*>(text) : &value, bytes) == ERROR_SUCCESS;
}

void ClearPolicyKeys() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) ::RegDeleteTreeW(root, L"Software\\Policies\\DormiGuard");
}
