#pragma once
// One owner for every system handle the program creates: move-only, closes exactly once.
#include <windows.h>
#include <commctrl.h>
#include <utility>

// GDI+ flat-API objects, declared here so that this header does not pull in gdiplus.h.
namespace Gdiplus {
class GpImage;
class GpBitmap;
class GpGraphics;
}  // namespace Gdiplus

// Empty value of most handle types: null.
struct NullEmpty {
    template <typename T>
    static T Value() { return T{}; }
};

// CreateFileW and friends report failure with INVALID_HANDLE_VALUE, not null.
struct InvalidHandleEmpty {
    template <typename T>
    static T Value() { return reinterpret_cast<T>(INVALID_HANDLE_VALUE); }
};

template <typename T, auto CloseFunction, typename Empty = NullEmpty>
class UniqueResource {
public:
    UniqueResource() noexcept : value_(Empty::template Value<T>()) {}
    explicit UniqueResource(T value) noexcept : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueResource() { Reset(); }

    T Get() const noexcept { return value_; }
    bool IsValid() const noexcept { return value_ != Empty::template Value<T>(); }
    explicit operator bool() const noexcept { return IsValid(); }

    T Release() noexcept {
        T value = value_;
        value_ = Empty::template Value<T>();
        return value;
    }
    void Reset(T value = Empty::template Value<T>()) noexcept {
        if (IsValid()) CloseFunction(value_);
        value_ = value;
    }
    // For out-parameters: frees the current value first.
    T* Put() noexcept {
        Reset();
        return &value_;
    }

private:
    T value_;
};

namespace close_fn {
inline void Handle(HANDLE h) { ::CloseHandle(h); }
inline void Menu(HMENU h) { ::DestroyMenu(h); }
inline void Icon(HICON h) { ::DestroyIcon(h); }
inline void GdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void Dc(HDC h) { ::DeleteDC(h); }
inline void Module(HMODULE h) { ::FreeLibrary(h); }
inline void Local(HLOCAL h) { ::LocalFree(h); }
inline void Global(HGLOBAL h) { ::GlobalFree(h); }
inline void ImageList(HIMAGELIST h) { ::ImageList_Destroy(h); }
// Only for windows no parent destroys (a hidden owner); DestroyWindow must run on their thread.
inline void Window(HWND h) { ::DestroyWindow(h); }
inline void RegistryKey(HKEY h) { ::RegCloseKey(h); }
inline void PowerNotify(HPOWERNOTIFY h) { ::UnregisterPowerSettingNotification(h); }
inline void WinEventHook(HWINEVENTHOOK h) { ::UnhookWinEvent(h); }
// GdipDisposeImage / GdipDeleteGraphics; defined in comlib/unique_resource.cpp.
void GdiplusImage(Gdiplus::GpImage* image);
void GdiplusBitmap(Gdiplus::GpBitmap* bitmap);
void GdiplusGraphics(Gdiplus::GpGraphics* graphics);
}  // namespace close_fn

using UniqueHandle = UniqueResource<HANDLE, close_fn::Handle>;
using UniqueFile = UniqueResource<HANDLE, close_fn::Handle, InvalidHandleEmpty>;
using UniqueMenu = UniqueResource<HMENU, close_fn::Menu>;
using UniqueIcon = UniqueResource<HICON, close_fn::Icon>;
using UniqueFont = UniqueResource<HFONT, close_fn::GdiObject>;
using UniqueBitmap = UniqueResource<HBITMAP, close_fn::GdiObject>;
using UniqueBrush = UniqueResource<HBRUSH, close_fn::GdiObject>;
using UniquePen = UniqueResource<HPEN, close_fn::GdiObject>;
using UniqueMemoryDc = UniqueResource<HDC, close_fn::Dc>;
using UniqueModule = UniqueResource<HMODULE, close_fn::Module>;
using UniqueLocal = UniqueResource<HLOCAL, close_fn::Local>;
using UniqueGlobal = UniqueResource<HGLOBAL, close_fn::Global>;
using UniqueImageList = UniqueResource<HIMAGELIST, close_fn::ImageList>;
using UniqueWindow = UniqueResource<HWND, close_fn::Window>;
using UniqueRegistryKey = UniqueResource<HKEY, close_fn::RegistryKey>;
using UniquePowerNotify = UniqueResource<HPOWERNOTIFY, close_fn::PowerNotify>;
using UniqueWinEventHook = UniqueResource<HWINEVENTHOOK, close_fn::WinEventHook>;
using UniqueGdiplusImage = UniqueResource<Gdiplus::GpImage*, close_fn::GdiplusImage>;
using UniqueGdiplusBitmap = UniqueResource<Gdiplus::GpBitmap*, close_fn::GdiplusBitmap>;
using UniqueGdiplusGraphics = UniqueResource<Gdiplus::GpGraphics*, close_fn::GdiplusGraphics>;

// A COM interface pointer we hold one reference of; Release runs once. A template, so the
// interface only has to be complete where the alias is used.
namespace close_fn {
template <typename Interface>
void ComRelease(Interface* object) { object->Release(); }
}  // namespace close_fn
template <typename Interface>
using UniqueCom = UniqueResource<Interface*, close_fn::ComRelease<Interface>>;

// A DC from GetDC belongs to its window and goes back with ReleaseDC, not DeleteDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a DC for one scope and puts the old one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc ? ::SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (dc_ && old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};
