#include "comlib/process/enum_porocess.h"

#include <psapi.h>
#include <algorithm>

#include "comlib/log.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"

uint32_t StringKey(const std::wstring& text) {
    uint32_t key = 0;
    for (wchar_t c : text) key = key * 3u + static_cast<uint32_t>(static_cast<uint16_t>(FoldCase(c)));
    return key;
}

std::wstring ToDriveLetterForm(const std::wstring& devicePath, const DriveMap& driveMap) {
    for (size_t i = 0; i < driveMap.size(); ++i) {
        const std::wstring& device = driveMap[i];
        if (device.empty() || devicePath.size() < device.size()) continue;
        if (devicePath.size() > device.size() && devicePath[device.size()] != L'\\') continue;
        if (!EqualsNoCase(devicePath.data(), device.size(), device.data(), device.size())) continue;
        std::wstring result;
        result.push_back(static_cast<wchar_t>(L'a' + i));
        result.push_back(L':');
        result += devicePath.substr(device.size());
        return result;
    }
    return devicePath;
}

static const ProcessEntry* FindPath(const std::vector<ProcessEntry>& list, uint32_t key, const std::wstring& path) {
    for (const ProcessEntry& entry : list)
        if (entry.pathKey == key && EqualsNoCase(entry.path, path)) return &entry;
    return nullptr;
}

void AddUniquePath(std::vector<ProcessEntry>& list, const std::wstring& path) {
    const uint32_t key = StringKey(path);
    if (FindPath(list, key, path)) return;
    list.push_back(ProcessEntry{key, path});
}

void SortByFileName(std::vector<ProcessEntry>& list) {
    std::stable_sort(list.begin(), list.end(), [](const ProcessEntry& a, const ProcessEntry& b) {
        return FileNamePart(a.path) < FileNamePart(b.path);
    });
}

ProcessDiff DiffSnapshots(const std::vector<ProcessEntry>& previous, const std::vector<ProcessEntry>& current) {
    ProcessDiff diff;
    for (const ProcessEntry& entry : current)
        if (!FindPath(previous, entry.pathKey, entry.path)) diff.added.push_back(entry.path);
    for (const ProcessEntry& entry : previous)
        if (!FindPath(current, entry.pathKey, entry.path)) diff.removed.push_back(entry.path);
    return diff;
}

EnumProcess_CL::EnumProcess_CL() { BuildDriveMap(); }

void EnumProcess_CL::BuildDriveMap() {
    driveMap_.clear();
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
        const wchar_t drive[3] = {letter, L':', L'\0'};
        wchar_t device[MAX_PATH] = {};
        // The answer may list several names; the first one ends at the first zero.
        if (::QueryDosDeviceW(drive, device, MAX_PATH) == 0) device[0] = L'\0';
        driveMap_.push_back(device);
    }
}

int EnumProcess_CL::Enumerate(std::vector<ProcessEntry>& target) {
    target.clear();
    DWORD ids[8192];
    DWORD bytes = 0;
    if (::K32EnumProcesses(ids, sizeof(ids), &bytes)) {
        const DWORD count = bytes / sizeof(DWORD);
        for (DWORD i = 0; i < count; ++i) {
            // PROCESS_QUERY_LIMITED_INFORMATION alone is all the image name needs, and Windows
            // grants it to an ordinary user for elevated processes too; 0x0410 would not be.
            UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]));
            if (!process) continue;
            wchar_t path[1040] = {};
            // No name (a process that is ending, say) is no program to list or to pick.
            if (::K32GetProcessImageFileNameW(process.Get(), path, 1040) == 0 || path[0] == L'\0') continue;
            AddUniquePath(target, ToDriveLetterForm(path, driveMap_));
        }
    }
    SortByFileName(target);
    return 0;
}

void EnumProcess_CL::Refresh() {
    previous_ = current_;
    BuildDriveMap();
    Enumerate(current_);
}

ProcessDiff EnumProcess_CL::Diff() const { return DiffSnapshots(previous_, current_); }

void EnumProcess_CL::LogPathList(const std::wstring& label, const std::vector<std::wstring>& paths) {
    g_Logger.Log(L"%s(%d件)", __FILE__, __LINE__, label.c_str(), static_cast<int>(paths.size()));
    for (const std::wstring& path : paths) g_Logger.Log(L"%s", __FILE__, __LINE__, path.c_str());
}
