#include "comlib/task_tray_icon.h"

#include <cwchar>

#include "comlib/log.h"

namespace {
void WINAPI RealSleep(DWORD milliseconds) { ::Sleep(milliseconds); }
}  // namespace

TrayShellCalls RealTrayShellCalls() { return TrayShellCalls{&::Shell_NotifyIconW, &RealSleep, &::MessageBoxW}; }

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
    icon_.Reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource),
                                                IMAGE_ICON, 16, 16, LR_LOADTRANSPARENT)));
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
    data_.hWnd = window;
    int budget = kFailureBudget;
    for (;;) {
        if (calls_.notifyIcon(NIM_ADD, &data_)) break;
        const DWORD error = ::GetLastError();
        g_Logger.Log(L"タスクトレイへアイコンを追加失敗。Shell_NotifyIconエラー %d, 0x%08x", __FILE__, __LINE__, 0,
                     static_cast<unsigned>(error));
        // A busy shell answers ERROR_TIMEOUT; that is worth waiting for without limit.
        if (error != ERROR_TIMEOUT && --budget <= 0) {
            const int answer = calls_.messageBox(window, L"タスクトレイへアイコンを追加できませんでした。",
                                                 caption_.c_str(), MB_RETRYCANCEL);
            if (answer != IDRETRY) {
                data_.hWnd = nullptr;
                return false;
            }
            budget = kFailureBudget;
        }
        // A timed-out add may have placed the icon after all; then a modify succeeds.
        if (calls_.notifyIcon(NIM_MODIFY, &data_)) {
            g_Logger.Log(L"タスクトレイへアイコンアップデート成功", __FILE__, __LINE__);
            break;
        }
        calls_.sleep(kRetryPauseMs);
    }
    g_Logger.Log(L"タスクトレイへアイコンを追加しました。", __FILE__, __LINE__);
    return true;
}

bool TaskTrayIcon_CL::AddAgain() {
    if (!data_.hWnd) return false;
    g_Logger.Log(L"タスクトレイアイコンを追加します。(IsTaskbarCreated)", __FILE__, __LINE__);
    return Add(data_.hWnd);
}

void TaskTrayIcon_CL::Remove() {
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
    if (data_.hWnd) calls_.notifyIcon(NIM_MODIFY, &data_);
    // The shell has its own copy now: the old icon may go.
    if (icon) icon_ = std::move(icon);
    return true;
}

void TaskTrayIcon_CL::ShowNotice(const std::wstring& title, const std::wstring& text) {
    if (!data_.hWnd) return;
    NOTIFYICONDATAW notice = data_;
    notice.uFlags = NIF_INFO;
    wcsncpy(notice.szInfoTitle, title.c_str(), sizeof(notice.szInfoTitle) / sizeof(wchar_t) - 1);
    wcsncpy(notice.szInfo, text.c_str(), sizeof(notice.szInfo) / sizeof(wchar_t) - 1);
    notice.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND;
    calls_.notifyIcon(NIM_MODIFY, &notice);
}
