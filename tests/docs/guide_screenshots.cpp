// Takes the user guide's pictures from the real DormiGuard.exe under Wine: the main window with a
// few watched programs, the tray menu, the selection dialog and the settings tabs. Run by
// scripts/screenshots.sh, which puts this program beside DormiGuard.exe in C:\DormiGuard of its
// own prefix (the selection dialog shows the paths) and copies the pictures into docs/.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "comlib/utility.h"
#include "data/save_data.h"
#include "tests/program_driver.h"
#include "tests/remote_controls.h"
#include "tests/test_helpers.h"

namespace {

// The program speaks the language of the user's Windows; under Wine that is the Unix locale
// this program runs with. English pictures are named guide_en_*.
const bool kJapanese = PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE;
const wchar_t* const kSelectPrompt =
    kJapanese ? L"スリープを抑止したいプロセスを選択してください。（現在起動しているプロセスを列挙しています）"
              : L"Choose the programs that keep this PC awake while they run (the programs running now are listed)";
const wchar_t* const kSheetCaption = kJapanese ? L"アプリ設定" : L"Settings";

std::wstring PictureName(const wchar_t* name) { return std::wstring(kJapanese ? L"guide_" : L"guide_en_") + name; }

HWND WaitForWindow(DWORD processId, const std::wstring& title) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindProcessWindow(processId, nullptr, title)) != nullptr; }, 15000);
    return found;
}

void MoveIntoView(HWND window) { ::SetWindowPos(window, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }

// The menu window of the process other than first: the submenu open beside the tray menu.
HWND OtherMenuWindow(DWORD processId, HWND first) {
    struct Search {
        DWORD processId;
        HWND first, found;
    } search = {processId, first, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM data) {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[16] = {};
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            ::GetClassNameW(window, name, 16);
            if (owner == s->processId && window != s->first && ::IsWindowVisible(window) &&
                wcscmp(name, L"#32768") == 0)
                s->found = window;
            return s->found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The settings sheet's tab 動作 at this moment's DPI, under a name of its own.
void ShootBehaviorPage(DWORD processId, HWND window, const wchar_t* name) {
    ::PostMessageW(window, WM_COMMAND, 129, 0);
    const HWND sheet = WaitForWindow(processId, kSheetCaption);
    ASSERT_NE(sheet, nullptr);
    MoveIntoView(sheet);
    const HWND tabs = FindDescendantByClass(sheet, WC_TABCONTROLW);
    ::SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
    ASSERT_TRUE(WaitFor([&] { return ::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == 1; }, 5000));
    EXPECT_TRUE(SaveWindowScreenshot(sheet, name));
    ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }, 10000));
}

}  // namespace

