#pragma once
// The sleep guard: decides from one inputs value, acts on the system, and says what the tray
// shows and when the next check is due. It holds no window: the window forwards what it receives
// and shows what comes back.
#include <windows.h>

#include <string>
#include <vector>

#include "comlib/foreground_window.h"
#include "comlib/power_request.h"
#include "comlib/power_scheme.h"
#include "comlib/unique_resource.h"
#include "data/awake_command.h"
#include "data/awake_reason.h"
#include "data/policy.h"
#include "guard/awake_decision.h"
#include "guard/busy_tracker.h"
#include "guard/lid_keeper.h"
#include "guard/policy_rules.h"
#include "guard/sleep_guard.h"

class SaveData;

// The words the guard needs, from the text tables above it; a null function gives "".
struct GuardWords {
    // The power request's reason and the battery-hold log line.
    std::wstring (*reasonText)(const AwakeReason& reason) = nullptr;
    std::wstring (*trayTip)(const AwakeReason& reason) = nullptr;
};

// The system calls a test replaces: the clock, SendInput, the power-request calls, the
// monotonic clock of "at work", the process in front, and the power plan's calls and settings
// (null: the system's).
struct GuardSystem {
    GuardTime (*clock)() = &SystemGuardTime;
    SleepGuard_CL::InputSender sendInput = &::SendInput;
    PowerRequestCalls power = RealPowerRequestCalls();
    ULONGLONG(WINAPI* tickMs)() = &::GetTickCount64;
    DWORD (*foregroundProcess)() = &ForegroundProcessId;
    PowerSchemeCalls* scheme = nullptr;
};

// What the tray shows for a reason: an icon resource of resource.h and the tip.
struct TrayState {
    int iconId = 0;
    std::wstring tip;
};
TrayState TrayStateFor(const AwakeReason& reason, const GuardWords& words);

// What one check leaves for the window to show.
struct GuardOutcome {
    static constexpr UINT kNoWake = 0;
    AwakeReason reason;
    TrayState tray;
    // A timed session runs: milliseconds until its end, for a one-shot timer that runs the check
    // then. kNoWake: no timer.
    UINT wakeAfterMs = kNoWake;
};

class AwakeGuard_CL {
public:
    explicit AwakeGuard_CL(SaveData& data, GuardWords words = GuardWords(), GuardSystem system = GuardSystem());
    AwakeGuard_CL(const AwakeGuard_CL&) = delete;
    AwakeGuard_CL& operator=(const AwakeGuard_CL&) = delete;

    // Refreshes the snapshot (its changes logged), ends a timed session that is over, forgets
    // handed-over processes that have ended, and decides.
    AwakeReason Decide();
    // Decides and acts: the one-shot execution state and input, the power request, the state
    // lines and the battery-hold line (once per change).
    GuardOutcome Check();
    // Session, Off or Pid, logged; the caller runs Check after it. False (logged) for a process
    // that is neither open to it nor in the listing, and for any other kind.
    bool Apply(const AwakeCommand& command);
    // The hotkey: ends a running session, else starts one without an end; what ManualSessions
    // refuses comes back and nothing starts.
    SessionRefusal Toggle();
    // The organisation's policies read again (the reader logs them); true when they changed.
    bool ReadPolicies();
    const Policies& CurrentPolicies() const { return policies_; }
    // WatchedPrograms as watched records, after the user's own.
    const WatchedList_CL& PolicyWatched() const { return policyWatched_; }
    // The power plan may have changed: its "allow applications to prevent automatic sleep" is
    // read again at the next decision (once, not on every check).
    void PowerSettingsChanged() { windowsAllowsKnown_ = false; }
    // The window goes (and at WM_ENDSESSION): the power request is released and the lid's
    // action given back.
    void Stop() {
        power_.Release();
        lid_.Restore();
    }
    // At start: a lid action left changed by a run that did not end is given back.
    void RestoreLeftoverLid() { lid_.RestoreLeftover(); }
    // The page shows the lid choice only where there is a lid.
    bool LidPresent() { return lid_.LidPresent(); }

    int State() const { return sleep_.State(); }
    const AwakeReason& Reason() const { return reason_; }
    bool SessionActive() const;
    TrayState Tray() const { return TrayStateFor(reason_, words_); }
    // WM_SYSCOMMAND: true when a screen-saver or monitor-off request is to be swallowed.
    bool SwallowSysCommand(WPARAM command) const { return sleep_.SwallowSysCommand(command); }

private:
    // A process handed over on the command line, open with SYNCHRONIZE so its end can be seen.
    // One the user may not open (a service, another user's program) has no handle: it runs while
    // the listing shows its id with the creation time it had when handed over.
    struct HeldProcess {
        HandedProcess name;
        UniqueHandle process;
        uint64_t createTime = 0;
    };

    // One field of GuardInputs each: from the settings, the handed-over processes and the system.
    GuardInputs GatherInputs(const GuardTime& now) const;
    // The program in front and the programs at work, each read only while a record asks for it.
    void ReadConditions();
    bool WatchProcess(DWORD processId);
    void ForgetEndedProcesses();
    void LogBatteryHold(const AwakeReason& reason);
    void LogWindowsForbids();
    // The session the policies leave, stored and logged when it differs.
    void HoldSessionToPolicies(unsigned long long nowUtc);
    void LogSessionCut(const ManualSession& held) const;
    std::wstring ReasonWords(const AwakeReason& reason) const;
    // The power plan's calls: the test's, else the system's.
    PowerSchemeCalls& Scheme() const {
        return system_.scheme ? *system_.scheme : SystemPowerSchemeCalls::Instance();
    }
    UINT WakeAfterMs(unsigned long long nowUtc) const;

    SaveData& data_;
    GuardWords words_;
    GuardSystem system_;
    SleepGuard_CL sleep_;
    PowerRequest_CL power_;
    std::vector<HeldProcess> handed_;
    std::vector<ListedProcess> listing_;  // for the held processes without a handle
    LidKeeper_CL lid_;
    BusyTracker_CL busy_;
    std::wstring frontFileName_;
    std::vector<ProgramAtWork> atWork_;
    // The power request's reason: a program at work keeps its first text while it holds, so
    // that a new percentage is no new request.
    AwakeReason requestReason_;
    AwakeReason reason_;
    AwakeReason::HeldBack heldLogged_ = AwakeReason::HeldBack::None;
    PolicyReader_CL policyReader_;
    Policies policies_;
    WatchedList_CL policyWatched_;
    AcDcValues windowsAllows_{1, 1};
    bool windowsAllowsKnown_ = false;
    // The plan forbids keeping awake on the power source in use: now, and as last logged.
    bool windowsForbids_ = false;
    bool windowsForbidsLogged_ = false;
};
