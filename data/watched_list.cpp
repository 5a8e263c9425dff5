#include "data/watched_list.h"

#include <algorithm>

#include "comlib/utility.h"

bool WatchedList_CL::AddWatched(const std::wstring& path, int enabled) {
    WatchedProcess record;
    record.fileName = FileNamePart(path);
    record.nameKey = StringKey(record.fileName);
    for (const WatchedProcess& existing : items_)
        if (existing.nameKey == record.nameKey && EqualsNoCase(existing.fileName, record.fileName)) return false;
    record.path = path;
    record.enabled = enabled;
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

bool WatchedList_CL::MatchesAny(const std::vector<ProcessEntry>& snapshot) const {
    return FirstMatch(snapshot) != nullptr;
}

const WatchedProcess* WatchedList_CL::FirstMatch(const std::vector<ProcessEntry>& snapshot) const {
    for (const WatchedProcess& record : items_) {
        if (record.enabled == 0) continue;
        for (const ProcessEntry& entry : snapshot)
            if (entry.nameKey == record.nameKey &&
                EqualsNoCase(record.fileName.data(), record.fileName.size(), entry.FileName(), entry.FileNameLength()))
                return &record;
    }
    return nullptr;
}
