#include "comlib/window/main_window_base.h"


MainWindowBase_CL::~MainWindowBase_CL() {
    HWND window = Window();
    if (window && ::IsWindow(window) &&
        ::GetWindowLongPtrW(window, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

LRESULT CALLBACK MainWindowBase_CL::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A pointer-sized slot: the object's address does not fit in 32 bits on x64.
    auto* object = reinterpret_cast<MainWindowBase_CL*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!object) {
        // WM_NCCREATE, WM_GETMINMAXINFO, WM_NCCALCSIZE come before WM_CREATE: default handling.
        if (message != WM_CREATE) return ::DefWindowProcW(window, message, wParam, lParam);
        object = static_cast<MainWindowBase_CL*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (!object) return ::DefWindowProcW(window, message, wParam, lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        object->SetWindow(window);
    }
    if (message == WM_NCDESTROY) {
        // The last message: unbind, so nothing can reach the object through a dead window.
        const LRESULT result = object->HandleMessage(window, message, wParam, lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (object->Window() == window) object->SetWindow(nullptr);
        object->shadowOwner_.Reset();
        return result;
    }
    return object->HandleMessage(window, message, wParam, lParam);
}

LRESULT MainWindowBase_CL::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
        break;
    case WM_DESTROY:
        OnDestroy();
        ::PostQuitMessage(0);
        break;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_PAINT:
        OnPaint();
        break;
    case WM_CLOSE:
        if (OnClose() == 0) return 0;
        break;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool MainWindowBase_CL::RegisterWindowClass(const std::wstring& className, WNDPROC procedure) const {
    const HINSTANCE module = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    if (::GetClassInfoExW(module, className.c_str(), &windowClass)) return true;
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;  // the object lives in GWLP_USERDATA, not in extra bytes
    windowClass.hInstance = module;
    windowClass.hIcon = icon_;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background_;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className.c_str();
    windowClass.hIconSm = nullptr;
    // A failure is the caller's to report: Create returns null.
    return ::RegisterClassExW(&windowClass) != 0;
}

HWND MainWindowBase_CL::CreateShadowOwner() {
    const std::wstring className = className_ + L"_SHARDOW";
    const std::wstring windowName = windowName_ + L"_SHARDOW";
    if (!RegisterWindowClass(className, ::DefWindowProcW)) return nullptr;
    HWND owner = ::CreateWindowExW(0, className.c_str(), windowName.c_str(), style_ & ~WS_VISIBLE, CW_USEDEFAULT,
                                   CW_USEDEFAULT, width_, height_, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    shadowOwner_.Reset(owner);
    return owner;
}

HWND MainWindowBase_CL::Create() {
    if (!RegisterWindowClass(className_, StaticWindowProc)) return nullptr;
    HWND parent = parent_;
    if (hiddenOwner_) parent = CreateShadowOwner();
    HWND window = ::CreateWindowExW(0, className_.c_str(), windowName_.c_str(), style_, CW_USEDEFAULT, CW_USEDEFAULT,
                                    width_, height_, parent, menu_, ::GetModuleHandleW(nullptr), this);
    if (!window) shadowOwner_.Reset();
    SetWindow(window);
    return window;
}

void BringWindowToFront(HWND window) {
    if (::IsIconic(window)) ::ShowWindow(window, SW_SHOWNOACTIVATE);
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    ::Sleep(100);
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}
