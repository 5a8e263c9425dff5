#include "guard/hand_over.h"

#include <string>

#include "comlib/log.h"
#include "guard/log_sources.h"

bool ReadHandOver(const COPYDATASTRUCT* data, AwakeCommand* command) {
    if (!data || data->dwData != kHandOverTag || data->cbData == 0 || data->cbData > kHandOverMaxBytes ||
        data->cbData % sizeof(wchar_t) != 0 || !data->lpData) {
        g_Logger.Log(L"WM_COPYDATAを無視しました dwData = 0x%08x, cbData = %u", guard_log::kMainDialogAwake, __LINE__,
                     static_cast<unsigned>(data ? data->dwData : 0), static_cast<unsigned>(data ? data->cbData : 0));
        return false;
    }
    std::wstring text(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    if (text.find(L'\0') != std::wstring::npos || !ParseHandOverText(text, command)) {
        g_Logger.Log(L"WM_COPYDATAを無視しました = %s", guard_log::kMainDialogAwake, __LINE__, text.c_str());
        return false;
    }
    g_Logger.Log(L"コマンドを受け取りました = %s", guard_log::kMainDialogAwake, __LINE__, text.c_str());
    return true;
}

bool HandOverHold_CL::PassOrHold(const AwakeCommand& command) {
    if (open_) return true;
    g_Logger.Log(L"起動中のためコマンドを保留します = %s", guard_log::kMainDialogAwake, __LINE__,
                 HandOverText(command).c_str());
    held_.push_back(command);
    return false;
}

std::vector<AwakeCommand> HandOverHold_CL::Open() {
    open_ = true;
    std::vector<AwakeCommand> held;
    held.swap(held_);
    return held;
}
