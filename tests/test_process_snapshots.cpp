// Process snapshots, the watched list and the keep-awake decision, against real processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <clocale>
#include <cwchar>
#include <map>
#include <optional>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/process/enum_porocess.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "data/watched_list.h"
#include "guard/awake_guard.h"
#include "tests/http_test_support.h"
#include "tests/test_helpers.h"
#include "view/process_select/process_rows.h"

namespace {

ProcessSnapshot Entries(std::initializer_list<const wchar_t*> paths) {
    ProcessSnapshot list;
    for (const wchar_t* path : paths) AddUniquePath(list, path);
    return list;
}

std::vector<std::wstring> FileNames(const ProcessSnapshot& snapshot) {
    std::vector<std::wstring> names;
    for (const ProcessEntry& e : snapshot.entries) names.push_back(FileNamePart(e.path));
    return names;
}

size_t CountFileName(const std::vector<ProcessEntry>& list, const std::wstring& fileName) {
    return static_cast<size_t>(std::count_if(list.begin(), list.end(), [&](const ProcessEntry& e) {
        return EqualsNoCase(FileNamePart(e.path), fileName);
    }));
}

const ProcessEntry* FindFileName(const std::vector<ProcessEntry>& list, const std::wstring& fileName) {
    for (const ProcessEntry& e : list)
        if (EqualsNoCase(FileNamePart(e.path), fileName)) return &e;
    return nullptr;
}

std::wstring TempLog(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + name;
    ::DeleteFileW(path.c_str());
    return path;
}

bool Contains(const std::vector<std::wstring>& list, const std::wstring& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

TEST(StringKeyRule, LowerCasedTimesThreePlusCodeUnit) {
    std::setlocale(LC_ALL, "Japanese");
    EXPECT_EQ(StringKey(L"abc"), 1266u);
    EXPECT_EQ(StringKey(L"ABC"), 1266u);
    EXPECT_EQ(StringKey(L""), 0u);
    // Wraps modulo 2^32 instead of overflowing into anything else.
    EXPECT_EQ(StringKey(std::wstring(64, L'z')), 4080208128u);
}

TEST(StringKeyRule, NamesThatCompareEqualHaveEqualKeys) {
    std::setlocale(LC_ALL, "Japanese");
    const wchar_t* pairs[][2] = {
        {L"ärger.exe", L"ÄRGER.EXE"},
        {L"ｔｏｏｌ.exe", L"ＴＯＯＬ.EXE"},  // fullwidth letters
        {L"σύνολο.exe", L"ΣΎΝΟΛΟ.exe"},
        {L"файл.exe", L"ФАЙЛ.exe"},
    };
    for (const auto& pair : pairs) {
        ASSERT_TRUE(EqualsNoCase(pair[0], pair[1])) << pair[0];
        EXPECT_EQ(StringKey(pair[0]), StringKey(pair[1])) << pair[0];
        // So neither list takes the same name twice.
        WatchedList_CL watched;
        EXPECT_TRUE(watched.AddWatched(std::wstring(L"c:\\a\\") + pair[0], 1));
        EXPECT_FALSE(watched.AddWatched(std::wstring(L"d:\\b\\") + pair[1], 1)) << pair[1];
        ProcessSnapshot snapshot;
        EXPECT_TRUE(AddUniquePath(snapshot, std::wstring(L"c:\\a\\") + pair[0]));
        EXPECT_FALSE(AddUniquePath(snapshot, std::wstring(L"C:\\A\\") + pair[1]));
        EXPECT_EQ(snapshot.entries.size(), 1u) << pair[1];
    }
    EXPECT_FALSE(EqualsNoCase(L"a.exe", L"b.exe"));
    EXPECT_FALSE(EqualsNoCase(L"a.exe", L"a.ex"));
}

TEST(DriveLetterForm, FirstMatchingDeviceWinsAndLetterIsLowerCase) {
    DriveMap map(26);
    map[2] = L"\\Device\\HarddiskVolume1";   // c:
    map[3] = L"\\Device\\HarddiskVolume10";  // d:
    map[25] = L"\\??\\Z:";
    struct Case {
        const wchar_t* device;
        const wchar_t* expected;
    } cases[] = {
        {L"\\Device\\HarddiskVolume1\\Windows\\notepad.exe", L"c:\\Windows\\notepad.exe"},
        {L"\\DEVICE\\harddiskvolume1\\App\\Tool.EXE", L"c:\\App\\Tool.EXE"},
        // The device name ends at a separator: c:'s shorter name does not take d:'s.
        {L"\\Device\\HarddiskVolume10\\x.exe", L"d:\\x.exe"},
        {L"\\Device\\HarddiskVolume10", L"d:"},
        {L"\\Device\\HarddiskVolume12\\x.exe", L"\\Device\\HarddiskVolume12\\x.exe"},
        {L"\\Device\\Mup\\server\\share\\tool.exe", L"\\Device\\Mup\\server\\share\\tool.exe"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ToDriveLetterForm(c.device, map), c.expected) << c.device;
}

TEST(SnapshotRules, DuplicatesSortAndDiff) {
    // One entry per distinct path, compared case-insensitively.
    ProcessSnapshot list = Entries({L"c:\\a\\b.exe", L"C:\\A\\B.EXE", L"c:\\x\\b.exe"});
    EXPECT_EQ(list.entries.size(), 2u);

    // Upper case sorts before lower case.
    list = Entries({L"c:\\z\\a.exe", L"c:\\y\\B.exe", L"c:\\x\\Zeta.exe", L"c:\\w\\alpha.exe"});
    SortByFileName(list);
    EXPECT_EQ(FileNames(list), (std::vector<std::wstring>{L"B.exe", L"Zeta.exe", L"a.exe", L"alpha.exe"}));

    // Same set in another order: no difference.
    const ProcessSnapshot before = Entries({L"c:\\a.exe", L"c:\\b.exe", L"c:\\c.exe"});
    EXPECT_TRUE(DiffSnapshots(before, Entries({L"c:\\C.EXE", L"c:\\a.exe", L"c:\\b.exe"})).Empty());

    const ProcessDiff diff = DiffSnapshots(before, Entries({L"c:\\b.exe", L"c:\\d.exe", L"c:\\e.exe"}));
    EXPECT_EQ(diff.added, (std::vector<std::wstring>{L"c:\\d.exe", L"c:\\e.exe"}));
    EXPECT_EQ(diff.removed, (std::vector<std::wstring>{L"c:\\a.exe", L"c:\\c.exe"}));
}

TEST(SnapshotRules, EntryKnowsItsFileNameAndKeys) {
    const ProcessSnapshot list = Entries({L"c:\\x\\AB", L"AB.exe", L"c:\\dir\\"});
    ASSERT_EQ(list.entries.size(), 3u);
    const ProcessEntry& inFolder = list.entries[0];
    EXPECT_EQ(inFolder.path, L"c:\\x\\AB");
    EXPECT_EQ(inFolder.pathKey, 98174u);
    EXPECT_EQ(inFolder.nameOffset, 5u);
    EXPECT_EQ(inFolder.nameKey, 389u);  // 'a' * 3 + 'b'
    EXPECT_EQ(std::wstring(inFolder.FileName(), inFolder.FileNameLength()), L"AB");
    // No backslash: the whole path is the file name.
    EXPECT_EQ(list.entries[1].nameOffset, 0u);
    EXPECT_EQ(list.entries[1].FileNameLength(), 6u);
    // Ends in a backslash: an empty file name, key 0.
    EXPECT_EQ(list.entries[2].FileNameLength(), 0u);
    EXPECT_EQ(list.entries[2].nameKey, 0u);
}

TEST(SnapshotRules, EqualFileNamesKeepTheOrderOfEnumeration) {
    // Forty b.exe in folders named against their order, among other names: more than the sort's
    // small-range threshold, so its partitioning runs.
    ProcessSnapshot list;
    std::vector<std::wstring> expectedB;
    for (int i = 0; i < 40; ++i) {
        const std::wstring folder = FormatWide(L"c:\\f%02d\\", 39 - i);
        AddUniquePath(list, folder + L"c.exe");
        AddUniquePath(list, folder + L"b.exe");
        AddUniquePath(list, folder + L"a.exe");
        expectedB.push_back(folder + L"b.exe");
    }
    SortByFileName(list);
    ASSERT_EQ(list.entries.size(), 120u);
    std::vector<std::wstring> sortedB;
    for (size_t i = 40; i < 80; ++i) sortedB.push_back(list.entries[i].path);
    EXPECT_EQ(sortedB, expectedB);
    EXPECT_EQ(list.entries[0].path, L"c:\\f39\\a.exe");
    EXPECT_EQ(list.entries[119].path, L"c:\\f00\\c.exe");
    // The index follows the entries to their new places.
    EXPECT_FALSE(AddUniquePath(list, L"C:\\F17\\B.EXE"));
    EXPECT_TRUE(AddUniquePath(list, L"c:\\f17\\d.exe"));
}

TEST(SnapshotRules, SortComparesWholeNamesByCodeUnit) {
    // Names that agree in their first eight units, names that begin others, short names, and
    // fullwidth Ａ (U+FF21), above every ASCII unit.
    ProcessSnapshot list = Entries({L"c:\\applicationZ.exe", L"c:\\\xFF21.exe", L"c:\\applicationA.exe",
                                    L"c:\\applic.exe", L"c:\\appl", L"c:\\app", L"c:\\applicationA.ex",
                                    L"c:\\z.exe", L"d:\\Z.exe"});
    SortByFileName(list);
    EXPECT_EQ(FileNames(list),
              (std::vector<std::wstring>{L"Z.exe", L"app", L"appl", L"applic.exe", L"applicationA.ex",
                                         L"applicationA.exe", L"applicationZ.exe", L"z.exe", L"\xFF21.exe"}));
}

TEST(SnapshotRules, EqualKeysAreOnlyAFilter) {
    // '`' * 3 + 'e' == 'a' * 3 + 'b': two paths with one key.
    ProcessSnapshot first = Entries({L"c:\\x\\ab"});
    EXPECT_TRUE(AddUniquePath(first, L"c:\\x\\`e"));
    ASSERT_EQ(first.entries.size(), 2u);
    EXPECT_EQ(first.entries[0].pathKey, first.entries[1].pathKey);
    const ProcessDiff diff = DiffSnapshots(Entries({L"c:\\x\\ab"}), Entries({L"c:\\x\\`e"}));
    EXPECT_EQ(diff.added, (std::vector<std::wstring>{L"c:\\x\\`e"}));
    EXPECT_EQ(diff.removed, (std::vector<std::wstring>{L"c:\\x\\ab"}));
}

TEST(SnapshotRules, ThousandsOfProgramsInAnyOrder) {
    // Three instances of each of 3,000 programs, the third in upper case, enumerated in one
    // order; then the same programs reversed, with one of them replaced.
    ProcessSnapshot before;
    ProcessSnapshot after;
    before.Clear(9000);
    for (int i = 0; i < 3000; ++i) {
        const std::wstring path = FormatWide(L"c:\\Program Files\\p%d\\tool%d.exe", i, i % 7);
        AddUniquePath(before, path);
        AddUniquePath(before, path);
        EXPECT_FALSE(AddUniquePath(before, FormatWide(L"C:\\PROGRAM FILES\\P%d\\TOOL%d.EXE", i, i % 7)));
    }
    for (int i = 2999; i >= 0; --i)
        AddUniquePath(after, i == 1234 ? std::wstring(L"c:\\new\\tool0.exe")
                                       : FormatWide(L"c:\\Program Files\\p%d\\tool%d.exe", i, i % 7));
    SortByFileName(before);
    SortByFileName(after);
    EXPECT_EQ(before.entries.size(), 3000u);
    EXPECT_EQ(after.entries.size(), 3000u);
    const ProcessDiff diff = DiffSnapshots(before, after);
    EXPECT_EQ(diff.added, (std::vector<std::wstring>{L"c:\\new\\tool0.exe"}));
    EXPECT_EQ(diff.removed, (std::vector<std::wstring>{L"c:\\Program Files\\p1234\\tool2.exe"}));
    // Emptied for the next enumeration, it takes the same paths again.
    before.Clear(3);
    EXPECT_TRUE(before.entries.empty());
    EXPECT_TRUE(AddUniquePath(before, L"c:\\Program Files\\p0\\tool0.exe"));
}

TEST(WatchedListRules, AddSortRemoveEnable) {
    WatchedList_CL list;
    EXPECT_TRUE(list.AddWatched(L"D:\\B\\TOOL.EXE", 0));
    // Same file name in another folder: refused, the listed record keeps its path and flag.
    EXPECT_FALSE(list.AddWatched(L"C:\\A\\tool.exe", 1));
    ASSERT_EQ(list.Size(), 1u);
    EXPECT_EQ(list[0].path, L"D:\\B\\TOOL.EXE");
    EXPECT_EQ(list[0].enabled, 0);
    EXPECT_EQ(list[0].nameKey, 372944u);  // "tool.exe"

    EXPECT_TRUE(list.AddWatched(L"C:\\x\\alpha.exe", 1));
    EXPECT_TRUE(list.AddWatched(L"Zeta.exe", 1));  // no backslash: the whole text is the name
    list.SortByFileName();
    EXPECT_EQ(list[0].fileName, L"TOOL.EXE");
    EXPECT_EQ(list[1].fileName, L"Zeta.exe");
    EXPECT_EQ(list[2].fileName, L"alpha.exe");

    list.SetEnabledAt(0, 1);
    EXPECT_EQ(list[0].enabled, 1);
    list.RemoveAt(1);
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list[1].fileName, L"alpha.exe");
    list.RemoveAt(7);  // out of range: nothing happens
    EXPECT_EQ(list.Size(), 2u);
}

TEST(KeepAwakeRule, WatchedProgramsThenHours) {
    WatchedList_CL watched;
    watched.AddWatched(L"C:\\A\\tool.exe", 1);
    watched.AddWatched(L"C:\\A\\off.exe", 0);
    const std::vector<bool> noHours(24, false);
    std::vector<bool> hour23(24, false);
    hour23[23] = true;

    struct Case {
        std::vector<ProcessEntry> running;
        const std::vector<bool>* hours;
        int hour;
        bool expected;
        const char* why;
    } cases[] = {
        {Entries({L"d:\\B\\TOOL.EXE"}).entries, &noHours, 10, true, "file name matches, whatever the folder and case"},
        {Entries({L"c:\\A\\off.exe"}).entries, &noHours, 10, false, "a disabled record never keeps awake"},
        {Entries({L"c:\\A\\other.exe"}).entries, &noHours, 10, false, "nothing watched runs"},
        {Entries({}).entries, &hour23, 23, true, "marked hour"},
        {Entries({}).entries, &hour23, 0, false, "first hour after midnight"},
        {Entries({}).entries, &hour23, 24, false, "an hour out of range"},
        {Entries({L"c:\\tool.exe.bak"}).entries, &noHours, 3, false, "no partial name match"},
        // 'w' * 3 + 'h' == 'x' * 3 + 'e': the key of tool.exe, another name.
        {Entries({L"c:\\A\\tool.ewh"}).entries, &noHours, 3, false, "an equal key alone is no match"},
    };
    ASSERT_EQ(StringKey(L"tool.ewh"), StringKey(L"tool.exe"));
    for (const Case& c : cases) EXPECT_EQ(KeepAwakeDecision(watched, c.running, *c.hours, c.hour), c.expected) << c.why;
}

TEST(SnapshotPathRule, PathOrFileNameOrNothing) {
    DriveMap map(26);
    map[2] = L"\\Device\\HarddiskVolume1";
    const std::wstring notepad = L"\\Device\\HarddiskVolume1\\windows\\notepad.exe";
    const std::wstring empty;
    const std::wstring unmapped = L"\\Device\\Mup\\server\\agent.exe";
    struct Case {
        const wchar_t* name;
        const std::wstring* devicePath;  // null: the process could not be opened or queried
        std::optional<std::wstring> expected;
    } cases[] = {
        {L"notepad.exe", &notepad, L"c:\\windows\\notepad.exe"},
        {L"agent.exe", &unmapped, L"\\Device\\Mup\\server\\agent.exe"},
        {L"MsMpEng.exe", nullptr, L"MsMpEng.exe"},
        {L"MsMpEng.exe", &empty, L"MsMpEng.exe"},
        {L"", nullptr, std::nullopt},
        {L"", &notepad, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(SnapshotPathOf(c.name, c.devicePath, map), c.expected) << c.name;
}

// The listing and the open replaced: processes of other sessions, ones the user may not open,
// the idle process, and ids that come back with another program.
class FakeSource : public ProcessSource {
public:
    std::vector<ListedProcess> listed;
    std::map<DWORD, std::wstring> devicePaths;  // an id missing here cannot be opened
    std::vector<DWORD> opened;
    int listings = 0;

    DWORD OwnSession() override { return 1; }
    bool List(std::vector<ListedProcess>& processes) override {
        ++listings;
        processes = listed;
        return true;
    }
    bool QueryImagePath(DWORD id, std::wstring& devicePath) override {
        opened.push_back(id);
        const auto found = devicePaths.find(id);
        if (found == devicePaths.end()) return false;
        devicePath = found->second;
        return true;
    }
    UniqueHandle OpenToWatch(DWORD, DWORD* error) override {
        *error = ERROR_ACCESS_DENIED;
        return UniqueHandle();
    }
};

class ListedProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        std::setlocale(LC_ALL, "Japanese");
        logPath_ = TempLog(L"dg_listed_log.txt");
        g_Logger.SetPath(logPath_);
        source_.listed = {{0, 0, L""},  // the idle process
                          {4, 0, L"MsMpEng.exe"},
                          {40, 1, L"notepad.exe", 7},
                          {44, 2, L"theirs.exe"},
                          {48, 1, L"ghost.exe"}};
        source_.devicePaths = {{40, L"\\Device\\HarddiskVolume1\\windows\\notepad.exe"},
                               {44, L"\\Device\\HarddiskVolume1\\theirs.exe"},
                               {48, L""}};
        data_.hourTable.assign(24, false);
        data_.processes.SetSource(&source_);
    }
    void TearDown() override { g_Logger.SetPath(L""); }

    std::vector<std::wstring> Paths() const {
        std::vector<std::wstring> paths;
        for (const ProcessEntry& entry : data_.processes.Current()) paths.push_back(entry.path);
        return paths;
    }

    FakeSource source_;
    SaveData data_;
    AwakeGuard_CL guard_{data_};
    std::wstring logPath_;
};

TEST_F(ListedProcesses, OneTheUserCannotOpenIsListedPickedAndKeepsAwake) {
    EXPECT_FALSE(guard_.Decide().KeepsAwake());
    EXPECT_EQ(source_.opened, (std::vector<DWORD>{4, 40, 48}));
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{L"MsMpEng.exe", L"ghost.exe", L"c:\\windows\\notepad.exe"}));
    const std::vector<std::wstring> log = SplitLines(ReadUtf16File(logPath_));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_NE(log[1].find(L"★今回追加(3件)"), std::wstring::npos);
    EXPECT_NE(log[2].find(L" : MsMpEng.exe"), std::wstring::npos) << log[2];

