// The update notice for real under Xvfb: the dialog over an owner window, its texts, size and
// buttons, driven by timers inside its modal loop; and the message box shown without an owner.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/utility.h"
#include "comlib/window/control_factory.h"
#include "comlib/window/high_dpi.h"
#include "update/update_check.h"
#include "view/update_notice/update_dialog.h"
#include "view/texts/ui_texts.h"
#include "comlib/window/ui_font.h"
#include "tests/test_helpers.h"
#include "tests/http_test_support.h"

namespace {

const wchar_t kTitle[] = L"DormiGuardのアップデート。";
const char kNewer[] = "1.0.6.0\r\nhttp://www.dormiguard.example/DormiGuard/\r\n";

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

// Work done from inside a modal loop: a thread timer's callback runs there. Gives up after a
// deadline and closes whatever is open, so a test cannot hang on a dialog that never appeared.
class ModalDriver {
public:
    // step returns true when it has done its work.
    ModalDriver(std::function<bool()> step, std::function<void()> giveUp) : step_(std::move(step)), giveUp_(std::move(giveUp)) {
        current_ = this;
        deadline_ = ::GetTickCount64() + 15000;
        timer_ = ::SetTimer(nullptr, 0, 100, &ModalDriver::Tick);
    }
    ~ModalDriver() {
        ::KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool Done() const { return done_; }
    bool TimedOut() const { return timedOut_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalDriver* self = current_;
        if (!self || self->done_ || self->busy_) return;
        self->busy_ = true;
        if (self->step_()) {
            self->done_ = true;
        } else if (::GetTickCount64() > self->deadline_) {
            self->timedOut_ = true;
            self->done_ = true;
            self->giveUp_();
        }
        self->busy_ = false;
    }

    static ModalDriver* current_;
    std::function<bool()> step_;
    std::function<void()> giveUp_;
    UINT_PTR timer_ = 0;
    ULONGLONG deadline_ = 0;
    bool done_ = false;
    bool timedOut_ = false;
    bool busy_ = false;
};
ModalDriver* ModalDriver::current_ = nullptr;

HWND CreateOwnerWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"DgUpdateOwnerTest";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, L"DgUpdateOwnerTest", L"DormiGuard", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 120, 90,
                                    640, 480, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::UpdateWindow(window);  // painted before any dialog is centred over it
    return window;
}

std::vector<std::wstring> g_opened;
void RecordOpen(const std::wstring& target) { g_opened.push_back(target); }

class UpdateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = FreshTempFolder(L"dg_update_dialog_test");
        logPath_ = folder_ + L"\\log.txt";
        g_Logger.SetPath(logPath_);
        const std::wstring ini = folder_ + L"\\DormiGuard.ini";
        Inifile_CL::CreateIfMissing(ini);
        g_Inifile.SetPath(ini);
        SetUpdateNoticeFunction(nullptr);  // the real notice
        SetRealUpdateNotice(&ShowUpdateNotice);
        g_opened.clear();
        SetShellOpenHandler(&RecordOpen);
        owner_ = CreateOwnerWindow();
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        ::DestroyWindow(owner_);
        SetShellOpenHandler(nullptr);
        g_Logger.SetPath(L"");
        g_Inifile.SetPath(L"");
    }
    // A newer version whose notice is due now.
    void MakeNoticeDue() {
        g_Inifile.WriteString(L"VERSION", L"next_version", L"1.0.6.0");
        g_Inifile.WriteString(L"VERSION", L"next_notify", FormatHex64(0));
    }
    std::wstring LastDay() const { return g_Inifile.ReadString(L"VERSION", L"last_day", L"<missing>"); }
    std::wstring Today() const {
        SYSTEMTIME now = {};
        ::GetLocalTime(&now);
        return std::to_wstring(now.wDay);
    }

    std::wstring folder_;
    std::wstring logPath_;
    HWND owner_ = nullptr;
};

}  // namespace

