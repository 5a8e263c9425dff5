#include "bench/pure_check.h"

#include <utility>

// Refresh and Enumerate of EnumProcess_CL, with the image paths given instead of asked for.
PureCheckResult RunPureCheck(PureCheckState& state, const std::vector<std::wstring>& imagePaths,
                             const DriveMap& driveMap, const WatchedList_CL& watched) {
    std::swap(state.previous, state.current);
    state.current.Clear(imagePaths.size());
    for (const std::wstring& path : imagePaths) AddUniquePath(state.current, ToDriveLetterForm(path, driveMap));
    SortByFileName(state.current);
    const ProcessDiff diff = DiffSnapshots(state.previous, state.current);
    PureCheckResult result;
    result.entries = state.current.entries.size();
    result.added = diff.added.size();
    result.removed = diff.removed.size();
    result.keepAwake = watched.MatchesAny(state.current.entries);
    return result;
}
