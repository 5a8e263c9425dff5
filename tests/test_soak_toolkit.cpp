// Builds and tears down the toolkit's windows, dialogs, controls, fonts, menus with image lists
// and back buffers many times over. Wine keeps about 65,000 GDI and 32,700 USER objects per
// process and its GetGuiResources is a stub, so the proof is twofold: more objects are created
// in total than either table holds, and the free room of both tables, measured by filling them,
// is the same after the rounds as before.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>
#include <vector>

#include "comlib/window/back_buffer.h"
#include "comlib/window/control_factory.h"
#include "comlib/window/dialog_base.h"
#include "comlib/window/high_dpi.h"
#include "comlib/window/main_window_base.h"
#include "comlib/window/popup_menu.h"
#include "tests/test_helpers.h"
#include "tests/toolkit_test_support.h"

using namespace toolkit_test;

namespace {

// Every round builds a full control set on a child panel (8 child windows with the list view's
// header, the panel itself, 21 fonts), an owner-drawn menu with its image list (1 menu; the loaded
// strip, the list's image and mask bitmaps, a DC and a bitmap to draw into) and a back buffer
// with its HBITMAP: at least 10 USER and 27 GDI objects. Every 4th round adds a main window with
// its hidden owner and controls and a modal dialog with controls (15 USER, 25 GDI more). 2,600
// rounds are over 35,000 USER and 70,000 GDI objects.
constexpr int kRounds = 2600;
constexpr int kFullRoundEvery = 4;
// Wine's own caches may take a few handles on the way; a leak of one object per full round
// would show as hundreds.
constexpr int kSlack = 64;

// The control set of the main window: list, frame, texts, buttons, each font set three times
// (every later call replaces, and must delete, the font before it).
bool BuildControls(HWND parent, ControlFactory_CL& factory) {
    factory.CreateStaticText(parent, L"スリープ禁止中", 8, 8);
    factory.CreateButton(parent, L"追加");
    factory.CreateCheckBox(parent, L"毎日確認する", 40);
    const int list = factory.CreateListView(parent, 320, 240, 0, 60);
    factory.CreateGroupBox(parent, L"", 320, 240, 0);
    factory.CreateButtonPair(parent, L"OK", L"キャンセル");
    const float scales[] = {1.5f, 1.2f, 1.0f};
    const int weights[] = {600, 400, 400};
    for (int pass = 0; pass < 3; ++pass)
        for (int i = 0; i < factory.Count(); ++i) factory.Control(i)->SetFont(scales[pass], weights[pass]);
    ListView_CL* view = factory.At<ListView_CL>(list);
    view->InsertColumn(L"スリープを抑止するプロセス", 300, LVCFMT_LEFT);
    view->SetItemText(L"notepad.exe", 0, 0, -1, 0);
    view->SetItemText(L"calc.exe", 1, 0, -1, 0);
    if (factory.Count() != 7) return false;
    for (int i = 0; i < factory.Count(); ++i)
        if (!factory.Control(i)->Window() || !factory.Control(i)->OwnsFont()) return false;
    return true;
}

class SoakWindow : public MainWindowBase_CL {
public:
    SoakWindow() {
        SetClassName(L"ToolkitSoakWindow");
        SetWindowName(L"DormiGuard");
        SetHiddenOwner(true);
        SetInitialSize(480, 470);
    }
    void OnCreate(CREATESTRUCTW*) override { built = BuildControls(Window(), factory); }
    ControlFactory_CL factory;
    bool built = false;
};

// The controls on a child panel that goes with them.
bool PanelRound(HWND host) {
    HWND panel = ::CreateWindowExW(0, L"ToolkitTestParent", L"", WS_CHILD, 0, 0, 480, 470, host, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    if (!panel) return false;
    ControlFactory_CL factory;
    const bool built = BuildControls(panel, factory);
    ::DestroyWindow(panel);
    return built;
}

class SoakDialog : public SubClassDialogBase_CL {
public:
    INT_PTR DialogProc(HWND window, UINT message, WPARAM, LPARAM) override {
        if (message != WM_INITDIALOG) return 0;
        factory.CreateStaticText(window, L"新しいバージョンがあります。", 8, 8);
        factory.CreateCheckBox(window, L"通知しない", 40);
        factory.CreateButtonPair(window, L"OK", L"キャンセル");
        built = factory.Count() == 4;
        for (int i = 0; i < factory.Count(); ++i) {
            factory.Control(i)->SetFont(1.2f, 400);
            built = built && factory.Control(i)->Window() && factory.Control(i)->OwnsFont();
        }
        built = built && Dc() != nullptr;
        // Ended before its loop first shows it: a window that was never mapped goes away at once.
        ::EndDialog(window, 1);
        return 1;
    }
    ControlFactory_CL factory;
    bool built = false;
};

bool MenuRound(HWND owner, const std::wstring& strip) {
    ImageList_CL images;
    if (!images.LoadBitmapStrip(strip, 24)) return false;
    PopupMenu_CL menu;
    if (!menu.CreatePopup()) return false;
    menu.SetImageList(images.Get());
    menu.AppendItem(122, L"プロセスを追加\tIns", 0);
    menu.AppendSeparator();
    menu.AppendItem(123, L"削除\tDel", 1);
    const int quit = menu.AppendItem(129, L"終了", 3);
    menu.DisableItem(quit);

    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    measure.itemID = 122;
    measure.itemData = reinterpret_cast<ULONG_PTR>(&menu);
    OnMenuOwnerDraw(owner, WM_MEASUREITEM, reinterpret_cast<LPARAM>(&measure));

    WindowDc screen(nullptr);
    UniqueMemoryDc dc(::CreateCompatibleDC(screen.Get()));
    UniqueBitmap canvas(::CreateCompatibleBitmap(screen.Get(), 200, 78));
    if (!dc || !canvas) return false;
    SelectedObject selected(dc.Get(), canvas.Get());
    // Each item in its own band: image i of the strip at the band's top-left.
    const UINT ids[] = {122, 123, 129};
    const int imagesOf[] = {0, 1, 3};
    bool drawn = true;
    for (int i = 0; i < 3; ++i) {
        DRAWITEMSTRUCT draw = {};
        draw.CtlType = ODT_MENU;
        draw.itemID = ids[i];
        draw.itemState = ids[i] == 123 ? ODS_SELECTED : 0;
        draw.hDC = dc.Get();
        draw.rcItem = RECT{0, 26 * i, 200, 26 * i + 26};
        draw.itemData = reinterpret_cast<ULONG_PTR>(&menu);
        OnMenuOwnerDraw(owner, WM_DRAWITEM, reinterpret_cast<LPARAM>(&draw));
        drawn = drawn && ::GetPixel(dc.Get(), 12, 26 * i + 12) == CellColor(imagesOf[i]);
    }
    return measure.itemWidth > 0 && drawn;
}

bool BackBufferRound() {
    BackBuffer_CL buffer;
    if (!buffer.Resize(480, 470) || !buffer.Resize(480, 470) || !buffer.Resize(500, 400)) return false;
    HBITMAP converted = nullptr;
    if (Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(buffer.Bitmap(), &converted, 0xFF000000) != Gdiplus::Ok)
        return false;
    UniqueBitmap owned(converted);
    return owned.IsValid();
}

struct RoundResult {
    bool controls = false;
    bool window = false;
    bool dialog = false;
    bool menu = false;
    bool backBuffer = false;
    bool dpi = false;
    bool All() const { return controls && window && dialog && menu && backBuffer && dpi; }
    std::string Describe() const {
        return std::string("controls ") + (controls ? "ok" : "FAILED") + ", window " + (window ? "ok" : "FAILED") + ", dialog " + (dialog ? "ok" : "FAILED") +
               ", menu " + (menu ? "ok" : "FAILED") + ", back buffer " + (backBuffer ? "ok" : "FAILED") + ", dpi " +
               (dpi ? "ok" : "FAILED");
    }
};

RoundResult Round(int round, HWND host, const std::wstring& strip) {
    RoundResult result;
    result.controls = PanelRound(host);
    result.window = result.dialog = true;
    if (round % kFullRoundEvery == 0) {
        {
            SoakWindow window;
            HWND created = window.Create();
            result.window = created && window.built && window.ShadowOwner();
            if (created) ::DestroyWindow(created);
            result.window = result.window && !window.ShadowOwner();  // the hidden owner went with it
            DrainQuit();  // WM_DESTROY of a main window posts the quit message
        }
        SoakDialog dialog;
        result.dialog = dialog.DoModal(nullptr, nullptr, nullptr) == 1 && dialog.built && dialog.Dc() == nullptr;
    }
    result.menu = MenuRound(host, strip);
    result.backBuffer = BackBufferRound();
    HighDpiHelper_CL dpi;
    dpi.Query();
    result.dpi = dpi.ScaleX(360) == 360 && dpi.ScaleY(160) == 160;  // the test display's 96 DPI
    return result;
}

// Free room in the GDI table: fonts created until creation fails, then deleted again.
int GdiHeadroom() {
    LOGFONTW font = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    std::vector<HFONT> fonts;
    fonts.reserve(70000);
    while (fonts.size() < 70000) {
        HFONT made = ::CreateFontIndirectW(&font);
        if (!made) break;
        fonts.push_back(made);
    }
    for (HFONT made : fonts) ::DeleteObject(made);
    return static_cast<int>(fonts.size());
}

// Free room in the USER table: menus created until creation fails, then destroyed again.
int UserHeadroom() {
    std::vector<HMENU> menus;
    menus.reserve(40000);
    while (menus.size() < 40000) {
        HMENU made = ::CreatePopupMenu();
        if (!made) break;
        menus.push_back(made);
    }
    for (HMENU made : menus) ::DestroyMenu(made);
    return static_cast<int>(menus.size());
}

}  // namespace

TEST(SoakToolkit, ManyRoundsOfEveryPieceLeaveTheHandleTablesAsTheyWere) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    const std::wstring strip = TempFolder(L"dg_toolkit_soak") + L"\\menu_image.bmp";
    WriteStripBitmap(strip, 4);
    // Holds the panels and owns the menus; never shown.
    HWND host = CreatePlainWindow(L"土台", 480, 470, 0, 0, WS_POPUP | WS_CLIPCHILDREN);
    ASSERT_NE(host, nullptr);

