// The process selection dialog, run modally under Wine and driven from inside its own loop.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "comlib/utility.h"
#include "comlib/window/high_dpi.h"
#include "tests/dialog_test_support.h"
#include "tests/modal_script.h"
#include "tests/test_helpers.h"
#include "view/common/file_icon.h"
#include "view/common/file_icon_lookup.h"
#include "view/process_select/process_rows.h"
#include "view/process_select/process_select_list.h"

namespace {

::testing::Environment* const g_ui = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

const wchar_t kPrompt[] =
    L"スリープを抑止したいプロセスを選択してください。（現在起動しているプロセスを列挙しています）";
const wchar_t kMissingProgram[] = L"C:\\DgRemoved\\vanished.exe";

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
}

std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::GetWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Programs that exist in every Wine prefix, this test, and one that was removed while it ran.
std::vector<std::wstring> SamplePaths() {
    return {SystemFolder() + L"\\notepad.exe", WindowsFolder() + L"\\regedit.exe", SystemFolder() + L"\\cmd.exe",
            ThisProgram(),                     kMissingProgram,                      SystemFolder() + L"\\taskmgr.exe",
            WindowsFolder() + L"\\explorer.exe", SystemFolder() + L"\\winver.exe"};
}

// The dialog as the add command fills it: file name and full path per row.
void FillLikeAddCommand(ProcessSelectList_CL& dialog, const std::vector<std::wstring>& paths) {
    dialog.AddColumn(L"プロセス名称", 320);
    dialog.AddColumn(L"ファイルパス", 640);
    for (const std::wstring& path : paths) dialog.AddRow({FileNamePart(path), path});
}

HWND ListOf(const ProcessSelectList_CL& dialog) {
    return ::FindWindowExW(dialog.Window(), nullptr, WC_LISTVIEWW, nullptr);
}
HWND SelectButtonOf(const ProcessSelectList_CL& dialog) {
    return ::GetDlgItem(dialog.Window(), ProcessSelectList_CL::kSelectId);
}
HWND CancelButtonOf(const ProcessSelectList_CL& dialog) {
    return ::GetDlgItem(dialog.Window(), ProcessSelectList_CL::kCancelId);
}

bool IsOpen(const ProcessSelectList_CL& dialog) {
    return dialog.Window() && ::IsWindow(dialog.Window()) && ::IsWindowVisible(dialog.Window());
}

// List above a 48-pixel strip, buttons in the bottom-right corner with 4 pixels of margin.
void ExpectLayout(const ProcessSelectList_CL& dialog, const char* when) {
    RECT client = {};
    ::GetClientRect(dialog.Window(), &client);
    const RECT list = ChildRect(ListOf(dialog));
    EXPECT_TRUE(RectsEqual(list, RECT{0, 0, client.right, client.bottom - 48}))
        << when << ": list " << Describe(list) << " in client " << Describe(client);
    const RECT cancel = ChildRect(CancelButtonOf(dialog));
    const RECT select = ChildRect(SelectButtonOf(dialog));
    EXPECT_EQ(cancel.right, client.right - 4) << when;
    EXPECT_EQ(cancel.bottom, client.bottom - 4) << when;
    EXPECT_EQ(select.right, cancel.left - 4) << when;
    EXPECT_EQ(select.top, cancel.top) << when;
    EXPECT_GE(select.top, client.bottom - 48) << when << ": buttons stand in the strip";
}

const RECT kOwnerRect = {200, 150, 900, 650};