    // Picked in the selection dialog: an empty path column, stored by its file name.
    const ProcessEntry& service = data_.processes.Current()[0];
    SelectRow row;
    row.cells = ProcessRowCells(service);
    EXPECT_EQ(row.cells, (std::vector<std::wstring>{L"MsMpEng.exe", L""}));
    EXPECT_EQ(ProcessRowCells(data_.processes.Current()[2]),
              (std::vector<std::wstring>{L"notepad.exe", L"c:\\windows\\notepad.exe"}));
    ASSERT_TRUE(data_.watched.AddWatched(WatchedPathOfRow(row), 1));
    const std::wstring ini = TempLog(L"dg_listed.ini");
    Inifile_CL::CreateIfMissing(ini);
    g_Inifile.SetPath(ini);
    data_.SaveWatchedList();
    EXPECT_EQ(g_Inifile.ReadString(L"PROCESS_INFO", L"path0", L""), L"1:MsMpEng.exe");
    g_Inifile.SetPath(L"");
    ::DeleteFileW(ini.c_str());
    EXPECT_TRUE(guard_.Decide().KeepsAwake());
}

TEST_F(ListedProcesses, SteadyChecksOpenNothingAndAReusedIdIsLookedUpAgain) {
    guard_.Decide();
    std::vector<std::pair<DWORD, uint64_t>> counted;
    for (const ListedProcess& listed : data_.processes.Listed()) counted.emplace_back(listed.id, listed.cpuTime);
    EXPECT_EQ(counted, (std::vector<std::pair<DWORD, uint64_t>>{{4, 0}, {40, 7}, {48, 0}}));
    source_.opened.clear();
    guard_.Decide();
    EXPECT_TRUE(source_.opened.empty());
    EXPECT_TRUE(data_.processes.Diff().Empty());

    // Id 40 now belongs to another program, id 4 moved to the user's session, 48 ended.
    source_.listed = {{4, 1, L"MsMpEng.exe"}, {40, 1, L"calc.exe"}, {44, 2, L"theirs.exe"}};
    source_.devicePaths[40] = L"\\Device\\HarddiskVolume1\\windows\\calc.exe";
    EXPECT_FALSE(guard_.Decide().KeepsAwake());
    EXPECT_EQ(source_.opened, (std::vector<DWORD>{4, 40}));
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{L"MsMpEng.exe", L"c:\\windows\\calc.exe"}));
    const ProcessDiff diff = data_.processes.Diff();
    EXPECT_EQ(diff.added, (std::vector<std::wstring>{L"c:\\windows\\calc.exe"}));
    EXPECT_EQ(diff.removed, (std::vector<std::wstring>{L"ghost.exe", L"c:\\windows\\notepad.exe"}));
    EXPECT_EQ(source_.listings, 3);
    // The same id, session and name started anew: its creation time tells it apart.
    source_.opened.clear();
    source_.listed[1].createTime = 7;
    guard_.Decide();
    EXPECT_EQ(source_.opened, (std::vector<DWORD>{40}));
}

