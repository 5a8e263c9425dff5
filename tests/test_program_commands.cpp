// Commands, menus and dialogs of the real DormiGuard.exe, driven from outside its process as a
// user would: dialogs found on screen, rows selected in its list views, keys and clicks sent.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <tlhelp32.h>

#include <algorithm>

#include "comlib/inifile.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "tests/program_driver.h"
#include "tests/remote_controls.h"
#include "tests/test_helpers.h"

namespace {

const wchar_t kSelectPrompt[] =
    L"スリープを抑止したいプロセスを選択してください。（現在起動しているプロセスを列挙しています）";

std::wstring IniValue(const wchar_t* section, const wchar_t* key) {
    return Inifile_CL(ProgramIniPath()).ReadString(section, key, L"<missing>");
}

std::wstring Lower(std::wstring text) {
    ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// The program's watched-list view: the first list view of its main window.
HWND MainList(HWND window) { return FindDescendantByClass(window, WC_LISTVIEWW); }

HWND WaitForWindow(DWORD processId, const wchar_t* className, const std::wstring& title) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindProcessWindow(processId, className, title)) != nullptr; }, 15000);
    return found;
}

// The browser stand-in: the Wine prefix's http handler while a test runs.
class UrlRecorder {
public:
    UrlRecorder() {
        ::DeleteFileW(LogPath().c_str());
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr);
        key_.Reset(key);
        wchar_t old[1024] = {};
        DWORD size = sizeof(old);
        if (::RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS)
            previous_ = old;
        const std::wstring command = L"\"" + ModuleFolder() + L"\\url_recorder.exe\" \"%1\"";
        ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                         static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    ~UrlRecorder() {
        ::RegSetValueExW(key_.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(previous_.c_str()),
                         static_cast<DWORD>((previous_.size() + 1) * sizeof(wchar_t)));
    }
    static std::wstring LogPath() { return ModuleFolder() + L"\\opened_urls.txt"; }
    std::vector<std::wstring> Opened() const { return SplitLines(ReadUtf16File(LogPath())); }
    static bool Running() {
        UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
            if (::lstrcmpiW(entry.szExeFile, L"url_recorder.exe") == 0) return true;
        return false;
    }

private:
    static void CloseKey(HKEY key) { ::RegCloseKey(key); }
    UniqueResource<HKEY, CloseKey> key_;
    std::wstring previous_;
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override { ResetDataFolder(); }

    // Starts the program with the INI prepared and waits for its visible window.
    HWND Start(const std::wstring& ini, const std::wstring& arguments = L"") {
        PrepareProgramIni(ini);
        program_.reset(new RunningProgram(arguments));
        const HWND window = program_->WaitForMainWindow();
        if (window && arguments.empty()) WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 10000);
        return window;
    }
    DWORD Pid() const { return program_->ProcessId(); }
    void ExitProgram() {
        DWORD code = 99;
        ASSERT_TRUE(program_->Exit(&code));
        EXPECT_EQ(code, 0u);
    }

    std::unique_ptr<RunningProgram> program_;
};

}  // namespace