TEST(Guide, Screenshots) {
    ResetDataFolder();
    ::CreateDirectoryW(SaveData::DataFolder().c_str(), nullptr);
    // Four watched programs, one switched off and "at work"; the update check off, so nothing
    // waits on the network.
    // The one with a long name runs (a copy of Notepad): the band shortens its reason.
    const std::wstring longName = ModuleFolder() + L"\\NightlyDatabaseBackupAgentService.exe";
    ASSERT_TRUE(::CopyFileW(NotepadPath().c_str(), longName.c_str(), FALSE));
    WriteUtf16File(ProgramIniPath(),
                   L"[VERSION]\r\nnotify=1\r\n[PROCESS_INFO]\r\ncount=4\r\n"
                   L"path0=1:C:\\Program Files\\Backup\\backup.exe\r\n"
                   L"path1=1:" + longName + L"\r\n"
                   L"path2=1:C:\\windows\\system32\\notepad.exe\r\n"
                   L"path3=0:C:\\Tools\\Render\\render.exe\r\nmode3=busy\r\n");
    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ChildProcess nightly(L"\"" + longName + L"\"");
    ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(notepad.Handle(), 0) == 0; }, 15000));
    ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(nightly.Handle(), 0) == 0; }, 15000));

    RunningProgram program;
    const HWND window = program.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 10000));
    MoveIntoView(window);
    // Notepad runs and is watched: the state reads "sleep prohibited" in red.
    ASSERT_TRUE(WaitFor([&] { return CaptureStateBand(window).red > 200; }, 10000));
    EXPECT_TRUE(SaveWindowScreenshot(window, PictureName(L"main_window.png")));

    ::PostMessageW(window, 0x700, 0, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = FindPopupMenuWindow(program.ProcessId())) != nullptr; }, 10000));
    EXPECT_TRUE(SaveWindowScreenshot(menu, PictureName(L"tray_menu.png")));
    // The keep-awake submenu, its hotkey in a column of its own: the second item, opened.
    SendKey(VK_DOWN);
    SendKey(VK_DOWN);
    SendKey(VK_RIGHT);
    HWND submenu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (submenu = OtherMenuWindow(program.ProcessId(), menu)) != nullptr; }, 10000));
    EXPECT_TRUE(SaveWindowScreenshot(submenu, PictureName(L"tray_submenu.png")));
    SendKey(VK_ESCAPE);
    SendKey(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return FindPopupMenuWindow(program.ProcessId()) == nullptr; }, 10000));

    ::PostMessageW(window, WM_COMMAND, 122, 0);
    const HWND dialog = WaitForWindow(program.ProcessId(), kSelectPrompt);
    ASSERT_NE(dialog, nullptr);
    RemoteListView rows(FindDescendantByClass(dialog, WC_LISTVIEWW));
    const int notepadRow = rows.FindText(L"notepad.exe");
    ASSERT_GE(notepadRow, 0);
    rows.SetState(notepadRow, LVIS_SELECTED, LVIS_SELECTED);
    MoveIntoView(dialog);
    EXPECT_TRUE(SaveWindowScreenshot(dialog, PictureName(L"selection_dialog.png")));
    ::PostMessageW(dialog, WM_COMMAND, 4098, 0);  // cancel
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }, 10000));

    ::PostMessageW(window, WM_COMMAND, 129, 0);
    const HWND sheet = WaitForWindow(program.ProcessId(), kSheetCaption);
    ASSERT_NE(sheet, nullptr);
    MoveIntoView(sheet);
    const HWND tabs = FindDescendantByClass(sheet, WC_TABCONTROLW);
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
    // The hours, the behaviour and the version tab; the licence tab's browser control draws
    // nothing under Wine without its HTML engine.
    for (int tab = 0; tab < 3; ++tab) {
        ::SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(tab), 0);
        ASSERT_TRUE(WaitFor([&] { return ::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == tab; }, 5000));
        EXPECT_TRUE(SaveWindowScreenshot(sheet, PictureName(FormatWide(L"settings_%d.png", tab + 1).c_str())));
    }
    ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }, 10000));

    DWORD code = 99;
    ASSERT_TRUE(program.Exit(&code));
    EXPECT_EQ(code, 0u);

    // The same window at 150 % (144 DPI): everything scaled, the state text still on one line.
    const PrefixDpi scaled(144);
    // The first window's size at this DPI, not the rectangle the run above saved at 96.
    ::WritePrivateProfileStringW(L"WINDOW", L"rect", nullptr, ProgramIniPath().c_str());
    RunningProgram large;
    const HWND largeWindow = large.WaitForMainWindow();
    ASSERT_NE(largeWindow, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(largeWindow) != FALSE; }, 10000));
    MoveIntoView(largeWindow);
    ASSERT_TRUE(WaitFor([&] { return CaptureStateBand(largeWindow).red > 200; }, 10000));
    EXPECT_TRUE(SaveWindowScreenshot(largeWindow, PictureName(L"main_window_150.png")));
    // Looked at, not in the guide: the group titles' gap at 150 %.
    ShootBehaviorPage(large.ProcessId(), largeWindow,
                      kJapanese ? L"check_settings_2_150.png" : L"check_en_settings_2_150.png");
    ASSERT_TRUE(large.Exit(&code));
}
