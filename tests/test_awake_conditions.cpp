// The conditions beyond "running": a program at work, and the lid while staying awake.
#include <gtest/gtest.h>
#include <windows.h>

#include <clocale>
#include <map>
#include <optional>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "data/save_data.h"
#include "guard/awake_guard.h"
#include "guard/busy_tracker.h"
#include "guard/lid_keeper.h"
#include "tests/test_helpers.h"
#include "view/texts/awake_texts.h"

TEST(BusyTracker, AtLeastNPercentOfOneCoreAndQuietFor40Seconds) {
    constexpr uint64_t kCoreSecond = 10000000;  // in the listing's 100 ns units
    const struct {
        uint64_t nowMs;
        uint64_t renderA, renderB, other;  // CPU times so far; 0 for render B = not running
        bool atWork;
        int percent;
    } steps[] = {
        {0, 5 * kCoreSecond, 0, 0, false, 0},                 // the start only: lifetime times are not "since"
        {20000, 6 * kCoreSecond, 0, 90 * kCoreSecond, false, 5},   // 1 s in 20 s; another program's time is no part
        {40000, 7 * kCoreSecond, kCoreSecond, 0, true, 10},    // a second process since, all its time new
        {40500, 9 * kCoreSecond, kCoreSecond, 0, true, 10},    // an F5 half a second later is not measured
        {60000, 9 * kCoreSecond, kCoreSecond, 0, true, 10},    // 2 s in 20 s
        {80000, 9 * kCoreSecond, kCoreSecond, 0, true, 0},     // quiet for 20 s
        {99999, 9 * kCoreSecond, kCoreSecond, 0, true, 0},
        {100000, 9 * kCoreSecond, kCoreSecond, 0, false, 0},   // quiet for 40 s, though too soon to measure
        {119999, kCoreSecond, 3 * kCoreSecond, 0, true, 15},   // id 10 reused by a new render: all its time
    };
    BusyTracker_CL tracker;
    const std::vector<std::wstring> programs = {L"Render.EXE", L"never.exe"};
    for (const auto& step : steps) {
        std::vector<ListedProcess> listing = {{10, 1, L"render.exe", step.renderA}, {12, 1, L"other.exe", step.other}};
        if (step.renderB) listing.push_back({11, 1, L"RENDER.exe", step.renderB});
        const std::vector<BusyState>& states = tracker.Update(step.nowMs, listing, programs, 10);
        ASSERT_EQ(states.size(), 2u);
        EXPECT_EQ(states[0].atWork, step.atWork) << step.nowMs;
        EXPECT_EQ(states[0].percent, step.percent) << step.nowMs;
    }
    // A program named anew starts from its processes' times now, keeping the others' state.
    const std::vector<BusyState>& states =
        tracker.Update(124999, {{10, 1, L"render.exe", 9 * kCoreSecond}, {12, 1, L"other.exe", 95 * kCoreSecond}},
                       {L"other.exe", L"render.exe"}, 10);
    EXPECT_FALSE(states[0].atWork || states[0].percent != 0);
    EXPECT_TRUE(states[1].atWork && states[1].percent == 160);  // 8 s in 5 s: more than one core
}

namespace {
const GUID kBalanced = {0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}};
const GUID kHigh = {0x8c5e7fda, 0xe8bf, 0x4a96, {0x9a, 0x85, 0xa6, 0xe2, 0x3a, 0x8c, 0x63, 0x5c}};

// Two plans; each write recorded with the [LID] values saved at that moment, and each activation.
class FakePlans : public PowerSchemeCalls {
public:
    bool lid = true;
    GUID active = kBalanced;
    std::map<std::wstring, DWORD> values;  // "balanced AC" -> lid action
    std::wstring calls;

    static std::wstring Key(const GUID& scheme, const GUID& setting, PowerSource source) {
        return std::wstring(scheme == kBalanced ? L"balanced" : L"high") + (source == PowerSource::Ac ? L" AC" : L" DC") +
               (setting == kLidAction ? L"" : L" allow");
    }
    DWORD ActiveScheme(GUID& scheme) override {
        scheme = active;
        return ERROR_SUCCESS;
    }
    DWORD ReadValue(const GUID& scheme, const GUID&, const GUID& setting, PowerSource source, DWORD& value) override {
        value = values[Key(scheme, setting, source)];
        return ERROR_SUCCESS;
    }
    DWORD WriteValue(const GUID& scheme, const GUID&, const GUID& setting, PowerSource source, DWORD value) override {
        values[Key(scheme, setting, source)] = value;
        calls += Key(scheme, setting, source) + L"=" + std::to_wstring(value) + L" [" +
                 g_Inifile.ReadString(L"LID", L"ac", L"-") + L"," + g_Inifile.ReadString(L"LID", L"dc", L"-") + L"]; ";
        return ERROR_SUCCESS;
    }
    DWORD SetActiveScheme(const GUID& scheme) override {
        calls += std::wstring(L"activate ") + (scheme == kBalanced ? L"balanced" : L"high") + L"; ";
        return ERROR_SUCCESS;
    }
    bool LidPresent() override { return lid; }
};