TEST_F(Commands, AddFromTheSelectionDialogThenCancelChangesNothing) {
    // Names that a case-insensitive sort would order differently (Zeta.exe before alpha.exe),
    // and one file name in two folders.
    const std::wstring folder = FreshTempFolder(L"dg_select_programs");
    const std::wstring paths[] = {folder + L"\\Zeta.exe", folder + L"\\alpha.exe", folder + L"\\b\\alpha.exe"};
    ::CreateDirectoryW((folder + L"\\b").c_str(), nullptr);
    std::vector<ChildProcess> running;
    for (const std::wstring& path : paths) {
        ASSERT_TRUE(::CopyFileW(NotepadPath().c_str(), path.c_str(), FALSE));
        running.emplace_back(L"\"" + path + L"\"");
    }
    running.emplace_back(L"\"" + NotepadPath() + L"\"");
    for (ChildProcess& child : running)
        ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(child.Handle(), 0) == 0; }, 15000));
    const HWND window = Start(L"[PROCESS_INFO]\r\ncount=1\r\npath0=1:C:\\old\\notepad.exe\r\n");
    ASSERT_NE(window, nullptr);

    ::PostMessageW(window, WM_COMMAND, 122, 0);
    const HWND dialog = WaitForWindow(Pid(), nullptr, kSelectPrompt);
    ASSERT_NE(dialog, nullptr);
    RemoteListView rows(FindDescendantByClass(dialog, WC_LISTVIEWW));
    ASSERT_TRUE(rows.Valid());
    ASSERT_GE(rows.Count(), 4);
    // Each row: file name, then the full path it came from.
    std::vector<int> alphaRows;
    for (int i = 0; i < rows.Count(); ++i)
        if (rows.Text(i, 0) == L"alpha.exe") alphaRows.push_back(i);
    ASSERT_EQ(alphaRows.size(), 2u);
    const int notepadRow = rows.FindText(L"notepad.exe");
    const int zetaRow = rows.FindText(L"Zeta.exe");
    ASSERT_GE(notepadRow, 0);
    ASSERT_GE(zetaRow, 0);
    // Wine names the drive in lower case.
    EXPECT_EQ(Lower(rows.Text(zetaRow, 1)), Lower(paths[0]));
    EXPECT_EQ(Lower(rows.Text(notepadRow, 1)), Lower(NotepadPath()));
    std::vector<std::wstring> alphaPaths = {Lower(rows.Text(alphaRows[0], 1)), Lower(rows.Text(alphaRows[1], 1))};
    std::sort(alphaPaths.begin(), alphaPaths.end());
    EXPECT_EQ(alphaPaths, (std::vector<std::wstring>{Lower(paths[1]), Lower(paths[2])}));
    // Of two ticked rows with one file name, the lower one wins.
    const std::wstring lowerAlpha = rows.Text(alphaRows[1], 1);
    for (int row : {notepadRow, zetaRow, alphaRows[0], alphaRows[1]}) rows.SetState(row, LVIS_SELECTED, LVIS_SELECTED);

    // F5 reaches the main window through the dialog's own loop, which runs no check: one would
    // log the program started since the dialog took its snapshot.
    // Counted before the start, with no timer tick (whose check would log it) until F5 is handled.
    ASSERT_TRUE(::CopyFileW(NotepadPath().c_str(), (folder + L"\\late.exe").c_str(), FALSE));
    ASSERT_TRUE(WaitClearOfTimerTick(8000));
    const size_t changeBlocks = CountLogMessage(L"---- プロセス情報変更 ----");
    ChildProcess late(L"\"" + folder + L"\\late.exe\"");
    ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(late.Handle(), 0) == 0; }, 15000));
    ::PostMessageW(window, WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(PostedMessagesHandled(window));
    EXPECT_EQ(CountLogMessage(L"---- プロセス情報変更 ----"), changeBlocks);
    // Centred over a main window at the screen's left edge, the dialog starts left of the screen
    // (only a top above the screen is corrected); moved into view for the whole picture.
    ::SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SaveWindowScreenshot(dialog, L"selection_dialog.png");
    ::PostMessageW(dialog, WM_COMMAND, 4096, 0);  // "　　選択　　"
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }, 10000));
    ::SendMessageW(window, WM_COMMAND, 125, 0);

    // Notepad was watched already: two added, sorted by file name case-sensitively, stored at once.
    ASSERT_TRUE(WaitFor([&] { return IniValue(L"PROCESS_INFO", L"count") == L"3"; }, 10000));
    EXPECT_EQ(Lower(IniValue(L"PROCESS_INFO", L"path0")), L"1:" + Lower(paths[0]));
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"path1"), L"1:" + lowerAlpha);
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"path2"), L"1:C:\\old\\notepad.exe");
    RemoteListView shown(MainList(window));
    ASSERT_EQ(shown.Count(), 3);
    EXPECT_EQ(shown.Text(0, 0), L"Zeta.exe");
    EXPECT_EQ(shown.Text(1, 0), L"alpha.exe");
    EXPECT_EQ(shown.Text(2, 0), L"notepad.exe");
    EXPECT_EQ(shown.CheckState(1), 1);
    // The icons arrive from a worker: the running copies have one, the file that is gone none.
    EXPECT_TRUE(WaitFor([&] { return shown.Image(0) >= 0 && shown.Image(1) >= 0; }, 10000));
    EXPECT_EQ(shown.Image(2), I_IMAGENONE);
    SaveWindowScreenshot(window, L"main_window_with_programs.png");

    // A cancelled dialog changes nothing.
    const std::vector<unsigned char> before = ReadFileBytes(ProgramIniPath());
    ::PostMessageW(window, WM_COMMAND, 122, 0);
    const HWND again = WaitForWindow(Pid(), nullptr, kSelectPrompt);
    ASSERT_NE(again, nullptr);
    RemoteListView againRows(FindDescendantByClass(again, WC_LISTVIEWW));
    againRows.SetState(0, LVIS_SELECTED, LVIS_SELECTED);
    ::PostMessageW(again, WM_COMMAND, 4098, 0);  // "　キャンセル　"
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(again); }, 10000));
    // The command was running when its dialog went: the sent message returns after it.
    ::SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_EQ(ReadFileBytes(ProgramIniPath()), before);
    EXPECT_EQ(shown.Count(), 3);
    ExitProgram();
}

