#pragma once
// Snapshots of the running programs: one entry per distinct image path, in drive-letter form.
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

// Quick filter for path and file-name comparisons: key = key * 3 + c over the text folded by
// FoldCase, the fold that EqualsNoCase uses, so equal names always have equal keys.
uint32_t StringKey(const std::wstring& text);

struct ProcessEntry {
    uint32_t pathKey = 0;
    std::wstring path;
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
std::wstring ToDriveLetterForm(const std::wstring& devicePath, const DriveMap& driveMap);

// Appends the path unless an equal one (case-insensitive) is there already.
void AddUniquePath(std::vector<ProcessEntry>& list, const std::wstring& path);

// Ascending by file name, comparing UTF-16 code units case-sensitively.
void SortByFileName(std::vector<ProcessEntry>& list);

ProcessDiff DiffSnapshots(const std::vector<ProcessEntry>& previous, const std::vector<ProcessEntry>& current);

class EnumProcess_CL {
public:
    EnumProcess_CL();
    virtual ~EnumProcess_CL() = default;

    void BuildDriveMap();
    int Enumerate(std::vector<ProcessEntry>& target);
    void Refresh();
    ProcessDiff Diff() const;

    const std::vector<ProcessEntry>& Current() const { return current_; }
    const DriveMap& Drives() const { return driveMap_; }

    // Writes "label(N件)" and then one line per path.
    static void LogPathList(const std::wstring& label, const std::vector<std::wstring>& paths);

private:
    DriveMap driveMap_;
    std::vector<ProcessEntry> previous_;
    std::vector<ProcessEntry> current_;
};
