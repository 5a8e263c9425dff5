#include "guard/awake_guard.h"

#include <algorithm>

#include "comlib/log.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "guard/log_sources.h"
#include "resource.h"

TrayState TrayStateFor(const AwakeReason& reason, const GuardWords& words) {
    TrayState tray;
    tray.iconId = reason.KeepsAwake() ? IDI_AWAKE_PROHIBITED : IDI_AWAKE_ALLOWED;
    if (words.trayTip) tray.tip = words.trayTip(reason);
    return tray;
}

AwakeGuard_CL::AwakeGuard_CL(SaveData& data, GuardWords words, GuardSystem system)
    : data_(data), words_(words), system_(system), power_(system.power) {
    sleep_.SetInputSender(system.sendInput);
}

bool AwakeGuard_CL::SessionActive() const { return data_.session.active; }

std::wstring AwakeGuard_CL::ReasonWords(const AwakeReason& reason) const {
    return words_.reasonText ? words_.reasonText(reason) : std::wstring();
}

AwakeReason AwakeGuard_CL::Decide() {
    data_.RefreshProcesses();
    const GuardTime now = system_.clock();
    const ManualSession& session = data_.session;
    if (session.active && !session.indefinite && session.endUtc <= now.utc) {
        g_Logger.Log(L"手動のスリープ禁止が終了しました", guard_log::kSaveData, __LINE__);
        data_.EndSession();
    }
    HoldSessionToPolicies(now.utc);
    ForgetEndedProcesses();
    if (!windowsAllowsKnown_) {
        // Where the plan cannot be read (no powrprof functions, no plans) it counts as allowing.
        if (ReadAllowSystemRequired(*system_.powerScheme, windowsAllows_) != ERROR_SUCCESS) windowsAllows_ = {1, 1};
        windowsAllowsKnown_ = true;
    }
    const GuardInputs inputs = GatherInputs(now);
    windowsForbids_ = WindowsForbidsKeepingAwake(inputs.windowsAllows, inputs.power);
    return DecideAwakeReason(inputs);
}

namespace {
bool SameSession(const ManualSession& a, const ManualSession& b) {
    return a.active == b.active && a.indefinite == b.indefinite && a.endUtc == b.endUtc;
}
}  // namespace

void AwakeGuard_CL::LogSessionCut(const ManualSession& held) const {
    g_Logger.Log(L"手動のスリープ禁止をポリシー MaxSessionMinutes=%u により短縮します = %s", guard_log::kSaveData,
                 __LINE__, static_cast<unsigned>(policies_.maxSessionMinutes.value_or(0)),
                 FormatSessionValue(held).c_str());
}

void AwakeGuard_CL::HoldSessionToPolicies(unsigned long long nowUtc) {
    // A session from before the policies came (the INI file, a refresh) is held to them too.
    const ManualSession held = SessionUnderPolicies(data_.session, nowUtc, policies_);
    if (SameSession(held, data_.session)) return;
    if (!held.active) {
        g_Logger.Log(L"手動のスリープ禁止をポリシー ManualSessions=%u により終了します", guard_log::kSaveData, __LINE__,
                     static_cast<unsigned>(policies_.manualSessions.value_or(0)));
        data_.EndSession();
        return;
    }
    LogSessionCut(held);
    data_.StartSession(held);
}

bool AwakeGuard_CL::ReadPolicies() {
    Policies read = policyReader_.Read();
    if (read == policies_) return false;
    policies_ = std::move(read);
    policyWatched_.Clear();
    for (const std::wstring& program : policies_.watchedPrograms) policyWatched_.AddWatched(program, 1);
    // A Group Policy refresh may have brought the power plan's setting too.
    windowsAllowsKnown_ = false;
    return true;
}

GuardInputs AwakeGuard_CL::GatherInputs(const GuardTime& now) const {
    GuardInputs inputs;
    inputs.now = now;
    inputs.snapshot = &data_.processes.Current();
    inputs.watched = &data_.watched;
    inputs.hourTable = data_.hourTable;
    inputs.dayTable = data_.dayTable;
    inputs.session = data_.session;
    for (const HeldProcess& held : handed_) inputs.handed.push_back(held.name);
    inputs.awake = EffectiveAwakeSettings(data_.awake, policies_);
    inputs.policies = &policies_;
    inputs.policyWatched = &policyWatched_;
    inputs.windowsAllows = windowsAllows_;
    // Without a battery rule, and while the plan says the same on mains and on battery, the
    // battery is not even asked.
    if (inputs.awake.acOnly || inputs.awake.batteryFloor != 0 || windowsAllows_.ac != windowsAllows_.dc)
        inputs.power = data_.CurrentPowerStatus();
    return inputs;
}

GuardOutcome AwakeGuard_CL::Check() {
    const AwakeReason reason = Decide();
    const bool display = EffectiveAwakeSettings(data_.awake, policies_).display;
    sleep_.SetKeepDisplay(display);
    // Where the plan forbids it, the effects are still made: they are all the guard has.
    sleep_.Apply(reason.KeepsAwake());
    if (reason.KeepsAwake()) {
        // The request names what keeps awake, not the plan's refusal.
        AwakeReason named = reason;
        named.windowsForbids = false;
        power_.Hold(ReasonWords(named), display);
    } else {
        power_.Release();
    }
    LogBatteryHold(reason);
    LogWindowsForbids();
    reason_ = reason;
    GuardOutcome outcome;
    outcome.reason = reason;
    outcome.tray = TrayStateFor(reason, words_);
    outcome.wakeAfterMs = WakeAfterMs(system_.clock().utc);
    return outcome;
}

