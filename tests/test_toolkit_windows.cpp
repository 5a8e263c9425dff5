// Top-level windows, modal in-memory dialogs, property-sheet centring and dialog centring,
// in real windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "comlib/window/control_factory.h"
#include "comlib/window/dialog_base.h"
#include "comlib/window/main_window_base.h"
#include "tests/test_helpers.h"
#include "tests/toolkit_test_support.h"

using namespace toolkit_test;

namespace {

bool Contains(const std::vector<UINT>& messages, UINT message) {
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

// Windows that are never mapped go away at once under Wine.
constexpr DWORD kHiddenPopup = WS_POPUP | WS_BORDER;

bool AboveFourGigabytes(const void* p) { return reinterpret_cast<ULONG_PTR>(p) > 0xFFFFFFFFull; }

class RecordingWindow : public MainWindowBase_CL {
public:
    RecordingWindow(const wchar_t* className, bool hiddenOwner) {
        SetClassName(className);
        SetWindowName(L"ツールキット試験");
        SetHiddenOwner(hiddenOwner);
        SetInitialSize(420, 300);
    }
    void UseParent(HWND parent) { SetParentWindow(parent); }

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        return MainWindowBase_CL::HandleMessage(window, message, wParam, lParam);
    }
    void OnCreate(CREATESTRUCTW* createStruct) override {
        ++createCalls;
        windowAtCreate = Window();
        createParam = createStruct->lpCreateParams;
    }
    int OnClose() override {
        ++closeCalls;
        return closeAnswer;
    }
    void OnDestroy() override { ++destroyCalls; }
    void OnSize(UINT, int width, int height) override { lastClientSize = SIZE{width, height}; }
    void OnPaint() override { ++paintCalls; }

    std::vector<UINT> messages;
    int createCalls = 0;
    int closeCalls = 0;
    int destroyCalls = 0;
    int paintCalls = 0;
    int closeAnswer = 1;
    HWND windowAtCreate = nullptr;
    void* createParam = nullptr;
    SIZE lastClientSize = {};
};

// Posted WM_QUIT of the table's WM_DESTROY: exit code, or -1 when none was posted.
int TakeQuitCode() {
    MSG msg;
    int code = -1;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) code = static_cast<int>(msg.wParam);
    return code;
}

std::vector<HWND> ThreadTopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

}  // namespace