class SelectDialogTest : public ::testing::Test {
protected:
    // One owner for the suite: under Wine without a window manager every top-level window that
    // goes away costs a wait for its withdrawn state.
    static void SetUpTestSuite() { owner_ = CreateOwnerWindow(kOwnerRect); }
    static void TearDownTestSuite() { owner_.Reset(); }
    void SetUp() override { MoveOwner(kOwnerRect); }
    static void MoveOwner(const RECT& rect) {
        ::SetWindowPos(owner_.Get(), nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Runs the dialog with the script; returns DoModal's result.
    INT_PTR Run(ProcessSelectList_CL& dialog, ModalScript& script) {
        script.Start();
        const INT_PTR result = dialog.DoModal(::GetModuleHandleW(nullptr), L"ClassName_VigilSelectList", owner_.Get());
        script.ExpectFinished();
        return result;
    }
    static std::function<void()> CloseOf(ProcessSelectList_CL& dialog) {
        return [&dialog] {
            if (dialog.Window()) ::EndDialog(dialog.Window(), -2);
        };
    }

    static UniqueWindow owner_;
};

UniqueWindow SelectDialogTest::owner_;

std::set<int> MarkedRows(const ProcessSelectList_CL& dialog) {
    std::set<int> marked;
    for (size_t i = 0; i < dialog.Rows().size(); ++i)
        if (dialog.Rows()[i].marked) marked.insert(static_cast<int>(i));
    return marked;
}

}  // namespace

TEST(SelectDialogRules, SizeFollowsDpiRule) {
    struct Case {
        int dpi;
        LONG width, height;
    } cases[] = {{96, 800, 640}, {120, 1000, 800}, {144, 1200, 960}, {192, 1600, 1280}};
    for (const Case& c : cases) {
        const SIZE size = SelectDialogSize(c.dpi);
        EXPECT_EQ(size.cx, c.width) << c.dpi;
        EXPECT_EQ(size.cy, c.height) << c.dpi;
    }
}

TEST(SelectDialogRules, ListLeavesTheButtonStrip) {
    EXPECT_TRUE(RectsEqual(SelectListRect(RECT{0, 0, 784, 602}), RECT{0, 0, 784, 554}));
    EXPECT_TRUE(RectsEqual(SelectListRect(RECT{0, 0, 300, 48}), RECT{0, 0, 300, 0}));
    // A client lower than the strip gives an empty list, not a negative height.
    EXPECT_TRUE(RectsEqual(SelectListRect(RECT{0, 0, 120, 20}), RECT{0, 0, 120, 0}));
    // The strip is 72 pixels at 144 DPI.
    EXPECT_TRUE(RectsEqual(SelectListRect(RECT{0, 0, 1176, 903}, 144), RECT{0, 0, 1176, 831}));
}

TEST(FileIcon, MissingFileHasNoImage) {
    EXPECT_EQ(IconIndexOrNone(0, 7), I_IMAGENONE);
    EXPECT_EQ(IconIndexOrNone(0x1234, 7), 7);
    EXPECT_GE(SmallIconIndex(SystemFolder() + L"\\notepad.exe"), 0);
    EXPECT_EQ(SmallIconIndex(kMissingProgram), I_IMAGENONE);
    EXPECT_EQ(SmallIconIndex(L""), I_IMAGENONE);
    EXPECT_NE(SystemSmallIconList(), nullptr);
}

// The answer is posted to the window; only the latest lookup's answer is taken, and only once.
static std::vector<WPARAM> g_lookupAnswers;

static LRESULT CALLBACK RecordLookupAnswers(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == FileIconLookup_CL::kFoundMessage) g_lookupAnswers.push_back(wParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(FileIcon, LookupAnswersByMessageAndDropsASupersededOne) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordLookupAnswers;
    windowClass.lpszClassName = L"DgLookupAnswers";
    ::RegisterClassW(&windowClass);
    const UniqueWindow window(
        ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    FileIconLookup_CL lookup;
    ASSERT_TRUE(lookup.Start(window.Get(), {SystemFolder() + L"\\notepad.exe", kMissingProgram}, 96));
    ASSERT_TRUE(lookup.Start(window.Get(), {kMissingProgram, SystemFolder() + L"\\notepad.exe", L""}, 96));
    ASSERT_TRUE(WaitFor([&] { return g_lookupAnswers.size() == 2; }, 20000));
    const std::vector<WPARAM> numbers = g_lookupAnswers;
    const WPARAM first = std::min(numbers[0], numbers[1]);
    const WPARAM latest = std::max(numbers[0], numbers[1]);
    FileIconLookup_CL::Found found;
    EXPECT_FALSE(lookup.Take(first, &found)) << "superseded";
    ASSERT_TRUE(lookup.Take(latest, &found));
    EXPECT_NE(found.list, nullptr);
    ASSERT_EQ(found.indices.size(), 3u);
    EXPECT_EQ(found.indices[0], I_IMAGENONE);
    EXPECT_GE(found.indices[1], 0);
    EXPECT_EQ(found.indices[2], I_IMAGENONE);
    EXPECT_FALSE(lookup.Take(latest, &found)) << "taken once";
}

TEST_F(SelectDialogTest, ShowsRowsWithNamesPathsAndIcons) {
    const std::vector<std::wstring> paths = SamplePaths();
    ProcessSelectList_CL dialog(kPrompt);
    FillLikeAddCommand(dialog, paths);
    ModalScript script(CloseOf(dialog));
    script.WaitUntil("dialog shown", [&] { return IsOpen(dialog); })
        .Ticks(4)
        .Do("check rows",
            [&] {
                HWND list = ListOf(dialog);
                ASSERT_NE(list, nullptr);
                EXPECT_EQ(WindowText(dialog.Window()), kPrompt);
                ASSERT_EQ(ItemCount(list), static_cast<int>(paths.size()));
                for (int i = 0; i < static_cast<int>(paths.size()); ++i) {
                    EXPECT_EQ(ItemText(list, i, 0), FileNamePart(paths[i])) << i;
                    EXPECT_EQ(ItemText(list, i, 1), paths[i]) << i;
                    LVITEMW item = {};
                    item.mask = LVIF_IMAGE;
                    item.iItem = i;
                    ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                    if (paths[i] == kMissingProgram)
                        EXPECT_EQ(item.iImage, I_IMAGENONE) << "a removed program has no icon";
                    else
                        EXPECT_EQ(item.iImage, SmallIconIndex(paths[i])) << i;
                }
                const wchar_t* titles[] = {L"プロセス名称", L"ファイルパス"};
                const int widths[] = {320, 640};
                for (int c = 0; c < 2; ++c) {
                    wchar_t text[64] = {};
                    LVCOLUMNW column = {};
                    column.mask = LVCF_TEXT | LVCF_WIDTH;
                    column.pszText = text;
                    column.cchTextMax = 64;
                    ::SendMessageW(list, LVM_GETCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
                    EXPECT_STREQ(text, titles[c]);
                    EXPECT_EQ(column.cx, widths[c]);
                }
                const DWORD extended = static_cast<DWORD>(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
                EXPECT_EQ(extended & 0x31u, 0x31u) << "grid lines, header drag and drop, full-row select";
                EXPECT_EQ(extended & LVS_EX_CHECKBOXES, 0u);
                const LONG_PTR style = ::GetWindowLongPtrW(list, GWL_STYLE);
                EXPECT_EQ(style & LVS_SINGLESEL, 0) << "several rows can be selected";
                // The shell's list is shared by the process: the list view must not destroy it.
                EXPECT_NE(style & LVS_SHAREIMAGELISTS, 0);
                EXPECT_EQ(reinterpret_cast<HIMAGELIST>(::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
                          SystemSmallIconList());
                EXPECT_EQ(WindowText(SelectButtonOf(dialog)), L"　　選択　　");
                EXPECT_EQ(WindowText(CancelButtonOf(dialog)), L"　キャンセル　");

                // The test prefix runs at 96 DPI: the design size itself.
                RECT rect = {};
                ::GetWindowRect(dialog.Window(), &rect);
                EXPECT_EQ(rect.right - rect.left, 800);
                EXPECT_EQ(rect.bottom - rect.top, 640);
                ExpectLayout(dialog, "opened");
            })
        .Do("screenshot", [&] { EXPECT_TRUE(SaveWindowScreenshot(dialog.Window(), L"process_select.png")); })
        .Do("cancel", [&] { ::SendMessageW(CancelButtonOf(dialog), BM_CLICK, 0, 0); });
    EXPECT_EQ(Run(dialog, script), 0);
    EXPECT_GT(ImageList_GetImageCount(SystemSmallIconList()), 0) << "the shared icon list is still there";
}

TEST_F(SelectDialogTest, ListsTwoHundredRowsInGivenOrder) {
    const std::vector<std::wstring> samples = SamplePaths();
    std::vector<std::wstring> paths;
    for (int i = 0; i < 200; ++i) {
        // Distinct names so that an order mix-up shows.
        paths.push_back(i % 5 == 0 ? samples[static_cast<size_t>(i / 5) % samples.size()]
                                   : FormatWide(L"D:\\Apps\\tool%03d\\prog%03d.exe", 199 - i, i));
    }
    ProcessSelectList_CL dialog(kPrompt);
    FillLikeAddCommand(dialog, paths);
    ModalScript script(CloseOf(dialog));
    script.WaitUntil("dialog shown", [&] { return IsOpen(dialog); })
        .Do("check order",
            [&] {
                HWND list = ListOf(dialog);
                ASSERT_EQ(ItemCount(list), 200);
                for (int i = 0; i < 200; ++i) {
                    EXPECT_EQ(ItemText(list, i, 0), FileNamePart(paths[i])) << i;
                    EXPECT_EQ(ItemText(list, i, 1), paths[i]) << i;
                }
            })
        .Do("cancel", [&] { ::SendMessageW(CancelButtonOf(dialog), BM_CLICK, 0, 0); });
    EXPECT_EQ(Run(dialog, script), 0);
    EXPECT_TRUE(MarkedRows(dialog).empty());
}

TEST_F(SelectDialogTest, SelectButtonMarksExactlyTheSelectedRows) {
    ProcessSelectList_CL dialog(kPrompt);
    FillLikeAddCommand(dialog, SamplePaths());
    // A process the user may not open, as the add command lists it: by its file name alone.
    dialog.AddRow(ProcessRowCells(MakeProcessEntry(L"MsMpEng.exe")));
    const int service = static_cast<int>(SamplePaths().size());
    const std::set<int> chosen = {1, 4, 6, service};
    int selectedAfterClick = -1;
    ModalScript script(CloseOf(dialog));
    script.WaitUntil("dialog shown", [&] { return IsOpen(dialog); })
        .Do("select and press",
            [&] {
                HWND list = ListOf(dialog);
                EXPECT_EQ(ItemText(list, service, 0), L"MsMpEng.exe");
                EXPECT_EQ(ItemText(list, service, 1), L"");
                for (int i : chosen) SetItemState(list, i, LVIS_SELECTED, LVIS_SELECTED);
                ASSERT_EQ(::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 4);
                ::SendMessageW(SelectButtonOf(dialog), BM_CLICK, 0, 0);
                // EndDialog has run, the window is still there until the loop returns.
                selectedAfterClick = static_cast<int>(::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
            });
    EXPECT_EQ(Run(dialog, script), 1);
    EXPECT_EQ(MarkedRows(dialog), chosen);
    EXPECT_EQ(selectedAfterClick, 0) << "the marked rows are deselected";
    // What the add command stores: the path, or the file name where there is none.
    EXPECT_EQ(WatchedPathOfRow(dialog.Rows()[4]), kMissingProgram);
    EXPECT_EQ(WatchedPathOfRow(dialog.Rows()[service]), L"MsMpEng.exe");
}

TEST_F(SelectDialogTest, SelectWithNothingSelectedReturnsOneAndMarksNothing) {
    ProcessSelectList_CL dialog(kPrompt);
    FillLikeAddCommand(dialog, SamplePaths());
    // Rows given with fewer cells than columns show empty text and no icon.
    dialog.AddRow({L"nameonly.exe"});
    dialog.AddRow({});
    const int first = static_cast<int>(SamplePaths().size());
    ModalScript script(CloseOf(dialog));
    script.WaitUntil("dialog shown", [&] { return IsOpen(dialog); })
        .Do("short rows", [&] {
            HWND list = ListOf(dialog);
            ASSERT_EQ(ItemCount(list), first + 2);
            EXPECT_EQ(ItemText(list, first, 0), L"nameonly.exe");
            EXPECT_EQ(ItemText(list, first, 1), L"");
            EXPECT_EQ(ItemText(list, first + 1, 0), L"");
            for (int item : {first, first + 1}) {
                LVITEMW request = {};
                request.mask = LVIF_IMAGE;
                request.iItem = item;
                ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
                EXPECT_EQ(request.iImage, I_IMAGENONE) << item;
            }
        })
        .Do("press select", [&] { ::SendMessageW(SelectButtonOf(dialog), BM_CLICK, 0, 0); });
    EXPECT_EQ(Run(dialog, script), 1);
    EXPECT_TRUE(MarkedRows(dialog).empty());
}

TEST_F(SelectDialogTest, CancelAndCloseReturnZeroWithNoRowMarked) {
    struct Case {
        const char* name;
        void (*end)(const ProcessSelectList_CL& dialog);
    } cases[] = {
        {"cancel button", [](const ProcessSelectList_CL& d) { ::SendMessageW(CancelButtonOf(d), BM_CLICK, 0, 0); }},
        {"close box", [](const ProcessSelectList_CL& d) { ::SendMessageW(d.Window(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"cancel command", [](const ProcessSelectList_CL& d) {
             ::SendMessageW(d.Window(), WM_COMMAND, ProcessSelectList_CL::kCancelId, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProcessSelectList_CL dialog(kPrompt);
        FillLikeAddCommand(dialog, SamplePaths());
        ModalScript script(CloseOf(dialog));
        script.WaitUntil("dialog shown", [&] { return IsOpen(dialog); })
            .Do("select two rows",
                [&] {
                    SetItemState(ListOf(dialog), 0, LVIS_SELECTED, LVIS_SELECTED);
                    SetItemState(ListOf(dialog), 2, LVIS_SELECTED, LVIS_SELECTED);
                })
            .Do("end", [&] { c.end(dialog); });
        EXPECT_EQ(Run(dialog, script), 0);
        EXPECT_TRUE(MarkedRows(dialog).empty());
    }
}

TEST_F(SelectDialogTest, OtherCommandsAndEnterEscapeKeepItOpen) {
    ProcessSelectList_CL dialog(kPrompt);
    FillLikeAddCommand(dialog, SamplePaths());
    ModalScript script(CloseOf(dialog));
    script.WaitUntil("dialog shown", [&] { return IsOpen(dialog); })
        .Do("keys reach the dialog procedure",
            [&] {
                struct Key {
                    WPARAM key;
                    INT_PTR handled;
                } keys[] = {{VK_RETURN, 1}, {VK_ESCAPE, 1}, {'A', 0}, {VK_F5, 0}};
                for (const Key& k : keys)
                    EXPECT_EQ(dialog.DialogProc(dialog.Window(), WM_KEYDOWN, k.key, 0), k.handled) << k.key;
            })
        .Do("IDOK, IDCANCEL and a notification with the select id",
            [&] {
                SetItemState(ListOf(dialog), 3, LVIS_SELECTED, LVIS_SELECTED);
                ::SendMessageW(dialog.Window(), WM_COMMAND, IDOK, 0);
                ::SendMessageW(dialog.Window(), WM_COMMAND, IDCANCEL, 0);
                ::SendMessageW(dialog.Window(), WM_COMMAND, MAKEWPARAM(ProcessSelectList_CL::kSelectId, 1), 0);
            })
        .Ticks(4)
        .WaitUntil("still open after the commands", [&] { return IsOpen(dialog); })
        .Do("Enter and Escape through the dialog manager",
            [&] {
                // The modal loop turns these into IDOK and IDCANCEL.
                ::SetFocus(ListOf(dialog));
                ::PostMessageW(ListOf(dialog), WM_KEYDOWN, VK_RETURN, 0);
                ::PostMessageW(ListOf(dialog), WM_KEYDOWN, VK_ESCAPE, 0);
                ::PostMessageW(dialog.Window(), WM_KEYDOWN, VK_ESCAPE, 0);
            })
        .Ticks(6)
        .WaitUntil("still open after the keys", [&] { return IsOpen(dialog); })
        .Do("cancel", [&] { ::SendMessageW(CancelButtonOf(dialog), BM_CLICK, 0, 0); });
    EXPECT_EQ(Run(dialog, script), 0);
    EXPECT_TRUE(MarkedRows(dialog).empty()) << "row 3 was selected but never chosen";
}

TEST_F(SelectDialogTest, ResizingKeepsListAndButtonsInPlace) {
    ProcessSelectList_CL dialog(kPrompt);
    FillLikeAddCommand(dialog, SamplePaths());
    const SIZE sizes[] = {{520, 360}, {1100, 900}, {700, 240}};
    ModalScript script(CloseOf(dialog));
    script.WaitUntil("dialog shown", [&] { return IsOpen(dialog); })
        .Do("style",
            [&] {
                const LONG_PTR style = ::GetWindowLongPtrW(dialog.Window(), GWL_STYLE);
                EXPECT_NE(style & WS_THICKFRAME, 0) << "resizable";
                EXPECT_NE(style & WS_MAXIMIZEBOX, 0) << "can be maximised";
                EXPECT_EQ(style & WS_MINIMIZEBOX, 0) << "cannot be minimised";
            });
    for (const SIZE& size : sizes) {
        script.Do("resize", [&dialog, size] {
            ::SetWindowPos(dialog.Window(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
            ExpectLayout(dialog, ("resized to " + std::to_string(size.cx) + "x" + std::to_string(size.cy)).c_str());
        });
    }
    script.Do("maximise", [&] { ::SendMessageW(dialog.Window(), WM_SYSCOMMAND, SC_MAXIMIZE, 0); })
        .WaitUntil("maximised", [&] { return ::IsZoomed(dialog.Window()) != FALSE; })
        .Do("layout when maximised",
            [&] {
                RECT client = {};
                ::GetClientRect(dialog.Window(), &client);
                EXPECT_GT(client.right, 1100 - 40) << "fills the screen";
                ExpectLayout(dialog, "maximised");
            })
        .Do("cancel", [&] { ::SendMessageW(CancelButtonOf(dialog), BM_CLICK, 0, 0); });
    EXPECT_EQ(Run(dialog, script), 0);
}

TEST_F(SelectDialogTest, OpensCentredOverOwnerButNeverAboveTheScreen) {
    struct Case {
        const char* name;
        RECT owner;
        bool expectTopZero;
    } cases[] = {
        {"owner above the screen", RECT{300, -1500, 700, -1200}, true},
        {"owner on the screen", RECT{100, 200, 1180, 1000}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MoveOwner(c.owner);
        ProcessSelectList_CL dialog(kPrompt);
        FillLikeAddCommand(dialog, SamplePaths());
        RECT placed = {};
        ModalScript script(CloseOf(dialog));
        script.WaitUntil("dialog shown", [&] { return IsOpen(dialog); })
            .Do("read position", [&] { ::GetWindowRect(dialog.Window(), &placed); })
            .Do("cancel", [&] { ::SendMessageW(CancelButtonOf(dialog), BM_CLICK, 0, 0); });
        EXPECT_EQ(Run(dialog, script), 0);
        // Centred horizontally (within a frame's width: the centring uses the client size).
        const int ownerCentre = (c.owner.left + c.owner.right) / 2;
        EXPECT_NEAR((placed.left + placed.right) / 2, ownerCentre, 16) << Describe(placed);
        if (c.expectTopZero) {
            EXPECT_EQ(placed.top, 0) << Describe(placed);
        } else {
            EXPECT_NEAR((placed.top + placed.bottom) / 2, (c.owner.top + c.owner.bottom) / 2, 16) << Describe(placed);
        }
    }
}
