#pragma once
// The program's settings: what the user chose, loaded once at start and stored on every edit.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "comlib/process/enum_porocess.h"
#include "data/awake_command.h"
#include "data/awake_reason.h"
#include "data/awake_settings.h"
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
    // DISABLE_TIME day0 (Sunday) to day6: 7 entries after the load, all true by default.
    std::vector<bool> dayTable;
    // Section "AWAKE": the manual session and the hotkey.
    ManualSession session;
    Hotkey hotkey = DefaultHotkey();
    // A stored hotkey the load switched off, as it was written; empty when none was.
    std::wstring droppedHotkey;
    // Section "AWAKE": the display, "aconly", "batteryfloor", "busypercent", "lid", "lidmainsonly".
    AwakeSettings awake;
    // GetSystemPowerStatus; tests put in a battery of their own.
    BOOL(WINAPI* readPowerStatus)(LPSYSTEM_POWER_STATUS) = &::GetSystemPowerStatus;

    // Documents\DormiGuard, or beside the executable when the documents folder is unknown.
    static std::wstring DataFolder();
    static std::wstring IniPath() { return DataFolder() + L"\\" + L"DormiGuard" + L".ini"; }
    static std::wstring LogPath() { return DataFolder() + L"\\log.txt"; }

    // Told of failed saves until it has reached the user once (true): the INI file and the
    // system's error. False, say while the tray icon is not in the tray yet, asks again next time.
    using SaveFailureHandler = std::function<bool(const std::wstring& file, DWORD error)>;

    void LoadSettings();
    void LoadWatchedList();
    // Store one part; after a failed save, every part (see WriteEverything). False when the
    // file refused it: logged, the user told once per run, the settings kept in memory.
    bool SaveWatchedList();
    bool SaveHours();
    // For writes made elsewhere (window rectangle, update memory): reports a refused one.
    bool ReportWrite(bool written);
    bool HasUnsavedSettings() const { return unsaved_; }
    void SetSaveFailureHandler(SaveFailureHandler handler) { failureHandler_ = std::move(handler); }
    // Refreshes the process snapshot and logs what started or ended.
    void RefreshProcesses();
    // One save made of several parts (a settings sheet's OK or Apply): while it lasts, a refused
    // write is logged and reported once for all of them.
    class SaveRound {
    public:
        explicit SaveRound(SaveData& data) : data_(data) { ++data_.roundDepth_; }
        ~SaveRound() {
            if (--data_.roundDepth_ == 0) data_.roundReported_ = false;
        }
        SaveRound(const SaveRound&) = delete;
        SaveRound& operator=(const SaveRound&) = delete;

    private:
        SaveData& data_;
    };

    // Section "AWAKE": the session's key "until", the hotkey, the display and the battery keys.
    void LoadAwakeSettings();
    // The settings pages store through these. Each writes only the keys whose value differs
    // from the one held, so a setting the user never changed stays out of the file; after a
    // failed save, everything (see WriteEverything).
    void StoreAwakeSettings(const AwakeSettings& next);
    void StoreHotkey(const Hotkey& next);
    void StoreDays(const std::vector<bool>& days);
    // Mains and full when the system cannot say.
    PowerStatus CurrentPowerStatus() const;
    // Replaces any session and stores it at once; EndSession removes the key.
    void StartSession(const ManualSession& started);
    void EndSession();

private:
    // Everything the user sets, each part written whole. A new setting joins here, so the first
    // save that works after a failure brings all of them to the file.
    bool WriteEverything() const;
    bool WriteWatchedList() const;
    bool WriteHours() const;
    bool WriteSession() const;
    bool WriteHotkey() const;
    bool WriteAwakeSettings() const;
    // Writes the part, or everything while an earlier save failed; reports a refusal.
    bool Store(const std::function<bool()>& part);

    bool unsaved_ = false;
    bool userTold_ = false;
    int roundDepth_ = 0;
    bool roundReported_ = false;
    SaveFailureHandler failureHandler_;
};

// The program's one settings object.
extern SaveData g_SaveData;
