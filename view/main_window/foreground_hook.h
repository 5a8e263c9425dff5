#pragma once
// Follows the foreground window, so that a program coming to the front (or leaving it) is
// checked at once rather than at the next tick. Installed only while a record asks for it.
#include <windows.h>

#include "comlib/unique_resource.h"

class ForegroundHook_CL {
public:
    // Posted to the window when the foreground window has changed.
    static constexpr UINT kChangedMessage = WM_APP + 0x29;

    ForegroundHook_CL() = default;
    ForegroundHook_CL(const ForegroundHook_CL&) = delete;
    ForegroundHook_CL& operator=(const ForegroundHook_CL&) = delete;
    ~ForegroundHook_CL() { Follow(nullptr, false); }

    // SetWinEventHook(EVENT_SYSTEM_FOREGROUND, WINEVENT_OUTOFCONTEXT) while wanted, UnhookWinEvent
    // when not. On the window's thread: an out-of-context hook calls back on the thread that set
    // it, from its message loop.
    void Follow(HWND window, bool wanted);
    bool Installed() const { return hook_.IsValid(); }

private:
    UniqueWinEventHook hook_;
    bool failureLogged_ = false;
};
