// The INI accessor and the saved settings, byte for byte in real files.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <clocale>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "tests/test_helpers.h"

namespace {

std::wstring TempIni(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + name;
    ::DeleteFileW(path.c_str());
    return path;
}

// A fresh INI file holding only the byte-order mark, as the program creates it.
Inifile_CL FreshIni(const wchar_t* name) {
    const std::wstring path = TempIni(name);
    Inifile_CL::CreateIfMissing(path);
    return Inifile_CL(path);
}

std::wstring MessageOf(const std::wstring& line) {
    const size_t at = line.find(L" : ", 26);
    return at == std::wstring::npos ? std::wstring() : line.substr(at + 3);
}

}  // namespace

TEST(IniValues, Hex64Parsing) {
    struct Case {
        const wchar_t* text;
        uint64_t expected;
    } cases[] = {
        {L"0000000a:0000000b", 0x0000000A0000000Bull},
        {L"00000001:", 0x0000000100000000ull},
        {L"", 77},
        {L"0000000", 77},      // shorter than nine characters: not a hex pair
        {L"00000001", 77},
        {L"ffffffff:ffffffff", 0xFFFFFFFFFFFFFFFFull},
        {L"00000000:5f1e2a40zz", 0x5f1e2a40ull},
        {L"xyzxyzxy:00000002", 2},  // nothing converted gives 0 for that half
    };
    for (const Case& c : cases) EXPECT_EQ(ParseHex64(c.text, 77), c.expected) << c.text;
    EXPECT_EQ(FormatHex64(0x000000005f1e2a40ull), L"00000000:5f1e2a40");
    EXPECT_EQ(ParseHex64(FormatHex64(0x123456789abcdef0ull), 0), 0x123456789abcdef0ull);
}

TEST(IniFile, CreatedWithOnlyTheByteOrderMark) {
    const std::wstring path = TempIni(L"dg_created.ini");
    Inifile_CL::CreateIfMissing(path);
    EXPECT_EQ(ReadFileBytes(path), (std::vector<unsigned char>{0xFF, 0xFE}));

    // An existing file is never rewritten, whatever it holds.
    WriteFileBytes(path, {'[', 'A', ']'});
    Inifile_CL::CreateIfMissing(path);
    EXPECT_EQ(ReadFileBytes(path), (std::vector<unsigned char>{'[', 'A', ']'}));
    WriteFileBytes(path, {});
    Inifile_CL::CreateIfMissing(path);
    EXPECT_TRUE(ReadFileBytes(path).empty());
}

TEST(IniFile, TypedReadsAndWritesStayUtf16) {
    Inifile_CL ini = FreshIni(L"dg_values.ini");
    ini.WriteInt(L"S", L"minus", -1);
    ini.WriteInt(L"S", L"zero", 0);
    ini.WriteString(L"S", L"text", L"1:C:\\ツール\\app.exe");
    ini.WriteString(L"V", L"hex", L"0000000a:0000000b");

    EXPECT_EQ(ini.ReadString(L"S", L"minus", L"?"), L"-1");
    EXPECT_EQ(ini.ReadString(L"S", L"zero", L"?"), L"0");
    EXPECT_EQ(ini.ReadInt(L"S", L"zero", 9), 0u);
    EXPECT_EQ(ini.ReadInt(L"S", L"missing", 9), 9u);
    EXPECT_EQ(ini.ReadString(L"S", L"text", L""), L"1:C:\\ツール\\app.exe");
    EXPECT_EQ(ini.ReadString(L"S", L"missing", L"dflt"), L"dflt");
    EXPECT_EQ(ini.ReadHex64(L"V", L"hex", 0), 0x0000000A0000000Bull);
    EXPECT_EQ(ini.ReadHex64(L"V", L"missing", 5), 5u);
    EXPECT_EQ(Inifile_CL::NumberedKey(L"path", 7), L"path7");
    EXPECT_EQ(Inifile_CL::NumberedKey(L"path", 12), L"path12");

    // The Japanese text survives on disk only because the file is UTF-16LE.
    const std::vector<unsigned char> bytes = ReadFileBytes(ini.Path());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_NE(ReadUtf16File(ini.Path()).find(L"text=1:C:\\ツール\\app.exe\r\n"), std::wstring::npos);

    const std::wstring longValue(5000, L'v');
    ini.WriteString(L"S", L"long", longValue);
    EXPECT_EQ(ini.ReadString(L"S", L"long", L""), longValue.substr(0, 4095));
}

