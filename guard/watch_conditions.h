#pragma once
// The watched programs' conditions: running, in front, or at work. Each is read once per check
// from what the check already has (the snapshot and the process listing), and only where an
// enabled record asks for it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "comlib/process/enum_porocess.h"
#include "data/awake_reason.h"
#include "data/watched_list.h"
#include "guard/busy_tracker.h"

// A watched program "at work" now, with the share of one core it used.
struct ProgramAtWork {
    std::wstring fileName;
    int percent = 0;
};

// True when an enabled record asks for this condition.
bool AnyEnabledInMode(const WatchedList_CL& watched, WatchMode mode);

// The image file name of a listed process; "" when the id is not listed (or is 0).
std::wstring ListedImageName(DWORD processId, const std::vector<ListedProcess>& listed);

// Measures the enabled "at work" programs over the listing and returns those at work.
std::vector<ProgramAtWork> ProgramsAtWork(BusyTracker_CL& tracker, uint64_t nowMs,
                                          const std::vector<ListedProcess>& listed, const WatchedList_CL& watched,
                                          int thresholdPercent);

// The first enabled record, in list order, whose condition holds: running (its file name is in
// the snapshot), in front (it is frontFileName), or at work (it is in atWork). Kind None if none.
AwakeReason WatchedProgramReason(const WatchedList_CL& watched, const std::vector<ProcessEntry>& snapshot,
                                 const std::wstring& frontFileName, const std::vector<ProgramAtWork>& atWork);
