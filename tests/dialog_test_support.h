#pragma once
// What the dialog tests share: COM, OLE and the common controls started once per executable,
// an owner window, and reading controls back from their windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>

#include "comlib/unique_resource.h"

// As the program's start does: OLE (COM included) and the list-view and tab classes.
class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::OleInitialize(nullptr);
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    void TearDown() override { ::OleUninitialize(); }
};

// A plain visible top-level window to own the dialogs, at a given screen rectangle.
inline UniqueWindow CreateOwnerWindow(const RECT& rect) {
    static const wchar_t kClass[] = L"DgTestOwnerWindow";
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClass;
    ::RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    return UniqueWindow(::CreateWindowExW(0, kClass, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, rect.left, rect.top,
                                          rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr));
}

inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

// A child window's rectangle in its parent's client coordinates.
inline RECT ChildRect(HWND child) {
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

inline std::wstring ItemText(HWND list, int item, int subItem) {
    wchar_t text[512] = {};
    LVITEMW request = {};
    request.iSubItem = subItem;
    request.pszText = text;
    request.cchTextMax = 512;
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&request));
    return text;
}

inline UINT ItemState(HWND list, int item, UINT mask) {
    return static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
}

inline void SetItemState(HWND list, int item, UINT state, UINT mask) {
    LVITEMW change = {};
    change.state = state;
    change.stateMask = mask;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&change));
}

inline int ItemCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

inline bool RectsEqual(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}
