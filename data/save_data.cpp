#include "data/save_data.h"

#include <shlobj.h>
#include <algorithm>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/utility.h"

SaveData g_SaveData;

namespace {
const wchar_t kProcessSection[] = L"PROCESS_INFO";
const wchar_t kAwakeSection[] = L"AWAKE";
const wchar_t kHourSection[] = L"DISABLE_TIME";

// The indices n of the "path<n>" keys present in PROCESS_INFO that lie below the count, in
// order: one high-numbered key, or a damaged count such as 4294967295, costs one read, not
// billions. Digits only; more than ten of them can never be below a 32-bit count.
std::vector<unsigned long long> PathIndicesBelow(unsigned long long count) {
    std::vector<unsigned long long> indices;
    for (const std::wstring& name : g_Inifile.KeyNames(kProcessSection)) {
        if (name.size() < 5 || name.size() > 14 || _wcsnicmp(name.c_str(), L"path", 4) != 0) continue;
        unsigned long long index = 0;
        bool digits = true;
        for (size_t i = 4; i < name.size() && digits; ++i) {
            digits = name[i] >= L'0' && name[i] <= L'9';
            index = index * 10 + static_cast<unsigned long long>(name[i] - L'0');
        }
        if (digits && index < count) indices.push_back(index);
    }
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

// "mode<N>" beside "path<N>", one entry at a time.
WatchMode ReadWatchMode(unsigned long long index) {
    const std::wstring key = Inifile_CL::NumberedKey(L"mode", static_cast<long long>(index));
    return ParseWatchMode(g_Inifile.ReadString(kProcessSection, key, L""));
}

// A running entry's key is removed, so that an entry moved up by a deletion keeps no condition of
// the one that stood there before.
bool WriteWatchMode(size_t index, WatchMode mode) {
    const std::wstring key = Inifile_CL::NumberedKey(L"mode", static_cast<int>(index));
    if (mode == WatchMode::Running) return g_Inifile.DeleteKey(kProcessSection, key);
    return g_Inifile.WriteString(kProcessSection, key, WatchModeValue(mode));
}
}  // namespace

bool KeepAwakeDecision(const WatchedList_CL& watched, const std::vector<ProcessEntry>& snapshot,
                       const std::vector<bool>& hourTable, int hour) {
    if (watched.MatchesAny(snapshot)) return true;
    return hour >= 0 && hour < 24 && static_cast<size_t>(hour) < hourTable.size() && hourTable[hour];
}

bool ParseWatchedValue(const std::wstring& value, int* enabled, std::wstring* path) {
    if (value.size() < 2) return false;
    *enabled = value[0] == L'0' ? 0 : 1;
    *path = value.substr(2);
    return true;
}

std::wstring SaveData::DataFolder() {
    wchar_t documents[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents)) || documents[0] == L'\0')
        return ModuleFolder() + L"\\" + L"DormiGuard";
    return std::wstring(documents) + L"\\" + L"DormiGuard";
}

void SaveData::LoadSettings() {
    const std::wstring folder = DataFolder();
    g_Logger.SetPath(folder + L"\\log.txt");
    g_Logger.Log(L"\r\n★★★★★ アプリ起動 ★★★★★", __FILE__, __LINE__);
    g_Logger.Log(L"DataFolderPath = \"%s\"", __FILE__, __LINE__, folder.c_str());
    const std::wstring iniPath = folder + L"\\" + L"DormiGuard" + L".ini";
    if (!PathExists(folder)) {
        ::CreateDirectoryW(folder.c_str(), nullptr);
        Inifile_CL::CreateIfMissing(iniPath);
    }
    Inifile_CL::CreateIfMissing(iniPath);
    g_Inifile.SetPath(iniPath);

    imageType = static_cast<int>(g_Inifile.ReadInt(L"DISPLAY", L"ImageType", 1));
    for (int h = 0; h < 24; ++h)
        hourTable.push_back(g_Inifile.ReadInt(L"DISABLE_TIME", FormatWide(L"hour%d", h), 0) != 0);
    dayTable.clear();
    for (int d = 0; d < kWeekdays; ++d)
        dayTable.push_back(g_Inifile.ReadInt(kHourSection, Inifile_CL::NumberedKey(L"day", d), 1) != 0);
    LoadWatchedList();
    LoadAwakeSettings();
}

