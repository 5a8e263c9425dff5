// The settings property sheet with its three pages, run modally under Wine and driven from
// inside its own loop; what the pages store is read back from a real INI file.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <mutex>
#include <string>
#include <vector>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/utility.h"
#include "comlib/window/browser_control.h"
#include "data/save_data.h"
#include "tests/dialog_test_support.h"
#include "tests/modal_script.h"
#include "tests/test_helpers.h"
#include "view/settings/prop_app_license.h"
#include "view/settings/prop_app_setting.h"
#include "view/settings/prop_app_version.h"
#include "view/settings/prop_awake.h"
#include "view/texts/ui_texts.h"
#include "comlib/window/ui_font.h"
#include "view/settings/prop_sheet.h"
#include "view/settings/settings_page.h"
#include "view/common/support_site.h"

namespace {

::testing::Environment* const g_ui = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

// comctl32's id of the sheet's Apply button.
constexpr int kApplyButtonId = 0x3021;

std::wstring TempIniPath() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"dg_settings_sheet.ini";
}

// Key names of a section, in file order; empty when the section is missing.
std::vector<std::wstring> KeysOf(const wchar_t* section) {
    std::vector<wchar_t> names(4096, L'\0');
    const DWORD length = ::GetPrivateProfileStringW(section, nullptr, L"", names.data(),
                                                    static_cast<DWORD>(names.size()), g_Inifile.Path().c_str());
    std::vector<std::wstring> keys;
    for (const wchar_t* name = names.data(); name < names.data() + length && *name; name += wcslen(name) + 1)
        keys.push_back(name);
    return keys;
}

std::wstring ValueOf(const wchar_t* section, const std::wstring& key) {
    return g_Inifile.ReadString(section, key, L"<missing>");
}

std::vector<bool> HourTable(std::initializer_list<int> hours) {
    std::vector<bool> table(24, false);
    for (int h : hours) table[static_cast<size_t>(h)] = true;
    return table;
}

// What the support controls opened, seen through the shell-open hook.
std::mutex g_openedLock;
std::vector<std::wstring> g_opened;
void RecordShellOpen(const std::wstring& target) {
    std::lock_guard<std::mutex> lock(g_openedLock);
    g_opened.push_back(target);
}
size_t OpenedCount() {
    std::lock_guard<std::mutex> lock(g_openedLock);
    return g_opened.size();
}

// What the page "動作" asked of the program: the hotkeys offered, and the checks.
struct AwakeCalls {
    std::vector<std::wstring> hotkeys;
    int checks = 0;
    bool refuse = false;
};

// The four pages as the settings command puts them together.
struct Sheet {
    AwakeCalls calls;
    bool lid = false;  // what the page hears of the machine's lid
    Policies policies;
    PropAppSetting_CL hours;
    PropAwake_CL awake{AwakePageActions{[this](const Hotkey& next, DWORD* error) {
                                            calls.hotkeys.push_back(FormatHotkey(next));
                                            if (calls.refuse) {
                                                *error = ERROR_HOTKEY_ALREADY_REGISTERED;
                                                return false;
                                            }
                                            g_SaveData.StoreHotkey(next);
                                            return true;
                                        },
                                        [this] { ++calls.checks; }, [this] { return lid; }, policies}};
    PropAppVersion_CL version;
    PropAppLicense_CL license;
    HWND frame = nullptr;
    PropSheet_CL builder{&frame};

    explicit Sheet(const Policies& given = Policies()) : policies(given) {
        builder.AddPage(&hours, L"アプリ設定");
        builder.AddPage(&awake, L"動作");
        builder.AddPage(&version, L"アプリバージョン");
        builder.AddPage(&license, L"ライセンス情報");
    }
    bool IsOpen() const { return frame && ::IsWindowVisible(frame) && hours.Window(); }
    HWND HourList() const { return ::FindWindowExW(hours.Window(), nullptr, WC_LISTVIEWW, nullptr); }
    bool ApplyEnabled() const { return ::IsWindowEnabled(::GetDlgItem(frame, kApplyButtonId)) != FALSE; }
    void Press(int button) const { ::SendMessageW(frame, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0); }
    void SelectTab(int index) const { ::SendMessageW(frame, PSM_SETCURSEL, static_cast<WPARAM>(index), 0); }
    std::function<void()> Abort() {
        return [this] {
            if (frame) ::PostMessageW(frame, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        };
    }
};

bool RowTicked(HWND list, int row) { return IsCheckedState(ItemState(list, row, LVIS_STATEIMAGEMASK)); }

void TickRow(HWND list, int row, bool on) {
    SetItemState(list, row, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), LVIS_STATEIMAGEMASK);
}

HWND ChildWithText(HWND parent, const wchar_t* text) { return ::FindWindowExW(parent, nullptr, nullptr, text); }

void RepaintAndShoot(ModalScript& script, const Sheet& sheet, const wchar_t* fileName) {
    script.Do("repaint", [&sheet] { ::RedrawWindow(sheet.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN); })
        .Ticks(6)
        .Do("screenshot", [&sheet, fileName] { EXPECT_TRUE(SaveWindowScreenshot(sheet.frame, fileName)); });
}

const RECT kOwnerRect = {150, 100, 1000, 800};

class SettingsSheetTest : public ::testing::Test {
protected:
    // One owner for the suite: under Wine without a window manager every top-level window that
    // goes away costs a wait for its withdrawn state.
    static void SetUpTestSuite() { owner_ = CreateOwnerWindow(kOwnerRect); }
    static void TearDownTestSuite() { owner_.Reset(); }

