#pragma once
// A top-level window with its own registered class, bound to this object through GWLP_USERDATA.
#include <windows.h>

#include <string>

#include "comlib/unique_resource.h"
#include "comlib/window/control_base.h"

class MainWindowBase_CL : public ControlBase_CL {
public:
    static constexpr DWORD kDefaultStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

    MainWindowBase_CL() : ControlBase_CL(kTopLevelWindow) {}
    // Unbinds a window that still exists, so its later messages get default handling, and
    // destroys the hidden owner if the window's WM_NCDESTROY has not done so already.
    ~MainWindowBase_CL() override;

    // The message table: WM_CREATE -> OnCreate, WM_DESTROY -> OnDestroy then PostQuitMessage(0),
    // WM_SIZE -> OnSize, WM_PAINT -> OnPaint, WM_CLOSE -> OnClose (0 keeps the window);
    // then DefWindowProcW. Derived handlers end by calling this.
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual void OnDestroy() {}
    // 1 lets the window close, 0 keeps it.
    virtual int OnClose() { return 1; }
    virtual void OnCreate(CREATESTRUCTW* createStruct) { (void)createStruct; }
    // WM_SIZE's type (SIZE_RESTORED, ...) and new client size.
    virtual void OnSize(UINT sizeType, int clientWidth, int clientHeight) {
        (void)sizeType;
        (void)clientWidth;
        (void)clientHeight;
    }
    virtual void OnPaint() {}

    // Registers the class when needed and creates the window (owned by a hidden window when the
    // hidden-owner flag is set). Null when registration or creation fails.
    virtual HWND Create();
    // Call before Create; they change nothing on an existing window.
    virtual void SetClassName(const std::wstring& name) { className_ = name; }
    virtual void SetWindowName(const std::wstring& name) { windowName_ = name; }
    // The class icon; not owned (a LoadIconW resource icon is shared and never destroyed).
    virtual void SetIcon(HICON icon) { icon_ = icon; }

    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const std::wstring& ClassName() const { return className_; }
    const std::wstring& WindowName() const { return windowName_; }
    HWND ShadowOwner() const { return shadowOwner_.Get(); }
    bool HiddenOwner() const { return hiddenOwner_; }
    DWORD Style() const { return style_; }

protected:
    // The hidden, never-shown owner that keeps the real window off the taskbar. Null on failure.
    HWND CreateShadowOwner();

    void SetHiddenOwner(bool hidden) { hiddenOwner_ = hidden; }
    void SetStyle(DWORD style) { style_ = style; }
    // A menu bar handed to CreateWindowExW; the window destroys it with itself.
    void SetMenu(HMENU menu) { menu_ = menu; }
    void SetBackground(HBRUSH brush) { background_ = brush; }
    void SetInitialSize(int width, int height) {
        width_ = width;
        height_ = height;
    }
    void SetParentWindow(HWND parent) { parent_ = parent; }

    bool hiddenOwner_ = false;
    HICON icon_ = nullptr;
    std::wstring className_ = L"MainWindowClass";
    std::wstring windowName_ = L"WindowName";
    DWORD style_ = kDefaultStyle;
    HMENU menu_ = nullptr;
    HBRUSH background_ = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    int width_ = 640;
    int height_ = 480;
    HWND parent_ = nullptr;

private:
    // Registers className with this object's class fields and the given procedure.
    bool RegisterWindowClass(const std::wstring& className, WNDPROC procedure) const;

    UniqueWindow shadowOwner_;
};

// Shows the window, from the tray too (SWP_SHOWWINDOW), and brings it above the others: topmost
// for a moment, without keeping it there.
void BringWindowToFront(HWND window);
