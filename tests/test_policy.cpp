// Policies in the real registry of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include "comlib/log.h"
#include "data/policy.h"
#include "tests/test_helpers.h"

namespace {

struct RegistryValue {
    HKEY root;
    const wchar_t* key;  // below Software\Policies\DormiGuard: "" or "WatchedPrograms"
    const wchar_t* name;
    DWORD type;
    DWORD number;
    const wchar_t* text = nullptr;
};

void SetRegistryValue(const RegistryValue& v) {
    const std::wstring key = std::wstring(L"Software\\Policies\\DormiGuard") + (*v.key ? L"\\" : L"") + v.key;
    const bool dword = v.type == REG_DWORD;
    const void* data = dword ? static_cast<const void*>(&v.number) : v.text;
    const DWORD size = dword ? sizeof(DWORD) : static_cast<DWORD>((wcslen(v.text) + 1) * sizeof(wchar_t));
    EXPECT_EQ(::RegSetKeyValueW(v.root, key.c_str(), v.name, v.type, data, size), ERROR_SUCCESS);
}

void RemovePolicyKeys() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) ::RegDeleteTreeW(root, L"Software\\Policies\\DormiGuard");
}

// The message part of each log line, after the time, line number and source file.
std::vector<std::wstring> LogMessages(const std::wstring& path) {
    std::vector<std::wstring> messages;
    for (const std::wstring& line : SplitLines(ReadUtf16File(path))) {
        const size_t at = line.find(L" : ", 26);
        messages.push_back(at == std::wstring::npos ? line : line.substr(at + 3));
    }
    return messages;
}

class PolicyRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        RemovePolicyKeys();
        log_ = FreshTempFolder(L"dg_policy") + L"\\log.txt";
        g_Logger.SetPath(log_);
    }
    void TearDown() override { RemovePolicyKeys(); g_Logger.SetPath(L""); }
    std::wstring log_;
};

const HKEY kMachine = HKEY_LOCAL_MACHINE, kUser = HKEY_CURRENT_USER;

}  // namespace

TEST_F(PolicyRegistry, ReadFromBothHivesAndLoggedOnce) {
    struct Case {
        const char* what;
        std::vector<RegistryValue> values;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"HKLM beats HKCU",
         {{kMachine, L"", L"MaxSessionMinutes", REG_DWORD, 60}, {kUser, L"", L"MaxSessionMinutes", REG_DWORD, 30},
          {kUser, L"", L"Hotkey", REG_DWORD, 0}},
         {L"適用中のポリシー: MaxSessionMinutes=60, Hotkey=0"}},
        {"an HKLM list replaces the HKCU list",
         {{kMachine, L"WatchedPrograms", L"render.exe", REG_SZ, 0, L"render.exe"},
          {kUser, L"WatchedPrograms", L"1", REG_SZ, 0, L"notepad.exe"}},
         {L"適用中のポリシー: WatchedPrograms=render.exe"}},
        {"the HKCU list without an HKLM list; an empty HKLM key is no list",
         {{kUser, L"WatchedPrograms", L"1", REG_SZ, 0, L"notepad.exe"},
          {kUser, L"WatchedPrograms", L"2", REG_SZ, 0, L"C:\\Tools\\job.exe"},
          {kMachine, L"WatchedPrograms", L"3", REG_DWORD, 1}},
         {L"ポリシーの値を無視します (REG_SZ ではありません, 型 4): HKLM\\Software\\Policies\\DormiGuard\\WatchedPrograms\\3",
          L"適用中のポリシー: WatchedPrograms=C:\\Tools\\job.exe|notepad.exe"}},
        {"a wrong type is ignored, and the HKCU value holds",
         {{kMachine, L"", L"Disabled", REG_SZ, 0, L"1"}, {kUser, L"", L"Disabled", REG_DWORD, 1}},
         {L"ポリシーの値を無視します (REG_DWORD ではありません, 型 1): HKLM\\Software\\Policies\\DormiGuard\\Disabled",
          L"適用中のポリシー: Disabled=1"}},
        {"out of range is ignored",
         {{kMachine, L"", L"BatteryFloor", REG_DWORD, 60}, {kMachine, L"", L"MaxSessionMinutes", REG_DWORD, 0},
          {kUser, L"", L"ManualSessions", REG_DWORD, 3}, {kMachine, L"", L"UpdateCheck", REG_DWORD, 0}},
         {L"ポリシーの値を無視します (範囲 1-10080 の外): HKLM\\Software\\Policies\\DormiGuard\\MaxSessionMinutes = 0",
          L"ポリシーの値を無視します (範囲 5-50 の外): HKLM\\Software\\Policies\\DormiGuard\\BatteryFloor = 60",
          L"ポリシーの値を無視します (範囲 0-2 の外): HKCU\\Software\\Policies\\DormiGuard\\ManualSessions = 3",
          L"適用中のポリシー: UpdateCheck=0"}},
        {"none set: no line", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemovePolicyKeys();
        ::DeleteFileW(log_.c_str());
        for (const RegistryValue& value : c.values) SetRegistryValue(value);
        PolicyReader_CL reader;
        const Policies first = reader.Read();
        EXPECT_EQ(LogMessages(log_), c.lines);
        EXPECT_EQ(first.AnySet(), !c.values.empty());
        // A second read of the same values writes nothing more.
        EXPECT_EQ(reader.Read(), first);
        EXPECT_EQ(LogMessages(log_), c.lines);
    }
}

TEST_F(PolicyRegistry, LoggedAgainWhenTheSetChanges) {
    SetRegistryValue({kMachine, L"", L"KeepDisplayOn", REG_DWORD, 1});
    PolicyReader_CL reader;
    EXPECT_EQ(reader.Read().keepDisplayOn, std::optional<DWORD>(1));
    SetRegistryValue({kUser, L"", L"KeepDisplayOn", REG_DWORD, 0});
    reader.Read();  // the HKCU value changes nothing
    SetRegistryValue({kMachine, L"", L"KeepDisplayOn", REG_DWORD, 0});
    reader.Read();
    RemovePolicyKeys();
    EXPECT_FALSE(reader.Read().AnySet());
    reader.Read();
    EXPECT_EQ(LogMessages(log_), (std::vector<std::wstring>{L"適用中のポリシー: KeepDisplayOn=1", L"適用中のポリシー: KeepDisplayOn=0",
                                                            L"適用中のポリシー: なし"}));
}