    void SetUp() override {
        ::DeleteFileW(MarkerFile::Path());
        iniPath_ = TempIniPath();
        ::DeleteFileW(iniPath_.c_str());
        Inifile_CL::CreateIfMissing(iniPath_);
        g_Inifile.SetPath(iniPath_);
        g_SaveData.hourTable = HourTable({5});
        g_SaveData.imageType = 1;
        g_SaveData.dayTable.assign(7, true);
        g_SaveData.awake = AwakeSettings();
        g_SaveData.hotkey = DefaultHotkey();
        {
            std::lock_guard<std::mutex> lock(g_openedLock);
            g_opened.clear();
        }
        SetShellOpenHandler(RecordShellOpen);
    }
    void TearDown() override {
        SetShellOpenHandler(nullptr);
        ::DeleteFileW(MarkerFile::Path());
        g_Inifile.SetPath(L"");
        ::DeleteFileW(iniPath_.c_str());
    }

    static INT_PTR Run(Sheet& sheet, ModalScript& script) {
        script.Start();
        const INT_PTR result = sheet.builder.Show(owner_.Get(), L"アプリ設定");
        script.ExpectFinished();
        EXPECT_EQ(sheet.frame, nullptr) << "the frame's handle is not kept past the sheet";
        return result;
    }

    std::wstring iniPath_;
    static UniqueWindow owner_;
};

UniqueWindow SettingsSheetTest::owner_;

}  // namespace

TEST(SettingsRules, GroupTitlesLeaveAGapAboveTheFirstRow) {
    EXPECT_GT(FirstRowInGroup(nullptr, 100), 100 + ControlFactory_CL::MeasureText(UiFont(), L"Ｗ").cy + 4);
}

TEST(SettingsRules, HourRowTexts) {
    EXPECT_EQ(HourRowText(0), L"00:00 ～ 00:59");
    EXPECT_EQ(HourRowText(5), L"05:00 ～ 05:59");
    EXPECT_EQ(HourRowText(23), L"23:00 ～ 23:59");
}

