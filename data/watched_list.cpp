#include "data/watched_list.h"

#include <algorithm>

#include "comlib/utility.h"

WatchMode ParseWatchMode(const std::wstring& value) {
    if (EqualsNoCase(value, L"front")) return WatchMode::Front;
    if (EqualsNoCase(value, L"busy")) return WatchMode::Busy;
    return WatchMode::Running;
}

const wchar_t* WatchModeValue(WatchMode mode) {
    switch (mode) {
        case WatchMode::Front: return L"front";
        case WatchMode::Busy: return L"busy";
        case WatchMode::Running: break;
    }
    return L"";
}

bool WatchedList_CL::AddWatched(const std::wstring& path, int enabled, WatchMode mode) {
    WatchedProcess record;
    record.fileName = FileNamePart(path);
    record.nameKey = StringKey(record.fileName);
    for (const WatchedProcess& existing : items_)
        if (existing.nameKey == record.nameKey && EqualsNoCase(existing.fileName, record.fileName)) return false;
    record.path = path;
    record.enabled = enabled;
    record.mode = mode;
    items_.push_back(std::move(record));
    return true;
}

void WatchedList_CL::SortByFileName() {
    std::sort(items_.begin(), items_.end(),
              [](const WatchedProcess& a, const WatchedProcess& b) { return a.fileName < b.fileName; });
}

void WatchedList_CL::RemoveAt(size_t index) {
    if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void WatchedList_CL::SetEnabledAt(size_t index, int enabled) {
    if (index < items_.size()) items_[index].enabled = enabled;
}

void WatchedList_CL::SetModeAt(size_t index, WatchMode mode) {
    if (index < items_.size()) items_[index].mode = mode;
}

bool WatchedList_CL::MatchesAny(const std::vector<ProcessEntry>& snapshot) const {
    return FirstMatch(snapshot) != nullptr;
}

bool RunsIn(const WatchedProcess& record, const std::vector<ProcessEntry>& snapshot) {
    for (const ProcessEntry& entry : snapshot)
        if (entry.nameKey == record.nameKey &&
            EqualsNoCase(record.fileName.data(), record.fileName.size(), entry.FileName(), entry.FileNameLength()))
            return true;
    return false;
}

const WatchedProcess* WatchedList_CL::FirstMatch(const std::vector<ProcessEntry>& snapshot) const {
    for (const WatchedProcess& record : items_)
        if (record.enabled != 0 && RunsIn(record, snapshot)) return &record;
    return nullptr;
}
