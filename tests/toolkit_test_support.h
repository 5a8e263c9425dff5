#pragma once
// Helpers shared by the window-toolkit tests: a generated bitmap strip, objects placed above
// 4 GB, window classes for plain parents.
#include <windows.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_helpers.h"

namespace toolkit_test {

// Colours of the square in the middle of each 24 x 24 cell of the generated strip.
inline COLORREF CellColor(int cell) {
    static const COLORREF colors[] = {RGB(0, 160, 0), RGB(0, 0, 200), RGB(200, 120, 0), RGB(0, 160, 160)};
    return colors[cell % 4];
}

// A 24-bit bottom-up BMP: `cells` cells of 24 x 24, magenta background, a 12 x 12 square of
// CellColor(i) in the middle of cell i.
inline void WriteStripBitmap(const std::wstring& path, int cells) {
    const int width = 24 * cells;
    const int height = 24;
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride * height);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::vector<unsigned char> bytes(file.bfSize);
    memcpy(bytes.data(), &file, sizeof(file));
    memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int cx = x % 24;
            const bool square = cx >= 6 && cx < 18 && y >= 6 && y < 18;
            const COLORREF color = square ? CellColor(x / 24) : RGB(255, 0, 255);
            unsigned char* pixel = bytes.data() + file.bfOffBits + y * stride + x * 3;
            pixel[0] = GetBValue(color);
            pixel[1] = GetGValue(color);
            pixel[2] = GetRValue(color);
        }
    }
    WriteFileBytes(path, bytes);
}

inline std::wstring TempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Builds a T in memory reserved top-down, which on x64 lies above 4 GB: an address that a
// 32-bit window-data slot would cut.
template <class T>
class HighObject {
public:
    template <class... Args>
    explicit HighObject(Args&&... args) {
        memory_ = ::VirtualAlloc(nullptr, sizeof(T), MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
        object_ = new (memory_) T(std::forward<Args>(args)...);
    }
    HighObject(const HighObject&) = delete;
    HighObject& operator=(const HighObject&) = delete;
    ~HighObject() {
        object_->~T();
        ::VirtualFree(memory_, 0, MEM_RELEASE);
    }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    T* Get() const { return object_; }

private:
    void* memory_ = nullptr;
    T* object_ = nullptr;
};

// A plain visible top-level window to hold controls. The default is a captionless popup: Wine on
// a display without a window manager waits about 2 s when a framed (managed) window goes away.
inline HWND CreatePlainWindow(const wchar_t* title, int width, int height, int x = 100, int y = 100,
                              DWORD style = WS_POPUP | WS_BORDER | WS_VISIBLE | WS_CLIPCHILDREN) {
    static const wchar_t* kClass = L"ToolkitTestParent";
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    if (!::GetClassInfoExW(::GetModuleHandleW(nullptr), kClass, &windowClass)) {
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = kClass;
        ::RegisterClassExW(&windowClass);
    }
    return ::CreateWindowExW(0, kClass, title, style, x, y, width, height,
                             nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

// The window's rectangle in its parent's client coordinates.
inline RECT RectInParent(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

inline SIZE WindowSize(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

// Removes a WM_QUIT that a destroyed main window posted, so it cannot end a later modal loop.
inline bool DrainQuit() {
    MSG msg;
    bool found = false;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) found = true;
    return found;
}

}  // namespace toolkit_test