TEST(SettingsRules, OnlyStateImageTwoCountsAsTicked) {
    struct Case {
        UINT state;
        bool ticked;
    } cases[] = {
        {0x2000, true}, {0x2000 | LVIS_SELECTED | LVIS_FOCUSED, true}, {0x1000, false}, {0, false}, {0x3000, false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsCheckedState(c.state), c.ticked) << std::hex << c.state;
}

TEST(SettingsRules, HoursDifferTreatsMissingEntriesAsOff) {
    const std::vector<bool> rows = HourTable({5});
    EXPECT_FALSE(HoursDiffer(rows, HourTable({5})));
    EXPECT_TRUE(HoursDiffer(rows, HourTable({6})));
    EXPECT_TRUE(HoursDiffer(rows, {}));
    EXPECT_FALSE(HoursDiffer(std::vector<bool>(24, false), {}));
    EXPECT_TRUE(HoursDiffer(std::vector<bool>(24, false), std::vector<bool>(3, true)));
}

TEST(SettingsRules, HourListGeometry) {
    PageMetrics metrics;
    metrics.width = 400;
    metrics.height = 300;
    metrics.charWidth = 13;
    metrics.charHeight = 15;
    // d = 400 - 13 / 2 = 394: the list spans cw .. d and 15 lines from ch.
    const RECT rect = HourListRect(metrics, 40);
    EXPECT_TRUE(RectsEqual(rect, RECT{13, 40, 394, 40 + 225})) << Describe(rect);
    // W - 3 x cw = 361 where the list leaves room for it and its scroll bar; else the room.
    EXPECT_EQ(HourColumnWidth(metrics, 377, 16), 361);
    EXPECT_EQ(HourColumnWidth(metrics, 370, 16), 354);
    EXPECT_EQ(HourColumnWidth(metrics, 377, 24), 353);
}

TEST(SettingsRules, SupportSiteAddress) {
    EXPECT_EQ(SupportSiteAddress(), std::wstring(L"http://") + DORMIGUARD_WEB_HOST + L"/DormiGuard/");
}

TEST_F(SettingsSheetTest, HoursPageShowsTheTableWithApplyDisabled) {
    struct Case {
        const char* name;
        std::vector<bool> table;
        const wchar_t* screenshot;
    } cases[] = {
        {"hour 5", HourTable({5}), L"settings_hours.png"},
        // Several stored hours: ticking them one by one must not look like a user change.
        {"hours 0, 5, 7, 23", HourTable({0, 5, 7, 23}), nullptr},
        {"no table yet", {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_SaveData.hourTable = c.table;
        Sheet sheet;
        ModalScript script(sheet.Abort());
        script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
            .Ticks(3)
            .Do("rows", [&] {
                HWND list = sheet.HourList();
                ASSERT_NE(list, nullptr);
                ASSERT_EQ(ItemCount(list), 24);
                for (int h = 0; h < 24; ++h) {
                    EXPECT_EQ(ItemText(list, h, 0), HourRowText(h));
                    const bool stored = static_cast<size_t>(h) < c.table.size() && c.table[h];
                    EXPECT_EQ(RowTicked(list, h), stored) << "row " << h;
                }
                EXPECT_FALSE(sheet.ApplyEnabled()) << "nothing changed yet";
            });
        if (c.screenshot) {
            script.Do("page", [&] {
                EXPECT_EQ(WindowText(sheet.frame), L"アプリ設定");
                HWND tab = reinterpret_cast<HWND>(::SendMessageW(sheet.frame, PSM_GETTABCONTROL, 0, 0));
                const wchar_t* titles[] = {L"アプリ設定", L"動作", L"アプリバージョン", L"ライセンス情報"};
                ASSERT_EQ(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 4);
                for (int i = 0; i < 4; ++i) {
                    wchar_t text[64] = {};
                    TCITEMW item = {};
                    item.mask = TCIF_TEXT;
                    item.pszText = text;
                    item.cchTextMax = 64;
                    ::SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
                    EXPECT_STREQ(text, titles[i]);
                }
                HWND page = sheet.hours.Window();
                HWND list = sheet.HourList();
                const PageMetrics metrics = GetPageMetrics(page);
                EXPECT_GT(metrics.charWidth, 0);
                EXPECT_GT(metrics.charHeight, 0);
                // The weekday row, all ticked, Sunday first, on one line above the list.
                int left = 0;
                for (const wchar_t* day : {L"日", L"月", L"火", L"水", L"木", L"金", L"土"}) {
                    HWND box = ChildWithText(page, day);
                    ASSERT_NE(box, nullptr) << day;
                    EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED) << day;
                    EXPECT_GT(ChildRect(box).left, left) << day;
                    EXPECT_LT(ChildRect(box).bottom, ChildRect(list).top);
                    left = ChildRect(box).right;
                }
                EXPECT_TRUE(RectsEqual(ChildRect(list), HourListRect(metrics, ChildRect(list).top)))
                    << Describe(ChildRect(list));
                const DWORD extended = static_cast<DWORD>(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
                EXPECT_EQ(extended & 0x25u, 0x25u) << "grid lines, check boxes, full-row select";
                // Only the hour list and its frame are shown; the picture choice stays hidden.
                HWND koala = ChildWithText(page, L"ピルミちゃんのイメージをコアラにする");
                ASSERT_NE(koala, nullptr);
                EXPECT_FALSE(::IsWindowVisible(koala));
                EXPECT_EQ(::SendMessageW(koala, BM_GETCHECK, 0, 0), BST_CHECKED) << "image type 1";
                HWND displayFrame = ChildWithText(page, L"表示情報");
                ASSERT_NE(displayFrame, nullptr);
                EXPECT_FALSE(::IsWindowVisible(displayFrame));
                HWND hourFrame = ChildWithText(page, L"スリープ禁止時間帯");
                ASSERT_NE(hourFrame, nullptr);
                EXPECT_TRUE(::IsWindowVisible(hourFrame));
                const RECT frame = ChildRect(hourFrame);
                const RECT listRect = ChildRect(list);
                EXPECT_EQ(frame.right, listRect.right + 8);
                EXPECT_EQ(frame.bottom, listRect.bottom + 8);
            });
            RepaintAndShoot(script, sheet, c.screenshot);
        }
        script.Do("cancel", [&] { sheet.Press(PSBTN_CANCEL); });
        EXPECT_EQ(Run(sheet, script), 0);
        EXPECT_EQ(g_SaveData.hourTable, c.table);
        EXPECT_TRUE(KeysOf(L"DISABLE_TIME").empty());
    }
}

TEST_F(SettingsSheetTest, TickingEnablesApplyAndCancelWritesNothing) {
    Sheet sheet;
    ModalScript script(sheet.Abort());
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
        .Do("tick 09:00", [&] {
            ASSERT_FALSE(sheet.ApplyEnabled());
            TickRow(sheet.HourList(), 9, true);
            EXPECT_TRUE(RowTicked(sheet.HourList(), 9));
            EXPECT_TRUE(sheet.ApplyEnabled()) << "enabled at once";
        })
        .Do("untick it again", [&] {
            TickRow(sheet.HourList(), 9, false);
            EXPECT_TRUE(sheet.ApplyEnabled()) << "the page never reports unchanged";
        })
        .Do("tick 10:00 and cancel", [&] {
            TickRow(sheet.HourList(), 10, true);
            sheet.Press(PSBTN_CANCEL);
        });
    EXPECT_EQ(Run(sheet, script), 0);
    EXPECT_EQ(g_SaveData.hourTable, HourTable({5}));
    EXPECT_EQ(g_SaveData.imageType, 1);
    EXPECT_TRUE(KeysOf(L"DISABLE_TIME").empty());
    EXPECT_TRUE(KeysOf(L"VERSION").empty());
}

TEST_F(SettingsSheetTest, OkWritesAllHoursAndReplacesTheTable) {
    g_SaveData.imageType = 2;
    Sheet sheet;
    ModalScript script(sheet.Abort());
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
        .Do("tick 09:00 and 23:00, untick 05:00, Sunday and Saturday", [&] {
            TickRow(sheet.HourList(), 9, true);
            TickRow(sheet.HourList(), 23, true);
            TickRow(sheet.HourList(), 5, false);
            ::SendMessageW(ChildWithText(sheet.hours.Window(), L"日"), BM_CLICK, 0, 0);
            ::SendMessageW(ChildWithText(sheet.hours.Window(), L"土"), BM_CLICK, 0, 0);
        })
        .Do("ok", [&] { sheet.Press(PSBTN_OK); });
    EXPECT_EQ(Run(sheet, script), 1);

    std::vector<std::wstring> expectedKeys;
    for (int h = 0; h < 24; ++h) expectedKeys.push_back(L"hour" + std::to_wstring(h));
    expectedKeys.push_back(L"day0");  // only the days that changed
    expectedKeys.push_back(L"day6");
    EXPECT_EQ(KeysOf(L"DISABLE_TIME"), expectedKeys);
    for (int h = 0; h < 24; ++h)
        EXPECT_EQ(ValueOf(L"DISABLE_TIME", expectedKeys[h]), (h == 9 || h == 23) ? L"1" : L"0") << h;
    EXPECT_EQ(ValueOf(L"DISABLE_TIME", L"day0"), L"0");
    EXPECT_EQ(ValueOf(L"DISABLE_TIME", L"day6"), L"0");
    EXPECT_EQ(g_SaveData.dayTable, (std::vector<bool>{false, true, true, true, true, true, false}));
    EXPECT_EQ(g_SaveData.hourTable, HourTable({9, 23}));
    EXPECT_EQ(g_SaveData.imageType, 1) << "the check box's state, 1 or 0";
    EXPECT_TRUE(KeysOf(L"VERSION").empty()) << "the version tab was never opened";
}

TEST_F(SettingsSheetTest, OkWithoutChangesStillWritesAllHours) {
    g_SaveData.imageType = 0;
    Sheet sheet;
    ModalScript script(sheet.Abort());
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); }).Do("ok", [&] { sheet.Press(PSBTN_OK); });
    Run(sheet, script);
    EXPECT_EQ(KeysOf(L"DISABLE_TIME").size(), 24u);
    EXPECT_EQ(ValueOf(L"DISABLE_TIME", L"hour5"), L"1");
    EXPECT_EQ(ValueOf(L"DISABLE_TIME", L"hour4"), L"0");
    EXPECT_EQ(g_SaveData.hourTable, HourTable({5}));
    EXPECT_EQ(g_SaveData.imageType, 0);
}