TEST(MainWindow, BindsAtCreateAndRunsTheMessageTable) {
    HighObject<RecordingWindow> object(L"ToolkitBindClass", false);
    ASSERT_TRUE(AboveFourGigabytes(object.Get())) << "the object must lie where a 32-bit slot would cut it";
    HWND window = object->Create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(object->Window(), window);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(object.Get()));

    // Nothing before WM_CREATE reached the object, WM_CREATE did, already bound.
    ASSERT_FALSE(object->messages.empty());
    EXPECT_EQ(object->messages.front(), static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(object->createCalls, 1);
    EXPECT_EQ(object->windowAtCreate, window);
    EXPECT_EQ(object->createParam, object.Get());
    // WM_NCCREATE went to DefWindowProcW, which is what sets the title.
    EXPECT_EQ(WindowText(window), L"ツールキット試験");
    EXPECT_EQ(ClassNameOf(window), L"ToolkitBindClass");
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)) & MainWindowBase_CL::kDefaultStyle,
              MainWindowBase_CL::kDefaultStyle & ~WS_VISIBLE);

    // Kept hidden: under Wine without a window manager a shown window takes 2 s to go away.
    ::SetWindowPos(window, nullptr, 50, 60, 500, 350, SWP_NOZORDER);
    RECT client = {};
    ::GetClientRect(window, &client);
    EXPECT_EQ(object->lastClientSize.cx, client.right);
    EXPECT_EQ(object->lastClientSize.cy, client.bottom);
    ::SendMessageW(window, WM_PAINT, 0, 0);
    EXPECT_EQ(object->paintCalls, 1);

    // OnClose answering 0 keeps the window.
    object->closeAnswer = 0;
    EXPECT_EQ(::SendMessageW(window, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(object->closeCalls, 1);
    EXPECT_EQ(object->destroyCalls, 0);

    // Answering 1 lets DefWindowProcW destroy it; WM_DESTROY ends the loop with exit code 0.
    TakeQuitCode();
    object->closeAnswer = 1;
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(object->closeCalls, 2);
    EXPECT_EQ(object->destroyCalls, 1);
    EXPECT_EQ(TakeQuitCode(), 0);
    EXPECT_EQ(object->Window(), nullptr);
}

TEST(MainWindow, HiddenOwnerGivesTwoTopLevelWindowsOwnerNeverVisible) {
    const std::vector<HWND> before = ThreadTopLevelWindows();
    RecordingWindow object(L"ToolkitOwnedClass", true);
    HWND window = object.Create();
    ASSERT_NE(window, nullptr);
    HWND owner = object.ShadowOwner();
    ASSERT_NE(owner, nullptr);

    // Top-level windows this creation added (Wine's per-thread IME window aside).
    std::vector<HWND> added;
    std::wstring names;
    for (HWND w : ThreadTopLevelWindows()) {
        if (std::find(before.begin(), before.end(), w) != before.end() || ClassNameOf(w) == L"IME") continue;
        added.push_back(w);
        names += ClassNameOf(w) + L" ";
    }
    ASSERT_EQ(added.size(), 2u) << std::string(names.begin(), names.end());
    EXPECT_TRUE(std::find(added.begin(), added.end(), window) != added.end());
    EXPECT_TRUE(std::find(added.begin(), added.end(), owner) != added.end());

    EXPECT_EQ(::GetWindow(window, GW_OWNER), owner);
    EXPECT_EQ(ClassNameOf(owner), L"ToolkitOwnedClass_SHARDOW");
    EXPECT_EQ(WindowText(owner), L"ツールキット試験_SHARDOW");
    // The hidden owner is not bound to any object.
    EXPECT_EQ(::GetWindowLongPtrW(owner, GWLP_USERDATA), 0);

    ::ShowWindow(window, SW_SHOW);
    PumpMessagesFor(200);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_FALSE(::IsWindowVisible(owner));
    EXPECT_EQ(::GetWindowLongPtrW(owner, GWL_STYLE) & WS_VISIBLE, 0);

    // An owned pop-up's GetParent is its owner, yet SetSize moves it in screen coordinates: it
    // is no child. The owner stands away from (0, 0), so a conversion would show.
    ::SetWindowPos(owner, nullptr, 50, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowLongPtrW(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
    ::SetWindowPos(window, nullptr, 210, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    ASSERT_EQ(::GetParent(window), owner);
    object.SetSize(333, 222, true);
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 210);
    EXPECT_EQ(rect.top, 160);
    EXPECT_EQ(rect.right - rect.left, 333);
    EXPECT_EQ(rect.bottom - rect.top, 222);

    // The hidden owner goes with the real window, so repeated windows do not pile up owners.
    ::DestroyWindow(window);
    EXPECT_FALSE(::IsWindow(owner));
    EXPECT_EQ(object.ShadowOwner(), nullptr);
    TakeQuitCode();
}

TEST(MainWindow, SecondCreateOfOneClassRegistersNothingNewAndStillWorks) {
    RecordingWindow first(L"ToolkitSharedClass", false);
    RecordingWindow second(L"ToolkitSharedClass", false);
    HWND a = first.Create();
    ASSERT_NE(a, nullptr);
    // Registering again would fail with ERROR_CLASS_ALREADY_EXISTS; Create must find the class.
    HWND b = second.Create();
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(second.createCalls, 1);
    ::DestroyWindow(a);
    ::DestroyWindow(b);
    TakeQuitCode();
}

TEST(MainWindow, FailedCreationGivesNull) {
    RecordingWindow object(L"ToolkitFailClass", false);
    object.UseParent(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ff0dead)));  // no such window
    EXPECT_EQ(object.Create(), nullptr);
    EXPECT_EQ(object.Window(), nullptr);
    EXPECT_EQ(object.createCalls, 0);
}

TEST(MainWindow, ObjectGoneFirstLeavesWindowToDefaultHandling) {
    HWND window = nullptr;
    {
        RecordingWindow object(L"ToolkitShortLivedClass", false);
        window = object.Create();
        ASSERT_NE(window, nullptr);
    }
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_USERDATA), 0);
    TakeQuitCode();
    ::DestroyWindow(window);  // must not reach the destroyed object
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(TakeQuitCode(), -1);
}

