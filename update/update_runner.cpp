#include "update/update_runner.h"

#include <process.h>

#include <atomic>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/unique_resource.h"

// Shared by the main thread and the worker; whoever lets go last frees it. The worker touches
// nothing else of the program, so it may still wait in WinInet while the process ends.
struct UpdateRunner_CL::Fetch {
    HINTERNET request = nullptr;  // borrowed: closed by the main thread only
    HWND window = nullptr;
    HttpResponse response;
    bool sent = false;
    int got = 0;
    std::atomic<bool> done{false};
};

UpdateRunner_CL::UpdateRunner_CL(std::wstring host, std::wstring path, unsigned short port, std::wstring title,
                                 std::wstring installedVersion)
    : check_(&g_Inifile, host, path, port),
      host_(std::move(host)),
      path_(std::move(path)),
      port_(port),
      title_(std::move(title)),
      installedVersion_(std::move(installedVersion)) {}

UpdateRunner_CL::~UpdateRunner_CL() { Stop(); }

unsigned __stdcall UpdateRunner_CL::Worker(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Fetch>> held(static_cast<std::shared_ptr<Fetch>*>(parameter));
    Fetch& fetch = **held;
    fetch.sent = SendHttpRequest(fetch.request, &fetch.response);
    if (fetch.sent) fetch.got = ReadHttpBody(fetch.request, fetch.response.contentLength, &fetch.response);
    fetch.done.store(true, std::memory_order_release);
    // A window that is gone by now refuses the message; nothing else is touched.
    ::PostMessageW(fetch.window, kFetchDoneMessage, 0, 0);
    return 0;
}

void UpdateRunner_CL::Start(HWND window) {
    window_ = window;
    if (fetch_ || !check_.ShouldFetch(&today_)) return;
    // Opening the handles never waits: WinInet resolves and connects in the send.
    if (!http_.Open() || !http_.Connect(host_, port_) || !http_.OpenRequest(path_)) {
        http_.Close();
        return;
    }
    auto fetch = std::make_shared<Fetch>();
    fetch->request = http_.RequestHandle();
    fetch->window = window;
    auto* parameter = new std::shared_ptr<Fetch>(fetch);
    UniqueHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Worker, parameter, 0, nullptr)));
    if (!thread) {
        g_Logger.Log(L"更新確認のスレッドを開始できませんでした: 0x%08x", __FILE__, __LINE__,
                     static_cast<unsigned>(::GetLastError()));
        delete parameter;
        http_.Close();
        return;
    }
    // Kept only for Stop: otherwise the worker ends by itself.
    worker_ = std::move(thread);
    fetch_ = std::move(fetch);
    ::SetTimer(window, kDeadlineTimerId, deadlineMs_, nullptr);
}

bool UpdateRunner_CL::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case kFetchDoneMessage:
            OnFetchDone();
            return true;
        case kNoticeMessage:
            ShowNoticeWhenFree();
            return true;
        case WM_TIMER:
            if (wParam != kDeadlineTimerId) return false;
            OnDeadline();
            return true;
        // Sent to the owner by the menu bar and by TrackPopupMenu alike.
        case WM_ENTERMENULOOP:
            ++menuDepth_;
            return false;
        case WM_EXITMENULOOP:
            if (menuDepth_ > 0) --menuDepth_;
            if (noticePending_) ::PostMessageW(window_, kNoticeMessage, 0, 0);
            return false;
        // A modal dialog disables its owner while it runs and enables it when it ends.
        case WM_ENABLE:
            if (wParam && noticePending_) ::PostMessageW(window_, kNoticeMessage, 0, 0);
            return false;
        default:
            return false;
    }
}

void UpdateRunner_CL::OnFetchDone() {
    if (!fetch_ || !fetch_->done.load(std::memory_order_acquire)) return;
    const std::shared_ptr<Fetch> fetch = std::move(fetch_);
    worker_.Reset();
    ::KillTimer(window_, kDeadlineTimerId);
    LogDeferredLines(fetch->response.log);
    http_.Close();
    if (!fetch->sent) return;
    const HttpResponse& response = fetch->response;
    verdict_ = check_.Settle(response.contentLength, fetch->got, response.body.empty() ? nullptr : response.body.data(),
                             today_, installedVersion_);
    if (!verdict_.notify) return;
    noticePending_ = true;
    ShowNoticeWhenFree();
}

void UpdateRunner_CL::OnDeadline() {
    ::KillTimer(window_, kDeadlineTimerId);
    if (!fetch_) return;
    g_Logger.Log(L"更新情報の取得が %d 秒で終わらないため打ち切りました", __FILE__, __LINE__,
                 static_cast<int>(deadlineMs_ / 1000));
    // Closing the handles makes the worker's waiting WinInet call return; its late answer
    // finds no fetch and is dropped. Nothing is recorded, so the next run tries again.
    http_.Close();
    fetch_.reset();
    worker_.Reset();
}

bool UpdateRunner_CL::WindowBusy() const {
    return !::IsWindowEnabled(window_) || menuDepth_ > 0 || IsUpdateNoticeBusy();
}

void UpdateRunner_CL::ShowNoticeWhenFree() {
    if (!noticePending_ || !window_ || WindowBusy()) return;
    noticePending_ = false;
    check_.Notify(verdict_, title_, installedVersion_, window_);
}

void UpdateRunner_CL::Stop() {
    if (window_) ::KillTimer(window_, kDeadlineTimerId);
    noticePending_ = false;
    http_.Close();
    // A worker that does not end in time is left to end by itself: it touches only its Fetch.
    if (worker_) ::WaitForSingleObject(worker_.Get(), kStopWaitMs);
    worker_.Reset();
    fetch_.reset();
}