namespace {
HWND AwakeChild(const Sheet& sheet, const wchar_t* text) { return ChildWithText(sheet.awake.Window(), text); }
void Click(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }
LRESULT HotkeyShown(const Sheet& sheet) { return ::SendMessageW(sheet.awake.HotkeyControl(), HKM_GETHOTKEY, 0, 0); }
void TypeHotkey(const Sheet& sheet, BYTE key) {
    ::SendMessageW(sheet.awake.HotkeyControl(), HKM_SETHOTKEY, MAKEWORD(key, HOTKEYF_CONTROL | HOTKEYF_SHIFT), 0);
}
}  // namespace

TEST_F(SettingsSheetTest, AwakePageStoresEachSettingAndSaysWhenTheHotkeyIsTaken) {
    Sheet sheet;
    const wchar_t kFloor[] = L"バッテリー残量が ";
    // Stored before; no lid here, so the page shows neither lid choice and keeps both.
    g_SaveData.awake.busyPercent = 30;
    g_SaveData.awake.lid = true;
    g_SaveData.awake.lidMainsOnly = false;
    ModalScript script(sheet.Abort());
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
        .Do("open the tab", [&] { sheet.SelectTab(1); })
        .WaitUntil("page", [&] { return sheet.awake.Window() && ::IsWindowVisible(sheet.awake.Window()); })
        .Do("defaults, then change all and apply", [&] {
            ASSERT_NE(AwakeChild(sheet, L"% を下回ったらスリープを許可する"), nullptr);
            EXPECT_EQ(::SendMessageW(AwakeChild(sheet, L"画面の電源を切らない"), BM_GETCHECK, 0, 0), BST_CHECKED);
            EXPECT_EQ(::SendMessageW(AwakeChild(sheet, kFloor), BM_GETCHECK, 0, 0), BST_UNCHECKED);
            EXPECT_EQ(WindowText(sheet.awake.FloorEdit()), L"10") << "the value the switch starts with";
            EXPECT_FALSE(::IsWindowEnabled(sheet.awake.FloorEdit()));
            EXPECT_EQ(HotkeyShown(sheet), 0x037A) << "Ctrl+Shift+F11: VK_F11 with HOTKEYF_CONTROL | SHIFT";
            EXPECT_FALSE(sheet.ApplyEnabled());
            EXPECT_EQ(sheet.awake.LidCheck(), nullptr);
            EXPECT_EQ(WindowText(sheet.awake.BusyEdit()), L"30");
            Click(AwakeChild(sheet, L"画面の電源を切らない"));
            EXPECT_TRUE(sheet.ApplyEnabled());
            Click(AwakeChild(sheet, L"AC電源につながっているときだけ、プログラムと時間帯でスリープを禁止する"));
            Click(AwakeChild(sheet, kFloor));
            ::SetWindowTextW(sheet.awake.FloorEdit(), L"99");
            TypeHotkey(sheet, 'K');
            sheet.Press(PSBTN_APPLYNOW);
            EXPECT_EQ(ValueOf(L"AWAKE", L"display"), L"0");
            EXPECT_EQ(ValueOf(L"AWAKE", L"aconly"), L"1");
            EXPECT_EQ(ValueOf(L"AWAKE", L"batteryfloor"), L"50");
            EXPECT_EQ(WindowText(sheet.awake.FloorEdit()), L"50") << "the box shows what is stored";
            EXPECT_EQ(ValueOf(L"AWAKE", L"hotkey"), L"Ctrl+Shift+K");
            EXPECT_EQ(ValueOf(L"AWAKE", L"lid"), L"<missing>") << "unchanged, not written";
            EXPECT_TRUE(g_SaveData.awake.lid && !g_SaveData.awake.lidMainsOnly && g_SaveData.awake.busyPercent == 30);
            EXPECT_EQ(sheet.calls.checks, 1) << "the check runs at once";
        })
        .Do("a key that is taken", [&] {
            sheet.calls.refuse = true;
            TypeHotkey(sheet, 'J');
            sheet.Press(PSBTN_APPLYNOW);
            HWND message = sheet.awake.HotkeyMessage();
            EXPECT_TRUE(::IsWindowVisible(message));
            EXPECT_EQ(WindowText(message).rfind(L"Ctrl+Shift+J は登録できません（", 0), 0u) << WindowText(message);
            EXPECT_EQ(ChildRect(message).top, ChildRect(sheet.awake.HotkeyControl()).bottom + 4) << "under the key";
            EXPECT_EQ(HotkeyShown(sheet), MAKEWORD('K', HOTKEYF_CONTROL | HOTKEYF_SHIFT)) << "the old key";
            EXPECT_EQ(ValueOf(L"AWAKE", L"hotkey"), L"Ctrl+Shift+K");
            // Ctrl+C stays with the programs; the page says why.
            ::SendMessageW(sheet.awake.HotkeyControl(), HKM_SETHOTKEY, MAKEWORD('C', HOTKEYF_CONTROL), 0);
            sheet.Press(PSBTN_APPLYNOW);
            EXPECT_EQ(WindowText(message), L"文字を入力するキーには Ctrl と Shift の両方が必要です。Ctrl と Alt の組み合わせは AltGr と同じため使えません。");
            EXPECT_EQ(ValueOf(L"AWAKE", L"hotkey"), L"Ctrl+Shift+K");
        });
    RepaintAndShoot(script, sheet, L"settings_awake.png");
    script.Do("switch the hotkey and the floor off, ok", [&] {
        sheet.calls.refuse = false;
        Click(AwakeChild(sheet, L"ホットキーを使う"));
        EXPECT_FALSE(::IsWindowEnabled(sheet.awake.HotkeyControl()));
        Click(AwakeChild(sheet, kFloor));
        sheet.Press(PSBTN_OK);
    });
    EXPECT_EQ(Run(sheet, script), 1);
    EXPECT_EQ(ValueOf(L"AWAKE", L"hotkey"), L"") << "an empty value: no hotkey";
    EXPECT_EQ(ValueOf(L"AWAKE", L"batteryfloor"), L"0");
    EXPECT_EQ(sheet.calls.hotkeys, (std::vector<std::wstring>{L"Ctrl+Shift+K", L"Ctrl+Shift+J", L""}));
    EXPECT_EQ(sheet.calls.checks, 4);
}