// -pid of a process the user may not open: it runs while the listing shows its id and creation time.
TEST_F(ListedProcesses, HandedOverProcessThatCannotBeOpenedIsWatchedInTheListing) {
    for (const DWORD id : {4u, 44u, 52u})
        EXPECT_EQ(guard_.Apply({AwakeCommand::Kind::Pid, 0, -1, -1, id, L""}), id != 52) << "52 is not in the listing";
    EXPECT_EQ(guard_.Decide().processId, 4u);
    source_.listed.erase(source_.listed.begin() + 3);  // 44 ended
    EXPECT_EQ(guard_.Decide().processId, 4u);
    source_.listed[1].createTime = 9;  // 4 ended and its id was given to another process
    EXPECT_FALSE(guard_.Decide().KeepsAwake());
    EXPECT_EQ(LogMessagesFrom(logPath_, L"save_data.cpp"),
              (std::vector<std::wstring>{L"コマンドラインのプロセスを開けないため一覧で監視します = MsMpEng.exe (PID 4)",
                                         L"コマンドラインのプロセスを開けないため一覧で監視します = theirs.exe (PID 44)",
                                         L"コマンドラインのプロセスを開けません PID = 52 : " + SystemErrorText(5),
                                         L"---- プロセス情報変更 ----",
                                         L"コマンドラインのプロセスが終了しました = theirs.exe (PID 44)",
                                         L"コマンドラインのプロセスが終了しました = MsMpEng.exe (PID 4)"}));
}

