#pragma once
// The program's one notification-area icon: added with a patient retry loop, re-added when
// Explorer restarts, removed when the main window goes.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "comlib/unique_resource.h"

// The system calls the add loop makes. Real by default; tests put in a shell that refuses
// or times out, a retry timer they tick themselves and a message box that answers at once.
struct TrayShellCalls {
    BOOL(WINAPI* notifyIcon)(DWORD message, PNOTIFYICONDATAW data);
    UINT_PTR(WINAPI* setTimer)(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure);
    BOOL(WINAPI* killTimer)(HWND window, UINT_PTR id);
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
    // The window's timer that drives the next attempt; the window hands its WM_TIMER to OnTimer.
    static constexpr UINT_PTR kRetryTimerId = 0x1201;
    static constexpr int kIconResource = 101;

    explicit TaskTrayIcon_CL(const TrayShellCalls& calls = RealTrayShellCalls());
    TaskTrayIcon_CL(const TaskTrayIcon_CL&) = delete;
    TaskTrayIcon_CL& operator=(const TaskTrayIcon_CL&) = delete;
    virtual ~TaskTrayIcon_CL();

    // Loads icon resource 101 at 16 x 16 and sets the callback message.
    void SetTrayIcon();
    void SetTip(const std::wstring& text);
    // The question asked after the failure budget is spent, in the user's language.
    void SetAddFailedText(const std::wstring& text) { addFailedText_ = text; }
    // First attempt at once; while the shell refuses, the retry timer tries again every
    // 2 seconds and the caller's thread goes on. True when the icon is in the tray now.
    bool Add(HWND window);
    // After a "TaskbarCreated" broadcast: adds the icon again if it had been added; false
    // (and nothing done) when it is not in the tray.
    bool AddAgain();
    // WM_TIMER of the window: true when it was the retry timer (and an attempt was made).
    bool OnTimer(UINT_PTR id);
    void Remove();
    // A notification balloon from the icon (NIF_INFO with infoFlags: NIIF_WARNING,
    // NIIF_INFO | NIIF_NOSOUND, ...); false when the icon is not in the tray or the shell
    // refused it. Texts are cut to the record's buffers.
    bool ShowBalloon(const std::wstring& title, const std::wstring& text, DWORD infoFlags);
    // True once the shell has taken the icon, until Remove.
    bool Added() const { return added_; }
    // True while a retry is due.
    bool Retrying() const { return retrying_; }

    // The state's icon (a resource, loaded at the system's small-icon size) and tip. Sent with
    // NIM_MODIFY only when one of them differs from what the icon shows; true when it did.
    // A taskbar restart adds the icon again with these.
    bool ShowState(int iconResource, const std::wstring& tip);

    bool IsTaskbarCreated(UINT message) const { return message == taskbarCreated_; }
    UINT TaskbarCreatedMessage() const { return taskbarCreated_; }
    // The window the icon belongs to; null while the icon is not in the tray.
    HWND Window() const { return data_.hWnd; }
    const NOTIFYICONDATAW& IconData() const { return data_; }

private:
    // One NIM_ADD (and NIM_MODIFY after a failure); arms the retry timer when neither took.
    void Attempt();
    void StopRetry();

    NOTIFYICONDATAW data_;
    UINT taskbarCreated_ = 0;
    std::wstring caption_;
    std::wstring addFailedText_ = L"タスクトレイへアイコンを追加できませんでした。";
    UniqueIcon icon_;
    TrayShellCalls calls_;
    int budget_ = kFailureBudget;
    bool added_ = false;
    bool retrying_ = false;
    // The retry box runs a modal loop; a tick or a broadcast inside it must not start another.
    bool asking_ = false;
    int stateIcon_ = 0;
};