    // Warm up Wine's lazily built caches before the first measurement.
    for (int i = 0; i < 20; ++i) {
        const RoundResult warmUp = Round(i, host, strip);
        ASSERT_TRUE(warmUp.All()) << warmUp.Describe();
    }
    const int gdiBefore = GdiHeadroom();
    const int userBefore = UserHeadroom();
    ASSERT_GT(gdiBefore, 60000);
    ASSERT_GT(userBefore, 30000);

    int failures = 0;
    RoundResult firstFailure;
    int firstFailureRound = -1;
    const ULONGLONG start = ::GetTickCount64();
    for (int round = 0; round < kRounds; ++round) {
        const RoundResult result = Round(round, host, strip);
        if (!result.All()) {
            if (failures++ == 0) {
                firstFailure = result;
                firstFailureRound = round;
            }
        }
    }
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_EQ(failures, 0) << "first failure in round " << firstFailureRound << ": " << firstFailure.Describe();

    const int gdiAfter = GdiHeadroom();
    const int userAfter = UserHeadroom();
    EXPECT_GE(gdiAfter, gdiBefore - kSlack) << "GDI objects leaked";
    EXPECT_GE(userAfter, userBefore - kSlack) << "USER objects leaked";
    // And everything still works at the end.
    const RoundResult last = Round(0, host, strip);
    EXPECT_TRUE(last.All()) << last.Describe();
    std::printf("%d rounds in %llu ms; GDI room %d -> %d, USER room %d -> %d\n", kRounds, elapsed, gdiBefore, gdiAfter,
                userBefore, userAfter);

    ::DestroyWindow(host);
    Gdiplus::GdiplusShutdown(token);
}