namespace {

class TestDialog : public SubClassDialogBase_CL {
public:
    using Handler = std::function<INT_PTR(TestDialog&, HWND, UINT, WPARAM, LPARAM)>;

    INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (Window() != window) ++unboundCalls;
        messages.push_back(message);
        if (message == WM_INITDIALOG) {
            dcAtInit = Dc();
            fontAtInit = Font();
        }
        if (message == WM_SETFONT) fontSent = reinterpret_cast<HFONT>(wParam);
        if (handler) return handler(*this, window, message, wParam, lParam);
        return SubClassDialogBase_CL::DialogProc(window, message, wParam, lParam);
    }

    Handler handler;
    ControlFactory_CL factory;
    std::vector<UINT> messages;
    int unboundCalls = 0;
    HDC dcAtInit = nullptr;
    HFONT fontAtInit = nullptr;
    HFONT fontSent = nullptr;
};

// Builds a button pair at WM_INITDIALOG and clicks one of them; WM_COMMAND ends the dialog
// with 1 for the accept id and 2 for the cancel id.
TestDialog::Handler ClickButton(int whichId) {
    return [whichId](TestDialog& dialog, HWND window, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG: {
            ::SetWindowTextW(window, L"試験ダイアログ");
            ::SetWindowPos(window, nullptr, 0, 0, 360, 160, SWP_NOMOVE | SWP_NOZORDER);
            const int accept = dialog.factory.CreateButtonPair(window, L"OK", L"キャンセル");
            HWND button = dialog.factory.Control(whichId == ControlFactory_CL::kAcceptId ? accept : accept + 1)->Window();
            // The click is queued, so the dialog ends before its loop would first show it.
            ::PostMessageW(button, BM_CLICK, 0, 0);
            return 1;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == ControlFactory_CL::kAcceptId) ::EndDialog(window, 1);
            if (LOWORD(wParam) == ControlFactory_CL::kCancelId) ::EndDialog(window, 2);
            return 1;
        case WM_CLOSE:
            ::EndDialog(window, 0);
            return 0;
        }
        return 0;
    };
}

bool OnlyZeroFrom(const unsigned char* bytes, size_t from) {
    for (size_t i = from; i < kTemplateBytes; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

}  // namespace

TEST(ModalDialog, TemplateIsOneZeroFilledHeaderOnly) {
    TestDialog dialog;
    const DLGTEMPLATE* first = dialog.BuildTemplate();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(first) % sizeof(DWORD), 0u);
    // Scribble over it: the next build must clear all 1024 bytes again, in the same buffer.
    std::memset(const_cast<DLGTEMPLATE*>(first), 0xAB, kTemplateBytes);
    const DLGTEMPLATE* second = dialog.BuildTemplate();
    EXPECT_EQ(first, second);
    const auto* bytes = reinterpret_cast<const unsigned char*>(second);
    EXPECT_EQ(second->style, SubClassDialogBase_CL::kDefaultStyle);
    EXPECT_EQ(second->style & DS_SETFONT, 0u);
    EXPECT_EQ(second->dwExtendedStyle, 0u);
    EXPECT_EQ(second->cdit, 0);
    EXPECT_EQ(second->x, 0);
    EXPECT_EQ(second->y, 0);
    EXPECT_EQ(second->cx, 320);
    EXPECT_EQ(second->cy, 240);
    EXPECT_TRUE(OnlyZeroFrom(bytes, 18)) << "menu, class and title words and everything after are 0";
}