TEST(IniFile, StructRoundTripsAndRefusesAnEditedChecksum) {
    Inifile_CL ini = FreshIni(L"dg_struct.ini");
    const RECT stored = {10, 20, 490, 490};
    ini.WriteStruct(L"WINDOW", L"rect", &stored, sizeof(stored));
    const std::wstring text = ini.ReadString(L"WINDOW", L"rect", L"");
    ASSERT_EQ(text.size(), 34u);  // 16 bytes and the sum, two digits each

    RECT read = {};
    ASSERT_TRUE(ini.ReadStruct(L"WINDOW", L"rect", &read, sizeof(read)));
    EXPECT_EQ(read.left, 10);
    EXPECT_EQ(read.top, 20);
    EXPECT_EQ(read.right, 490);
    EXPECT_EQ(read.bottom, 490);

    std::wstring edited = text;
    edited[33] = edited[33] == L'0' ? L'1' : L'0';
    ini.WriteString(L"WINDOW", L"rect", edited);
    EXPECT_FALSE(ini.ReadStruct(L"WINDOW", L"rect", &read, sizeof(read)));
    EXPECT_FALSE(ini.ReadStruct(L"WINDOW", L"missing", &read, sizeof(read)));
}

// LoadSettings and the watched list in the test's own Documents\DormiGuard.
class SavedSettings : public ::testing::Test {
protected:
    void SetUp() override {
        std::setlocale(LC_ALL, "Japanese");
        folder_ = ResetDataFolder();
    }
    void TearDown() override {
        g_Logger.SetPath(L"");
        g_Inifile.SetPath(L"");
    }
    std::wstring folder_;
};

