#pragma once
// Snapshots of the running programs: one entry per distinct image path, in drive-letter form.
#include <windows.h>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "comlib/process/path_index.h"
#include "comlib/process/process_listing.h"

// Quick filter for path and file-name comparisons: key = key * 3 + c over the text folded by
// FoldCase, the fold that EqualsNoCase uses, so equal names always have equal keys.
uint32_t StringKey(const std::wstring& text);

// Build one with MakeProcessEntry: the file-name fields must agree with the path.
struct ProcessEntry {
    uint32_t pathKey = 0;
    std::wstring path;
    // Where the file-name part (after the last backslash) starts in path, and its StringKey:
    // made once per snapshot, so that the sort and the watched match cut no strings.
    uint32_t nameOffset = 0;
    uint32_t nameKey = 0;

    const wchar_t* FileName() const { return path.data() + nameOffset; }
    size_t FileNameLength() const { return path.size() - nameOffset; }
    // A process that could not be opened, or had no path, is known by its file name alone.
    bool NameOnly() const { return nameOffset == 0; }
};

// The entry of a path with both keys and the file-name offset, in one pass over the path.
ProcessEntry MakeProcessEntry(std::wstring path);

// A list of entries and the index of their positions by pathKey, kept in step by the
// functions below.
struct ProcessSnapshot {
    std::vector<ProcessEntry> entries;
    PathIndex_CL index;
    // The sort's working list, kept for its capacity: per entry the first eight code units of
    // its file name, the first in the highest bits, and its position.
    struct SortKey {
        uint64_t head;
        uint64_t tail;
        uint32_t position;
    };
    std::vector<SortKey> sortKeys;

    // Empties the snapshot, keeping its capacity, with room for `count` entries.
    void Clear(size_t count);
};

struct ProcessDiff {
    std::vector<std::wstring> added;
    std::vector<std::wstring> removed;
    bool Empty() const { return added.empty() && removed.empty(); }
};

using DriveMap = std::vector<std::wstring>;  // index 0 = a:, 25 = z:; "" for an unused letter

// \Device\HarddiskVolume3\x\y.exe -> c:\x\y.exe when the map gives c: that device; else unchanged.
// The device name must end at a backslash or at the end of the path: \Device\HarddiskVolume1
// is no prefix of \Device\HarddiskVolume10\x.
std::wstring ToDriveLetterForm(const wchar_t* devicePath, size_t length, const DriveMap& driveMap);
inline std::wstring ToDriveLetterForm(const std::wstring& devicePath, const DriveMap& driveMap) {
    return ToDriveLetterForm(devicePath.data(), devicePath.size(), driveMap);
}

// The text a listed process enters the snapshot under: its image path in drive-letter form; its
// file name alone when it could not be opened (devicePath null) or has no path; nothing when it
// has no name (the idle process).
std::optional<std::wstring> SnapshotPathOf(const std::wstring& imageName, const std::wstring* devicePath,
                                           const DriveMap& driveMap);

// Appends the path unless an equal one (case-insensitive) is there already; true when appended.
bool AddUniquePath(ProcessSnapshot& snapshot, std::wstring path);

// True when the snapshot holds a path equal to the entry's (case-insensitive).
bool ContainsPath(const ProcessSnapshot& snapshot, const ProcessEntry& entry);

// Stable and ascending by file name, comparing UTF-16 code units case-sensitively: entries with
// equal file names keep the order in which they were added.
void SortByFileName(ProcessSnapshot& snapshot);

ProcessDiff DiffSnapshots(const ProcessSnapshot& previous, const ProcessSnapshot& current);

class EnumProcess_CL {
public:
    EnumProcess_CL();
    virtual ~EnumProcess_CL() = default;

    void BuildDriveMap();
    // Lists the processes of the user's session and of session 0 (services) with one call. A
    // process listed by the enumeration before keeps the path found then; only a new one is
    // opened, and the drive map is built again only when there is one.
    int Enumerate(ProcessSnapshot& target);
    void Refresh();
    ProcessDiff Diff() const;

    const std::vector<ProcessEntry>& Current() const { return current_.entries; }
    // The processes of the last enumeration that count (the user's session and services), one per
    // process, with their CPU times: what "at work" is measured from, with no call of its own.
    const std::vector<ListedProcess>& Listed() const { return listed_; }
    const DriveMap& Drives() const { return driveMap_; }

    // Null puts the system's listing and open back.
    void SetSource(ProcessSource* source) { source_ = source; }
    ProcessSource& Source() { return source_ ? *source_ : SystemProcessSource::Instance(); }

    // Writes "label(N件)" and then one line per path.
    static void LogPathList(const std::wstring& label, const std::vector<std::wstring>& paths);

private:
    // A process of the last enumeration and its snapshot text: the same id, session, image
    // name and creation time in the next one is the same process, so it is not opened again.
    struct KnownProcess {
        DWORD id = 0;
        DWORD session = 0;
        unsigned long long createTime = 0;
        std::wstring imageName;
        std::wstring path;
    };
    static constexpr uint32_t kLeftOut = PathIndex_CL::kNone - 1;

    DriveMap driveMap_;
    ProcessSnapshot previous_;
    ProcessSnapshot current_;
    ProcessSource* source_ = nullptr;
    std::vector<ListedProcess> listed_;
    std::vector<uint32_t> knownAt_;  // per listed process: its position in known_, kNone, or kLeftOut
    std::vector<KnownProcess> known_;
    std::vector<KnownProcess> seen_;
    PathIndex_CL knownIndex_;  // positions in known_ by process id
};
