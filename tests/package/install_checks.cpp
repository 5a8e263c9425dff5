// The release installer in a fresh Wine prefix, checked from inside it: a silent install, an
// install through the pages over a running copy, a silent uninstall while DormiGuard runs, the
// uninstaller's pages, and the per-machine install beside a per-user one. The tests run in order;
// each one starts from the state the one before it left. DG_INSTALLER names the installer, DG_STAGE the folder of the files it holds.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "comlib/unique_resource.h"
#include "tests/program_driver.h"
#include "tests/test_helpers.h"

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DormiGuard";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const wchar_t kTrayAdded[] = L"タスクトレイへアイコンを追加しました。";
const wchar_t* const kShippedFiles[] = {L"DormiGuard.exe",   L"DormiGuard.com",    L"license.html",      L"menu_image.bmp",
                                        L"pirumi_image.png", L"pirumi_koala1.png", L"pirumi_koala2.png",
                                        L"sleep_ng.png",     L"sleep_ok.png",      L"LICENSE.txt"};

std::wstring Env(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring InstallDir() { return Folder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\DormiGuard"; }
std::wstring ShortcutPath() { return Folder(CSIDL_PROGRAMS) + L"\\DormiGuard.lnk"; }
std::wstring MachineInstallDir() { return Folder(CSIDL_PROGRAM_FILES) + L"\\DormiGuard"; }
std::wstring MachineShortcutPath() { return Folder(CSIDL_COMMON_PROGRAMS) + L"\\DormiGuard.lnk"; }
std::wstring DataFolder() { return Folder(CSIDL_PERSONAL) + L"\\DormiGuard"; }
bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A value under HKCU (or root) as text (a DWORD in decimal), "<missing>" when there is none.
std::wstring Reg(const wchar_t* key, const wchar_t* name, HKEY root = HKEY_CURRENT_USER) {
    wchar_t data[1024] = {};
    DWORD type = 0, size = sizeof(data) - sizeof(wchar_t);
    if (::RegGetValueW(root, key, name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS)
        return L"<missing>";
    if (type != REG_DWORD) return data;
    DWORD number = 0;
    memcpy(&number, data, sizeof(number));
    return std::to_wstring(number);
}

bool KeyExists(const wchar_t* key, HKEY root = HKEY_CURRENT_USER) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    ::RegCloseKey(opened);
    return true;
}

// Target, arguments and working folder of a shortcut, read back through the shell link interface.
std::vector<std::wstring> ReadShortcut(const std::wstring& path) {
    UniqueCom<IShellLinkW> link;
    UniqueCom<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.Put()))) ||
        FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Put()))) ||
        FAILED(file.Get()->Load(path.c_str(), STGM_READ)))
        return {};
    wchar_t target[MAX_PATH] = {}, arguments[MAX_PATH] = {}, directory[MAX_PATH] = {};
    link.Get()->GetPath(target, MAX_PATH, nullptr, 0);
    link.Get()->GetArguments(arguments, MAX_PATH);
    link.Get()->GetWorkingDirectory(directory, MAX_PATH);
    return {target, arguments, directory};
}

using Snapshot = std::map<std::wstring, std::vector<unsigned char>>;