TEST_F(SavedSettings, FirstRunCreatesAnEmptyUtf16FileAndLogsItFirst) {
    SaveData data;
    data.LoadSettings();
    const std::wstring ini = folder_ + L"\\DormiGuard.ini";
    EXPECT_EQ(g_Inifile.Path(), ini);
    EXPECT_EQ(ReadFileBytes(ini), (std::vector<unsigned char>{0xFF, 0xFE}));
    EXPECT_EQ(data.imageType, 1);
    EXPECT_EQ(data.hourTable, std::vector<bool>(24, false));
    EXPECT_EQ(data.watched.Size(), 0u);
    EXPECT_EQ(data.trayHidden, 1);
    // Missing keys: the display kept on, no battery rule, every weekday.
    EXPECT_TRUE(data.awake.display);
    EXPECT_FALSE(data.awake.acOnly);
    EXPECT_EQ(data.awake.batteryFloor, 0);
    EXPECT_EQ(data.awake.busyPercent, 10);
    EXPECT_TRUE(!data.awake.lid && data.awake.lidMainsOnly);
    EXPECT_EQ(data.dayTable, std::vector<bool>(7, true));

    std::vector<std::wstring> lines = SplitLines(ReadUtf16File(folder_ + L"\\log.txt"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(MessageOf(lines[0]), L"Inifile新規作成 = " + ini);
    EXPECT_NE(lines[0].find(L"inifile.cpp"), std::wstring::npos);

    // The second run begins with the banner and the folder line.
    SaveData second;
    second.LoadSettings();
    lines = SplitLines(ReadUtf16File(folder_ + L"\\log.txt"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(MessageOf(lines[1]), L"");
    EXPECT_EQ(lines[2], L"★★★★★ アプリ起動 ★★★★★");
    EXPECT_EQ(MessageOf(lines[3]), L"DataFolderPath = \"" + folder_ + L"\"");
    EXPECT_EQ(ReadFileBytes(ini), (std::vector<unsigned char>{0xFF, 0xFE}));
}

TEST_F(SavedSettings, WatchedListStoredAndLoaded) {
    SaveData data;
    data.LoadSettings();
    data.watched.AddWatched(L"C:\\Tools\\a.exe", 1);
    data.watched.AddWatched(L"D:\\b.exe", 0);
    data.SaveWatchedList();
    EXPECT_EQ(ReadUtf16File(g_Inifile.Path()), L"[PROCESS_INFO]\r\ncount=2\r\npath0=1:C:\\Tools\\a.exe\r\npath1=0:D:\\b.exe\r\n");
    const std::vector<unsigned char> bytes = ReadFileBytes(g_Inifile.Path());
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);

    // Shrinking leaves the stale keys in place; the count bounds the load.
    data.watched.RemoveAt(0);
    data.SaveWatchedList();
    EXPECT_EQ(g_Inifile.ReadInt(L"PROCESS_INFO", L"count", 9), 1u);
    EXPECT_EQ(g_Inifile.ReadString(L"PROCESS_INFO", L"path1", L""), L"0:D:\\b.exe");
    SaveData reloaded;
    reloaded.LoadSettings();
    ASSERT_EQ(reloaded.watched.Size(), 1u);
    EXPECT_EQ(reloaded.watched[0].path, L"D:\\b.exe");
    EXPECT_EQ(reloaded.watched[0].enabled, 0);
    EXPECT_EQ(reloaded.watched[0].mode, WatchMode::Running) << "a file of today: every entry running";
}

TEST_F(SavedSettings, StoredValuesLoadByTheirRules) {
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    WriteUtf16File(folder_ + L"\\DormiGuard.ini",
                   L"[DISPLAY]\r\nImageType=0\r\n"
                   L"[DISABLE_TIME]\r\nhour5=1\r\nday0=0\r\nday6=0\r\nday3=1\r\n"
                   L"[AWAKE]\r\ndisplay=0\r\naconly=1\r\nbatteryfloor=70\r\nbusypercent=0\r\nlid=1\r\nlidmainsonly=0\r\n"
                   L"[PROCESS_INFO]\r\ncount=6\r\n"
                   L"path0=x:C:\\A\\one.exe\r\nmode0=sideways\r\n"  // anything but 0 means enabled
                   L"path1=0:C:\\A\\two.exe\r\nmode1=busy\r\n"
                   L"path2=1:D:\\B\\ONE.EXE\r\nmode2=front\r\n"     // same file name: the lower index wins
                   L"path3=1\r\n"                    // too short to be an entry
                   L"path5=1:nobackslash.exe\r\n");  // path4 missing
    SaveData data;
    data.LoadSettings();
    EXPECT_EQ(data.imageType, 0);
    std::vector<bool> expectedHours(24, false);
    expectedHours[5] = true;
    EXPECT_EQ(data.hourTable, expectedHours);
    EXPECT_EQ(data.dayTable, (std::vector<bool>{false, true, true, true, true, true, false}));
    EXPECT_FALSE(data.awake.display);
    EXPECT_TRUE(data.awake.acOnly);
    EXPECT_EQ(data.awake.batteryFloor, 50) << "above 50 is brought to 50";
    EXPECT_EQ(data.awake.busyPercent, 1) << "below 1 is brought to 1";
    EXPECT_TRUE(data.awake.lid && !data.awake.lidMainsOnly);
    ASSERT_EQ(data.watched.Size(), 3u);
    EXPECT_EQ(data.watched[0].mode, WatchMode::Running) << "an unknown condition is running";
    EXPECT_EQ(data.watched[1].mode, WatchMode::Busy);
    EXPECT_EQ(data.watched[2].mode, WatchMode::Running) << "a dropped entry's condition is not passed on";
    EXPECT_EQ(data.watched[0].path, L"C:\\A\\one.exe");
    EXPECT_EQ(data.watched[0].enabled, 1);
    EXPECT_EQ(data.watched[1].path, L"C:\\A\\two.exe");
    EXPECT_EQ(data.watched[1].enabled, 0);
    EXPECT_EQ(data.watched[2].fileName, L"nobackslash.exe");
}

// A condition is stored beside its entry; a running entry has no key, so none is inherited.
TEST_F(SavedSettings, ConditionsStoredBesideTheirEntries) {
    SaveData data;
    data.LoadSettings();
    data.watched.AddWatched(L"C:\\a.exe", 1, WatchMode::Front);
    data.watched.AddWatched(L"C:\\b.exe", 0, WatchMode::Busy);
    data.watched.AddWatched(L"C:\\c.exe", 1);
    data.SaveWatchedList();
    EXPECT_EQ(ReadUtf16File(g_Inifile.Path()), L"[PROCESS_INFO]\r\ncount=3\r\npath0=1:C:\\a.exe\r\nmode0=front\r\n"
                                               L"path1=0:C:\\b.exe\r\nmode1=busy\r\npath2=1:C:\\c.exe\r\n");
    data.watched.RemoveAt(0);
    data.SaveWatchedList();
    EXPECT_EQ(ReadUtf16File(g_Inifile.Path()), L"[PROCESS_INFO]\r\ncount=2\r\npath0=0:C:\\b.exe\r\nmode0=busy\r\n"
                                               L"path1=1:C:\\c.exe\r\npath2=1:C:\\c.exe\r\n");
}

TEST_F(SavedSettings, DamagedCountDoesNotStallTheLoad) {
    std::wstring longList = L"count=8000\r\n";
    for (int i = 0; i < 8000; ++i) longList += FormatWide(L"path%d=1:C:\\Long\\p%d.exe\r\n", i, i);
    const struct { std::wstring text; size_t count; const wchar_t* last; WatchMode mode = WatchMode::Running; } cases[] = {
        {L"count=4294967295\r\npath0=1:C:\\A\\one.exe\r\npath1=0:C:\\A\\two.exe\r\npath2=1:C:\\A\\three.exe\r\n", 3, L"three.exe"},
        // One key far past 2^31 below a damaged count: read once, by its own name, with its condition.
        {L"count=4294967295\r\npath4000000000=1:C:\\a.exe\r\nmode4000000000=busy\r\n", 1, L"a.exe", WatchMode::Busy},
        {L"count=-1\r\npath4000000000=1:C:\\a.exe\r\n", 1, L"a.exe"},
        // Past the count, and past a signed 64-bit index.
        {L"count=2\r\npath1=1:C:\\b.exe\r\npath2=1:C:\\c.exe\r\npath9223372036854775807=1:C:\\d.exe\r\n", 1, L"b.exe"},
        {longList, 8000, L"p7999.exe"},
    };
    for (const auto& c : cases) {
        ResetDataFolder();
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        WriteUtf16File(folder_ + L"\\DormiGuard.ini", L"[PROCESS_INFO]\r\n" + c.text);
        SaveData data;
        data.LoadSettings();
        ASSERT_EQ(data.watched.Size(), c.count) << c.text.substr(0, 60);
        EXPECT_EQ(data.watched[c.count - 1].fileName, c.last);
        EXPECT_EQ(data.watched[c.count - 1].mode, c.mode) << c.last;
    }
}

// Section AWAKE: the session's "until" and the hotkey, read without writing anything.
TEST_F(SavedSettings, ManualSessionInTheIniFile) {
    ManualSession session;
    session.active = true;
    SYSTEMTIME end = {2030, 7, 0, 15, 16, 5, 9, 0};
    FILETIME endTime = {};
    ::SystemTimeToFileTime(&end, &endTime);
    session.endUtc = (static_cast<unsigned long long>(endTime.dwHighDateTime) << 32) | endTime.dwLowDateTime;
    EXPECT_EQ(FormatSessionValue(session), L"2030-07-15T16:05:09Z");
    ManualSession indefinite;
    indefinite.active = indefinite.indefinite = true;
    EXPECT_EQ(FormatSessionValue(indefinite), L"indefinite");

    struct Case {
        const wchar_t* value;
        SessionValue result;
    } cases[] = {
        {L"indefinite", SessionValue::Session},
        {L"2030-07-15T16:05:09Z", SessionValue::Session},
        {L"2001-01-01T00:00:00Z", SessionValue::Past},
        {L"2030-13-15T16:05:09Z", SessionValue::Damaged},
        {L"2030-07-15 16:05:09Z", SessionValue::Damaged},
        {L"2030-07-15T16:05:09", SessionValue::Damaged},
        {L"Indefinite", SessionValue::Damaged},
        {L"tomorrow", SessionValue::Damaged},
    };
    ManualSession read;
    for (const Case& c : cases) EXPECT_EQ(ParseSessionValue(c.value, UtcNow(), &read), c.result) << c.value;
    ParseSessionValue(L"2030-07-15T16:05:09Z", UtcNow(), &read);
    EXPECT_EQ(read.endUtc, session.endUtc);

    // Stored at once, removed when it ends; the hotkey key is never written.
    SaveData data;
    data.LoadSettings();
    data.StartSession(indefinite);
    EXPECT_EQ(ReadUtf16File(g_Inifile.Path()), L"[AWAKE]\r\nuntil=indefinite\r\n");
    data.EndSession();
    EXPECT_EQ(ReadUtf16File(g_Inifile.Path()).find(L"until"), std::wstring::npos);
    EXPECT_EQ(data.hotkey.modifiers, static_cast<UINT>(MOD_CONTROL | MOD_SHIFT));
    EXPECT_EQ(data.hotkey.key, 0x7Au) << "VK_F11";

    // A damaged value and a past end are no session: logged, and the key removed.
    for (const wchar_t* stored : {L"2030-99-15T16:05:09Z", L"2001-01-01T00:00:00Z"}) {
        WriteUtf16File(folder_ + L"\\DormiGuard.ini",
                       std::wstring(L"[AWAKE]\r\nuntil=") + stored + L"\r\nhotkey=\r\n");
        SaveData damaged;
        damaged.LoadSettings();
        EXPECT_FALSE(damaged.session.active) << stored;
        EXPECT_EQ(damaged.hotkey.key, 0u) << "an empty value switches the hotkey off";
        EXPECT_EQ(ReadUtf16File(folder_ + L"\\DormiGuard.ini"), L"[AWAKE]\r\nhotkey=\r\n");
        const std::vector<std::wstring> lines = SplitLines(ReadUtf16File(folder_ + L"\\log.txt"));
        EXPECT_NE(lines.back().find(stored), std::wstring::npos) << lines.back();
    }
}

TEST_F(SavedSettings, StoredHotkeyThatTakesKeysIsSwitchedOffOnce) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"S", false},     {L"Ctrl+C", false},         {L"Ctrl+Alt+S", false},   {L"Ctrl+Alt+Shift+S", false},
        {L"F9", false},    {L"Ctrl+Shift+F12", false}, {L"Win+Ctrl+F5", false},  {L"Ctrl+Shift+F11", true},
        {L"Shift+F9", true}, {L"Ctrl+Shift+S", true}};
    for (const auto& [stored, kept] : cases) {
        ResetDataFolder();
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        const std::wstring ini = std::wstring(L"[AWAKE]\r\nhotkey=") + stored + L"\r\n";
        WriteUtf16File(folder_ + L"\\DormiGuard.ini", ini);
        for (int run = 0; run < 2; ++run) {
            SaveData data;
            data.LoadSettings();
            EXPECT_EQ(data.hotkey.key != 0, kept) << stored;
            EXPECT_EQ(data.droppedHotkey, run == 0 && !kept ? stored : L"") << stored;
        }
        EXPECT_EQ(ReadUtf16File(folder_ + L"\\DormiGuard.ini"), kept ? ini : L"[AWAKE]\r\nhotkey=\r\n");
        const std::wstring log = ReadUtf16File(folder_ + L"\\log.txt");
        const size_t first = log.find(std::wstring(L"使えないホットキーを無効にしました = ") + stored + L"\r\n");
        EXPECT_EQ(first != std::wstring::npos, !kept) << stored;
        EXPECT_EQ(log.find(L"使えないホットキー", first + 1), std::wstring::npos) << "logged once: " << stored;
    }
}

// The settings pages store through SaveData: only what differs from the value held is written.
TEST_F(SavedSettings, AwakeSettingsWriteOnlyWhatChanged) {
    SaveData data;
    data.LoadSettings();
    data.StoreAwakeSettings(AwakeSettings());
    data.StoreHotkey(DefaultHotkey());
    data.StoreDays(std::vector<bool>(7, true));
    EXPECT_EQ(ReadFileBytes(g_Inifile.Path()), (std::vector<unsigned char>{0xFF, 0xFE})) << "nothing changed";

    AwakeSettings next;
    next.display = false;
    next.batteryFloor = 3;  // below the range: 5
    data.StoreAwakeSettings(next);
    data.StoreDays({true, false, true, true, true, true, true});
    Hotkey off;
    data.StoreHotkey(off);
    next.lid = true;
    next.busyPercent = 250;  // above the range: 100
    data.StoreAwakeSettings(next);
    EXPECT_EQ(ReadUtf16File(g_Inifile.Path()), L"[AWAKE]\r\ndisplay=0\r\nbatteryfloor=5\r\nhotkey=\r\nbusypercent=100\r\n"
                                               L"lid=1\r\n[DISABLE_TIME]\r\nday1=0\r\n");
}
