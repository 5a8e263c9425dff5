#include "view/main_dialog.h"

#include "comlib/log.h"


void SleepGuard_CL::Apply(bool keepAwake) {
    if (keepAwake) {
        if (state_ != kProhibited) g_Logger.Log(L"★スリープを禁止します", __FILE__, __LINE__);
        state_ = kProhibited;
        ::SetThreadExecutionState(ES_DISPLAY_REQUIRED);
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = 0;
        input.mi.dy = 0;
        input.mi.dwFlags = MOUSEEVENTF_MOVE;
        ::SendInput(1, &input, sizeof(INPUT));
    } else {
        if (state_ != kAllowed) g_Logger.Log(L"★スリープを許可します", __FILE__, __LINE__);
        state_ = kAllowed;
    }
}

bool SleepGuard_CL::SwallowSysCommand(WPARAM command) const {
    const WPARAM kind = command & 0xFFF0;
    if (state_ != kProhibited || (kind != SC_SCREENSAVE && kind != SC_MONITORPOWER)) return false;
    g_Logger.Log(L"★スクリーンセーバー抑止しました", __FILE__, __LINE__);
    return true;
}