TEST(ModalDialog, EndsWithHandlersValueAndRunsTwiceOnOneObject) {
    HWND reference = CreatePlainWindow(L"持ち主", 640, 480, 100, 100, kHiddenPopup);
    ASSERT_NE(reference, nullptr);
    HighObject<TestDialog> dialog;
    ASSERT_TRUE(AboveFourGigabytes(dialog.Get()));
    HWND target = nullptr;
    dialog->SetHandleTarget(&target);
    const DLGTEMPLATE* templateBefore = dialog->BuildTemplate();

    dialog->handler = ClickButton(ControlFactory_CL::kAcceptId);
    EXPECT_EQ(dialog->DoModal(nullptr, L"unused", reference), 1);
    const HWND firstWindow = target;
    EXPECT_NE(firstWindow, nullptr);
    EXPECT_EQ(dialog->Owner(), reference);
    EXPECT_EQ(dialog->unboundCalls, 0);
    ASSERT_FALSE(dialog->messages.empty());
    // The object first hears from its dialog at binding time: the WM_SETFONT that binding sends,
    // then WM_INITDIALOG.
    EXPECT_EQ(dialog->messages[0], static_cast<UINT>(WM_SETFONT));
    ASSERT_GE(dialog->messages.size(), 2u);
    EXPECT_EQ(dialog->messages[1], static_cast<UINT>(WM_INITDIALOG));
    EXPECT_NE(dialog->dcAtInit, nullptr);
    EXPECT_EQ(dialog->fontAtInit, ::GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(dialog->fontSent, ::GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(dialog->Dc(), nullptr) << "the DC goes back at WM_DESTROY";
    EXPECT_TRUE(Contains(dialog->messages, WM_DESTROY));
    EXPECT_FALSE(::IsWindow(firstWindow));

    // Second run on the same object, cancel this time: it builds its template anew in the same
    // buffer, as its dialog sees when it starts.
    std::memset(const_cast<DLGTEMPLATE*>(templateBefore), 0xAB, kTemplateBytes);
    dialog->messages.clear();
    target = nullptr;
    bool rebuiltAtInit = false;
    const TestDialog::Handler cancel = ClickButton(ControlFactory_CL::kCancelId);
    dialog->handler = [&](TestDialog& self, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG)
            rebuiltAtInit = templateBefore->cx == 320 && templateBefore->cy == 240 &&
                            OnlyZeroFrom(reinterpret_cast<const unsigned char*>(templateBefore), 18);
        return cancel(self, window, message, wParam, lParam);
    };
    EXPECT_EQ(dialog->DoModal(nullptr, L"unused", reference), 2);
    EXPECT_NE(target, nullptr);
    EXPECT_EQ(dialog->unboundCalls, 0);
    EXPECT_TRUE(rebuiltAtInit);
    ::DestroyWindow(reference);
}

TEST(ModalDialog, DefaultProcedureShowsAndEndsWithZeroOnClose) {
    SubClassDialogBase_CL dialog;
    HWND window = nullptr;
    dialog.SetHandleTarget(&window);
    bool visibleBeforeClose = false;
    // A thread timer runs inside the dialog's own modal loop.
    static bool* visible = nullptr;
    static HWND* dialogWindow = nullptr;
    visible = &visibleBeforeClose;
    dialogWindow = &window;
    const UINT_PTR closer = ::SetTimer(nullptr, 0, 150, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (!*dialogWindow) return;
        ::KillTimer(nullptr, id);
        *visible = ::IsWindowVisible(*dialogWindow) != FALSE;
        ::PostMessageW(*dialogWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(dialog.DoModal(nullptr, nullptr, nullptr), 0);
    ::KillTimer(nullptr, closer);
    EXPECT_TRUE(visibleBeforeClose);
    EXPECT_NE(window, nullptr);
}

TEST(ModalDialog, MessagesBeforeInitDialogDoNotReachTheObject) {
    HWND window = CreatePlainWindow(L"仮の窓", 200, 100, 0, 0, kHiddenPopup);
    ASSERT_NE(window, nullptr);
    TestDialog dialog;
    dialog.handler = [](TestDialog&, HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; };
    HWND target = nullptr;
    dialog.SetHandleTarget(&target);
    // Not bound yet: these are answered FALSE without the object.
    EXPECT_EQ(SubClassDialogBase_CL::StaticDialogProc(window, WM_SETFONT, 0, 0), FALSE);
    EXPECT_EQ(SubClassDialogBase_CL::StaticDialogProc(window, WM_NCCREATE, 0, 0), FALSE);
    EXPECT_EQ(SubClassDialogBase_CL::StaticDialogProc(window, WM_INITDIALOG, 0, 0), FALSE);  // no object given
    EXPECT_TRUE(dialog.messages.empty());
    EXPECT_EQ(dialog.Window(), nullptr);

    // WM_INITDIALOG with the object binds it; later messages route to it.
    EXPECT_EQ(SubClassDialogBase_CL::StaticDialogProc(window, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog)), 1);
    EXPECT_EQ(dialog.Window(), window);
    EXPECT_EQ(target, window);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&dialog));
    EXPECT_TRUE(Contains(dialog.messages, WM_INITDIALOG));
    EXPECT_NE(dialog.Dc(), nullptr);
    const size_t seen = dialog.messages.size();
    SubClassDialogBase_CL::StaticDialogProc(window, WM_USER + 5, 0, 0);
    ASSERT_EQ(dialog.messages.size(), seen + 1);
    EXPECT_EQ(dialog.messages.back(), static_cast<UINT>(WM_USER + 5));
    SubClassDialogBase_CL::StaticDialogProc(window, WM_DESTROY, 0, 0);
    EXPECT_EQ(dialog.Dc(), nullptr);
    SubClassDialogBase_CL::StaticDialogProc(window, WM_NCDESTROY, 0, 0);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_USERDATA), 0);
    ::DestroyWindow(window);
}

