#pragma once
// The programs that keep the computer awake while they run, identified by file name.
#include <cstdint>
#include <string>
#include <vector>

#include "comlib/process/enum_porocess.h"

// What makes a watched program keep the computer awake: that it runs (the default), that its
// window is in front, or that it is at work (uses the CPU).
enum class WatchMode { Running, Front, Busy };

// PROCESS_INFO "mode<N>" beside "path<N>": "front" or "busy"; no key, or any other text, is running.
WatchMode ParseWatchMode(const std::wstring& value);
// The stored text; empty for running, which is stored as no key at all.
const wchar_t* WatchModeValue(WatchMode mode);

struct WatchedProcess {
    uint32_t nameKey = 0;
    std::wstring path;
    int enabled = 1;
    std::wstring fileName;
    WatchMode mode = WatchMode::Running;
};

// A process of the snapshot has the record's file name (case-insensitive), whatever its folder.
bool RunsIn(const WatchedProcess& record, const std::vector<ProcessEntry>& snapshot);

class WatchedList_CL {
public:
    // Appends a record unless one with the same file name (case-insensitive) is listed.
    bool AddWatched(const std::wstring& path, int enabled, WatchMode mode = WatchMode::Running);
    // Ascending by file name, UTF-16 code units, case-sensitive (Zeta.exe before alpha.exe).
    void SortByFileName();
    void RemoveAt(size_t index);
    void SetEnabledAt(size_t index, int enabled);
    void SetModeAt(size_t index, WatchMode mode);

    const std::vector<WatchedProcess>& Items() const { return items_; }
    size_t Size() const { return items_.size(); }
    const WatchedProcess& operator[](size_t index) const { return items_[index]; }
    void Clear() { items_.clear(); }

    // True when an enabled record's file name equals the file-name part of a running path. The
    // keys of both were made once, so a name is compared only where the keys agree.
    bool MatchesAny(const std::vector<ProcessEntry>& snapshot) const;
    // The first enabled record, in list order, that matches a running program; null if none.
    const WatchedProcess* FirstMatch(const std::vector<ProcessEntry>& snapshot) const;

private:
    std::vector<WatchedProcess> items_;
};
