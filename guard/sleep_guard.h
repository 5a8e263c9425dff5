#pragma once
#include <windows.h>

// The acting half of the sleep check: the sleep state and what follows from each decision.
class SleepGuard_CL {
public:
    static constexpr int kProhibited = 0;
    static constexpr int kAllowed = 1;

    using InputSender = UINT(WINAPI*)(UINT count, LPINPUT inputs, int size);

    int State() const { return state_; }

    // While awake: ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED without ES_CONTINUOUS (a one-shot
    // reset of both idle timers, no lasting request) and one zero-distance mouse move, which the
    // system counts as input. With the display free to sleep, ES_SYSTEM_REQUIRED alone and no
    // move: input would wake the display. Logs each change of state.
    void Apply(bool keepAwake);

    // "画面の電源を切らない": on by default.
    void SetKeepDisplay(bool on) { keepDisplay_ = on; }
    bool KeepDisplay() const { return keepDisplay_; }
    // SendInput, or a test's stand-in for it.
    void SetInputSender(InputSender sender) { sendInput_ = sender; }

    // SendInput's answer: 0 sent events (the lock screen, the secure desktop, or UIPI while an
    // elevated window has the focus) is logged once per prohibited period, not on every check.
    void NoteInputResult(UINT sent, DWORD error);

    // WM_SYSCOMMAND: true (and logged) for a screen-saver or monitor-off request while awake and
    // the display is kept on.
    bool SwallowSysCommand(WPARAM command) const;

private:
    int state_ = kProhibited;
    bool inputFailureLogged_ = false;
    bool keepDisplay_ = true;
    InputSender sendInput_ = &::SendInput;
};
