#pragma once
// The keep-awake hotkey as the main window holds it: RegisterHotKey needs the window, so the
// registration lives here; what a key may be is data/'s rule.
#include <windows.h>

#include <string>

#include "data/awake_command.h"

class AwakeHotkey_CL {
public:
    static constexpr int kId = 1;

    // The stored key, unless it is none or the organisation switched the hotkey off.
    void Register(HWND window, const Hotkey& stored, bool off);
    // Registers next in place of old, the key held now (none switches it off). Unchanged: true
    // and nothing done. Refused: old is registered again, the system's error comes back, false.
    bool Change(HWND window, const Hotkey& old, const Hotkey& next, DWORD* error);
    void Unregister(HWND window);
    // The key as menus show it beside their item, empty while none is registered.
    std::wstring Shown(const Hotkey& stored) const { return registered_ ? FormatHotkey(stored) : std::wstring(); }
    bool Registered() const { return registered_; }

private:
    bool RegisterKey(HWND window, const Hotkey& hotkey, DWORD* error);

    bool registered_ = false;
};