Snapshot TakeSnapshot() {
    Snapshot files;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = ::FindFirstFileW((DataFolder() + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files[found.cFileName] = ReadFileBytes(DataFolder() + L"\\" + found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
}

// Documents\DormiGuard as it was. Only the log may have grown: the running copy's own exit
// appends its tray-icon removal.
void ExpectDataKept(const Snapshot& before) {
    Snapshot after = TakeSnapshot();
    ASSERT_EQ(after.size(), before.size());
    std::vector<unsigned char>& log = after[L"log.txt"];
    ASSERT_GE(log.size(), before.at(L"log.txt").size());
    log.resize(before.at(L"log.txt").size());
    EXPECT_TRUE(after == before) << "a file of Documents\\DormiGuard changed";
}

std::wstring TextOf(HWND window) {
    // WM_GETTEXT itself: GetWindowText does not ask a control of another process for its text.
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
    return text;
}

// The first visible top-level window (parent null) or descendant that matches, up to a deadline.
HWND WaitForWindow(HWND parent, const std::function<bool(HWND)>& matches) {
    struct Search {
        const std::function<bool(HWND)>* matches;
        HWND found;
    } search = {&matches, nullptr};
    const WNDENUMPROC visit = [](HWND window, LPARAM data) -> BOOL {
        Search* s = reinterpret_cast<Search*>(data);
        if (::IsWindowVisible(window) && (*s->matches)(window)) s->found = window;
        return s->found == nullptr;
    };
    WaitFor(
        [&] {
            parent ? ::EnumChildWindows(parent, visit, reinterpret_cast<LPARAM>(&search))
                   : ::EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        30000);
    return search.found;
}

// The installer's or the uninstaller's wizard; its caption starts with the name and version.
HWND WaitForWizard() {
    return WaitForWindow(nullptr, [](HWND window) {
        wchar_t className[32] = {};
        ::GetClassNameW(window, className, 32);
        return std::wstring(className) == L"#32770" && TextOf(window).rfind(L"DormiGuard 1.0.5", 0) == 0;
    });
}

HWND WaitForText(HWND wizard, const std::wstring& part) {
    return WaitForWindow(wizard, [&](HWND window) { return TextOf(window).find(part) != std::wstring::npos; });
}

// The wizard's button 1: Next, I agree, Install, Uninstall or Finish.
void PressNext(HWND wizard) {
    ::PostMessageW(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(wizard, IDOK)));
}

HWND WaitForMainWindow() {
    HWND window = nullptr;
    WaitFor([&] { return (window = ::FindWindowW(L"MainWindowClass", L"DormiGuard")) != nullptr; }, 30000);
    return window;
}

DWORD RunInstaller(const std::wstring& arguments) {
    ChildProcess installer(L"\"" + Env(L"DG_INSTALLER") + L"\" " + arguments);
    DWORD code = 99;
    return installer.WaitExit(60000, &code) ? code : 98;
}

class Release : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::CoInitialize(nullptr); }
    static void TearDownTestSuite() { ::CoUninitialize(); }
};

}  // namespace