TEST_F(Commands, DeleteUntickAndTheListMenu) {
    ChildProcess notepad(L"\"" + NotepadPath() + L"\"");
    ASSERT_TRUE(WaitFor([&] { return ::WaitForInputIdle(notepad.Handle(), 0) == 0; }, 15000));
    const HWND window = Start(
        L"[PROCESS_INFO]\r\ncount=3\r\npath0=1:C:\\a\\alpha.exe\r\npath1=1:C:\\b\\notepad.exe\r\n"
        L"path2=0:C:\\c\\zeta.exe\r\n");
    ASSERT_NE(window, nullptr);
    RemoteListView list(MainList(window));
    ASSERT_EQ(list.Count(), 3);
    ASSERT_TRUE(WaitFor([&] { return CaptureStateBand(window).red > 200; }, 10000));

    // No focused and selected row: delete does nothing, and the list menu greys the item.
    const std::vector<unsigned char> before = ReadFileBytes(ProgramIniPath());
    ::SendMessageW(window, WM_COMMAND, 123, 0);  // returns once the command has run
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(ReadFileBytes(ProgramIniPath()), before);

    // Menus of another process cannot be read under Wine, so the test uses them as a user
    // would: right click, arrow keys, Enter. Wine closes the menu on Enter over a greyed item too,
    // without a command: so a row is selected while the menu is open, which an enabled delete
    // item would then delete.
    ::SetForegroundWindow(window);
    RECT listRect = {};
    ::GetWindowRect(MainList(window), &listRect);
    const POINT emptyPart = {listRect.left + 40, listRect.bottom - 40};
    auto chooseSecondListMenuItem = [&](POINT at, const wchar_t* screenshot, bool selectWhileOpen) {
        ClickAt(at, true);
        HWND menuWindow = nullptr;
        if (!WaitFor([&] { return (menuWindow = FindPopupMenuWindow(Pid())) != nullptr; }, 10000)) return false;
        SaveWindowScreenshot(menuWindow, screenshot);
        if (selectWhileOpen && !list.SetState(0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED))
            return false;
        SendKey(VK_DOWN);
        SendKey(VK_DOWN);
        SendKey(VK_RETURN);
        return WaitFor([&] { return FindPopupMenuWindow(Pid()) == nullptr; }, 10000);
    };
    ASSERT_TRUE(chooseSecondListMenuItem(emptyPart, L"list_menu_greyed.png", true));
    ASSERT_TRUE(PostedMessagesHandled(window)) << "a chosen item arrives as a posted WM_COMMAND";
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(ReadFileBytes(ProgramIniPath()), before);
    ::SendMessageW(window, WM_COMMAND, 125, 0);

    // Unticking notepad, the only reason to stay awake: the check runs and "0:" is stored.
    ASSERT_TRUE(list.SetState(1, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK));
    ASSERT_TRUE(WaitFor([&] { return IniValue(L"PROCESS_INFO", L"path1") == L"0:C:\\b\\notepad.exe"; }, 10000));
    // The check runs before the store, so its line is there already, not left to the timer.
    EXPECT_EQ(CountLogMessage(L"★スリープを許可します"), 1u);
    EXPECT_TRUE(WaitFor([&] { return CaptureStateBand(window).blue > 200; }, 10000));

    // Selecting a row without changing its box changes nothing.
    const std::vector<unsigned char> unticked = ReadFileBytes(ProgramIniPath());
    // Sent: LVN_ITEMCHANGED has been handled when it returns.
    ASSERT_TRUE(list.SetState(0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED));
    EXPECT_EQ(ReadFileBytes(ProgramIniPath()), unticked);

    // A right click on a row selects it; the list menu then deletes it: count lowered at once,
    // the stale key left in place.
    const RECT firstRow = list.ItemScreenRect(0);
    ASSERT_TRUE(
        chooseSecondListMenuItem({firstRow.left + 60, (firstRow.top + firstRow.bottom) / 2}, L"list_menu.png", false));
    ASSERT_TRUE(WaitFor([&] { return IniValue(L"PROCESS_INFO", L"count") == L"2"; }, 10000));
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"path0"), L"0:C:\\b\\notepad.exe");
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"path1"), L"0:C:\\c\\zeta.exe");
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"path2"), L"0:C:\\c\\zeta.exe");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Text(0, 0), L"notepad.exe");

    // The menu bar's delete is always enabled; with no focused and selected row it does nothing.
    list.SetState(-1, 0, LVIS_FOCUSED | LVIS_SELECTED);
    const std::vector<unsigned char> two = ReadFileBytes(ProgramIniPath());
    ::SendMessageW(window, WM_COMMAND, 123, 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(ReadFileBytes(ProgramIniPath()), two);

    // Deleting the last records leaves a stored count of 0.
    for (const wchar_t* left : {L"1", L"0"}) {
        ASSERT_TRUE(list.SetState(0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED));
        ::SendMessageW(window, WM_COMMAND, 123, 0);
        EXPECT_EQ(IniValue(L"PROCESS_INFO", L"count"), left);
    }
    EXPECT_EQ(list.Count(), 0);
    ExitProgram();
}