TEST_F(SettingsSheetTest, AwakePageOffersTheLidOnlyWithALidAndTheThresholdAlways) {
    Sheet sheet;
    sheet.lid = true;
    ModalScript script(sheet.Abort());
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
        .Do("open the tab", [&] { sheet.SelectTab(1); })
        .WaitUntil("page", [&] { return sheet.awake.Window() && ::IsWindowVisible(sheet.awake.Window()); })
        .Do("the choice, and beneath it mains only", [&] {
            const HWND lid = AwakeChild(sheet, L"スリープ禁止中はふたを閉じても動作を続ける");
            const HWND mainsOnly = AwakeChild(sheet, L"電源接続時のみ");
            ASSERT_TRUE(lid && mainsOnly && lid == sheet.awake.LidCheck());
            EXPECT_TRUE(::SendMessageW(mainsOnly, BM_GETCHECK, 0, 0) == BST_CHECKED && !::IsWindowEnabled(mainsOnly));
            EXPECT_GE(ChildRect(mainsOnly).top, ChildRect(lid).bottom);
            Click(lid);
            EXPECT_TRUE(::IsWindowEnabled(mainsOnly));
            ::SetWindowTextW(sheet.awake.BusyEdit(), L"25");
        });
    RepaintAndShoot(script, sheet, L"settings_awake_lid.png");
    script.Do("ok", [&] { sheet.Press(PSBTN_OK); });
    EXPECT_EQ(Run(sheet, script), 1);
    EXPECT_EQ(ValueOf(L"AWAKE", L"lid"), L"1");
    EXPECT_EQ(ValueOf(L"AWAKE", L"busypercent"), L"25");
    EXPECT_EQ(ValueOf(L"AWAKE", L"lidmainsonly"), L"<missing>") << "unchanged, not written";
}

