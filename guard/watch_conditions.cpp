#include "guard/watch_conditions.h"

#include "comlib/utility.h"

bool AnyEnabledInMode(const WatchedList_CL& watched, WatchMode mode) {
    for (const WatchedProcess& record : watched.Items())
        if (record.enabled != 0 && record.mode == mode) return true;
    return false;
}

std::wstring ListedImageName(DWORD processId, const std::vector<ListedProcess>& listed) {
    if (processId == 0) return std::wstring();
    for (const ListedProcess& process : listed)
        if (process.id == processId) return process.imageName;
    return std::wstring();
}

std::vector<ProgramAtWork> ProgramsAtWork(BusyTracker_CL& tracker, uint64_t nowMs,
                                          const std::vector<ListedProcess>& listed, const WatchedList_CL& watched,
                                          int thresholdPercent) {
    std::vector<std::wstring> programs;
    for (const WatchedProcess& record : watched.Items())
        if (record.enabled != 0 && record.mode == WatchMode::Busy) programs.push_back(record.fileName);
    std::vector<ProgramAtWork> atWork;
    const std::vector<BusyState>& states = tracker.Update(nowMs, listed, programs, thresholdPercent);
    for (size_t i = 0; i < states.size() && i < programs.size(); ++i)
        if (states[i].atWork) atWork.push_back({programs[i], states[i].percent});
    return atWork;
}

AwakeReason WatchedProgramReason(const WatchedList_CL& watched, const std::vector<ProcessEntry>& snapshot,
                                 const std::wstring& frontFileName, const std::vector<ProgramAtWork>& atWork) {
    AwakeReason reason;
    for (const WatchedProcess& record : watched.Items()) {
        if (record.enabled == 0) continue;
        switch (record.mode) {
            case WatchMode::Running:
                if (!RunsIn(record, snapshot)) continue;
                reason.kind = AwakeReason::Kind::WatchedProgram;
                break;
            case WatchMode::Front:
                if (frontFileName.empty() || !EqualsNoCase(record.fileName, frontFileName)) continue;
                reason.kind = AwakeReason::Kind::FrontProgram;
                break;
            case WatchMode::Busy: {
                const ProgramAtWork* found = nullptr;
                for (const ProgramAtWork& program : atWork)
                    if (EqualsNoCase(program.fileName, record.fileName)) {
                        found = &program;
                        break;
                    }
                if (!found) continue;
                reason.kind = AwakeReason::Kind::BusyProgram;
                reason.cpuPercent = found->percent;
                break;
            }
        }
        reason.fileName = record.fileName;
        return reason;
    }
    return reason;
}
