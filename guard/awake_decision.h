#pragma once
// The keep-awake decision: one inputs value in, one reason out. A new trigger or policy is one
// field of GuardInputs and one rule in DecideAwakeReason; the window never sees either.
#include <windows.h>

#include <string>
#include <vector>

#include "comlib/power_scheme.h"
#include "comlib/process/enum_porocess.h"
#include "data/awake_reason.h"
#include "data/awake_settings.h"
#include "data/policy.h"
#include "data/watched_list.h"
#include "guard/watch_conditions.h"

// A moment as the guard reads it: UTC and the local clock, both in FILETIME units.
struct GuardTime {
    unsigned long long utc = 0;
    unsigned long long local = 0;
};
// GetSystemTimeAsFileTime, and its local form through FileTimeToLocalFileTime.
GuardTime SystemGuardTime();
// The calendar parts of a FILETIME value (local or UTC, as given).
SYSTEMTIME CalendarParts(unsigned long long fileTime);

// A process handed over on the command line, as the decision sees it.
struct HandedProcess {
    DWORD processId = 0;
    std::wstring fileName;
};

// Everything one decision looks at.
struct GuardInputs {
    GuardTime now;
    // What runs now and what the user watches: borrowed for the one decision; null is empty.
    const std::vector<ProcessEntry>* snapshot = nullptr;
    const WatchedList_CL* watched = nullptr;
    // For "in front" and "at work" records: the file name of the program in front ("" when none
    // or no record asks), and the programs at work now.
    std::wstring frontFileName;
    std::vector<ProgramAtWork> atWork;
    // 24 hours and 7 days (0 Sunday); missing day entries count as marked.
    std::vector<bool> hourTable;
    std::vector<bool> dayTable;
    ManualSession session;
    // Still running, oldest first.
    std::vector<HandedProcess> handed;
    // Mains and full unless a battery rule is on and the system says otherwise.
    PowerStatus power;
    // The user's settings with the policies' forced values in place.
    AwakeSettings awake;
    // The organisation's policies and its watched programs (after the user's); null is none.
    const Policies* policies = nullptr;
    const WatchedList_CL* policyWatched = nullptr;
    // The power plan's "allow applications to prevent automatic sleep", 1 unless read as 0.
    AcDcValues windowsAllows{1, 1};
};

// The reasons in their order: the manual session, a handed-over process, the first enabled watched
// program whose condition holds (the user's, then the organisation's), the marked hour on a marked
// weekday; then the battery rules. The Disabled policy holds back every reason; a reason kept
// while the power plan forbids it says so.
AwakeReason DecideAwakeReason(const GuardInputs& inputs);