// KeepDisplayOn=0, Hotkey=0 and UpdateCheck=0: their controls show the policy greyed, each page
// says so in one line, and OK stores none of them over the user's own settings.
TEST_F(SettingsSheetTest, PoliciesGreyTheirControlsAndLeaveTheUsersSettings) {
    Policies policies;
    policies.keepDisplayOn = 0;
    policies.hotkey = 0;
    Sheet sheet(policies);
    sheet.version.SetUpdateCheckOff(true);
    const wchar_t kManaged[] = L"一部の設定は組織によって管理されています";
    ModalScript script(sheet.Abort());
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
        .Do("open the tab", [&] { sheet.SelectTab(1); })
        .WaitUntil("page", [&] { return sheet.awake.Window() && ::IsWindowVisible(sheet.awake.Window()); })
        .Do("greyed", [&] {
            const HWND display = AwakeChild(sheet, L"画面の電源を切らない");
            EXPECT_EQ(::SendMessageW(display, BM_GETCHECK, 0, 0), BST_UNCHECKED);
            EXPECT_FALSE(::IsWindowEnabled(display));
            EXPECT_FALSE(::IsWindowEnabled(AwakeChild(sheet, L"ホットキーを使う")));
            EXPECT_NE(AwakeChild(sheet, kManaged), nullptr);
            Click(AwakeChild(sheet, L"AC電源につながっているときだけ、プログラムと時間帯でスリープを禁止する"));
        });
    RepaintAndShoot(script, sheet, L"settings_awake_managed.png");
    script.Do("version tab", [&] { sheet.SelectTab(2); })
        .WaitUntil("version page", [&] { return sheet.version.Window() && ::IsWindowVisible(sheet.version.Window()); })
        .Do("greyed", [&] {
            const HWND check = ChildWithText(sheet.version.Window(), L"バージョンアップの通知をしない");
            EXPECT_EQ(::SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
            EXPECT_FALSE(::IsWindowEnabled(check));
            EXPECT_NE(ChildWithText(sheet.version.Window(), kManaged), nullptr);
        });
    script.Do("ok", [&] { sheet.Press(PSBTN_OK); });
    EXPECT_EQ(Run(sheet, script), 1);
    EXPECT_EQ(ValueOf(L"AWAKE", L"aconly"), L"1");
    EXPECT_EQ(ValueOf(L"AWAKE", L"display"), L"<missing>");
    EXPECT_TRUE(sheet.calls.hotkeys.empty());
    EXPECT_TRUE(KeysOf(L"VERSION").empty());
}

TEST_F(SettingsSheetTest, VersionSwitchIsStoredOnlyFromItsOpenedTab) {
    struct Case {
        const char* name;
        const wchar_t* stored;  // VERSION/notify before, null for none
        bool openTab;
        bool click;
        bool expectTickedOnOpen;
        const wchar_t* expected;  // VERSION/notify after, null for no VERSION section
    } cases[] = {
        {"tick it", nullptr, true, true, false, L"1"},
        {"untick a stored 1", L"1", true, true, true, L"0"},
        {"never opened", nullptr, false, false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(iniPath_.c_str());
        Inifile_CL::CreateIfMissing(iniPath_);
        if (c.stored) g_Inifile.WriteString(L"VERSION", L"notify", c.stored);
        Sheet sheet;
        ModalScript script(sheet.Abort());
        script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); });
        if (c.openTab) {
            script.Do("open the version tab", [&] { sheet.SelectTab(2); })
                .WaitUntil("version page", [&] { return sheet.version.Window() && ::IsWindowVisible(sheet.version.Window()); })
                .Do("switch", [&] {
                    HWND check = ChildWithText(sheet.version.Window(), L"バージョンアップの通知をしない");
                    ASSERT_NE(check, nullptr);
                    EXPECT_EQ(::SendMessageW(check, BM_GETCHECK, 0, 0), c.expectTickedOnOpen ? BST_CHECKED : BST_UNCHECKED);
                    EXPECT_FALSE(sheet.ApplyEnabled());
                    if (c.click) {
                        ::SendMessageW(check, BM_CLICK, 0, 0);
                        EXPECT_TRUE(sheet.ApplyEnabled());
                    }
                });
        }
        script.Do("ok", [&] { sheet.Press(PSBTN_OK); });
        Run(sheet, script);
        if (c.expected) {
            EXPECT_EQ(KeysOf(L"VERSION"), std::vector<std::wstring>{L"notify"});
            EXPECT_EQ(ValueOf(L"VERSION", L"notify"), c.expected);
        } else {
            EXPECT_TRUE(KeysOf(L"VERSION").empty());
        }
    }
}