void AwakeGuard_CL::LogWindowsForbids() {
    if (windowsForbids_ == windowsForbidsLogged_) return;
    windowsForbidsLogged_ = windowsForbids_;
    if (windowsForbids_)
        g_Logger.Log(L"★Windows の電源設定がスリープの抑止を許可していません", guard_log::kMainDialog, __LINE__);
    else
        g_Logger.Log(L"★Windows の電源設定がスリープの抑止を許可しました", guard_log::kMainDialog, __LINE__);
}

void AwakeGuard_CL::LogBatteryHold(const AwakeReason& reason) {
    // Once per change of the rule that holds back, not on every check nor for each percent. The
    // organisation's hold has the policies' line of its own.
    const AwakeReason::HeldBack held =
        reason.heldBack == AwakeReason::HeldBack::Organization ? AwakeReason::HeldBack::None : reason.heldBack;
    if (held == heldLogged_) return;
    heldLogged_ = held;
    if (held == AwakeReason::HeldBack::None)
        g_Logger.Log(L"★バッテリーによるスリープ許可を終了します", guard_log::kMainDialog, __LINE__);
    else
        g_Logger.Log(L"★バッテリーのためスリープを許可します = %s", guard_log::kMainDialog, __LINE__,
                     ReasonWords(reason).c_str());
}

UINT AwakeGuard_CL::WakeAfterMs(unsigned long long nowUtc) const {
    const ManualSession& session = data_.session;
    if (!session.active || session.indefinite) return GuardOutcome::kNoWake;
    const unsigned long long left = session.endUtc > nowUtc ? (session.endUtc - nowUtc) / 10000 : 0;
    // A few milliseconds late rather than early: the check then finds the session over. An end
    // weeks away (a hand-edited INI file) waits the longest a timer can; the check re-arms it.
    return static_cast<UINT>(std::min<unsigned long long>(left + 20, USER_TIMER_MAXIMUM));
}

bool AwakeGuard_CL::Apply(const AwakeCommand& command) {
    switch (command.kind) {
        case AwakeCommand::Kind::Session: {
            if (RefuseSession(command, policies_) != SessionRefusal::None) {
                g_Logger.Log(L"手動のスリープ禁止をポリシー ManualSessions=%u により拒否しました",
                             guard_log::kMainDialogAwake, __LINE__,
                             static_cast<unsigned>(policies_.manualSessions.value_or(0)));
                return false;
            }
            const GuardTime now = system_.clock();
            const ManualSession asked = SessionFor(command, now.utc, now.local);
            const ManualSession held = SessionUnderPolicies(asked, now.utc, policies_);
            if (!SameSession(held, asked)) LogSessionCut(held);
            data_.StartSession(held);
            g_Logger.Log(L"手動のスリープ禁止を開始します = %s", guard_log::kMainDialogAwake, __LINE__,
                         FormatSessionValue(data_.session).c_str());
            return true;
        }
        case AwakeCommand::Kind::Off:
            if (data_.session.active)
                g_Logger.Log(L"手動のスリープ禁止を解除します", guard_log::kMainDialogAwake, __LINE__);
            data_.EndSession();
            return true;
        case AwakeCommand::Kind::Pid:
            return WatchProcess(command.processId);
        default:
            return false;
    }
}

SessionRefusal AwakeGuard_CL::Toggle() {
    AwakeCommand command;
    command.kind = data_.session.active ? AwakeCommand::Kind::Off : AwakeCommand::Kind::Session;
    const SessionRefusal refusal = RefuseSession(command, policies_);
    if (refusal == SessionRefusal::None) Apply(command);
    return refusal;
}

bool AwakeGuard_CL::WatchProcess(DWORD processId) {
    UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process || ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
        const DWORD error = process ? ERROR_INVALID_PARAMETER : ::GetLastError();
        g_Logger.Log(L"コマンドラインのプロセスを開けません PID = %u : %s", guard_log::kSaveData, __LINE__,
                     static_cast<unsigned>(processId), SystemErrorText(error).c_str());
        return false;
    }
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &size)) path[0] = L'\0';
    for (const HeldProcess& held : handed_)
        if (held.name.processId == processId) return true;
    HeldProcess held;
    held.name.processId = processId;
    held.name.fileName = FileNamePart(path);
    held.process = std::move(process);
    g_Logger.Log(L"コマンドラインのプロセスを監視します = %s (PID %u)", guard_log::kSaveData, __LINE__,
                 held.name.fileName.c_str(), static_cast<unsigned>(processId));
    handed_.push_back(std::move(held));
    return true;
}

void AwakeGuard_CL::ForgetEndedProcesses() {
    for (size_t i = handed_.size(); i-- > 0;) {
        if (::WaitForSingleObject(handed_[i].process.Get(), 0) != WAIT_OBJECT_0) continue;
        g_Logger.Log(L"コマンドラインのプロセスが終了しました = %s (PID %u)", guard_log::kSaveData, __LINE__,
                     handed_[i].name.fileName.c_str(), static_cast<unsigned>(handed_[i].name.processId));
        handed_.erase(handed_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}
