// The release installer in a fresh Wine prefix, checked from inside it: a silent install, an
// install through the pages over a running copy, a silent uninstall while DormiGuard runs and
// the uninstaller's pages. The tests run in order; each one starts from the state the one
// before it left. DG_INSTALLER names the installer, DG_STAGE the folder of the files it holds.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "comlib/unique_resource.h"
#include "tests/program_driver.h"
#include "tests/remote_controls.h"
#include "tests/test_helpers.h"

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DormiGuard";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const wchar_t kTrayAdded[] = L"タスクトレイへアイコンを追加しました。";
const wchar_t* const kShippedFiles[] = {L"DormiGuard.exe",    L"license.html",      L"menu_image.bmp",
                                        L"pirumi_image.png",  L"pirumi_koala1.png", L"pirumi_koala2.png",
                                        L"sleep_ng.png",      L"sleep_ok.png",      L"LICENSE.txt"};

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
std::wstring DataFolder() { return Folder(CSIDL_PERSONAL) + L"\\DormiGuard"; }
bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring RegText(const wchar_t* key, const wchar_t* value) {
    wchar_t text[1024] = {};
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

DWORD RegNumber(const wchar_t* key, const wchar_t* value) {
    DWORD number = 0xFFFFFFFF;
    DWORD size = sizeof(number);
    ::RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_DWORD, nullptr, &number, &size);
    return number;
}

bool KeyExists(const wchar_t* key) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    ::RegCloseKey(opened);
    return true;
}

struct Shortcut {
    std::wstring target, arguments, directory;
};

// Read back through the shell link interface, as Explorer does.
bool ReadShortcut(const std::wstring& path, Shortcut* shortcut) {
    UniqueCom<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.Put()))))
        return false;
    UniqueCom<IPersistFile> file;
    if (FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Put())))) return false;
    if (FAILED(file.Get()->Load(path.c_str(), STGM_READ))) return false;
    wchar_t text[MAX_PATH] = {};
    link.Get()->GetPath(text, MAX_PATH, nullptr, 0);
    shortcut->target = text;
    text[0] = 0;
    link.Get()->GetArguments(text, MAX_PATH);
    shortcut->arguments = text;
    text[0] = 0;
    link.Get()->GetWorkingDirectory(text, MAX_PATH);
    shortcut->directory = text;
    return true;
}

bool SameText(const std::wstring& a, const std::wstring& b) { return ::lstrcmpiW(a.c_str(), b.c_str()) == 0; }

using Snapshot = std::map<std::wstring, std::vector<unsigned char>>;

Snapshot TakeSnapshot(const std::wstring& folder) {
    Snapshot files;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files[found.cFileName] = ReadFileBytes(folder + L"\\" + found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
}

// The running copy's own exit appends its tray-icon removal to the log; nothing else may differ.
void ExpectDataKept(const Snapshot& before, const Snapshot& after) {
    ASSERT_EQ(before.size(), after.size());
    for (const auto& [name, bytes] : before) {
        ASSERT_EQ(after.count(name), 1u) << "gone: " << std::string(name.begin(), name.end());
        const std::vector<unsigned char>& now = after.at(name);
        if (name == L"log.txt") {
            ASSERT_GE(now.size(), bytes.size());
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), now.begin())) << "log rewritten";
        } else {
            EXPECT_EQ(now, bytes) << "changed: " << std::string(name.begin(), name.end());
        }
    }
}

struct FindContext {
    const wchar_t* titlePart;
    HWND found;
};

BOOL CALLBACK FindWizard(HWND window, LPARAM data) {
    FindContext* context = reinterpret_cast<FindContext*>(data);
    wchar_t className[32] = {}, title[256] = {};
    ::GetClassNameW(window, className, 32);
    ::GetWindowTextW(window, title, 256);
    if (::IsWindowVisible(window) && std::wstring(className) == L"#32770" &&
        std::wstring(title).find(context->titlePart) != std::wstring::npos) {
        context->found = window;
        return FALSE;
    }
    return TRUE;
}

