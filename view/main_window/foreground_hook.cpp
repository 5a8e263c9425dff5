#include "view/main_window/foreground_hook.h"

#include "comlib/log.h"
#include "comlib/utility.h"

namespace {
// A WINEVENTPROC carries no context: the one window that follows the foreground.
HWND g_notified = nullptr;

void CALLBACK ForegroundChanged(HWINEVENTHOOK, DWORD event, HWND, LONG, LONG, DWORD, DWORD) {
    if (event == EVENT_SYSTEM_FOREGROUND && g_notified)
        ::PostMessageW(g_notified, ForegroundHook_CL::kChangedMessage, 0, 0);
}
}  // namespace

void ForegroundHook_CL::Follow(HWND window, bool wanted) {
    if (wanted == hook_.IsValid()) return;
    if (!wanted) {
        hook_.Reset();
        g_notified = nullptr;
        return;
    }
    g_notified = window;
    hook_.Reset(::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, &ForegroundChanged, 0, 0,
                                  WINEVENT_OUTOFCONTEXT));
    if (!hook_ && !failureLogged_) {
        failureLogged_ = true;
        const DWORD error = ::GetLastError();
        g_Logger.Log(L"SetWinEventHook()エラー = 0x%08x : %s", __FILE__, __LINE__, static_cast<unsigned>(error),
                     SystemErrorText(error).c_str());
    }
    if (!hook_) g_notified = nullptr;
}
