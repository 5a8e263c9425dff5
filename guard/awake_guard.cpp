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
    : data_(data),
      words_(words),
      system_(system),
      power_(system.power),
      lid_(Scheme()) {
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
    ReadConditions();
    GuardInputs inputs = GatherInputs(now);
    AwakeReason reason = DecideAwakeReason(inputs);
    // The plan matters only while something keeps awake: a start with nothing to keep awake for
    // loads no powrprof.dll.
    if (reason.KeepsAwake() && !windowsAllowsKnown_) {
        // Where the plan cannot be read (no powrprof functions, no plans) it counts as allowing.
        if (ReadAllowSystemRequired(Scheme(), windowsAllows_) != ERROR_SUCCESS) windowsAllows_ = {1, 1};
        windowsAllowsKnown_ = true;
        inputs = GatherInputs(now);
        reason = DecideAwakeReason(inputs);
    }
    windowsForbids_ = reason.KeepsAwake() && WindowsForbidsKeepingAwake(inputs.windowsAllows, inputs.power);
    return reason;
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

void AwakeGuard_CL::ReadConditions() {
    const std::vector<ListedProcess>& listed = data_.processes.Listed();
    frontFileName_.clear();
    if (AnyEnabledInMode(data_.watched, WatchMode::Front))
        frontFileName_ = ListedImageName(system_.foregroundProcess(), listed);
    if (AnyEnabledInMode(data_.watched, WatchMode::Busy))
        atWork_ = ProgramsAtWork(busy_, system_.tickMs(), listed, data_.watched, data_.awake.busyPercent);
    else
        atWork_.clear();
}

GuardInputs AwakeGuard_CL::GatherInputs(const GuardTime& now) const {
    GuardInputs inputs;
    inputs.now = now;
    inputs.snapshot = &data_.processes.Current();
    inputs.watched = &data_.watched;
    inputs.frontFileName = frontFileName_;
    inputs.atWork = atWork_;
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
    const bool sameWorker = reason.kind == AwakeReason::Kind::BusyProgram && requestReason_.kind == reason.kind &&
                            requestReason_.fileName == reason.fileName;
    if (!sameWorker) requestReason_ = reason;
    if (reason.KeepsAwake()) {
        // The request names what keeps awake, not the plan's refusal.
        AwakeReason named = requestReason_;
        named.windowsForbids = false;
        power_.Hold(ReasonWords(named), display);
    } else {
        power_.Release();
    }
    // GetSystemPowerStatus only while the lid choice is on.
    lid_.Update(reason.KeepsAwake(), data_.awake, data_.awake.lid && data_.CurrentPowerStatus().onBattery);
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
    ProcessSource& source = data_.processes.Source();
    DWORD error = ERROR_SUCCESS;
    HeldProcess held;
    held.name.processId = processId;
    held.process = source.OpenToWatch(processId, &error);
    // An ended process stays open while anyone holds a handle to it.
    const bool running = held.process && ::WaitForSingleObject(held.process.Get(), 0) != WAIT_OBJECT_0;
    if (held.process && !running) error = ERROR_INVALID_PARAMETER;
    // A service or another user's program: the listing shows it to everyone.
    const ListedProcess* listed =
        !held.process && source.List(listing_) ? FindListedProcess(listing_, processId) : nullptr;
    if (!running && !listed) {
        g_Logger.Log(L"コマンドラインのプロセスを開けません PID = %u : %s", guard_log::kSaveData, __LINE__,
                     static_cast<unsigned>(processId), SystemErrorText(error).c_str());
        return false;
    }
    for (const HeldProcess& known : handed_)
        if (known.name.processId == processId) return true;
    if (listed) {
        held.name.fileName = listed->imageName;
        held.createTime = listed->createTime;
        g_Logger.Log(L"コマンドラインのプロセスを開けないため一覧で監視します = %s (PID %u)", guard_log::kSaveData,
                     __LINE__, held.name.fileName.c_str(), static_cast<unsigned>(processId));
    } else {
        wchar_t path[MAX_PATH * 2] = {};
        DWORD size = MAX_PATH * 2;
        if (!::QueryFullProcessImageNameW(held.process.Get(), 0, path, &size)) path[0] = L'\0';
        held.name.fileName = FileNamePart(path);
        g_Logger.Log(L"コマンドラインのプロセスを監視します = %s (PID %u)", guard_log::kSaveData, __LINE__,
                     held.name.fileName.c_str(), static_cast<unsigned>(processId));
    }
    handed_.push_back(std::move(held));
    return true;
}

void AwakeGuard_CL::ForgetEndedProcesses() {
    // One listing per check for the ones without a handle; a failed listing ends none of them.
    const bool anyListed =
        std::any_of(handed_.begin(), handed_.end(), [](const HeldProcess& held) { return !held.process; });
    const bool listingRead = anyListed && data_.processes.Source().List(listing_);
    for (size_t i = handed_.size(); i-- > 0;) {
        const HeldProcess& held = handed_[i];
        const ListedProcess* listed = held.process ? nullptr : FindListedProcess(listing_, held.name.processId);
        // Gone from the listing, or its id now belongs to a process created at another time.
        const bool ended = held.process ? ::WaitForSingleObject(held.process.Get(), 0) == WAIT_OBJECT_0
                                        : listingRead && (!listed || listed->createTime != held.createTime);
        if (!ended) continue;
        g_Logger.Log(L"コマンドラインのプロセスが終了しました = %s (PID %u)", guard_log::kSaveData, __LINE__,
                     held.name.fileName.c_str(), static_cast<unsigned>(held.name.processId));
        handed_.erase(handed_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}
