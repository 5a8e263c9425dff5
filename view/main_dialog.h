#pragma once
// The acting half of the sleep check: the sleep state and what follows from each decision.
#include <windows.h>

class SleepGuard_CL {
public:
    static constexpr int kProhibited = 0;
    static constexpr int kAllowed = 1;

    int State() const { return state_; }

    // While awake: ES_DISPLAY_REQUIRED alone (a one-shot reset, no lasting request) and one
    // zero-distance mouse move, which the system counts as input. Logs each change of state.
    void Apply(bool keepAwake);

    // WM_SYSCOMMAND: true (and logged) for a screen-saver or monitor-off request while awake.
    bool SwallowSysCommand(WPARAM command) const;

private:
    int state_ = kProhibited;
};