// The organisation's program is a locked row after the user's: it keeps the computer awake,
// cannot be unticked or deleted, and stays out of the INI file. Disabled set while the program
// runs takes effect on the "Policy" broadcast; CommandLine=0 refuses -awake with exit code 2.
TEST_F(Commands, PoliciesGovernTheRunningProgram) {
    const struct Cleared { Cleared() { ClearPolicyKeys(); } ~Cleared() { ClearPolicyKeys(); } } keys;
    ASSERT_TRUE(SetPolicy(HKEY_LOCAL_MACHINE, L"WatchedPrograms", L"1", 0, L"DormiGuard.exe"));
    const HWND window = Start(L"[PROCESS_INFO]\r\ncount=1\r\npath0=1:C:\\a\\alpha.exe\r\n");
    ASSERT_NE(window, nullptr);
    RemoteListView list(MainList(window));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Text(1, 0), L"DormiGuard.exe");
    ASSERT_TRUE(WaitFor([&] { return CaptureStateBand(window).red > 200; }, 10000)) << "it watches itself";
    SaveWindowScreenshot(window, L"policy_locked_row.png");
    list.SetState(1, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK);
    EXPECT_EQ(list.CheckState(1), 1);
    ASSERT_TRUE(list.SetState(1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED));
    ::SendMessageW(window, WM_COMMAND, 123, 0);
    EXPECT_EQ(list.Count(), 2);
    ASSERT_TRUE(list.SetState(0, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK));
    ASSERT_TRUE(WaitFor([&] { return IniValue(L"PROCESS_INFO", L"path0") == L"0:C:\\a\\alpha.exe"; }, 10000));
    EXPECT_EQ(Lower(ReadUtf16File(ProgramIniPath())).find(L"dormiguard.exe"), std::wstring::npos);
    ASSERT_TRUE(SetPolicy(HKEY_LOCAL_MACHINE, L"", L"Disabled", 1));
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"), SMTO_ABORTIFHUNG,
                          10000, nullptr);
    EXPECT_TRUE(WaitForLogMessage(L"適用中のポリシー: Disabled=1, WatchedPrograms=DormiGuard.exe"));
    EXPECT_TRUE(WaitFor([&] { return CaptureStateBand(window).blue > 200; }, 10000));

    ASSERT_TRUE(SetPolicy(HKEY_CURRENT_USER, L"", L"CommandLine", 0));
    ChildProcess copy(L"\"" + ModuleFolder() + L"\\DormiGuard.exe\" -awake", ModuleFolder());
    DWORD code = 99;
    ASSERT_TRUE(copy.WaitExit(60000, &code));
    EXPECT_EQ(code, 2u);
    EXPECT_TRUE(LogHasMessage(
        L"コマンドラインエラー : DormiGuard: -awake、-pid、-run は組織のポリシー CommandLine によって無効にされています"));
    ExitProgram();
}

namespace {
bool InsideWorkArea(HWND window) {
    RECT work = {};
    RECT rect = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::GetWindowRect(window, &rect);
    return rect.left >= work.left && rect.top >= work.top && rect.right <= work.right && rect.bottom <= work.bottom;
}
}  // namespace

