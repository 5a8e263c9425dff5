#pragma once
// The program's settings: what the user chose, loaded once at start and stored on every edit.
#include <string>
#include <vector>

#include "comlib/process/enum_porocess.h"
#include "data/watched_list.h"

// The keep-awake rule: an enabled watched program runs, or the local hour is marked.
bool KeepAwakeDecision(const WatchedList_CL& watched, const std::vector<ProcessEntry>& snapshot,
                       const std::vector<bool>& hourTable, int hour);

// "1:C:\x.exe" -> enabled 1 and the path; values shorter than "1:" are not entries.
bool ParseWatchedValue(const std::wstring& value, int* enabled, std::wstring* path);

class SaveData {
public:
    int imageType = 0;
    EnumProcess_CL processes;
    int trayHidden = 1;
    WatchedList_CL watched;
    std::vector<bool> hourTable;

    // Documents\DormiGuard, or beside the executable when the documents folder is unknown.
    static std::wstring DataFolder();
    static std::wstring IniPath() { return DataFolder() + L"\\" + L"DormiGuard" + L".ini"; }
    static std::wstring LogPath() { return DataFolder() + L"\\log.txt"; }

    void LoadSettings();
    void LoadWatchedList();
    void SaveWatchedList() const;
    // Refreshes the process snapshot, logs what started or ended, and decides.
    bool ShouldKeepAwake();
};

// The program's one settings object.
extern SaveData g_SaveData;
