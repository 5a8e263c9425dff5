#include "comlib/process/enum_porocess.h"

#include <algorithm>

#include "comlib/log.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"

uint32_t StringKey(const std::wstring& text) {
    const wchar_t* fold = FoldCaseTable();
    uint32_t key = 0;
    for (wchar_t c : text) key = key * 3u + static_cast<uint16_t>(fold[static_cast<uint16_t>(c)]);
    return key;
}

ProcessEntry MakeProcessEntry(std::wstring path) {
    const wchar_t* fold = FoldCaseTable();
    ProcessEntry entry;
    uint32_t nameKey = 0;
    size_t nameOffset = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const uint32_t unit = static_cast<uint16_t>(fold[static_cast<uint16_t>(path[i])]);
        entry.pathKey = entry.pathKey * 3u + unit;
        nameKey = nameKey * 3u + unit;
        if (path[i] == L'\\') {
            nameKey = 0;
            nameOffset = i + 1;
        }
    }
    entry.nameKey = nameKey;
    entry.nameOffset = static_cast<uint32_t>(nameOffset);
    entry.path = std::move(path);
    return entry;
}

void ProcessSnapshot::Clear(size_t count) {
    entries.clear();
    entries.reserve(count);
    index.Clear(count);
}

std::wstring ToDriveLetterForm(const wchar_t* devicePath, size_t length, const DriveMap& driveMap) {
    for (size_t i = 0; i < driveMap.size(); ++i) {
        const std::wstring& device = driveMap[i];
        if (device.empty() || length < device.size()) continue;
        if (length > device.size() && devicePath[device.size()] != L'\\') continue;
        if (!EqualsNoCase(devicePath, device.size(), device.data(), device.size())) continue;
        std::wstring result;
        result.reserve(2 + length - device.size());
        result.push_back(static_cast<wchar_t>(L'a' + i));
        result.push_back(L':');
        result.append(devicePath + device.size(), length - device.size());
        return result;
    }
    return std::wstring(devicePath, length);
}

namespace {
uint32_t FindPath(const ProcessSnapshot& snapshot, uint32_t key, const std::wstring& path) {
    return snapshot.index.Find(
        key, [&](uint32_t position) { return EqualsNoCase(snapshot.entries[position].path, path); });
}
}  // namespace

std::optional<std::wstring> SnapshotPathOf(const std::wstring& imageName, const std::wstring* devicePath,
                                           const DriveMap& driveMap) {
    if (imageName.empty()) return std::nullopt;
    if (!devicePath || devicePath->empty()) return imageName;
    return ToDriveLetterForm(*devicePath, driveMap);
}

bool AddUniquePath(ProcessSnapshot& snapshot, std::wstring path) {
    ProcessEntry entry = MakeProcessEntry(std::move(path));
    if (FindPath(snapshot, entry.pathKey, entry.path) != PathIndex_CL::kNone) return false;
    snapshot.index.Insert(entry.pathKey, static_cast<uint32_t>(snapshot.entries.size()));
    snapshot.entries.push_back(std::move(entry));
    return true;
}

bool ContainsPath(const ProcessSnapshot& snapshot, const ProcessEntry& entry) {
    return FindPath(snapshot, entry.pathKey, entry.path) != PathIndex_CL::kNone;
}

namespace {
// Units [first, first + 4) of the name, 16 bits each, the first in the highest bits, 0 past the
// end: comparing packed values orders like comparing the units, and a name that another begins
// comes first.
uint64_t PackUnits(const wchar_t* name, size_t length, size_t first) {
    uint64_t packed = 0;
    for (size_t i = first; i < first + 4; ++i)
        packed = (packed << 16) | (i < length ? static_cast<uint16_t>(name[i]) : 0u);
    return packed;
}
}  // namespace

void SortByFileName(ProcessSnapshot& snapshot) {
    std::vector<ProcessEntry>& entries = snapshot.entries;
    std::vector<ProcessSnapshot::SortKey>& keys = snapshot.sortKeys;
    keys.resize(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const ProcessEntry& entry = entries[i];
        keys[i] = {PackUnits(entry.FileName(), entry.FileNameLength(), 0),
                   PackUnits(entry.FileName(), entry.FileNameLength(), 4), static_cast<uint32_t>(i)};
    }
    // std::sort with the position as the last criterion is stable and, unlike std::stable_sort,
    // needs no buffer of entries. The packed units decide most comparisons; wmemcmp the rest
    // (wchar_t is an unsigned 16-bit type on Windows, so both order code units).
    std::sort(keys.begin(), keys.end(), [&](const ProcessSnapshot::SortKey& a, const ProcessSnapshot::SortKey& b) {
        if (a.head != b.head) return a.head < b.head;
        if (a.tail != b.tail) return a.tail < b.tail;
        const ProcessEntry& left = entries[a.position];
        const ProcessEntry& right = entries[b.position];
        const size_t leftLength = left.FileNameLength();
        const size_t rightLength = right.FileNameLength();
        const int units = wmemcmp(left.FileName(), right.FileName(), std::min(leftLength, rightLength));
        if (units != 0) return units < 0;
        if (leftLength != rightLength) return leftLength < rightLength;
        return a.position < b.position;
    });
    // Puts entry keys[i].position at position i, one cycle of the permutation at a time; a done
    // position is marked by keys[i].position == i.
    for (size_t start = 0; start < keys.size(); ++start) {
        if (keys[start].position == start) continue;
        ProcessEntry held = std::move(entries[start]);
        size_t at = start;
        while (keys[at].position != start) {
            const size_t from = keys[at].position;
            entries[at] = std::move(entries[from]);
            keys[at].position = static_cast<uint32_t>(at);
            at = from;
        }
        entries[at] = std::move(held);
        keys[at].position = static_cast<uint32_t>(at);
    }
    snapshot.index.Clear(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) snapshot.index.Insert(entries[i].pathKey, static_cast<uint32_t>(i));
}

