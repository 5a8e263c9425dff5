#pragma once
// "At work": a watched program whose processes together used at least N % of one core since the
// last check, measured from the CPU times the process listing already gives.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "comlib/process/process_listing.h"

struct BusyState {
    bool atWork = false;
    // The share of one core that the program's processes used together over the last measured
    // interval (above 100 on several cores); 0 before a program has been measured.
    int percent = 0;
};

class BusyTracker_CL {
public:
    // A program stays at work until it has not reached the threshold for this long: measured in
    // time, not in checks, so one idle tick or an F5 does not flip it.
    static constexpr uint64_t kQuietMs = 40000;
    // A shorter interval is not measured (an F5 right after a tick): CPU times grow in steps of
    // a scheduler tick (15.6 ms), too coarse for a share of a few milliseconds.
    static constexpr uint64_t kShortestMs = 1000;

    // One state per name of `programs` (file names, compared case-insensitively), in that order.
    // nowMs is a monotonic clock (GetTickCount64). A program is first measured at the update
    // after the one that first names it: before that, its processes' times are only the start.
    const std::vector<BusyState>& Update(uint64_t nowMs, const std::vector<ListedProcess>& processes,
                                         const std::vector<std::wstring>& programs, int thresholdPercent);

private:
    struct Program {
        std::wstring fileName;
        BusyState state;
        bool sampled = false;  // its processes' times are in samples_
        bool everBusy = false;
        uint64_t busyMs = 0;  // when it last reached the threshold
    };
    struct Sample {
        DWORD id;
        size_t program;
        uint64_t cpuTime;
    };
    // Takes the names asked for now, keeping the state of each one named before.
    void FollowPrograms(const std::vector<std::wstring>& programs);
    size_t ProgramOf(const std::wstring& imageName) const;

    std::vector<Program> programs_;
    std::vector<Sample> samples_;
    std::vector<Sample> next_;
    std::vector<uint64_t> used_;  // per program: CPU time used in this interval, 100 ns units
    std::vector<BusyState> states_;
    uint64_t sampledMs_ = 0;
    bool sampledOnce_ = false;
};
