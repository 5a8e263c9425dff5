#pragma once
// One sleep check's own work without any OS call: what Refresh, Diff and the decision do
// with the image paths once the system has given them.
#include <string>
#include <vector>

#include "comlib/process/enum_porocess.h"
#include "data/watched_list.h"

struct PureCheckState {
    ProcessSnapshot previous;
    ProcessSnapshot current;
};

struct PureCheckResult {
    size_t entries = 0;
    size_t added = 0;
    size_t removed = 0;
    bool keepAwake = false;
};

// The snapshot hand-over, the drive-letter form, the de-duplication and the sort of the new
// snapshot, the diff against the previous one and the watched match.
PureCheckResult RunPureCheck(PureCheckState& state, const std::vector<std::wstring>& imagePaths,
                             const DriveMap& driveMap, const WatchedList_CL& watched);