ProcessDiff DiffSnapshots(const ProcessSnapshot& previous, const ProcessSnapshot& current) {
    ProcessDiff diff;
    for (const ProcessEntry& entry : current.entries)
        if (!ContainsPath(previous, entry)) diff.added.push_back(entry.path);
    for (const ProcessEntry& entry : previous.entries)
        if (!ContainsPath(current, entry)) diff.removed.push_back(entry.path);
    return diff;
}

EnumProcess_CL::EnumProcess_CL() { BuildDriveMap(); }

// Assigns the 26 strings in place, so that an unchanged map reuses their storage.
void EnumProcess_CL::BuildDriveMap() {
    driveMap_.resize(26);
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
        const wchar_t drive[3] = {letter, L':', L'\0'};
        wchar_t device[MAX_PATH] = {};
        // The answer may list several names; the first one ends at the first zero.
        if (::QueryDosDeviceW(drive, device, MAX_PATH) == 0) device[0] = L'\0';
        driveMap_[static_cast<size_t>(letter - L'a')].assign(device);
    }
}

int EnumProcess_CL::Enumerate(ProcessSnapshot& target) {
    ProcessSource& source = Source();
    if (!source.List(listed_)) listed_.clear();
    const DWORD ownSession = source.OwnSession();
    // Which processes count, and which of them are new, before any is opened: the drive map is
    // only needed for a new one.
    knownAt_.resize(listed_.size());
    bool anyNew = false;
    for (size_t i = 0; i < listed_.size(); ++i) {
        const ListedProcess& listed = listed_[i];
        // Other users' sessions are theirs; the idle process has no name.
        if (listed.imageName.empty() || (listed.session != ownSession && listed.session != 0)) {
            knownAt_[i] = kLeftOut;
            continue;
        }
        knownAt_[i] = knownIndex_.Find(listed.id, [&](uint32_t position) {
            return known_[position].session == listed.session && known_[position].createTime == listed.createTime &&
                   known_[position].imageName == listed.imageName;
        });
        if (knownAt_[i] == PathIndex_CL::kNone) anyNew = true;
    }
    if (anyNew) BuildDriveMap();

    target.Clear(listed_.size());
    seen_.clear();
    std::wstring devicePath;
    size_t counted = 0;
    for (size_t i = 0; i < listed_.size(); ++i) {
        if (knownAt_[i] == kLeftOut) continue;
        // The ones that count move to the front, swapped so every name keeps its storage.
        if (counted != i) std::swap(listed_[counted], listed_[i]);
        ListedProcess& listed = listed_[counted++];
        KnownProcess process;
        process.id = listed.id;
        process.session = listed.session;
        process.createTime = listed.createTime;
        if (knownAt_[i] != PathIndex_CL::kNone) {
            process.path = std::move(known_[knownAt_[i]].path);
        } else {
            const bool opened = source.QueryImagePath(listed.id, devicePath);
            process.path = *SnapshotPathOf(listed.imageName, opened ? &devicePath : nullptr, driveMap_);
        }
        process.imageName = listed.imageName;
        AddUniquePath(target, process.path);
        seen_.push_back(std::move(process));
    }
    listed_.resize(counted);
    known_.swap(seen_);
    knownIndex_.Clear(known_.size());
    for (size_t i = 0; i < known_.size(); ++i) knownIndex_.Insert(known_[i].id, static_cast<uint32_t>(i));
    SortByFileName(target);
    return 0;
}

// The old current snapshot becomes the previous one without a copy; the new one reuses the
// capacity of the one before.
void EnumProcess_CL::Refresh() {
    std::swap(previous_, current_);
    Enumerate(current_);
}

ProcessDiff EnumProcess_CL::Diff() const { return DiffSnapshots(previous_, current_); }

void EnumProcess_CL::LogPathList(const std::wstring& label, const std::vector<std::wstring>& paths) {
    g_Logger.Log(L"%s(%d件)", __FILE__, __LINE__, label.c_str(), static_cast<int>(paths.size()));
    for (const std::wstring& path : paths) g_Logger.Log(L"%s", __FILE__, __LINE__, path.c_str());
}