// The installer's or uninstaller's wizard window, found by a part of its title.
HWND WaitForWizard(const wchar_t* titlePart) {
    FindContext context = {titlePart, nullptr};
    WaitFor(
        [&] {
            ::EnumWindows(FindWizard, reinterpret_cast<LPARAM>(&context));
            return context.found != nullptr;
        },
        30000);
    return context.found;
}

struct TextContext {
    std::wstring part;
    HWND found;
};

BOOL CALLBACK MatchText(HWND window, LPARAM data) {
    TextContext* context = reinterpret_cast<TextContext*>(data);
    // WM_GETTEXT itself: GetWindowText does not ask a control of another process for its text.
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
    if (::IsWindowVisible(window) && std::wstring(text).find(context->part) != std::wstring::npos) {
        context->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible control of the wizard's current page whose text holds this part.
HWND FindControlText(HWND wizard, const std::wstring& part) {
    TextContext context = {part, nullptr};
    ::EnumChildWindows(wizard, MatchText, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

HWND WaitForControlText(HWND wizard, const std::wstring& part) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindControlText(wizard, part)) != nullptr; }, 30000);
    return found;
}

// The wizard's button 1 (Next, I agree, Install, Uninstall, Finish), clicked.
void PressNext(HWND wizard) {
    const HWND button = ::GetDlgItem(wizard, IDOK);
    ::PostMessageW(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

HWND WaitForAnyMainWindow() {
    HWND window = nullptr;
    WaitFor([&] { return (window = ::FindWindowW(L"MainWindowClass", L"DormiGuard")) != nullptr; }, 30000);
    return window;
}

class Release : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::CoInitialize(nullptr); }
    static void TearDownTestSuite() { ::CoUninitialize(); }

    static DWORD RunInstaller(const std::wstring& arguments) {
        ChildProcess installer(L"\"" + Env(L"DG_INSTALLER") + L"\" " + arguments);
        DWORD code = 99;
        if (!installer.Started() || !installer.WaitExit(60000, &code)) return 98;
        return code;
    }
};

}  // namespace