TEST_F(UpdateDialogTest, CheckShowsTheDialogAndNotifyLaterRecordsToday) {
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    MakeNoticeDue();
    HWND dialog = nullptr;
    struct Seen {
        std::wstring title;
        RECT window;
        RECT ownerRect;
        LONG style;
        std::wstring accept;
        std::wstring cancel;
        std::wstring text;
        POINT textAt;
        RECT acceptRect;
        RECT cancelRect;
        RECT client;
        bool screenshot;
    } seen = {};
    ModalDriver driver(
        [&] {
            if (!dialog || !::IsWindowVisible(dialog)) return false;
            ::UpdateWindow(dialog);
            seen.title = WindowText(dialog);
            ::GetWindowRect(dialog, &seen.window);
            ::GetWindowRect(owner_, &seen.ownerRect);
            ::GetClientRect(dialog, &seen.client);
            seen.style = ::GetWindowLongW(dialog, GWL_STYLE);
            const HWND accept = ::GetDlgItem(dialog, ControlFactory_CL::kAcceptId);
            const HWND cancel = ::GetDlgItem(dialog, ControlFactory_CL::kCancelId);
            seen.accept = WindowText(accept);
            seen.cancel = WindowText(cancel);
            ::GetWindowRect(accept, &seen.acceptRect);
            ::GetWindowRect(cancel, &seen.cancelRect);
            ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&seen.acceptRect), 2);
            ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&seen.cancelRect), 2);
            for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                wchar_t className[32] = {};
                ::GetClassNameW(child, className, 32);
                if (_wcsicmp(className, L"Static") != 0) continue;
                seen.text = WindowText(child);
                RECT rect = {};
                ::GetWindowRect(child, &rect);
                ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
                seen.textAt = POINT{rect.left, rect.top};
            }
            seen.screenshot = SaveWindowScreenshot(dialog, L"update_dialog.png");
            // The user clicks "notify later".
            ::SendMessageW(cancel, BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            if (dialog) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        });
    UpdateCheck_CL check(&g_Inifile, L"127.0.0.1", L"DormiGuard/Version.txt", server.Port());
    check.SetDialogHandleTarget(&dialog);
    check.Check(kTitle, L"1.0.5", owner_);
    ASSERT_FALSE(driver.TimedOut()) << "the dialog did not appear";
    ASSERT_TRUE(driver.Done());

    EXPECT_EQ(seen.title, kTitle);
    // 360 x 160 at the test display's 96 DPI.
    EXPECT_EQ(seen.window.right - seen.window.left, 360);
    EXPECT_EQ(seen.window.bottom - seen.window.top, 160);
    EXPECT_EQ(seen.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(seen.accept, L"　サイトへ移動する　");
    EXPECT_EQ(seen.cancel, L"後日通知する　");
    EXPECT_EQ(seen.text, UpdateMessageText(L"1.0.6.0", L"1.0.5"));
    EXPECT_EQ(seen.textAt.x, 8);
    EXPECT_EQ(seen.textAt.y, 8);
    // Both buttons inside the client area, side by side at the bottom right.
    for (const RECT& r : {seen.acceptRect, seen.cancelRect}) {
        EXPECT_GE(r.left, 0);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.right, seen.client.right);
        EXPECT_LE(r.bottom, seen.client.bottom);
    }
    EXPECT_LE(seen.acceptRect.right, seen.cancelRect.left);
    // Centred over the owner (to within the frame's width).
    const int dialogCentreX = (seen.window.left + seen.window.right) / 2;
    const int ownerCentreX = (seen.ownerRect.left + seen.ownerRect.right) / 2;
    EXPECT_NEAR(dialogCentreX, ownerCentreX, 16);
    EXPECT_TRUE(seen.screenshot);

    // "Notify later" ended the dialog with 2: today is recorded, nothing opened.
    EXPECT_EQ(LastDay(), Today());
    EXPECT_TRUE(g_opened.empty());
    EXPECT_FALSE(IsUpdateNoticeBusy());
}

TEST_F(UpdateDialogTest, ButtonsAndCloseEndTheDialog) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        INT_PTR expected;
    } cases[] = {
        {"go to the site (click)", [](HWND d) { ::SendMessageW(::GetDlgItem(d, 4096), BM_CLICK, 0, 0); }, 1},
        {"notify later (WM_COMMAND)", [](HWND d) { ::PostMessageW(d, WM_COMMAND, MAKEWPARAM(4098, BN_CLICKED), 0); }, 2},
        // Other ids change nothing; the close that follows ends it with 0.
        {"other ids, then close",
         [](HWND d) {
             ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(ControlFactory_CL::kFirstId, BN_CLICKED), 0);
             ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
             ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
             ::PostMessageW(d, WM_CLOSE, 0, 0);
         },
         0},
    };
    for (const Case& c : cases) {
        UpdateDialog_CL dialog(kTitle, L"1.0.5", L"1.0.6.0");
        HWND handle = nullptr;
        dialog.SetHandleTarget(&handle);
        ModalDriver driver(
            [&] {
                if (!handle || !::IsWindowVisible(handle)) return false;
                c.act(handle);
                return true;
            },
            [&] {
                if (handle) ::EndDialog(handle, -2);
            });
        EXPECT_EQ(dialog.DoModal(nullptr, nullptr, owner_), c.expected) << c.name;
        EXPECT_FALSE(driver.TimedOut()) << c.name;
        EXPECT_FALSE(::IsWindow(handle)) << c.name;
    }
}

