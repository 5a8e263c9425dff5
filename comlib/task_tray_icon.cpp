#include "comlib/task_tray_icon.h"

#include <cwchar>

#include "comlib/log.h"

TrayShellCalls RealTrayShellCalls() {
    return TrayShellCalls{&::Shell_NotifyIconW, &::SetTimer, &::KillTimer, &::MessageBoxW};
}

TaskTrayIcon_CL::TaskTrayIcon_CL(const TrayShellCalls& calls) : data_(), caption_(L"DormiGuard"), calls_(calls) {
    // Explorer broadcasts this registered message when it (re)creates the taskbar, which
    // forgets every icon it held.
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    g_Logger.Log(L"タスクバーリスタートメッセージ Id = %d", __FILE__, __LINE__, static_cast<int>(taskbarCreated_));
    data_.cbSize = sizeof(NOTIFYICONDATAW);
}

TaskTrayIcon_CL::~TaskTrayIcon_CL() {
    if (data_.hWnd) Remove();
}

void TaskTrayIcon_CL::SetTrayIcon() {
    // The notification area draws at the system DPI, whose small-icon size GetSystemMetrics gives.
    icon_.Reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource),
                                                IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                ::GetSystemMetrics(SM_CYSMICON), LR_LOADTRANSPARENT)));
    data_.hIcon = icon_.Get();
    data_.uFlags |= NIF_MESSAGE | NIF_ICON;
    data_.uCallbackMessage = kCallbackMessage;
}

void TaskTrayIcon_CL::SetTip(const std::wstring& text) {
    data_.uFlags |= NIF_TIP;
    const size_t capacity = sizeof(data_.szTip) / sizeof(data_.szTip[0]);
    wcsncpy(data_.szTip, text.c_str(), capacity - 1);
    data_.szTip[capacity - 1] = L'\0';
}

bool TaskTrayIcon_CL::Add(HWND window) {
    StopRetry();
    data_.hWnd = window;
    added_ = false;
    budget_ = kFailureBudget;
    Attempt();
    return added_;
}

void TaskTrayIcon_CL::Attempt() {
    if (calls_.notifyIcon(NIM_ADD, &data_)) {
        added_ = true;
        g_Logger.Log(L"タスクトレイへアイコンを追加しました。", __FILE__, __LINE__);
        return;
    }
    const DWORD error = ::GetLastError();
    g_Logger.Log(L"タスクトレイへアイコンを追加失敗。Shell_NotifyIconエラー %d, 0x%08x", __FILE__, __LINE__, 0,
                 static_cast<unsigned>(error));
    // A busy shell answers ERROR_TIMEOUT; that is worth waiting for without limit.
    if (error != ERROR_TIMEOUT && --budget_ <= 0) {
        asking_ = true;
        const int answer = calls_.messageBox(data_.hWnd, addFailedText_.c_str(),
                                             caption_.c_str(), MB_RETRYCANCEL);
        asking_ = false;
        if (answer != IDRETRY) {
            data_.hWnd = nullptr;
            return;
        }
        budget_ = kFailureBudget;
    }
    // A timed-out add may have placed the icon after all; then a modify succeeds.
    if (calls_.notifyIcon(NIM_MODIFY, &data_)) {
        g_Logger.Log(L"タスクトレイへアイコンアップデート成功", __FILE__, __LINE__);
        added_ = true;
        g_Logger.Log(L"タスクトレイへアイコンを追加しました。", __FILE__, __LINE__);
        return;
    }
    // A timer instead of a pause: the sleep check and every other message go on meanwhile.
    retrying_ = true;
    calls_.setTimer(data_.hWnd, kRetryTimerId, kRetryPauseMs, nullptr);
}

void TaskTrayIcon_CL::StopRetry() {
    if (!retrying_) return;
    retrying_ = false;
    calls_.killTimer(data_.hWnd, kRetryTimerId);
}

bool TaskTrayIcon_CL::OnTimer(UINT_PTR id) {
    if (id != kRetryTimerId) return false;
    if (!retrying_ || asking_) return true;
    StopRetry();
    Attempt();
    return true;
}

bool TaskTrayIcon_CL::AddAgain() {
    if (!data_.hWnd || asking_) return false;
    g_Logger.Log(L"タスクトレイアイコンを追加します。(IsTaskbarCreated)", __FILE__, __LINE__);
    return Add(data_.hWnd);
}

void TaskTrayIcon_CL::Remove() {
    StopRetry();
    added_ = false;
    g_Logger.Log(L"タスクトレイアイコンを削除しました。", __FILE__, __LINE__);
    icon_.Reset();
    data_.hIcon = nullptr;
    // Sent even when the icon is not in the tray; the shell's refusal is harmless then.
    calls_.notifyIcon(NIM_DELETE, &data_);
    data_.hWnd = nullptr;
}

bool TaskTrayIcon_CL::ShowState(int iconResource, const std::wstring& tip) {
    const size_t capacity = sizeof(data_.szTip) / sizeof(data_.szTip[0]);
    const std::wstring shownTip = tip.substr(0, capacity - 1);
    if (iconResource == stateIcon_ && shownTip == data_.szTip) return false;
    UniqueIcon icon;
    if (iconResource != stateIcon_) {
        icon.Reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconResource),
                                                   IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                   ::GetSystemMetrics(SM_CYSMICON), LR_LOADTRANSPARENT)));
        if (icon) data_.hIcon = icon.Get();
        stateIcon_ = iconResource;
    }
    SetTip(shownTip);
    // While not in the tray the next add carries the new icon and tip.
    if (added_) calls_.notifyIcon(NIM_MODIFY, &data_);
    // The shell has its own copy now: the old icon may go.
    if (icon) icon_ = std::move(icon);
    return true;
}

bool TaskTrayIcon_CL::ShowBalloon(const std::wstring& title, const std::wstring& text, DWORD infoFlags) {
    if (!added_) return false;
    NOTIFYICONDATAW balloon = data_;
    balloon.uFlags = NIF_INFO;
    const size_t titleCapacity = sizeof(balloon.szInfoTitle) / sizeof(balloon.szInfoTitle[0]);
    const size_t textCapacity = sizeof(balloon.szInfo) / sizeof(balloon.szInfo[0]);
    wcsncpy(balloon.szInfoTitle, title.c_str(), titleCapacity - 1);
    balloon.szInfoTitle[titleCapacity - 1] = L'\0';
    wcsncpy(balloon.szInfo, text.c_str(), textCapacity - 1);
    balloon.szInfo[textCapacity - 1] = L'\0';
    balloon.dwInfoFlags = infoFlags;
    // A copy: the record used for later adds keeps no balloon to show again.
    return calls_.notifyIcon(NIM_MODIFY, &balloon) != FALSE;
}