// At 96 and 144 DPI: the first window and its minimum size, the selection dialog's size, and
// the settings sheet opened over a window in the top-left corner wholly on the screen.
TEST_F(Commands, SizesFollowTheDpiAndDialogsStayOnScreen) {
    struct Case {
        DWORD dpi;
        LONG width, height;              // the first window, 480 x 470 at 96 DPI
        LONG leastHeight;                // a drag: 486 with the koala pictures, the default
        LONG selectWidth, selectHeight;  // 800 x 640 at 96 DPI
    } cases[] = {{96, 480, 470, 486, 800, 640}, {144, 720, 705, 729, 1200, 960}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        ResetDataFolder();
        const PrefixDpi dpi(c.dpi);
        const HWND window = Start(L"");
        ASSERT_NE(window, nullptr);
        RECT rect = {};
        ::GetWindowRect(window, &rect);
        EXPECT_EQ(rect.right - rect.left, c.width);
        EXPECT_EQ(rect.bottom - rect.top, c.height);
        RECT dragged = {0, 0, 100, 100};
        ::SendMessageW(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
        EXPECT_EQ(dragged.right, c.width);
        EXPECT_EQ(dragged.bottom, c.leastHeight);
        SaveWindowScreenshot(window, FormatWide(L"main_window_%u.png", c.dpi));

        // Moved to a monitor of another DPI, the window takes the rectangle Windows suggests
        // (WM_DPICHANGED) and stores it in real pixels.
        const RECT suggested = {40, 30, 40 + c.width + 20, 30 + c.height + 10};
        const RemoteCopy remoteRect(Pid(), &suggested, sizeof(suggested));
        ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(c.dpi * 2, c.dpi * 2), remoteRect.Address());
        ::GetWindowRect(window, &rect);
        EXPECT_TRUE(::EqualRect(&rect, &suggested));
        EXPECT_TRUE(WaitFor([&] {
            RECT stored = {};
            return ::GetPrivateProfileStructW(L"WINDOW", L"rect", &stored, sizeof(stored), ProgramIniPath().c_str()) &&
                   ::EqualRect(&stored, &suggested);
        }, 5000));

        ::SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ::PostMessageW(window, WM_COMMAND, 129, 0);
        const HWND sheet = WaitForWindow(Pid(), nullptr, L"アプリ設定");
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(sheet) != FALSE; }, 10000));
        EXPECT_TRUE(WaitFor([&] { return InsideWorkArea(sheet); }, 5000));
        // The tab row shows above the page: the page starts below the tabs' top edge and inside
        // the tab control, so its group box never takes the tabs' place.
        const HWND tabs = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
        const HWND page = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        ASSERT_NE(tabs, nullptr);
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(::IsWindowVisible(tabs));
        RECT tabRect = {}, pageRect = {};
        ::GetWindowRect(tabs, &tabRect);
        ::GetWindowRect(page, &pageRect);
        EXPECT_GT(tabRect.bottom - tabRect.top, 0);
        EXPECT_GT(pageRect.top, tabRect.top) << "tabs " << tabRect.top << ", page " << pageRect.top;
        EXPECT_LE(pageRect.bottom, tabRect.bottom);
        // Room for a row of tabs, about 20 pixels at 96 DPI, between the control's top and the page,
        // and the tabs' names drawn there.
        EXPECT_GE(pageRect.top - tabRect.top, static_cast<LONG>(c.dpi * 18 / 96));
        const RECT tabRow = {tabRect.left, tabRect.top, tabRect.right, pageRect.top};
        EXPECT_TRUE(WaitFor([&] { return CountDarkScreenPixels(tabRow) > 50; }, 5000));
        // The hour list's 24 rows bring a vertical scroll bar and no horizontal one.
        HWND hourList = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (hourList = FindDescendantByClass(sheet, WC_LISTVIEWW)) != nullptr; }, 10000));
        ASSERT_TRUE(WaitFor([&] { return RemoteListView(hourList).Count() == 24; }, 10000));
        const LONG listStyle = ::GetWindowLongW(hourList, GWL_STYLE);
        EXPECT_NE(listStyle & WS_VSCROLL, 0) << "24 rows in 15 lines";
        EXPECT_EQ(listStyle & WS_HSCROLL, 0) << "the hour column fits";
        SaveWindowScreenshot(sheet, FormatWide(L"settings_sheet_%u.png", c.dpi));
        ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }, 10000));

        ::PostMessageW(window, WM_COMMAND, 122, 0);
        const HWND dialog = WaitForWindow(Pid(), nullptr, kSelectPrompt);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(dialog) != FALSE; }, 10000));
        ::GetWindowRect(dialog, &rect);
        EXPECT_EQ(rect.right - rect.left, c.selectWidth);
        EXPECT_EQ(rect.bottom - rect.top, c.selectHeight);
        EXPECT_TRUE(InsideWorkArea(dialog));
        SaveWindowScreenshot(dialog, FormatWide(L"selection_dialog_%u.png", c.dpi));
        ::PostMessageW(dialog, WM_COMMAND, 4098, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }, 10000));
        ExitProgram();
    }
}

TEST_F(Commands, SettingsSheetHoursTakeEffectAtTheNextTimerCheck) {
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    if (now.wMinute == 59 && now.wSecond > 30) {
        // The hour could turn between marking it and the check; wait for the next one.
        WaitFor([&] { ::GetLocalTime(&now); return now.wMinute == 0; }, 40000);
    }
    const HWND window = Start(L"");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return CaptureStateBand(window).blue > 200; }, 10000));

    ::PostMessageW(window, WM_COMMAND, 129, 0);
    const HWND sheet = WaitForWindow(Pid(), nullptr, L"アプリ設定");
    ASSERT_NE(sheet, nullptr);
    HWND hourList = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (hourList = FindDescendantByClass(sheet, WC_LISTVIEWW)) != nullptr; }, 10000));
    RemoteListView hours(hourList);
    ASSERT_EQ(hours.Count(), 24);
    EXPECT_EQ(hours.Text(5, 0), L"05:00 ～ 05:59");
    ASSERT_TRUE(hours.SetState(now.wHour, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK));
    SaveWindowScreenshot(sheet, L"settings_sheet_from_program.png");
    ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }, 10000));

    const std::wstring key = FormatWide(L"hour%d", now.wHour);
    EXPECT_EQ(IniValue(L"DISABLE_TIME", key.c_str()), L"1");
    EXPECT_EQ(IniValue(L"DISABLE_TIME", L"hour23"), now.wHour == 23 ? L"1" : L"0");
    // Not at once: the state changes with the next timer check. The command was running when
    // the sheet went, and the sent message returns after it.
    ::SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_EQ(CountLogMessage(L"★スリープを禁止します"), 0u);
    ::PostMessageW(window, WM_TIMER, 4096, 0);
    EXPECT_TRUE(WaitForLogMessage(L"★スリープを禁止します", 1, 10000));
    EXPECT_TRUE(WaitFor([&] { return CaptureStateBand(window).red > 200; }, 10000));
    ExitProgram();
}