TEST_F(UpdateDialogTest, GoToSiteFromTheDialogOpensThePage) {
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    MakeNoticeDue();
    HWND dialog = nullptr;
    ModalDriver driver(
        [&] {
            if (!dialog || !::IsWindowVisible(dialog)) return false;
            ::SendMessageW(::GetDlgItem(dialog, ControlFactory_CL::kAcceptId), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            if (dialog) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        });
    UpdateCheck_CL check(&g_Inifile, L"127.0.0.1", L"DormiGuard/Version.txt", server.Port());
    check.SetDialogHandleTarget(&dialog);
    check.Check(kTitle, L"1.0.5", owner_);
    ASSERT_FALSE(driver.TimedOut());
    EXPECT_EQ(g_opened, std::vector<std::wstring>{L"http://www.dormiguard.example/DormiGuard/"});
    EXPECT_EQ(LastDay(), L"<missing>");
}

TEST_F(UpdateDialogTest, WithoutAnOwnerAMessageBoxAsks) {
    struct Case {
        int button;
        std::wstring lastDay;  // "" stands for today
        size_t opened;
    } cases[] = {
        {IDNO, L"", 0},
        {IDYES, L"<missing>", 1},
    };
    for (const Case& c : cases) {
        TestHttpServer server(L"version", kNewer);
        ASSERT_TRUE(server.Ready());
        // Deleted: a null value removes the key.
        ::WritePrivateProfileStringW(L"VERSION", L"last_day", nullptr, g_Inifile.Path().c_str());
        MakeNoticeDue();
        g_opened.clear();
        std::wstring text;
        ModalDriver driver(
            [&] {
                const HWND box = ::FindWindowW(L"#32770", kTitle);
                if (!box || !::IsWindowVisible(box)) return false;
                for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                    const std::wstring childText = WindowText(child);
                    if (childText.find(L"最新のバージョン") != std::wstring::npos) text = childText;
                }
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), 0);
                return true;
            },
            [&] {
                if (const HWND box = ::FindWindowW(L"#32770", kTitle)) ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
            });
        UpdateCheck_CL check(&g_Inifile, L"127.0.0.1", L"DormiGuard/Version.txt", server.Port());
        check.Check(kTitle, L"1.0.5", nullptr);
        ASSERT_FALSE(driver.TimedOut()) << c.button;
        // The box shows the same question as the dialog (line ends as the box keeps them).
        EXPECT_NE(text.find(L"最新のバージョン1.0.6.0が公開されています。"), std::wstring::npos) << text;
        EXPECT_NE(text.find(L"バージョンは1.0.5です。）"), std::wstring::npos) << text;
        EXPECT_EQ(LastDay(), c.lastDay.empty() ? Today() : c.lastDay) << c.button;
        EXPECT_EQ(g_opened.size(), c.opened) << c.button;
    }
}


// The notice in both languages: its texts, and every control inside the dialog at 96 DPI.
TEST_F(UpdateDialogTest, NoticeInEachLanguageFitsItsTexts) {
    struct Case {
        UiLanguage language;
        UiFontKind font;
        const wchar_t* message;
        const wchar_t* accept;
        const wchar_t* cancel;
        const wchar_t* picture;
    } cases[] = {
        {UiLanguage::Japanese, UiFontKind::DefaultGui,
         L"最新のバージョン1.0.6.0が公開されています。\r\nサイトへ移動しますか？\r\n\r\n"
         L"　（現在インストールされているバージョンは1.0.5です。）\r\n",
         L"　サイトへ移動する　", L"後日通知する　", L"update_dialog_ja.png"},
        {UiLanguage::English, UiFontKind::SystemMessage,
         L"Version 1.0.6.0 has been published.\r\nDo you want to go to the site?\r\n\r\n"
         L"   (The version installed now is 1.0.5.)\r\n",
         L"   Go to the site   ", L"Remind me later ", L"update_dialog_en.png"},
    };
    const UiLanguage before = CurrentUiLanguage();
    for (const Case& c : cases) {
        SetUiLanguage(c.language);
        UseUiFontFor(c.font);
        UpdateDialog_CL dialog(UiText(TextId::UpdateTitle), L"1.0.5", L"1.0.6.0");
        HWND handle = nullptr;
        dialog.SetHandleTarget(&handle);
        std::vector<std::wstring> texts;
        bool inside = true;
        ModalDriver driver(
            [&] {
                if (!handle || !::IsWindowVisible(handle)) return false;
                RECT client = {};
                ::GetClientRect(handle, &client);
                for (HWND child = ::GetWindow(handle, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                    texts.push_back(WindowText(child));
                    RECT rect = {};
                    ::GetWindowRect(child, &rect);
                    ::MapWindowPoints(nullptr, handle, reinterpret_cast<POINT*>(&rect), 2);
                    // Controls are made the size of their text: inside the client area, nothing is cut.
                    if (rect.left < 0 || rect.top < 0 || rect.right > client.right || rect.bottom > client.bottom)
                        inside = false;
                }
                SaveWindowScreenshot(handle, c.picture);
                ::PostMessageW(handle, WM_COMMAND, MAKEWPARAM(4098, BN_CLICKED), 0);
                return true;
            },
            [&] {
                if (handle) ::EndDialog(handle, -2);
            });
        EXPECT_EQ(dialog.DoModal(nullptr, nullptr, owner_), 2);
        EXPECT_FALSE(driver.TimedOut());
        EXPECT_TRUE(inside) << c.picture;
        ASSERT_EQ(texts.size(), 3u);
        EXPECT_EQ(texts[0], c.accept);
        EXPECT_EQ(texts[1], c.cancel);
        EXPECT_EQ(texts[2], c.message);
    }
    SetUiLanguage(before);
    UseUiFontFor(UiFontKind::DefaultGui);
}
