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
      lid_(system.scheme ? *system.scheme : SystemPowerSchemeCalls::Instance()) {
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
    ForgetEndedProcesses();
    ReadConditions();
    return DecideAwakeReason(GatherInputs(now));
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
    inputs.awake = data_.awake;
    // Without a battery rule the battery is not even asked.
    if (inputs.awake.acOnly || inputs.awake.batteryFloor != 0) inputs.power = data_.CurrentPowerStatus();
    return inputs;
}

GuardOutcome AwakeGuard_CL::Check() {
    const AwakeReason reason = Decide();
    const bool display = data_.awake.display;
    sleep_.SetKeepDisplay(display);
    sleep_.Apply(reason.KeepsAwake());
    const bool sameWorker = reason.kind == AwakeReason::Kind::BusyProgram && requestReason_.kind == reason.kind &&
                            requestReason_.fileName == reason.fileName;
    if (!sameWorker) requestReason_ = reason;
    if (reason.KeepsAwake())
        power_.Hold(ReasonWords(requestReason_), display);
    else
        power_.Release();
    // GetSystemPowerStatus only while the lid choice is on.
    lid_.Update(reason.KeepsAwake(), data_.awake, data_.awake.lid && data_.CurrentPowerStatus().onBattery);
    LogBatteryHold(reason);
    reason_ = reason;
    GuardOutcome outcome;
    outcome.reason = reason;
    outcome.tray = TrayStateFor(reason, words_);
    outcome.wakeAfterMs = WakeAfterMs(system_.clock().utc);
    return outcome;
}

void AwakeGuard_CL::LogBatteryHold(const AwakeReason& reason) {
    // Once per change of the rule that holds back, not on every check nor for each percent.
    if (reason.heldBack == heldLogged_) return;
    heldLogged_ = reason.heldBack;
    if (reason.heldBack == AwakeReason::HeldBack::None)
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
            const GuardTime now = system_.clock();
            data_.StartSession(SessionFor(command, now.utc, now.local));
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

void AwakeGuard_CL::Toggle() {
    AwakeCommand command;
    command.kind = data_.session.active ? AwakeCommand::Kind::Off : AwakeCommand::Kind::Session;
    Apply(command);
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