TEST_F(Commands, TrayClicksTrayMenuAndExit) {
    const HWND window = Start(L"");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(::IsWindowVisible(window));

    // The tray menu's first item follows the tray-hidden flag; chosen with the keyboard.
    auto openTrayMenu = [&](const wchar_t* screenshot) {
        ::PostMessageW(window, 0x700, 0, WM_RBUTTONDOWN);
        HWND menuWindow = nullptr;
        if (!WaitFor([&] { return (menuWindow = FindPopupMenuWindow(Pid())) != nullptr; }, 10000)) return false;
        if (screenshot) SaveWindowScreenshot(menuWindow, screenshot);
        return true;
    };
    auto menuClosed = [&] { return WaitFor([&] { return FindPopupMenuWindow(Pid()) == nullptr; }, 10000); };

    // Right after a normal start the flag still says "stored": the first item shows the window,
    // which it is already. The next menu, opened by a message posted after the chosen command,
    // proves that command handled; shown now, its first item stores the window.
    ASSERT_TRUE(openTrayMenu(L"tray_menu.png"));
    SendKey(VK_DOWN);
    SendKey(VK_RETURN);
    ASSERT_TRUE(menuClosed());
    ASSERT_TRUE(openTrayMenu(nullptr));
    EXPECT_TRUE(::IsWindowVisible(window));
    SendKey(VK_DOWN);
    SendKey(VK_RETURN);
    ASSERT_TRUE(menuClosed());
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(window); }, 5000));

    // Two left clicks: the first shows the stored window, the second stores it again. Sent, so
    // each has been handled when the call returns.
    ::SendMessageW(window, 0x700, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(::IsWindowVisible(window));
    ::SendMessageW(window, 0x700, 0, WM_LBUTTONDOWN);
    EXPECT_FALSE(::IsWindowVisible(window));

    // A restarted taskbar announces itself with the registered message: the icon is added again.
    ::SendMessageW(window, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(CountLogMessage(L"タスクトレイアイコンを追加します。(IsTaskbarCreated)"), 1u);
    EXPECT_EQ(CountLogMessage(L"タスクトレイへアイコンを追加しました。"), 2u);

    // Stored: the first item shows the window; shown: the first item stores it.
    ASSERT_TRUE(openTrayMenu(nullptr));
    SendKey(VK_DOWN);
    SendKey(VK_RETURN);
    ASSERT_TRUE(menuClosed());
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5000));
    ASSERT_TRUE(openTrayMenu(L"tray_menu_shown.png"));
    SendKey(VK_DOWN);
    SendKey(VK_RETURN);
    ASSERT_TRUE(menuClosed());
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(window); }, 5000));
    ::PostMessageW(window, 0x700, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5000));

    // Up from nothing selected reaches the last item: "DormiGuardの終了".
    ASSERT_TRUE(openTrayMenu(nullptr));
    SendKey(VK_UP);
    SendKey(VK_RETURN);
    DWORD code = 99;
    ASSERT_TRUE(program_->WaitExit(20000, &code)) << "the tray menu's exit item ends the program";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(LogHasMessage(L"タスクトレイアイコンを削除しました。"));
}

TEST_F(Commands, SupportSiteItemsAndTheDeveloperMarker) {
    UrlRecorder recorder;
    const HWND window = Start(L"");
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_COMMAND, 127, 0);
    ASSERT_TRUE(WaitFor([&] { return !recorder.Opened().empty() && !UrlRecorder::Running(); }, 15000));
    EXPECT_EQ(recorder.Opened()[0], L"http://" DORMIGUARD_WEB_HOST L"/DormiGuard/");

    {
        const MarkerFile marker;
        ::SendMessageW(window, WM_COMMAND, 127, 0);  // handled when this returns
    }
    // The shell open returns once the recorder has started: none runs, and it wrote nothing.
    EXPECT_FALSE(UrlRecorder::Running()) << "nothing is opened on the developer's machine";
    EXPECT_EQ(recorder.Opened().size(), 1u);
    ::SendMessageW(window, WM_COMMAND, 127, 0);
    EXPECT_TRUE(WaitFor([&] { return recorder.Opened().size() == 2; }, 15000));

    // The menu bar's exit command stores nothing: a value changed from outside survives it.
    Inifile_CL(ProgramIniPath()).WriteString(L"PROCESS_INFO", L"count", L"5");
    const std::vector<unsigned char> before = ReadFileBytes(ProgramIniPath());
    ::PostMessageW(window, WM_COMMAND, 128, 0);
    DWORD code = 99;
    ASSERT_TRUE(program_->WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ReadFileBytes(ProgramIniPath()), before);
}

