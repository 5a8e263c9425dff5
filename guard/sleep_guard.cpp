#include "guard/sleep_guard.h"

#include "comlib/log.h"
#include "comlib/utility.h"
#include "guard/log_sources.h"

namespace {
constexpr const char* kStateLogSource = guard_log::kMainDialog;
}  // namespace

void SleepGuard_CL::Apply(bool keepAwake) {
    if (keepAwake) {
        if (state_ != kProhibited) g_Logger.Log(L"★スリープを禁止します", kStateLogSource, __LINE__);
        state_ = kProhibited;
        // The system idle timer too: injected input is refused where the display reset alone
        // would leave the computer free to sleep (locked, secure desktop, elevated focus).
        if (!keepDisplay_) {
            ::SetThreadExecutionState(ES_SYSTEM_REQUIRED);
            return;
        }
        ::SetThreadExecutionState(ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = 0;
        input.mi.dy = 0;
        input.mi.dwFlags = MOUSEEVENTF_MOVE;
        const UINT sent = sendInput_(1, &input, sizeof(INPUT));
        NoteInputResult(sent, sent == 0 ? ::GetLastError() : ERROR_SUCCESS);
    } else {
        if (state_ != kAllowed) g_Logger.Log(L"★スリープを許可します", kStateLogSource, __LINE__);
        state_ = kAllowed;
        inputFailureLogged_ = false;
    }
}

void SleepGuard_CL::NoteInputResult(UINT sent, DWORD error) {
    if (sent != 0 || inputFailureLogged_) return;
    inputFailureLogged_ = true;
    g_Logger.Log(L"SendInput()エラー = 0x%08x : %s", kStateLogSource, __LINE__, static_cast<unsigned>(error),
                 SystemErrorText(error).c_str());
}

bool SleepGuard_CL::SwallowSysCommand(WPARAM command) const {
    const WPARAM kind = command & 0xFFF0;
    if (state_ != kProhibited || !keepDisplay_ || (kind != SC_SCREENSAVE && kind != SC_MONITORPOWER)) return false;
    g_Logger.Log(L"★スクリーンセーバー抑止しました", kStateLogSource, __LINE__);
    return true;
}