TEST_F(SettingsSheetTest, VersionPageLayoutAndSupportControls) {
    Sheet sheet;
    HWND iconButton = nullptr;
    HWND supportButton = nullptr;
    std::unique_ptr<MarkerFile> marker;
    ModalScript script(sheet.Abort());
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
        .Do("open the version tab", [&] { sheet.SelectTab(2); })
        .WaitUntil("version page", [&] { return sheet.version.Window() && ::IsWindowVisible(sheet.version.Window()); })
        .Do("layout", [&] {
            HWND page = sheet.version.Window();
            HWND version = ChildWithText(page, L"Version : 1.0.5");
            HWND spacer = ChildWithText(page, L"　");
            HWND supportText = ChildWithText(page, L"サポートサイトへ");
            supportButton = ChildWithText(page, L"　　サポートサイトへ　　");
            iconButton = ChildWithText(page, L"OK");
            HWND check = ChildWithText(page, L"バージョンアップの通知をしない");
            ASSERT_TRUE(version && spacer && supportText && supportButton && iconButton && check);
            ASSERT_NE(ChildWithText(page, L"バージョンアップの通知"), nullptr);
            ASSERT_NE(ChildWithText(page, L"バージョン情報"), nullptr);

            EXPECT_FALSE(::IsWindowVisible(spacer));
            const RECT v = ChildRect(version);
            const RECT s = ChildRect(spacer);
            const RECT t = ChildRect(supportText);
            // One line step is a text's height plus the 4-pixel gap; the hidden spacer adds half.
            const int step = (v.bottom - v.top) + 4;
            EXPECT_EQ(s.top - v.top, step);
            EXPECT_EQ(t.top - v.top, step + ((s.bottom - s.top) + 4) / 2);
            EXPECT_EQ(t.top - v.top, step + step / 2) << "one and a half line steps";
            EXPECT_EQ(v.left, 8);
            EXPECT_EQ(t.left, 8);

            const RECT icon = ChildRect(iconButton);
            EXPECT_EQ(icon.right - icon.left, 36);
            EXPECT_EQ(icon.bottom - icon.top, 36);
            EXPECT_EQ(icon.left, 16) << "stacked at 8, then moved 8 to the right";
            EXPECT_EQ(icon.top, 68);
            EXPECT_EQ(v.top, 68 + 36 + 4);
            const LONG style = ::GetWindowLongW(iconButton, GWL_STYLE);
            EXPECT_EQ(style & (BS_ICON | BS_FLAT), BS_ICON | BS_FLAT);
            EXPECT_NE(::SendMessageW(iconButton, BM_GETIMAGE, IMAGE_ICON, 0), 0) << "the program's icon";
            const RECT box = ChildRect(check);
            EXPECT_EQ(box.left, 8);
            EXPECT_EQ(box.top, 16);
        });
    RepaintAndShoot(script, sheet, L"settings_version.png");
    script
        .Do("both controls open the support site", [&] {
            ::SendMessageW(iconButton, BM_CLICK, 0, 0);
            ::SendMessageW(supportButton, BM_CLICK, 0, 0);
            std::lock_guard<std::mutex> lock(g_openedLock);
            EXPECT_EQ(g_opened, (std::vector<std::wstring>{SupportSiteAddress(), SupportSiteAddress()}));
        })
        .Do("with the marker file they do nothing", [&] {
            marker = std::make_unique<MarkerFile>();
            ASSERT_TRUE(IsDeveloperMachine());
            ::SendMessageW(iconButton, BM_CLICK, 0, 0);
            ::SendMessageW(supportButton, BM_CLICK, 0, 0);
            EXPECT_EQ(OpenedCount(), 2u);
            marker.reset();
        })
        .Do("cancel", [&] { sheet.Press(PSBTN_CANCEL); });
    EXPECT_EQ(Run(sheet, script), 0);
    EXPECT_TRUE(KeysOf(L"VERSION").empty());
}

TEST_F(SettingsSheetTest, LicencePageOpensWithoutBlockingAndShowsItsFrame) {
    Sheet sheet;
    ULONGLONG switchMs = 0;
    ULONGLONG pressedAt = 0;
    bool hostSeen = false;
    ModalScript script(sheet.Abort(), 15000);
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
        .Do("open the licence tab", [&] {
            const ULONGLONG start = ::GetTickCount64();
            sheet.SelectTab(3);
            switchMs = ::GetTickCount64() - start;
        })
        .WaitUntil("licence page", [&] { return sheet.license.Window() && ::IsWindowVisible(sheet.license.Window()); })
        .Ticks(4)
        .Do("frame", [&] {
            HWND page = sheet.license.Window();
            const PageMetrics metrics = GetPageMetrics(page);
            HWND frame = ::FindWindowExW(page, nullptr, L"Button", L"");
            ASSERT_NE(frame, nullptr);
            EXPECT_TRUE(::IsWindowVisible(frame));
            EXPECT_TRUE(RectsEqual(ChildRect(frame), RECT{0, 0, metrics.width, metrics.height}))
                << Describe(ChildRect(frame));
            if (HWND host = sheet.license.BrowserHost()) {
                hostSeen = true;
                EXPECT_TRUE(RectsEqual(ChildRect(host), RECT{8, metrics.charHeight, metrics.width - 8,
                                                             metrics.height - metrics.charHeight}))
                    << Describe(ChildRect(host));
            }
        });
    RepaintAndShoot(script, sheet, L"settings_license.png");
    script.Do("ok", [&] {
        pressedAt = ::GetTickCount64();
        sheet.Press(PSBTN_OK);
    });
    Run(sheet, script);
    const ULONGLONG closeMs = ::GetTickCount64() - pressedAt;
    EXPECT_LT(switchMs, 5000u) << "opening the licence tab";
    // Hiding a top-level window under Wine without a window manager alone takes about 2 s.
    EXPECT_LT(closeMs, 6000u) << "closing the sheet";
    EXPECT_EQ(KeysOf(L"VERSION").size(), 0u);
    if (!hostSeen) GTEST_SKIP() << "no browser host on this system: its place in the page was not checked";
}

TEST_F(SettingsSheetTest, BrowserHostIsAChildAndGoesWithItsObject) {
    HWND host = nullptr;
    {
        BrowserControl_CL browser;
        const ULONGLONG start = ::GetTickCount64();
        host = browser.CreateHost(owner_.Get());
        EXPECT_LT(::GetTickCount64() - start, 5000u);
        EXPECT_EQ(browser.Parent(), owner_.Get());
        if (!host) {
            EXPECT_FALSE(browser.HasBrowser());
            EXPECT_FALSE(browser.Navigate(LicensePagePath())) << "no browser, no navigation";
            // A host window without a control would stand blank over the page.
            EXPECT_EQ(::GetWindow(owner_.Get(), GW_CHILD), nullptr);
            GTEST_SKIP() << "no browser control on this system: the host was not checked";
        }
        wchar_t className[64] = {};
        ::GetClassNameW(host, className, 64);
        bool known = false;
        for (const AtlHostLibrary& library : AtlHostLibraries()) known = known || wcscmp(className, library.windowClass) == 0;
        EXPECT_TRUE(known) << "host class";
        EXPECT_EQ(::GetParent(host), owner_.Get());
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(host, GWL_STYLE)) & 0xFFFF0000u,
                  static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_TABSTOP));
        EXPECT_EQ(browser.Navigate(LicensePagePath()), browser.HasBrowser());
        PumpMessagesFor(200);
    }
    EXPECT_FALSE(::IsWindow(host)) << "a host its parent has not destroyed goes with the object";
}