TEST(DialogPlacement, CenterWindowOverUsesClientSizeAndMinimisedFallsBackToScreen) {
    HWND reference = CreatePlainWindow(L"基準", 600, 400, 120, 90, kHiddenPopup);
    ASSERT_NE(reference, nullptr);
    HWND popup = ::CreateWindowExW(0, L"ToolkitTestParent", L"中央", WS_POPUP | WS_DLGFRAME, 0, 0, 300, 200, reference,
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(popup, nullptr);

    // Reference (120, 90)-(720, 490); the popup's client 294 x 194 inside its 3-pixel frame.
    RECT client = {};
    ::GetClientRect(popup, &client);
    ASSERT_EQ(client.right, 294);
    ASSERT_EQ(client.bottom, 194);
    CenterWindowOver(reference, popup);
    RECT rect = {};
    ::GetWindowRect(popup, &rect);
    EXPECT_EQ(rect.left, 273);  // 120 + (600 - 294) / 2
    EXPECT_EQ(rect.top, 193);   // 90 + (400 - 194) / 2
    EXPECT_EQ(rect.right - rect.left, 300) << "only the position changes";
    EXPECT_EQ(::GetWindow(popup, GW_OWNER), reference) << "the owner stays";

    // Created minimised (WS_MINIMIZE) rather than shown and minimised: nothing is mapped.
    HWND minimised = CreatePlainWindow(L"最小化", 600, 400, 120, 90, kHiddenPopup | WS_MINIMIZE);
    ASSERT_TRUE(::IsIconic(minimised));
    CenterWindowOver(minimised, popup);
    ::GetWindowRect(popup, &rect);
    // The test display's full-screen area (SM_CXFULLSCREEN x SM_CYFULLSCREEN) is 1280 x 1035.
    EXPECT_EQ(rect.left, 493);  // (1280 - 294) / 2
    EXPECT_EQ(rect.top, 420);   // (1035 - 194) / 2

    CenterWindowOver(reference, nullptr);  // nothing to move, nothing happens
    ::DestroyWindow(popup);
    ::DestroyWindow(minimised);
    ::DestroyWindow(reference);
}

TEST(DialogPlacement, CentringArithmeticRoundsTowardZero) {
    struct Case {
        RECT reference;
        int width, height;
        POINT expected;
    } cases[] = {
        {{100, 50, 700, 450}, 300, 200, {250, 150}},
        {{0, 0, 1280, 1024}, 301, 201, {489, 411}},
        {{-500, -300, -100, -100}, 401, 201, {-500, -300}},  // -1 / 2 is 0, not -1
    };
    for (const Case& c : cases) {
        const POINT at = CenterInRect(c.reference, c.width, c.height);
        EXPECT_EQ(at.x, c.expected.x);
        EXPECT_EQ(at.y, c.expected.y);
    }
    // Sheet S (100, 100)-(400, 300) over parent P (0, 0)-(801, 601).
    const POINT sheet = CenterSheetOver(RECT{100, 100, 400, 300}, RECT{0, 0, 801, 601});
    EXPECT_EQ(sheet.x, 250);  // 501 / 2
    EXPECT_EQ(sheet.y, 200);  // 401 / 2
    const POINT negative = CenterSheetOver(RECT{0, 0, 301, 201}, RECT{-600, -400, 0, 0});
    EXPECT_EQ(negative.x, -450);  // -901 / 2 = -450
    EXPECT_EQ(negative.y, -300);  // -601 / 2 = -300
}

namespace {
class RecordingPage : public SubClassDialogBase_CL {
public:
    INT_PTR DialogProc(HWND window, UINT message, WPARAM, LPARAM) override {
        if (message == WM_INITDIALOG) {
            pageWindow = window;
            factory.CreateStaticText(window, L"ページの文字", 8, 8);
            return 1;
        }
        return 0;
    }
    HWND pageWindow = nullptr;
    ControlFactory_CL factory;
};

// The sheet's centre on the parent's: left + right is the parent's left + right, or one less
// where the halving rounds down.
bool CenteredOver(HWND sheet, int parentLeftPlusRight, int parentTopPlusBottom) {
    RECT s = {};
    ::GetWindowRect(sheet, &s);
    const int x = s.left + s.right;
    const int y = s.top + s.bottom;
    return (x == parentLeftPlusRight || x == parentLeftPlusRight - 1) &&
           (y == parentTopPlusBottom || y == parentTopPlusBottom - 1);
}
}  // namespace

TEST(PropSheet, CallbackSubclassesAndRecentresOnEveryShowAndHide) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    HWND parent = CreatePlainWindow(L"シートの親", 700, 560, 60, 40);
    ASSERT_NE(parent, nullptr);
    HighObject<RecordingPage> page;
    HWND frame = nullptr;
    page->SetHandleTarget(&frame);
    page->SetStyle(SubClassDialogBase_CL::kDefaultStyle);

    PROPSHEETPAGEW pageInfo = {};
    pageInfo.dwSize = sizeof(pageInfo);
    pageInfo.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    pageInfo.hInstance = ::GetModuleHandleW(nullptr);
    pageInfo.pResource = page->BuildTemplate();
    pageInfo.pszTitle = L"設定";
    pageInfo.pfnDlgProc = SubClassDialogBase_CL::StaticPageProc;
    pageInfo.lParam = reinterpret_cast<LPARAM>(page.Get());
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_MODELESS | PSH_NOAPPLYNOW;
    header.hwndParent = parent;
    header.hInstance = ::GetModuleHandleW(nullptr);
    header.pszCaption = L"シート";
    header.nPages = 1;
    header.ppsp = &pageInfo;
    header.pfnCallback = PropSheetCallback;
    HWND sheet = reinterpret_cast<HWND>(::PropertySheetW(&header));
    ASSERT_NE(sheet, nullptr);
    PumpMessagesFor(200);

    // The page is bound; its handle target got the sheet frame, the page's parent.
    ASSERT_NE(page->pageWindow, nullptr);
    EXPECT_EQ(page->Window(), page->pageWindow);
    EXPECT_EQ(frame, sheet);
    EXPECT_EQ(::GetParent(page->pageWindow), sheet);
    // Both slots hold full 64-bit code addresses (the executable lies above 4 GB on x64).
    EXPECT_EQ(::GetWindowLongPtrW(sheet, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(PropSheetSubclassProc));
    EXPECT_TRUE(AboveFourGigabytes(reinterpret_cast<void*>(PropSheetSubclassProc)));
    EXPECT_NE(::GetWindowLongPtrW(sheet, GWLP_USERDATA), 0);

    ::ShowWindow(sheet, SW_SHOW);
    PumpMessagesFor(100);
    EXPECT_TRUE(CenteredOver(sheet, 60 + 760, 40 + 600));

    // Hidden: re-centred over the parent's new place, too.
    ::SetWindowPos(parent, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(sheet, SW_HIDE);
    EXPECT_TRUE(CenteredOver(sheet, 300 + 1000, 200 + 760));
    ::SetWindowPos(parent, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(sheet, SW_SHOW);
    EXPECT_TRUE(CenteredOver(sheet, 20 + 720, 30 + 590));
    // Other messages still reach the sheet's own procedure.
    EXPECT_EQ(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0), reinterpret_cast<LRESULT>(page->pageWindow));

    ::DestroyWindow(sheet);
    ::DestroyWindow(parent);
}

TEST(Screenshot, DialogWithControls) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    TestDialog dialog;
    static bool saved = false;
    static RECT client, accept, cancel;
    static int acceptIndex = -1;
    saved = false;
    dialog.handler = [](TestDialog& self, HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            ::SetWindowTextW(window, L"ツールキットの部品");
            ::SetWindowPos(window, nullptr, 200, 150, 440, 330, SWP_NOZORDER);
            ControlFactory_CL& f = self.factory;
            f.CreateStaticText(window, L"監視するプログラムを選んでください。\n選んだものが動いている間はスリープしません。", 8, 8);
            // The frame comes after what it frames, so it lies below it in the z-order.
            const int check = f.CreateCheckBox(window, L"毎日アップデートを確認する", 62);
            f.At<CheckBox_CL>(check)->SetCheck(BST_CHECKED);
            const int second = f.CreateCheckBox(window, L"起動時にウィンドウを隠す", 80);
            const int box = f.CreateGroupBox(window, L"オプション", 300, 20, 44);
            GroupBox_CL* frame = f.At<GroupBox_CL>(box);
            frame->GrowToContain(*f.Control(check));
            frame->GrowToContain(*f.Control(second));
            frame->SetSize(frame->NeededWidth() + 8, frame->NeededHeight() + 4, true);
            const int list = f.CreateListView(window, 408, 140, 8, 112);
            ListView_CL* view = f.At<ListView_CL>(list);
            view->InsertColumn(L"ファイル名", 140, LVCFMT_LEFT);
            view->InsertColumn(L"パス", 260, LVCFMT_LEFT);
            view->SetItemText(L"notepad.exe", 0, 0, -1, 0);
            view->SetItemText(L"C:\\windows\\system32\\notepad.exe", 0, 1, -1, 0);
            view->SetItemText(L"メモ帳2.exe", 1, 0, -1, 0);
            view->SetItemText(L"C:\\ツール\\メモ帳2.exe", 1, 1, -1, 0);
            acceptIndex = f.CreateButtonPair(window, L"OK", L"キャンセル");
            ::ShowWindow(window, SW_SHOW);
            ::SetTimer(window, 1, 400, nullptr);
            return 1;
        }
        if (message == WM_TIMER) {
            ::KillTimer(window, 1);
            ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            saved = SaveWindowScreenshot(window, L"toolkit_dialog.png");
            ::GetClientRect(window, &client);
            accept = RectInParent(self.factory.Control(acceptIndex)->Window());
            cancel = RectInParent(self.factory.Control(acceptIndex + 1)->Window());
            ::EndDialog(window, 1);
            return 1;
        }
        return 0;
    };
    EXPECT_EQ(dialog.DoModal(nullptr, nullptr, nullptr), 1);
    EXPECT_TRUE(saved);
    // The pair sits in the bottom-right corner of the client area, cancel right of accept.
    EXPECT_EQ(cancel.right, client.right - 4);
    EXPECT_EQ(cancel.bottom, client.bottom - 4);
    EXPECT_EQ(accept.right, cancel.left - 4);
    EXPECT_EQ(accept.top, cancel.top);
}