enum class E { Awake, Asleep, ChoiceOff, Battery, SwitchPlan, Crash };

struct LidCase {
    const char* name;
    bool lid, mainsOnly;
    DWORD ac, dc;  // the balanced plan's own lid actions
    std::vector<E> events;
    const wchar_t* calls;
};
}  // namespace

TEST(LidKeeper, SavedSetToNothingAndAlwaysGivenBack) {
    std::setlocale(LC_ALL, "Japanese");
    const std::wstring folder = FreshTempFolder(L"dg_lid");
    g_Logger.SetPath(folder + L"\\log.txt");
    const LidCase cases[] = {
        {"reason ends", true, true, 1, 2, {E::Awake, E::Awake, E::Asleep},
         L"balanced AC=0 [1,2]; activate balanced; balanced AC=1 [1,2]; activate balanced; "},
        {"choice off", true, true, 3, 1, {E::Awake, E::ChoiceOff},
         L"balanced AC=0 [3,1]; activate balanced; balanced AC=3 [3,1]; activate balanced; "},
        {"crash, next start", true, true, 1, 1, {E::Awake, E::Crash},
         L"balanced AC=0 [1,1]; activate balanced; balanced AC=1 [1,1]; activate balanced; "},
        {"unplugged, mains only", true, true, 1, 1, {E::Awake, E::Battery},
         L"balanced AC=0 [1,1]; activate balanced; balanced AC=1 [1,1]; activate balanced; "},
        {"unplugged, any source", true, false, 1, 2, {E::Awake, E::Battery, E::Asleep},
         L"balanced AC=0 [1,2]; activate balanced; balanced DC=0 [1,2]; activate balanced; "
         L"balanced AC=1 [1,2]; balanced DC=2 [1,2]; activate balanced; "},
        {"plan switched", true, true, 1, 1, {E::Awake, E::SwitchPlan, E::Asleep},
         L"balanced AC=0 [1,1]; activate balanced; balanced AC=1 [1,1]; "},
        {"already 0", true, true, 0, 1, {E::Awake, E::Asleep}, L""},
        {"no lid", false, true, 1, 1, {E::Awake, E::Asleep}, L""},
        {"on battery, mains only", true, true, 1, 1, {E::Battery}, L""},
    };
    const std::wstring ini = folder + L"\\DormiGuard.ini";
    g_Inifile.SetPath(ini);
    AwakeSettings lidOn;
    lidOn.lid = true;
    for (const LidCase& c : cases) {
        ::DeleteFileW(ini.c_str());
        Inifile_CL::CreateIfMissing(ini);
        FakePlans plans;
        plans.lid = c.lid;
        plans.values = {{L"balanced AC", c.ac}, {L"balanced DC", c.dc}, {L"high AC", 1}, {L"high DC", 1}};
        AwakeSettings settings = lidOn;
        settings.lidMainsOnly = c.mainsOnly;
        std::optional<LidKeeper_CL> keeper(std::in_place, plans);
        for (const E event : c.events) {
            settings.lid = settings.lid && event != E::ChoiceOff;
            if (event == E::SwitchPlan)
                plans.active = kHigh;
            else if (event == E::Crash)
                keeper.emplace(plans).RestoreLeftover();  // the old one never gave anything back
            else
                keeper->Update(event != E::Asleep, settings, event == E::Battery);
        }
        EXPECT_EQ(plans.calls, c.calls) << c.name;
        EXPECT_EQ(ReadFileBytes(ini), (std::vector<unsigned char>{0xFF, 0xFE})) << c.name << ": [LID] removed";
    }
    const std::wstring log = ReadUtf16File(folder + L"\\log.txt");  // each change and each restore
    EXPECT_NE(log.find(L"スリープ禁止中はふたを閉じても動作を続けます (AC : 1 → 0) : {381B4222-"), std::wstring::npos);
    EXPECT_NE(log.find(L"ふたを閉じたときの動作を元に戻しました (DC : 0 → 2) : {381B4222-"), std::wstring::npos);

    // The record while a change is in force, left as a crash would leave it.
    FakePlans plans;
    plans.values = {{L"balanced AC", 1}, {L"balanced AC allow", 1}};
    LidKeeper_CL(plans).Update(true, lidOn, false);
    EXPECT_EQ(ReadUtf16File(ini), L"[LID]\r\nscheme={381B4222-F694-41F0-9685-FF5BB260DF2E}\r\nac=1\r\ndc=0\r\n");
    AcDcValues allow;
    EXPECT_EQ(ReadAllowSystemRequired(plans, allow), 0u);
    EXPECT_TRUE(allow.ac == 1 && allow.dc == 0);
    g_Inifile.SetPath(L"");
    g_Logger.SetPath(L"");
}