// "表示言語 / Language" on the page 動作: nothing is written until the choice changes; a new one
// is stored and speaks at once, and the next sheet is in it, its controls inside the page.
TEST_F(SettingsSheetTest, LanguageChoiceIsStoredWhenChangedAndTheNextSheetSpeaksIt) {
    const UiLanguage before = CurrentUiLanguage();
    struct Step {
        const wchar_t* pick;     // null: OK without a change
        const wchar_t* stored;   // DISPLAY/language afterwards
        UiLanguage language;     // the texts afterwards
        const wchar_t* display;  // a control of the page 動作 in the sheet this step opens
        const wchar_t* picture;
        const wchar_t* buttons[3];  // OK, Cancel, Apply of that sheet, whatever the system's language
    } steps[] = {
        {nullptr, L"<missing>", UiLanguage::Japanese, L"画面の電源を切らない", L"settings_behavior_ja.png",
         {L"OK", L"キャンセル", L"適用(&A)"}},
        {L"English", L"en", UiLanguage::English, L"画面の電源を切らない", nullptr, {L"OK", L"キャンセル", L"適用(&A)"}},
        {L"日本語", L"ja", UiLanguage::Japanese, L"Keep the display on", L"settings_behavior_en.png",
         {L"OK", L"Cancel", L"&Apply"}},
    };
    ASSERT_EQ(before, UiLanguage::Japanese) << "the tests run on a Japanese system";
    for (const Step& step : steps) {
        SCOPED_TRACE(step.stored);
        Sheet sheet;
        bool inside = true;
        ModalScript script(sheet.Abort());
        script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); })
            .Do("open the tab", [&] { sheet.SelectTab(1); })
            .WaitUntil("page", [&] { return sheet.awake.Window() && ::IsWindowVisible(sheet.awake.Window()); })
            .Do("look", [&] {
                const HWND page = sheet.awake.Window();
                EXPECT_NE(ChildWithText(page, L"表示言語 / Language"), nullptr);
                EXPECT_NE(ChildWithText(page, step.display), nullptr);
                EXPECT_TRUE(!DrawsJapanese(UiFont()) || ::SendMessageW(ChildWithText(page, L"日本語"), WM_GETFONT, 0, 0) ==
                            ::SendMessageW(ChildWithText(page, step.display), WM_GETFONT, 0, 0)) << "one face";
                const int buttons[] = {IDOK, IDCANCEL, kApplyButtonId};
                for (int i = 0; i < 3; ++i)
                    EXPECT_EQ(WindowText(::GetDlgItem(sheet.frame, buttons[i])), step.buttons[i]);
                RECT client = {};
                ::GetClientRect(page, &client);
                for (HWND child = ::GetWindow(page, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
                    if (::IsWindowVisible(child) &&
                        (ChildRect(child).right > client.right || ChildRect(child).bottom > client.bottom))
                        inside = false;
            });
        if (step.picture) RepaintAndShoot(script, sheet, step.picture);
        script.Do("choose and press OK", [&] {
            if (step.pick) {
                ::SendMessageW(ChildWithText(sheet.awake.Window(), step.pick), BM_CLICK, 0, 0);
                EXPECT_TRUE(sheet.ApplyEnabled());
            }
            sheet.Press(PSBTN_OK);
        });
        EXPECT_EQ(Run(sheet, script), 1);
        EXPECT_TRUE(inside) << "every control of the page inside it";
        EXPECT_EQ(ValueOf(L"DISPLAY", L"language"), step.stored);
        EXPECT_EQ(CurrentUiLanguage(), step.language);
        UseUiFontFor(CurrentUiLanguage() == UiLanguage::English ? UiFontKind::SystemMessage : UiFontKind::DefaultGui);
    }
    SetUiLanguage(before);
    UseUiFontFor(UiFontKind::DefaultGui);
}

// One press of OK is one save: a refusing file (a handle sharing no writes) leaves one log line.
TEST_F(SettingsSheetTest, OneRefusedSaveWritesOneLogLine) {
    const std::wstring log = iniPath_ + L".log";
    g_Logger.SetPath(log);
    UniqueFile lock(::CreateFileW(iniPath_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    Sheet sheet;
    ModalScript script(sheet.Abort());
    script.WaitUntil("sheet shown", [&] { return sheet.IsOpen(); }).Do("tab", [&] { sheet.SelectTab(1); });
    script.WaitUntil("page", [&] { return sheet.awake.Window() != nullptr; }).Do("ok", [&] { sheet.Press(PSBTN_OK); });
    EXPECT_EQ(Run(sheet, script), 1);
    lock.Reset();
    g_SaveData.SaveHours();  // writable again: the next tests start saved
    g_Logger.SetPath(L"");
    const std::wstring text = ReadUtf16File(log);
    EXPECT_EQ(text.find(L"設定を保存できませんでした"), text.rfind(L"設定を保存できませんでした"));
    EXPECT_NE(text.find(L"設定を保存できませんでした"), std::wstring::npos);
    ::DeleteFileW(log.c_str());
}