TEST_F(Commands, UnwritableIniKeepsTheEditAndTheNextSaveStoresTheWholeList) {
    const HWND window =
        Start(L"[PROCESS_INFO]\r\ncount=2\r\npath0=1:C:\\a\\alpha.exe\r\npath1=1:C:\\b\\beta.exe\r\n");
    ASSERT_NE(window, nullptr);
    RemoteListView list(MainList(window));
    ASSERT_EQ(list.Count(), 2);
    const std::wstring ini = ProgramIniPath();
    // The tests run as root, for whom Wine's read-only attribute stops no write: a handle that
    // shares no writing refuses the program's writes instead (ERROR_SHARING_VIOLATION).
    const std::wstring failed = L"設定を保存できませんでした: " + ini + L" : 0x00000020 : ";
    const auto failures = [&] {
        const std::vector<std::wstring> messages = LogMessages();
        return std::count_if(messages.begin(), messages.end(),
                             [&](const std::wstring& m) { return m.rfind(failed, 0) == 0; });
    };
    ASSERT_EQ(failures(), 0);
    const std::vector<unsigned char> before = ReadFileBytes(ini);
    UniqueFile lock(::CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.IsValid());

    // Sent: the list's notification has been handled, and the save tried, when it returns.
    ASSERT_TRUE(list.SetState(0, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK));
    EXPECT_EQ(failures(), 1) << "one line for the whole save, not one per key";
    EXPECT_EQ(ReadFileBytes(ini), before);
    EXPECT_EQ(list.CheckState(0), 0) << "the list keeps the edit";
    ::SendMessageW(window, WM_COMMAND, 130, 0);  // a manual session, refused the same way
    EXPECT_EQ(failures(), 2);

    // Writable again: the next edit stores everything, the earlier edits included.
    lock.Reset();
    ASSERT_TRUE(list.SetState(1, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK));
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"count"), L"2");
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"path0"), L"0:C:\\a\\alpha.exe");
    EXPECT_EQ(IniValue(L"PROCESS_INFO", L"path1"), L"0:C:\\b\\beta.exe");
    EXPECT_EQ(IniValue(L"AWAKE", L"until"), L"indefinite");
    EXPECT_EQ(IniValue(L"AWAKE", L"display"), L"1");
    EXPECT_EQ(IniValue(L"DISABLE_TIME", L"day6"), L"1");
    EXPECT_EQ(failures(), 2);
    ExitProgram();
}