namespace {
// The listing a check makes, with CPU times of the test's choosing; no process has a path.
struct FakeListing : ProcessSource {
    std::vector<ListedProcess> processes;
    DWORD OwnSession() override { return 1; }
    bool List(std::vector<ListedProcess>& out) override {
        out = processes;
        return true;
    }
    bool QueryImagePath(DWORD, std::wstring&) override { return false; }
    UniqueHandle OpenToWatch(DWORD, DWORD* error) override {
        *error = ERROR_ACCESS_DENIED;
        return UniqueHandle();
    }
};
ULONGLONG g_nowMs = 0;
DWORD g_front = 0;
ULONGLONG WINAPI FakeTick() { return g_nowMs; }
DWORD FakeFront() { return g_front; }
UINT WINAPI NoInput(UINT count, LPINPUT, int) { return count; }
BOOL WINAPI OnMains(LPSYSTEM_POWER_STATUS status) {
    *status = SYSTEM_POWER_STATUS{1, 8, 90, 0, 0, 0};
    return TRUE;
}
GuardSystem TestSystem() {
    GuardSystem system;
    system.tickMs = &FakeTick;
    system.foregroundProcess = &FakeFront;
    system.sendInput = &NoInput;
    return system;
}
}  // namespace

TEST(GuardConditions, InFrontWhileInFrontAndAtWorkUntil40SecondsOfQuiet) {
    constexpr uint64_t kCoreSecond = 10000000;
    FakeListing listing;
    SaveData data;
    data.processes.SetSource(&listing);
    data.hourTable.assign(24, false);
    data.watched.AddWatched(L"C:\\w\\notepad.exe", 1, WatchMode::Front);
    data.watched.AddWatched(L"C:\\t\\render.exe", 1, WatchMode::Busy);
    AwakeGuard_CL guard(data, GuardWords{&ReasonText, &TrayTip}, TestSystem());
    // The clock, render's CPU time so far, the process in front (20 notepad), the reason.
    const struct { ULONGLONG nowMs; uint64_t renderCpu; DWORD front; const wchar_t* reason; } steps[] = {
        {0, 0, 30, L""},                                      // render's start only
        {20000, kCoreSecond, 20, L"notepad.exe が最前面"},    // render at 5 %
        {40000, 5 * kCoreSecond, 30, L"render.exe が動作中（CPU 20%）"},
        {60000, 5 * kCoreSecond, 0, L"render.exe が動作中（CPU 0%）"},  // idle for 20 s
        {79999, 5 * kCoreSecond, 30, L"render.exe が動作中（CPU 0%）"},
        {80000, 5 * kCoreSecond, 30, L""},                    // 40 s of quiet
    };
    for (const auto& step : steps) {
        g_nowMs = step.nowMs;
        g_front = step.front;
        listing.processes = {{20, 1, L"notepad.exe", 0}, {10, 1, L"render.exe", step.renderCpu}, {30, 1, L"x.exe", 0}};
        EXPECT_EQ(ReasonText(guard.Check().reason), step.reason) << step.nowMs;
    }
}

TEST(GuardConditions, LidSetWhileAwakeGivenBackWhenTheReasonEndsAndAtExit) {
    const std::wstring ini = FreshTempFolder(L"dg_lid_guard") + L"\\DormiGuard.ini";
    Inifile_CL::CreateIfMissing(ini);
    g_Inifile.SetPath(ini);
    FakeListing listing;
    FakePlans plans;
    plans.values = {{L"balanced AC", 1}, {L"balanced DC", 2}};
    SaveData data;
    data.processes.SetSource(&listing);
    data.readPowerStatus = &OnMains;
    data.awake.lid = true;
    GuardSystem system = TestSystem();
    system.scheme = &plans;
    const std::wstring setAndBack =
        L"balanced AC=0 [1,2]; activate balanced; balanced AC=1 [1,2]; activate balanced; ";
    {
        AwakeGuard_CL guard(data, GuardWords(), system);
        for (const bool marked : {true, false, true}) {
            data.hourTable.assign(24, marked);
            guard.Check();
        }
        guard.Stop();  // the exit
    }
    EXPECT_EQ(plans.calls, setAndBack + setAndBack);
    plans.calls.clear();
    AwakeGuard_CL(data, GuardWords(), system).Check();  // ends without Stop, as a crash would
    AwakeGuard_CL(data, GuardWords(), system).RestoreLeftoverLid();
    EXPECT_EQ(plans.calls, setAndBack);
    EXPECT_EQ(ReadFileBytes(ini), (std::vector<unsigned char>{0xFF, 0xFE}));
    g_Inifile.SetPath(L"");
}