TEST_F(Release, SilentInstallIntoAFreshPrefix) {
    ASSERT_FALSE(KeyExists(kUninstallKey)) << "not a fresh prefix";
    DWORD ignored = 0;
    std::vector<unsigned char> version(::GetFileVersionInfoSizeW(Env(L"DG_INSTALLER").c_str(), &ignored));
    ASSERT_TRUE(::GetFileVersionInfoW(Env(L"DG_INSTALLER").c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1)) << "the installer's own version resource";
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, 5));

    ASSERT_EQ(RunInstaller(L"/S"), 0u);
    const std::wstring dir = InstallDir();
    for (const wchar_t* name : kShippedFiles)
        EXPECT_EQ(ReadFileBytes(dir + L"\\" + name), ReadFileBytes(Env(L"DG_STAGE") + L"\\" + name)) << name;
    ASSERT_TRUE(::CopyFileW((dir + L"\\uninstall.exe").c_str(), Env(L"DG_UNINSTALLER_COPY").c_str(), FALSE))
        << "kept for the signature check after the tests";

    const std::vector<std::wstring> shortcut = ReadShortcut(ShortcutPath());
    ASSERT_EQ(shortcut.size(), 3u);
    EXPECT_EQ(::lstrcmpiW(shortcut[0].c_str(), (dir + L"\\DormiGuard.exe").c_str()), 0);
    EXPECT_EQ(shortcut[1], L"");
    EXPECT_EQ(::lstrcmpiW(shortcut[2].c_str(), dir.c_str()), 0);
    EXPECT_EQ(Reg(kRunKey, L"DormiGuard"), L"\"" + dir + L"\\DormiGuard.exe\" -startup");

    EXPECT_EQ(Reg(kUninstallKey, L"DisplayName"), L"DormiGuard");
    EXPECT_EQ(Reg(kUninstallKey, L"DisplayVersion"), L"1.0.5");
    EXPECT_EQ(Reg(kUninstallKey, L"Publisher"), L"DormiGuard Project");
    EXPECT_EQ(Reg(kUninstallKey, L"DisplayIcon"), dir + L"\\DormiGuard.exe,0");
    EXPECT_EQ(Reg(kUninstallKey, L"UninstallString"), L"\"" + dir + L"\\uninstall.exe\"");
    EXPECT_EQ(Reg(kUninstallKey, L"QuietUninstallString"), L"\"" + dir + L"\\uninstall.exe\" /S");
    EXPECT_EQ(Reg(kUninstallKey, L"InstallLocation"), dir);
    EXPECT_EQ(Reg(kUninstallKey, L"NoModify"), L"1");
    EXPECT_EQ(Reg(kUninstallKey, L"NoRepair"), L"1");
    size_t bytes = ReadFileBytes(dir + L"\\uninstall.exe").size();
    for (const wchar_t* name : kShippedFiles) bytes += ReadFileBytes(dir + L"\\" + name).size();
    const int kib = std::stoi(Reg(kUninstallKey, L"EstimatedSize"));
    EXPECT_GE(kib, static_cast<int>(bytes / 1024));
    EXPECT_LE(kib, static_cast<int>(bytes / 1024 + 16));

    // The installed program starts: its window, its tray icon and its INI file.
    ASSERT_FALSE(Exists(DataFolder()));
    ChildProcess program(L"\"" + dir + L"\\DormiGuard.exe\"", dir);
    const HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForLogMessage(kTrayAdded, 1, 30000));
    EXPECT_TRUE(Exists(DataFolder() + L"\\DormiGuard.ini"));
    ::PostMessageW(window, WM_CLOSE, 2, 0);
    DWORD code = 99;
    ASSERT_TRUE(program.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Release, InstallOverARunningCopyThroughThePages) {
    const std::wstring exe = InstallDir() + L"\\DormiGuard.exe";
    // Marked, so that only a replaced file equals the shipped one.
    std::vector<unsigned char> marked = ReadFileBytes(exe);
    ASSERT_FALSE(marked.empty());
    marked.insert(marked.end(), 64, 0xA5);
    WriteFileBytes(exe, marked);
    WriteFileBytes(DataFolder() + L"\\notes.txt", {'k', 'e', 'e', 'p'});
    const size_t trays = CountLogMessage(kTrayAdded);
    ChildProcess running(L"\"" + exe + L"\"", InstallDir());
    const HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForLogMessage(kTrayAdded, trays + 1, 30000));
    const Snapshot data = TakeSnapshot();

    ChildProcess installer(L"\"" + Env(L"DG_INSTALLER") + L"\"");
    const HWND wizard = WaitForWizard();
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(TextOf(wizard), L"DormiGuard 1.0.5 セットアップ");
    const wchar_t* const pages[][2] = {
        {L"DormiGuard 1.0.5 セットアップへようこそ", L"installer_1_welcome.png"},
        {L"使用許諾契約", L"installer_2_license.png"},
        {L"インストールしたい DormiGuard 1.0.5 の機能を選択してください。", L"installer_3_components.png"},
        {L"DormiGuard を今すぐ起動する", L"installer_4_finish.png"},
    };
    for (const auto& page : pages) {
        const HWND control = WaitForText(wizard, page[0]);
        ASSERT_NE(control, nullptr) << std::string(page[1], page[1] + wcslen(page[1]));
        SaveWindowScreenshot(wizard, page[1]);  // to look at; a failed picture says nothing of the installer
        if (&page == &pages[3]) {
            // The last page offers to start DormiGuard now, ticked; the running copy was ended
            // by its exit command before the new files went in.
            EXPECT_EQ(::SendMessageW(control, BM_GETCHECK, 0, 0), BST_CHECKED);
            DWORD code = 99;
            ASSERT_TRUE(running.WaitExit(0, &code));
            EXPECT_EQ(code, 0u);
            EXPECT_EQ(ReadFileBytes(exe), ReadFileBytes(Env(L"DG_STAGE") + L"\\DormiGuard.exe"));
            ExpectDataKept(data);
        }
        PressNext(wizard);
    }
    DWORD code = 99;
    ASSERT_TRUE(installer.WaitExit(30000, &code));
    EXPECT_EQ(code, 0u);
    const HWND started = WaitForMainWindow();
    EXPECT_NE(started, nullptr) << "Finish with the box ticked starts the new copy";
    EXPECT_NE(started, window);
    EXPECT_TRUE(WaitForLogMessage(kTrayAdded, trays + 2, 30000));
}

