#pragma once
// Reading and changing another process's list views and menus: list-view messages carry
// pointers that are only valid in the process that owns the control, so the structures
// travel through memory allocated in that process (VirtualAllocEx / WriteProcessMemory).
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "comlib/unique_resource.h"

class RemoteListView {
public:
    explicit RemoteListView(HWND list);
    ~RemoteListView();
    RemoteListView(const RemoteListView&) = delete;
    RemoteListView& operator=(const RemoteListView&) = delete;

    bool Valid() const { return memory_ != nullptr; }
    int Count() const;
    std::wstring Text(int item, int subItem) const;
    std::wstring ColumnText(int column) const;
    UINT State(int item, UINT mask) const;
    // The item's index in its small image list, or I_IMAGENONE.
    int Image(int item) const;
    // LVM_SETITEMSTATE through the owner's memory; -1 applies to every item.
    bool SetState(int item, UINT state, UINT mask) const;
    // Checked (1), unchecked (0) or no check box (-1).
    int CheckState(int item) const;
    int FindText(const std::wstring& text, int subItem = 0) const;
    // The item's bounds in screen coordinates.
    RECT ItemScreenRect(int item) const;

private:
    HWND list_;
    UniqueHandle process_;
    void* memory_ = nullptr;
};

// A copy of a structure inside another process, for a message whose lParam points to one that
// the system does not carry across processes (WM_DPICHANGED's rectangle).
class RemoteCopy {
public:
    RemoteCopy(DWORD processId, const void* data, SIZE_T size);
    ~RemoteCopy();
    RemoteCopy(const RemoteCopy&) = delete;
    RemoteCopy& operator=(const RemoteCopy&) = delete;
    LPARAM Address() const { return reinterpret_cast<LPARAM>(memory_); }

private:
    UniqueHandle process_;
    void* memory_ = nullptr;
};

// The title of a tab control's tab, read through the owner's memory.
std::wstring RemoteTabText(HWND tab, int index);

// The first visible top-level window of a process with this class (null for any) and title.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const std::wstring& title);
// A child with this control id, searched through all descendants.
HWND FindDescendantById(HWND parent, int id);
// A descendant of this window class (the n-th one met).
HWND FindDescendantByClass(HWND parent, const wchar_t* className, int index = 0);
// The popup menu a process shows (window class "#32768"), and its HMENU (MN_GETHMENU).
HWND FindPopupMenuWindow(DWORD processId);
HMENU PopupMenuHandle(HWND menuWindow);

// Real input through the system's input queue.
void SendKey(WORD virtualKey);
void ClickAt(POINT screen, bool right);