void SaveData::LoadAwakeSettings() {
    const std::wstring until = g_Inifile.ReadString(kAwakeSection, L"until", L"");
    if (!until.empty()) {
        const SessionValue read = ParseSessionValue(until, UtcNow(), &session);
        if (read != SessionValue::Session) {
            g_Logger.Log(read == SessionValue::Past ? L"手動のスリープ禁止は終了済みです = %s"
                                                    : L"手動のスリープ禁止の値が読めません = %s",
                         __FILE__, __LINE__, until.c_str());
            g_Inifile.DeleteKey(kAwakeSection, L"until");
        }
    }
    // A missing key means the default; nothing is written back.
    const std::wstring key = g_Inifile.ReadString(kAwakeSection, L"hotkey", L"<default>");
    if (key != L"<default>" && !ParseHotkey(key, &hotkey)) {
        g_Logger.Log(L"ホットキーの値が読めません = %s", __FILE__, __LINE__, key.c_str());
        hotkey = Hotkey();
    }
    // One that takes keys from every program (set by hand, or on the page before the rule) is
    // switched off in the file too, so that it is logged and told only once.
    if (JudgeHotkey(hotkey) != HotkeyFault::None) {
        droppedHotkey = key;
        g_Logger.Log(L"使えないホットキーを無効にしました = %s", __FILE__, __LINE__, droppedHotkey.c_str());
        hotkey = Hotkey();
        Store([this] { return WriteHotkey(); });
    }
    awake.display = g_Inifile.ReadInt(kAwakeSection, L"display", 1) != 0;
    awake.acOnly = g_Inifile.ReadInt(kAwakeSection, L"aconly", 0) != 0;
    // ReadInt is unsigned: a stored -1 reads as 4294967295 and is clamped to 50.
    const uint32_t floor = g_Inifile.ReadInt(kAwakeSection, L"batteryfloor", 0);
    awake.batteryFloor = ClampBatteryFloor(floor > 1000 ? 1000 : static_cast<int>(floor));
    const uint32_t busy = g_Inifile.ReadInt(kAwakeSection, L"busypercent", kBusyPercentDefault);
    awake.busyPercent = ClampBusyPercent(busy > 1000 ? 1000 : static_cast<int>(busy));
    awake.lid = g_Inifile.ReadInt(kAwakeSection, L"lid", 0) != 0;
    awake.lidMainsOnly = g_Inifile.ReadInt(kAwakeSection, L"lidmainsonly", 1) != 0;
}

void SaveData::StoreAwakeSettings(const AwakeSettings& next) {
    const AwakeSettings before = awake;
    awake = next;
    awake.batteryFloor = ClampBatteryFloor(next.batteryFloor);
    awake.busyPercent = ClampBusyPercent(next.busyPercent);
    Store([&] {
        const bool display = awake.display == before.display ||
                             g_Inifile.WriteInt(kAwakeSection, L"display", awake.display ? 1 : 0);
        const bool acOnly = display && (awake.acOnly == before.acOnly ||
                                        g_Inifile.WriteInt(kAwakeSection, L"aconly", awake.acOnly ? 1 : 0));
        const bool floor = acOnly && (awake.batteryFloor == before.batteryFloor ||
                                      g_Inifile.WriteInt(kAwakeSection, L"batteryfloor", awake.batteryFloor));
        const bool busy = floor && (awake.busyPercent == before.busyPercent ||
                                    g_Inifile.WriteInt(kAwakeSection, L"busypercent", awake.busyPercent));
        const bool lid =
            busy && (awake.lid == before.lid || g_Inifile.WriteInt(kAwakeSection, L"lid", awake.lid ? 1 : 0));
        return lid && (awake.lidMainsOnly == before.lidMainsOnly ||
                       g_Inifile.WriteInt(kAwakeSection, L"lidmainsonly", awake.lidMainsOnly ? 1 : 0));
    });
}

void SaveData::StoreHotkey(const Hotkey& next) {
    if (next.key == hotkey.key && next.modifiers == hotkey.modifiers) return;
    hotkey = next;
    Store([this] { return WriteHotkey(); });
}

void SaveData::StoreDays(const std::vector<bool>& days) {
    const std::vector<bool> before = dayTable;
    dayTable = days;
    Store([&] {
        for (int d = 0; d < kWeekdays && static_cast<size_t>(d) < days.size(); ++d) {
            const bool held = static_cast<size_t>(d) >= before.size() || before[d];
            if (days[d] != held &&
                !g_Inifile.WriteInt(kHourSection, Inifile_CL::NumberedKey(L"day", d), days[d] ? 1 : 0))
                return false;
        }
        return true;
    });
}

bool SaveData::WriteHotkey() const {
    // An empty value switches the hotkey off; a missing key would bring the default back.
    return g_Inifile.WriteString(kAwakeSection, L"hotkey", FormatHotkey(hotkey));
}

