#pragma once
// The update check of a running program: the fetch waits on a worker thread, the answer comes
// back to the main window as a message, and the notice waits until no other dialog or menu of
// the program is open.
#include <windows.h>

#include <memory>
#include <string>

#include "comlib/inet_http.h"
#include "update/update_check.h"

class UpdateRunner_CL {
public:
    // Posted by the worker when its fetch is over.
    static constexpr UINT kFetchDoneMessage = WM_APP + 0x18;
    // Posted to itself when a deferred notice may be shown now.
    static constexpr UINT kNoticeMessage = WM_APP + 0x19;
    static constexpr UINT_PTR kDeadlineTimerId = 0x1202;
    // The whole fetch, name resolution included, which WinInet's own time-outs do not cover.
    static constexpr UINT kDeadlineMs = 30000;

    UpdateRunner_CL(std::wstring host, std::wstring path, unsigned short port, std::wstring title,
                    std::wstring installedVersion);
    UpdateRunner_CL(const UpdateRunner_CL&) = delete;
    UpdateRunner_CL& operator=(const UpdateRunner_CL&) = delete;
    ~UpdateRunner_CL();

    // Starts the fetch unless the check is switched off, settled today or already running.
    void Start(HWND window);
    // The window's messages: true when the message was the runner's own and is answered.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The window goes: the handles are closed, which ends the worker's waiting WinInet call,
    // and the worker is given at most kStopWaitMs to end.
    void Stop();
    static constexpr DWORD kStopWaitMs = 500;

    // Tests wait less than kDeadlineMs; set before Start.
    void SetDeadlineMs(UINT deadlineMs) { deadlineMs_ = deadlineMs; }
    bool Fetching() const { return static_cast<bool>(fetch_); }
    // The WinInet handles of a fetch are open.
    bool HandlesOpen() const { return http_.InternetHandle() != nullptr; }
    bool NoticePending() const { return noticePending_; }
    UpdateCheck_CL& Check() { return check_; }

private:
    struct Fetch;
    static unsigned __stdcall Worker(void* parameter);
    void OnFetchDone();
    void OnDeadline();
    // Another modal dialog or a menu of the program is open.
    bool WindowBusy() const;
    void ShowNoticeWhenFree();

    UpdateCheck_CL check_;
    std::wstring host_;
    std::wstring path_;
    unsigned short port_;
    std::wstring title_;
    std::wstring installedVersion_;
    HWND window_ = nullptr;
    // The handles belong to this thread; the worker only borrows the request handle's value.
    InetHttp_CL http_;
    std::shared_ptr<Fetch> fetch_;
    UniqueHandle worker_;  // the running fetch's thread, waited for only at Stop
    int today_ = 0;
    int menuDepth_ = 0;
    UINT deadlineMs_ = kDeadlineMs;
    bool noticePending_ = false;
    UpdateVerdict verdict_;
};