// Wine's notepad.exe as the watched program: snapshots, diff, log and the decision.
class RealProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        std::setlocale(LC_ALL, "Japanese");
        logPath_ = TempLog(L"dg_process_log.txt");
        g_Logger.SetPath(logPath_);
    }
    void TearDown() override { g_Logger.SetPath(L""); }

    static bool SnapshotHas(EnumProcess_CL& processes, bool expected) {
        return WaitFor(
            [&] {
                processes.Refresh();
                return (FindFileName(processes.Current(), L"notepad.exe") != nullptr) == expected;
            },
            15000);
    }

    std::wstring logPath_;
};

// The system's listing gives each process's kernel and user time: this one's grows as it works.
TEST_F(RealProcesses, ListingGivesCpuTimes) {
    uint64_t times[2] = {};
    for (uint64_t& time : times) {
        std::vector<ListedProcess> listed;
        ASSERT_TRUE(SystemProcessSource::Instance().List(listed));
        for (const ListedProcess& process : listed)
            if (process.id == ::GetCurrentProcessId()) time = process.cpuTime;
        volatile uint64_t spin = 0;
        for (const ULONGLONG start = ::GetTickCount64(); ::GetTickCount64() - start < 300;) spin = spin + 1;
    }
    EXPECT_GE(times[1], times[0] + 1000000) << "at least 100 ms of 300 ms at work";
}