bool SaveData::WriteAwakeSettings() const {
    if (!g_Inifile.WriteInt(kAwakeSection, L"display", awake.display ? 1 : 0) ||
        !g_Inifile.WriteInt(kAwakeSection, L"aconly", awake.acOnly ? 1 : 0) ||
        !g_Inifile.WriteInt(kAwakeSection, L"batteryfloor", awake.batteryFloor) ||
        !g_Inifile.WriteInt(kAwakeSection, L"busypercent", awake.busyPercent) ||
        !g_Inifile.WriteInt(kAwakeSection, L"lid", awake.lid ? 1 : 0) ||
        !g_Inifile.WriteInt(kAwakeSection, L"lidmainsonly", awake.lidMainsOnly ? 1 : 0) || !WriteHotkey())
        return false;
    for (int d = 0; d < kWeekdays; ++d) {
        const bool on = static_cast<size_t>(d) >= dayTable.size() || dayTable[d];
        if (!g_Inifile.WriteInt(kHourSection, Inifile_CL::NumberedKey(L"day", d), on ? 1 : 0)) return false;
    }
    return true;
}

PowerStatus SaveData::CurrentPowerStatus() const {
    SYSTEM_POWER_STATUS status = {};
    if (!readPowerStatus || !readPowerStatus(&status)) return PowerStatus();
    return ReadPowerStatus(status);
}

void SaveData::StartSession(const ManualSession& started) {
    session = started;
    Store([this] { return WriteSession(); });
}

void SaveData::EndSession() {
    session = ManualSession();
    Store([this] { return WriteSession(); });
}

bool SaveData::WriteSession() const {
    return session.active ? g_Inifile.WriteString(kAwakeSection, L"until", FormatSessionValue(session))
                          : g_Inifile.DeleteKey(kAwakeSection, L"until");
}

void SaveData::LoadWatchedList() {
    const unsigned long long count = g_Inifile.ReadInt(kProcessSection, L"count", 0);
    // Keys at or past the count are never read; of those below it, only the ones in the file.
    for (const unsigned long long i : PathIndicesBelow(count)) {
        const std::wstring value =
            g_Inifile.ReadString(kProcessSection, Inifile_CL::NumberedKey(L"path", static_cast<long long>(i)), L"");
        int enabled = 0;
        std::wstring path;
        // A value too short to hold the flag and the colon is no entry (a missing key, say).
        if (ParseWatchedValue(value, &enabled, &path)) watched.AddWatched(path, enabled, ReadWatchMode(i));
    }
}

bool SaveData::WriteWatchedList() const {
    if (!g_Inifile.WriteInt(kProcessSection, L"count", static_cast<int>(watched.Size()))) return false;
    for (size_t i = 0; i < watched.Size(); ++i) {
        const WatchedProcess& record = watched[i];
        if (!g_Inifile.WriteString(kProcessSection, Inifile_CL::NumberedKey(L"path", static_cast<int>(i)),
                                   (record.enabled != 0 ? L"1:" : L"0:") + record.path) ||
            !WriteWatchMode(i, record.mode))
            return false;
    }
    return true;
}

bool SaveData::WriteHours() const {
    for (size_t h = 0; h < hourTable.size() && h < 24; ++h)
        if (!g_Inifile.WriteInt(L"DISABLE_TIME", Inifile_CL::NumberedKey(L"hour", static_cast<int>(h)),
                                hourTable[h] ? 1 : 0))
            return false;
    return true;
}

bool SaveData::WriteEverything() const {
    return WriteWatchedList() && WriteHours() && WriteSession() && WriteAwakeSettings();
}

bool SaveData::Store(const std::function<bool()>& part) {
    const bool written = unsaved_ ? WriteEverything() : part();
    unsaved_ = !written;
    return ReportWrite(written);
}

bool SaveData::SaveWatchedList() { return Store([this] { return WriteWatchedList(); }); }

bool SaveData::SaveHours() { return Store([this] { return WriteHours(); }); }

bool SaveData::ReportWrite(bool written) {
    if (written) return true;
    if (roundReported_) return false;
    roundReported_ = roundDepth_ > 0;
    const DWORD error = g_Inifile.LastWriteError();
    g_Logger.Log(L"設定を保存できませんでした: %s : 0x%08x : %s", __FILE__, __LINE__, g_Inifile.Path().c_str(),
                 static_cast<unsigned>(error), SystemErrorText(error).c_str());
    if (!userTold_ && failureHandler_) userTold_ = failureHandler_(g_Inifile.Path(), error);
    return false;
}

void SaveData::RefreshProcesses() {
    processes.Refresh();
    const ProcessDiff diff = processes.Diff();
    if (diff.Empty()) return;
    const Logger_CL::Batch batch(g_Logger);
    g_Logger.Log(L"---- プロセス情報変更 ----", __FILE__, __LINE__);
    if (!diff.added.empty()) EnumProcess_CL::LogPathList(L"★今回追加", diff.added);
    if (!diff.removed.empty()) EnumProcess_CL::LogPathList(L"★今回削除", diff.removed);
}