TEST_F(Release, SilentInstallIntoAFreshPrefix) {
    ASSERT_FALSE(Env(L"DG_INSTALLER").empty());
    ASSERT_FALSE(KeyExists(kUninstallKey)) << "not a fresh prefix";
    // The installer's own version resource.
    DWORD ignored = 0;
    std::vector<unsigned char> block(::GetFileVersionInfoSizeW(Env(L"DG_INSTALLER").c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(Env(L"DG_INSTALLER").c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, 5));

    ASSERT_EQ(RunInstaller(L"/S"), 0u);
    const std::wstring dir = InstallDir();
    for (const wchar_t* name : kShippedFiles)
        EXPECT_EQ(ReadFileBytes(dir + L"\\" + name), ReadFileBytes(Env(L"DG_STAGE") + L"\\" + name)) << name;
    ASSERT_TRUE(::CopyFileW((dir + L"\\uninstall.exe").c_str(), Env(L"DG_UNINSTALLER_COPY").c_str(), FALSE))
        << "kept for the signature check after the tests";

    Shortcut shortcut;
    ASSERT_TRUE(ReadShortcut(ShortcutPath(), &shortcut));
    EXPECT_TRUE(SameText(shortcut.target, dir + L"\\DormiGuard.exe")) << std::string(shortcut.target.begin(), shortcut.target.end());
    EXPECT_EQ(shortcut.arguments, L"");
    EXPECT_TRUE(SameText(shortcut.directory, dir));

    EXPECT_EQ(RegText(kRunKey, L"DormiGuard"), L"\"" + dir + L"\\DormiGuard.exe\" -startup");

    EXPECT_EQ(RegText(kUninstallKey, L"DisplayName"), L"DormiGuard");
    EXPECT_EQ(RegText(kUninstallKey, L"DisplayVersion"), L"1.0.5");
    EXPECT_EQ(RegText(kUninstallKey, L"Publisher"), L"DormiGuard Project");
    EXPECT_EQ(RegText(kUninstallKey, L"DisplayIcon"), dir + L"\\DormiGuard.exe,0");
    EXPECT_EQ(RegText(kUninstallKey, L"UninstallString"), L"\"" + dir + L"\\uninstall.exe\"");
    EXPECT_EQ(RegText(kUninstallKey, L"QuietUninstallString"), L"\"" + dir + L"\\uninstall.exe\" /S");
    EXPECT_EQ(RegText(kUninstallKey, L"InstallLocation"), dir);
    EXPECT_EQ(RegNumber(kUninstallKey, L"NoModify"), 1u);
    EXPECT_EQ(RegNumber(kUninstallKey, L"NoRepair"), 1u);
    // KiB of the installed files, the uninstaller included.
    size_t bytes = ReadFileBytes(dir + L"\\uninstall.exe").size();
    for (const wchar_t* name : kShippedFiles) bytes += ReadFileBytes(dir + L"\\" + name).size();
    const DWORD size = RegNumber(kUninstallKey, L"EstimatedSize");
    EXPECT_GE(size, bytes / 1024);
    EXPECT_LE(size, bytes / 1024 + 16);

    // The installed program starts: window, tray icon, and its INI file in Documents\DormiGuard.
    ASSERT_FALSE(Exists(DataFolder()));
    ChildProcess program(L"\"" + dir + L"\\DormiGuard.exe\"", dir);
    const HWND window = WaitForAnyMainWindow();
    ASSERT_NE(window, nullptr);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(owner, program.Id());
    EXPECT_TRUE(WaitForLogMessage(kTrayAdded, 1, 30000));
    EXPECT_TRUE(Exists(DataFolder() + L"\\DormiGuard.ini"));
    ::PostMessageW(window, WM_CLOSE, 2, 0);
    DWORD code = 99;
    ASSERT_TRUE(program.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Release, InstallOverARunningCopyThroughThePages) {
    const std::wstring dir = InstallDir();
    const std::wstring exe = dir + L"\\DormiGuard.exe";
    ASSERT_TRUE(Exists(exe));
    // Marks the installed executable, so that only a replaced file matches the shipped one.
    std::vector<unsigned char> marked = ReadFileBytes(exe);
    marked.insert(marked.end(), 64, 0xA5);
    WriteFileBytes(exe, marked);
    WriteFileBytes(DataFolder() + L"\\notes.txt", {'k', 'e', 'e', 'p'});
    const size_t traysBefore = CountLogMessage(kTrayAdded);

    ChildProcess running(L"\"" + exe + L"\"", dir);
    const HWND window = WaitForAnyMainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForLogMessage(kTrayAdded, traysBefore + 1, 30000));
    const Snapshot data = TakeSnapshot(DataFolder());

    ChildProcess installer(L"\"" + Env(L"DG_INSTALLER") + L"\"");
    const HWND wizard = WaitForWizard(L"DormiGuard 1.0.5");
    ASSERT_NE(wizard, nullptr);
    wchar_t title[256] = {};
    ::GetWindowTextW(wizard, title, 256);
    EXPECT_EQ(std::wstring(title), L"DormiGuard 1.0.5 セットアップ");

    struct Page {
        const wchar_t* text;  // a part of the page's own text
        const wchar_t* shot;
    } pages[] = {
        {L"DormiGuard 1.0.5 セットアップへようこそ", L"installer_1_welcome.png"},
        {L"使用許諾契約", L"installer_2_license.png"},
        {L"インストールしたい DormiGuard 1.0.5 の機能を選択してください。", L"installer_3_components.png"},
        {L"DormiGuard を今すぐ起動する", L"installer_4_finish.png"},
    };
    for (const Page& page : pages) {
        const HWND control = WaitForControlText(wizard, page.text);
        ASSERT_NE(control, nullptr) << std::string(page.shot, page.shot + wcslen(page.shot));
        EXPECT_TRUE(SaveWindowScreenshot(wizard, page.shot));
        if (std::wstring(page.shot) == L"installer_4_finish.png") {
            // The last page offers to start DormiGuard now, ticked.
            EXPECT_EQ(::SendMessageW(control, BM_GETCHECK, 0, 0), BST_CHECKED);
            // By now the running copy was ended by its exit command, and the new files are in.
            DWORD code = 99;
            ASSERT_TRUE(running.WaitExit(0, &code));
            EXPECT_EQ(code, 0u);
            EXPECT_EQ(ReadFileBytes(exe), ReadFileBytes(Env(L"DG_STAGE") + L"\\DormiGuard.exe"));
            ExpectDataKept(data, TakeSnapshot(DataFolder()));
        }
        PressNext(wizard);
    }
    DWORD code = 99;
    ASSERT_TRUE(installer.WaitExit(30000, &code));
    EXPECT_EQ(code, 0u);
    // Finish with the box ticked started the new copy.
    const HWND started = WaitForAnyMainWindow();
    ASSERT_NE(started, nullptr);
    EXPECT_NE(started, window);
    EXPECT_TRUE(WaitForLogMessage(kTrayAdded, traysBefore + 2, 30000));
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
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kApprovedKey, L"DormiGuard", REG_BINARY, disabled, sizeof(disabled)),
              ERROR_SUCCESS);
    const Snapshot data = TakeSnapshot(DataFolder());
    ASSERT_EQ(data.count(L"DormiGuard.ini"), 1u);

    // The uninstaller copies itself out of the folder and goes on from there.
    ChildProcess uninstaller(RegText(kUninstallKey, L"QuietUninstallString"));
    ASSERT_TRUE(uninstaller.Started());
    EXPECT_TRUE(WaitFor([] { return !KeyExists(kUninstallKey) && !Exists(InstallDir()); }, 60000));
    ASSERT_EQ(::WaitForSingleObject(running.Get(), 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    ::GetExitCodeProcess(running.Get(), &code);
    EXPECT_EQ(code, 0u);

    EXPECT_FALSE(Exists(InstallDir()));
    EXPECT_FALSE(Exists(ShortcutPath()));
    EXPECT_EQ(RegText(kRunKey, L"DormiGuard"), L"<missing>");
    EXPECT_FALSE(::RegGetValueW(HKEY_CURRENT_USER, kApprovedKey, L"DormiGuard", RRF_RT_ANY, nullptr, nullptr,
                                nullptr) == ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(kUninstallKey));
    ExpectDataKept(data, TakeSnapshot(DataFolder()));
}

TEST_F(Release, UninstallerPagesSayTheDataStays) {
    ASSERT_EQ(RunInstaller(L"/S"), 0u);
    const Snapshot data = TakeSnapshot(DataFolder());
    ChildProcess uninstaller(RegText(kUninstallKey, L"UninstallString"));
    const HWND wizard = WaitForWizard(L"DormiGuard 1.0.5");
    ASSERT_NE(wizard, nullptr);
    wchar_t title[256] = {};
    ::GetWindowTextW(wizard, title, 256);
    // NSIS's Japanese caption ends in a space.
    EXPECT_EQ(std::wstring(title), L"DormiGuard 1.0.5 アンインストール ");
    ASSERT_NE(WaitForControlText(wizard, InstallDir()), nullptr) << "the confirmation page names the folder";
    EXPECT_TRUE(SaveWindowScreenshot(wizard, L"uninstaller_1_confirm.png"));
    PressNext(wizard);
    const std::wstring kept = L"設定とログは " + DataFolder() + L" に残してあります。";
    ASSERT_NE(WaitForControlText(wizard, kept), nullptr);
    EXPECT_TRUE(SaveWindowScreenshot(wizard, L"uninstaller_2_finish.png"));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    PressNext(wizard);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(wizard); }, 20000));
    ExpectDataKept(data, TakeSnapshot(DataFolder()));
}