TEST_F(RealProcesses, TwoNotepadsAreOneEntryAndTheDiffFollowsThem) {
    EnumProcess_CL processes;
    ASSERT_EQ(processes.Drives().size(), 26u);
    EXPECT_FALSE(processes.Drives()[2].empty()) << "c: maps to a device";

    ChildProcess first(L"\"" + NotepadPath() + L"\"");
    ChildProcess second(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(first.Started() && second.Started());
    ASSERT_TRUE(WaitFor(
        [&] {
            processes.Refresh();
            return FindFileName(processes.Current(), L"notepad.exe") != nullptr;
        },
        15000));
    // Let both copies appear, then take two snapshots in a row: nothing changed between them.
    ASSERT_TRUE(WaitFor(
        [&] {
            processes.Refresh();
            processes.Refresh();
            return processes.Diff().Empty();
        },
        15000));
    EXPECT_EQ(CountFileName(processes.Current(), L"notepad.exe"), 1u);
    const ProcessEntry* found = FindFileName(processes.Current(), L"notepad.exe");
    ASSERT_NE(found, nullptr);
    const ProcessEntry notepad = *found;  // the snapshot is replaced by the next refresh
    const ProcessEntry* entry = &notepad;
    ASSERT_GE(entry->path.size(), 3u);
    EXPECT_TRUE(entry->path[0] >= L'a' && entry->path[0] <= L'z') << entry->path;
    EXPECT_EQ(entry->path.substr(1, 2), L":\\");
    EXPECT_EQ(entry->path, L"c:\\windows\\system32\\notepad.exe");
    EXPECT_EQ(entry->pathKey, 1211247413u);
    // Sorted by file name.
    for (size_t i = 1; i < processes.Current().size(); ++i)
        EXPECT_LE(FileNamePart(processes.Current()[i - 1].path), FileNamePart(processes.Current()[i].path));

    // One copy ends: the program still runs, nothing to report about it (Wine's own services
    // may come and go meanwhile).
    first.Kill();
    processes.Refresh();
    const ProcessDiff oneEnded = processes.Diff();
    EXPECT_FALSE(Contains(oneEnded.removed, entry->path));
    EXPECT_FALSE(Contains(oneEnded.added, entry->path));

    // Both ended: listed as removed.
    second.Kill();
    processes.Refresh();
    const ProcessDiff diff = processes.Diff();
    EXPECT_TRUE(diff.added.empty());
    EXPECT_TRUE(Contains(diff.removed, entry->path));
}

// The test prefix links d: to m: (scripts/wine_env.sh), so l: is \Device\HarddiskVolume10 and
// c: the \Device\HarddiskVolume1 that is a prefix of its name.
TEST_F(RealProcesses, ProgramOnTheTenthVolumeKeepsItsDriveLetter) {
    wchar_t device[MAX_PATH] = {};
    ASSERT_NE(::QueryDosDeviceW(L"c:", device, MAX_PATH), 0u);
    ASSERT_STREQ(device, L"\\Device\\HarddiskVolume1");
    ASSERT_NE(::QueryDosDeviceW(L"l:", device, MAX_PATH), 0u);
    ASSERT_STREQ(device, L"\\Device\\HarddiskVolume10");
    ::CreateDirectoryW(L"l:\\apps", nullptr);
    ASSERT_TRUE(::CopyFileW(NotepadPath().c_str(), L"l:\\apps\\tool.exe", FALSE));
    {
        ChildProcess tool(L"\"l:\\apps\\tool.exe\"");
        ASSERT_TRUE(tool.Started());
        EnumProcess_CL processes;
        ASSERT_TRUE(WaitFor(
            [&] {
                processes.Refresh();
                return FindFileName(processes.Current(), L"tool.exe") != nullptr;
            },
            15000));
        EXPECT_EQ(FindFileName(processes.Current(), L"tool.exe")->path, L"l:\\apps\\tool.exe");
        for (const ProcessEntry& entry : processes.Current()) EXPECT_FALSE(entry.path.empty());
    }
    ::DeleteFileW(L"l:\\apps\\tool.exe");
}

TEST_F(RealProcesses, ShouldKeepAwakeFollowsNotepadAndLogsTheChanges) {
    // Wine runs its desktop process (explorer.exe) while a window exists: hold one, so that the
    // desktop starts before the first check and not between two of them.
    const UniqueWindow holder(::CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    EnumProcess_CL desktop;
    ASSERT_TRUE(WaitFor(
        [&] {
            desktop.Refresh();
            return FindFileName(desktop.Current(), L"explorer.exe") != nullptr;
        },
        15000));
    SaveData data;
    data.hourTable.assign(24, false);
    data.watched.AddWatched(L"C:\\anywhere\\NOTEPAD.EXE", 1);
    AwakeGuard_CL guard(data);
    guard.Decide();  // first run: everything shows as added

    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(notepad.Started());
    EXPECT_TRUE(WaitFor([&] { return guard.Decide().KeepsAwake(); }, 15000));

    data.watched.SetEnabledAt(0, 0);
    EXPECT_FALSE(guard.Decide().KeepsAwake()) << "a disabled record does not keep awake";
    data.watched.SetEnabledAt(0, 1);
    EXPECT_TRUE(guard.Decide().KeepsAwake());

    // Another program starts and the watched one ends before one check: a block with both lists.
    ::CreateDirectoryW(L"l:\\apps", nullptr);
    ASSERT_TRUE(::CopyFileW(NotepadPath().c_str(), L"l:\\apps\\second.exe", FALSE));
    ChildProcess second(L"\"l:\\apps\\second.exe\"");
    ASSERT_TRUE(second.Started());
    ASSERT_EQ(::WaitForInputIdle(second.Handle(), 15000), 0u);
    notepad.Kill();
    EXPECT_FALSE(guard.Decide().KeepsAwake());
    second.Kill();
    ::DeleteFileW(L"l:\\apps\\second.exe");

    std::vector<std::wstring> messages;
    for (const std::wstring& line : SplitLines(ReadUtf16File(logPath_))) {
        const size_t at = line.find(L" : ", 26);
        messages.push_back(at == std::wstring::npos ? std::wstring() : line.substr(at + 3));
        const wchar_t* source = messages.back() == L"---- プロセス情報変更 ----" ? L"save_data.cpp"
                                : messages.back().rfind(L"★今回", 0) == 0     ? L"enum_porocess.cpp"
                                                                             : nullptr;
        if (source) {
            EXPECT_NE(line.find(source), std::wstring::npos) << line;
        }
    }
    // Every block: the header, then "label(N件)" and exactly N paths, added before removed; no
    // label stands anywhere else.
    size_t lastBlock = std::wstring::npos;
    size_t labelsInBlocks = 0;
    for (size_t i = 0; i < messages.size();) {
        if (messages[i] != L"---- プロセス情報変更 ----") {
            ++i;
            continue;
        }
        lastBlock = i++;
        size_t lists = 0;
        for (const wchar_t* label : {L"★今回追加(%d件)", L"★今回削除(%d件)"}) {
            int count = 0;
            if (i >= messages.size() || swscanf(messages[i].c_str(), label, &count) != 1) continue;
            ++lists;
            ASSERT_GE(count, 1) << messages[i];
            ASSERT_LE(i + count, messages.size() - 1) << messages[i];
            for (size_t k = i + 1; k <= i + count; ++k) EXPECT_EQ(messages[k].substr(1, 2), L":\\") << messages[k];
            i += count + 1;
        }
        EXPECT_GE(lists, 1u) << "a header without a list at " << lastBlock;
        if (i < messages.size()) {
            EXPECT_NE(messages[i].substr(1, 2), L":\\") << "more paths than the count";
        }
        labelsInBlocks += lists;
    }
    const size_t labels = static_cast<size_t>(std::count_if(messages.begin(), messages.end(), [](const std::wstring& m) {
        return m.rfind(L"★今回追加(", 0) == 0 || m.rfind(L"★今回削除(", 0) == 0;
    }));
    EXPECT_EQ(labelsInBlocks, labels) << "a label out of its place";
    // The last check saw the second program start and notepad end, and nothing else.
    ASSERT_NE(lastBlock, std::wstring::npos);
    std::wstring last;
    for (size_t i = lastBlock; i < messages.size(); ++i) last += messages[i] + L"\n";
    ASSERT_EQ(messages.size(), lastBlock + 5) << last;
    EXPECT_EQ(messages[lastBlock + 1], L"★今回追加(1件)");
    EXPECT_EQ(messages[lastBlock + 2], L"l:\\apps\\second.exe");
    EXPECT_EQ(messages[lastBlock + 3], L"★今回削除(1件)");
    EXPECT_EQ(messages[lastBlock + 4], L"c:\\windows\\system32\\notepad.exe");
}