TEST_F(Release, SilentUninstallWhileRunningKeepsTheData) {
    const HWND window = ::FindWindowW(L"MainWindowClass", L"DormiGuard");
    ASSERT_NE(window, nullptr) << "the copy the installer's last page started";
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    const UniqueHandle running(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    ASSERT_TRUE(running.IsValid());
    // As Task Manager leaves it after the start-up entry was switched off.
    const BYTE disabled[12] = {3};
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kApprovedKey, L"DormiGuard", REG_BINARY, disabled, 12), ERROR_SUCCESS);
    const Snapshot data = TakeSnapshot();

    // The uninstaller copies itself out of the folder and goes on from there.
    ChildProcess uninstaller(Reg(kUninstallKey, L"QuietUninstallString"));
    ASSERT_TRUE(uninstaller.Started());
    EXPECT_TRUE(WaitFor([] { return !KeyExists(kUninstallKey) && !Exists(InstallDir()); }, 60000));
    ASSERT_EQ(::WaitForSingleObject(running.Get(), 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    ::GetExitCodeProcess(running.Get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(Exists(ShortcutPath()));
    EXPECT_EQ(Reg(kRunKey, L"DormiGuard"), L"<missing>");
    EXPECT_EQ(Reg(kApprovedKey, L"DormiGuard"), L"<missing>");
    ExpectDataKept(data);
}

TEST_F(Release, UninstallerPagesSayTheDataStays) {
    ASSERT_EQ(RunInstaller(L"/S"), 0u);
    ASSERT_NE(Reg(kRunKey, L"DormiGuard"), L"<missing>");
    // Without the sign-in entry, as after an install with the box cleared: an upgrade keeps that.
    ASSERT_EQ(::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"DormiGuard"), ERROR_SUCCESS);
    ASSERT_EQ(RunInstaller(L"/S"), 0u);
    EXPECT_EQ(Reg(kRunKey, L"DormiGuard"), L"<missing>");
    const Snapshot data = TakeSnapshot();
    ChildProcess uninstaller(Reg(kUninstallKey, L"UninstallString"));
    const HWND wizard = WaitForWizard();
    ASSERT_NE(wizard, nullptr);
    // NSIS's Japanese caption ends in a space.
    EXPECT_EQ(TextOf(wizard), L"DormiGuard 1.0.5 アンインストール ");
    ASSERT_NE(WaitForText(wizard, InstallDir()), nullptr) << "the first page names the folder";
    SaveWindowScreenshot(wizard, L"uninstaller_1_confirm.png");
    PressNext(wizard);
    ASSERT_NE(WaitForText(wizard, L"設定とログは " + DataFolder() + L" に残してあります。"), nullptr);
    SaveWindowScreenshot(wizard, L"uninstaller_2_finish.png");
    EXPECT_FALSE(KeyExists(kUninstallKey));
    PressNext(wizard);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(wizard); }, 20000));
    ExpectDataKept(data);
}

// /ALLUSERS: Program Files, HKLM Run and HKLM's list of installed apps, beside a running per-user
// copy that keeps running with its settings untouched; the per-machine uninstall removes only its own.
TEST_F(Release, PerMachineInstallBesideARunningPerUserCopy) {
    ASSERT_EQ(RunInstaller(L"/S"), 0u);
    const size_t trays = CountLogMessage(kTrayAdded);
    ChildProcess userCopy(L"\"" + InstallDir() + L"\\DormiGuard.exe\"", InstallDir());
    ASSERT_NE(WaitForMainWindow(), nullptr);
    ASSERT_TRUE(WaitForLogMessage(kTrayAdded, trays + 1, 30000));
    const Snapshot data = TakeSnapshot();

    ASSERT_EQ(RunInstaller(L"/ALLUSERS /S"), 0u);
    const std::wstring dir = MachineInstallDir();
    for (const wchar_t* name : kShippedFiles)
        EXPECT_EQ(ReadFileBytes(dir + L"\\" + name), ReadFileBytes(Env(L"DG_STAGE") + L"\\" + name)) << name;
    EXPECT_EQ(Reg(kRunKey, L"DormiGuard", HKEY_LOCAL_MACHINE), L"\"" + dir + L"\\DormiGuard.exe\" -startup");
    EXPECT_EQ(Reg(kUninstallKey, L"InstallLocation", HKEY_LOCAL_MACHINE), dir);
    EXPECT_EQ(Reg(kUninstallKey, L"QuietUninstallString", HKEY_LOCAL_MACHINE), L"\"" + dir + L"\\uninstall.exe\" /S");
    EXPECT_TRUE(Exists(MachineShortcutPath()));
    EXPECT_EQ(Reg(kRunKey, L"DormiGuard"), L"\"" + InstallDir() + L"\\DormiGuard.exe\" -startup") << "the per-user entry stays";
    EXPECT_FALSE(userCopy.WaitExit(0)) << "the per-user copy runs on";
    ExpectDataKept(data);

    ChildProcess uninstaller(Reg(kUninstallKey, L"QuietUninstallString", HKEY_LOCAL_MACHINE));
    ASSERT_TRUE(uninstaller.Started());
    EXPECT_TRUE(WaitFor([&] { return !KeyExists(kUninstallKey, HKEY_LOCAL_MACHINE) && !Exists(dir); }, 60000));
    EXPECT_EQ(Reg(kRunKey, L"DormiGuard", HKEY_LOCAL_MACHINE), L"<missing>");
    EXPECT_FALSE(Exists(MachineShortcutPath()));
    EXPECT_TRUE(KeyExists(kUninstallKey)) << "the per-user install stays";
    EXPECT_FALSE(userCopy.WaitExit(0));
    ExpectDataKept(data);
}
