#pragma once
// The program's one notification-area icon: added with a patient retry loop, re-added when
// Explorer restarts, removed when the main window goes.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "comlib/unique_resource.h"

// The system calls the add loop makes. Real by default; tests put in a shell that refuses
// or times out, a pause that does not wait and a message box that answers at once.
struct TrayShellCalls {
    BOOL(WINAPI* notifyIcon)(DWORD message, PNOTIFYICONDATAW data);
    void(WINAPI* sleep)(DWORD milliseconds);
    int(WINAPI* messageBox)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
};

TrayShellCalls RealTrayShellCalls();

class TaskTrayIcon_CL {
public:
    // Mouse events on the icon reach the window as this message; lParam is the mouse message.
    static constexpr UINT kCallbackMessage = 0x700;
    // Failures that are not time-outs before the user is asked whether to go on.
    static constexpr int kFailureBudget = 60;
    static constexpr DWORD kRetryPauseMs = 2000;
    static constexpr int kIconResource = 101;

    explicit TaskTrayIcon_CL(const TrayShellCalls& calls = RealTrayShellCalls());
    TaskTrayIcon_CL(const TaskTrayIcon_CL&) = delete;
    TaskTrayIcon_CL& operator=(const TaskTrayIcon_CL&) = delete;
    virtual ~TaskTrayIcon_CL();

    // Loads icon resource 101 at 16 x 16 and sets the callback message.
    void SetTrayIcon();
    void SetTip(const std::wstring& text);
    // Keeps trying until the shell takes the icon; false only when the user gave up.
    bool Add(HWND window);
    // After a "TaskbarCreated" broadcast: adds the icon again if it had been added; false
    // (and nothing done) when it is not in the tray.
    bool AddAgain();
    void Remove();

    // The state's icon (a resource, loaded at the system's small-icon size) and tip. Sent with
    // NIM_MODIFY only when one of them differs from what the icon shows; true when it did.
    // A taskbar restart adds the icon again with these.
    bool ShowState(int iconResource, const std::wstring& tip);
    // A short notification from the icon (NIF_INFO, no sound); nothing while not in the tray.
    void ShowNotice(const std::wstring& title, const std::wstring& text);

    bool IsTaskbarCreated(UINT message) const { return message == taskbarCreated_; }
    UINT TaskbarCreatedMessage() const { return taskbarCreated_; }
    // The window the icon belongs to; null while the icon is not in the tray.
    HWND Window() const { return data_.hWnd; }
    const NOTIFYICONDATAW& IconData() const { return data_; }

private:
    NOTIFYICONDATAW data_;
    UINT taskbarCreated_ = 0;
    std::wstring caption_;
    UniqueIcon icon_;
    TrayShellCalls calls_;
    int stateIcon_ = 0;
};