namespace {

std::vector<std::wstring> DescendantTexts(HWND parent) {
    std::vector<std::wstring> texts;
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM into) {
            wchar_t text[512] = {};
            ::GetWindowTextW(child, text, 512);
            if (text[0]) reinterpret_cast<std::vector<std::wstring>*>(into)->push_back(text);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool HasText(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// What the user reads in one language, word for word.
struct WindowTexts {
    const wchar_t* listHeader;
    const wchar_t* caption;
    const wchar_t* tabs[4];
    const wchar_t* hoursFrame;
    const wchar_t* displayCheck;
    const wchar_t* hourRow5;
    const wchar_t* noticeCheck;
    const wchar_t* supportButton;
    const wchar_t* selectPrompt;
    const wchar_t* selectButton;
    const wchar_t* cancelButton;
    const wchar_t* pathColumn;
};
const WindowTexts kJapaneseTexts = {
    L"スリープを抑止するプロセス",
    L"アプリ設定",
    {L"アプリ設定", L"動作", L"アプリバージョン", L"ライセンス情報"},
    L"スリープ禁止時間帯",
    L"画面の電源を切らない",
    L"05:00 ～ 05:59",
    L"バージョンアップの通知をしない",
    L"　　サポートサイトへ　　",
    L"スリープを抑止したいプロセスを選択してください。（現在起動しているプロセスを列挙しています）",
    L"　　選択　　",
    L"　キャンセル　",
    L"ファイルパス",
};
const WindowTexts kEnglishTexts = {
    L"Programs that keep this PC awake",
    L"Settings",
    {L"Hours", L"Behavior", L"Updates", L"License"},
    L"Hours when this PC stays awake",
    L"Keep the display on",
    L"05:00 - 05:59",
    L"Don't tell me about new versions",
    L"      Open the support site      ",
    L"Choose the programs that keep this PC awake while they run (the programs running now are listed)",
    L"      Select      ",
    L"     Cancel     ",
    L"File path",
};

// The log without the process lists, whose contents depend on what else runs at that moment.
std::vector<std::wstring> LogWithoutProcessLists() {
    std::vector<std::wstring> kept;
    for (const std::wstring& message : LogMessages())
        if (message.find(L":\\") == std::wstring::npos && message.rfind(L"★今回", 0) != 0) kept.push_back(message);
    return kept;
}

}  // namespace

// The Windows language picks the texts and the INI's DISPLAY/language overrides it both ways;
// the log is the same in every language. ctest runs this test a second time under
// LANG=en_US.UTF-8 (test_program_english): Wine takes the UI language from the Unix locale.
TEST_F(Commands, WindowsSpeakTheChosenLanguageAndTheLogStaysJapanese) {
    const bool japaneseSystem = PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE;
    const WindowTexts* const automatic = japaneseSystem ? &kJapaneseTexts : &kEnglishTexts;
    struct Case {
        const wchar_t* ini;
        const WindowTexts* expected;
    };
    const Case cases[] = {
        {L"", automatic},
        {L"[DISPLAY]\r\nlanguage=fr\r\n", automatic},
        {L"[DISPLAY]\r\nlanguage=ja\r\n", &kJapaneseTexts},
        {L"[DISPLAY]\r\nlanguage=en\r\n", &kEnglishTexts},
    };
    std::vector<std::wstring> firstLog;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        ResetDataFolder();
        const WindowTexts& expected = *c.expected;
        const HWND window = Start(c.ini);
        ASSERT_NE(window, nullptr);
        RemoteListView mainList(MainList(window));
        EXPECT_EQ(mainList.ColumnText(0), expected.listHeader);

        ::PostMessageW(window, WM_COMMAND, 129, 0);
        const HWND sheet = WaitForWindow(Pid(), nullptr, expected.caption);
        ASSERT_NE(sheet, nullptr);
        const HWND tab = FindDescendantByClass(sheet, WC_TABCONTROLW);
        ASSERT_NE(tab, nullptr);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(RemoteTabText(tab, i), expected.tabs[i]) << i;
        HWND hourList = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (hourList = FindDescendantByClass(sheet, WC_LISTVIEWW)) != nullptr; }, 10000));
        EXPECT_EQ(RemoteListView(hourList).Text(5, 0), expected.hourRow5);
        EXPECT_TRUE(HasText(DescendantTexts(sheet), expected.hoursFrame));
        ::SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
        EXPECT_TRUE(WaitFor([&] { return HasText(DescendantTexts(sheet), expected.displayCheck); }, 10000));
        // The choice itself reads the same in both languages.
        EXPECT_TRUE(HasText(DescendantTexts(sheet), L"表示言語 / Language"));
        EXPECT_TRUE(HasText(DescendantTexts(sheet), L"English"));
        ::SendMessageW(sheet, PSM_SETCURSEL, 2, 0);
        EXPECT_TRUE(WaitFor([&] { return HasText(DescendantTexts(sheet), expected.noticeCheck); }, 10000));
        EXPECT_TRUE(HasText(DescendantTexts(sheet), expected.supportButton));
        ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }, 10000));

        ::PostMessageW(window, WM_COMMAND, 122, 0);
        const HWND dialog = WaitForWindow(Pid(), nullptr, expected.selectPrompt);
        ASSERT_NE(dialog, nullptr);
        const std::vector<std::wstring> dialogTexts = DescendantTexts(dialog);
        EXPECT_TRUE(HasText(dialogTexts, expected.selectButton));
        EXPECT_TRUE(HasText(dialogTexts, expected.cancelButton));
        EXPECT_EQ(RemoteListView(FindDescendantByClass(dialog, WC_LISTVIEWW)).ColumnText(1), expected.pathColumn);
        ::PostMessageW(dialog, WM_COMMAND, 4098, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }, 10000));
        // A refused command line: its console line speaks the language, its log line does not.
        ChildProcess refused(L"\"" + ModuleFolder() + L"\\DormiGuard.exe\" -awake abc", ModuleFolder());
        DWORD refusedCode = 99;
        ASSERT_TRUE(refused.WaitExit(60000, &refusedCode));
        EXPECT_EQ(refusedCode, 2u);
        EXPECT_TRUE(LogHasMessage(
            L"コマンドラインエラー : DormiGuard: -awake の値が正しくありません: abc（分数 1～10080、HH:MM、off）"));
        ExitProgram();

        const std::vector<std::wstring> log = LogWithoutProcessLists();
        EXPECT_TRUE(std::find(log.begin(), log.end(), L"★★★★★ アプリ起動 ★★★★★") != log.end());
        if (firstLog.empty())
            firstLog = log;
        else
            EXPECT_EQ(log, firstLog);
    }
}
