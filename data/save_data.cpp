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

// Highest index n of a "path<n>" key in PROCESS_INFO, or -1. Bounds the load when the
// stored count is damaged (say 4294967295) instead of asking for billions of keys.
long long HighestPathIndex() {
    std::vector<wchar_t> names(65536, L'\0');
    const DWORD length = ::GetPrivateProfileStringW(kProcessSection, nullptr, L"", names.data(),
                                                    static_cast<DWORD>(names.size()), g_Inifile.Path().c_str());
    long long highest = -1;
    for (const wchar_t* name = names.data(); name < names.data() + length && *name; name += wcslen(name) + 1) {
        if (_wcsnicmp(name, L"path", 4) != 0 || name[4] == L'\0') continue;
        wchar_t* end = nullptr;
        const unsigned long long index = wcstoull(name + 4, &end, 10);
        if (*end == L'\0' && iswdigit(name[4])) highest = std::max(highest, static_cast<long long>(index));
    }
    return highest;
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
    awake.display = g_Inifile.ReadInt(kAwakeSection, L"display", 1) != 0;
    awake.acOnly = g_Inifile.ReadInt(kAwakeSection, L"aconly", 0) != 0;
    // ReadInt is unsigned: a stored -1 reads as 4294967295 and is clamped to 50.
    const uint32_t floor = g_Inifile.ReadInt(kAwakeSection, L"batteryfloor", 0);
    awake.batteryFloor = ClampBatteryFloor(floor > 1000 ? 1000 : static_cast<int>(floor));
}

void SaveData::StoreAwakeSettings(const AwakeSettings& next) {
    const AwakeSettings before = awake;
    awake = next;
    awake.batteryFloor = ClampBatteryFloor(next.batteryFloor);
    Store([&] {
        const bool display = awake.display == before.display ||
                             g_Inifile.WriteInt(kAwakeSection, L"display", awake.display ? 1 : 0);
        const bool acOnly = display && (awake.acOnly == before.acOnly ||
                                        g_Inifile.WriteInt(kAwakeSection, L"aconly", awake.acOnly ? 1 : 0));
        return acOnly && (awake.batteryFloor == before.batteryFloor ||
                          g_Inifile.WriteInt(kAwakeSection, L"batteryfloor", awake.batteryFloor));
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
        !g_Inifile.WriteInt(kAwakeSection, L"batteryfloor", awake.batteryFloor) || !WriteHotkey())
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

bool SaveData::AddHandedProcess(DWORD processId) {
    UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process || ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
        const DWORD error = process ? ERROR_INVALID_PARAMETER : ::GetLastError();
        g_Logger.Log(L"コマンドラインのプロセスを開けません PID = %u : %s", __FILE__, __LINE__,
                     static_cast<unsigned>(processId), SystemErrorText(error).c_str());
        return false;
    }
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &size)) path[0] = L'\0';
    for (HandedProcess& entry : handed)
        if (entry.processId == processId) return true;
    HandedProcess entry;
    entry.processId = processId;
    entry.fileName = FileNamePart(path);
    entry.process = std::move(process);
    g_Logger.Log(L"コマンドラインのプロセスを監視します = %s (PID %u)", __FILE__, __LINE__, entry.fileName.c_str(),
                 static_cast<unsigned>(processId));
    handed.push_back(std::move(entry));
    return true;
}

void SaveData::LoadWatchedList() {
    const unsigned long long count = g_Inifile.ReadInt(kProcessSection, L"count", 0);
    const unsigned long long present = static_cast<unsigned long long>(HighestPathIndex() + 1);
    const unsigned long long limit = std::min(count, present);
    for (unsigned long long i = 0; i < limit; ++i) {
        const std::wstring value =
            g_Inifile.ReadString(kProcessSection, Inifile_CL::NumberedKey(L"path", static_cast<int>(i)), L"");
        int enabled = 0;
        std::wstring path;
        // A value too short to hold the flag and the colon is no entry (a missing key, say).
        if (ParseWatchedValue(value, &enabled, &path)) watched.AddWatched(path, enabled);
    }
}

bool SaveData::WriteWatchedList() const {
    if (!g_Inifile.WriteInt(kProcessSection, L"count", static_cast<int>(watched.Size()))) return false;
    for (size_t i = 0; i < watched.Size(); ++i) {
        const WatchedProcess& record = watched[i];
        if (!g_Inifile.WriteString(kProcessSection, Inifile_CL::NumberedKey(L"path", static_cast<int>(i)),
                                   (record.enabled != 0 ? L"1:" : L"0:") + record.path))
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
    const DWORD error = g_Inifile.LastWriteError();
    g_Logger.Log(L"設定を保存できませんでした: %s : 0x%08x : %s", __FILE__, __LINE__, g_Inifile.Path().c_str(),
                 static_cast<unsigned>(error), SystemErrorText(error).c_str());
    if (!userTold_ && failureHandler_) userTold_ = failureHandler_(g_Inifile.Path(), error);
    return false;
}

bool SaveData::ShouldKeepAwake() { return DecideAwake().KeepsAwake(); }

AwakeReason SaveData::DecideAwake() {
    processes.Refresh();
    const ProcessDiff diff = processes.Diff();
    if (!diff.Empty()) {
        const Logger_CL::Batch batch(g_Logger);
        g_Logger.Log(L"---- プロセス情報変更 ----", __FILE__, __LINE__);
        if (!diff.added.empty()) EnumProcess_CL::LogPathList(L"★今回追加", diff.added);
        if (!diff.removed.empty()) EnumProcess_CL::LogPathList(L"★今回削除", diff.removed);
    }
    if (session.active && !session.indefinite && session.endUtc <= UtcNow()) {
        g_Logger.Log(L"手動のスリープ禁止が終了しました", __FILE__, __LINE__);
        EndSession();
    }
    for (size_t i = handed.size(); i-- > 0;) {
        if (::WaitForSingleObject(handed[i].process.Get(), 0) != WAIT_OBJECT_0) continue;
        g_Logger.Log(L"コマンドラインのプロセスが終了しました = %s (PID %u)", __FILE__, __LINE__,
                     handed[i].fileName.c_str(), static_cast<unsigned>(handed[i].processId));
        handed.erase(handed.begin() + static_cast<std::ptrdiff_t>(i));
    }
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    const AwakeReason reason =
        DecideAwakeReason(session, handed, watched, processes.Current(), hourTable, now.wHour, dayTable, now.wDayOfWeek);
    // Without a battery rule the battery is not even asked.
    if (!awake.acOnly && awake.batteryFloor == 0) return reason;
    return ApplyBatteryRules(reason, awake, CurrentPowerStatus());
}
