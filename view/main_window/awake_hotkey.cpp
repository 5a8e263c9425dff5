#include "view/main_window/awake_hotkey.h"

#include "comlib/log.h"
#include "comlib/utility.h"

namespace {
// The lines keep the source name they have always had.
constexpr char kLogSource[] = "view/main_dialog_awake.cpp";
}  // namespace

bool AwakeHotkey_CL::RegisterKey(HWND window, const Hotkey& hotkey, DWORD* error) {
    if (::RegisterHotKey(window, kId, HotkeyRegistrationModifiers(hotkey), hotkey.key)) return true;
    *error = ::GetLastError();
    g_Logger.Log(L"RegisterHotKey()エラー = 0x%08x : %s (%s)", kLogSource, __LINE__, static_cast<unsigned>(*error),
                 SystemErrorText(*error).c_str(), FormatHotkey(hotkey).c_str());
    return false;
}

void AwakeHotkey_CL::Register(HWND window, const Hotkey& stored, bool off) {
    if (off && registered_) Unregister(window);
    if (off || registered_ || stored.key == 0) return;
    DWORD error = ERROR_SUCCESS;
    registered_ = RegisterKey(window, stored, &error);
}

bool AwakeHotkey_CL::Change(HWND window, const Hotkey& old, const Hotkey& next, DWORD* error) {
    *error = ERROR_SUCCESS;
    if (next.key == old.key && next.modifiers == old.modifiers && (registered_ || next.key == 0)) return true;
    // One id: the old key goes first, else the system would refuse the same id twice.
    Unregister(window);
    if (next.key != 0 && !RegisterKey(window, next, error)) {
        if (old.key != 0)
            registered_ = ::RegisterHotKey(window, kId, HotkeyRegistrationModifiers(old), old.key) != FALSE;
        return false;
    }
    registered_ = next.key != 0;
    return true;
}

void AwakeHotkey_CL::Unregister(HWND window) {
    if (registered_) ::UnregisterHotKey(window, kId);
    registered_ = false;
}
