// The main window's rules: layout in units of one "Ｗ", the minimum size, the show modes.
#include <gtest/gtest.h>
#include <windows.h>

#include "comlib/gdiplus_owners.h"
#include "data/save_data.h"
#include "tests/test_helpers.h"
#include "view/main_window/main_dialog.h"
#include "view/main_window/state_band.h"
#include "view/main_window/main_layout.h"
#include "view/texts/ui_texts.h"
#include "comlib/window/ui_font.h"
#include <cwchar>

#include <algorithm>
#include <string>
#include <vector>

using namespace main_layout;

TEST(MainLayout, ControlsInUnitsOfOneCharacter) {
    // A 480 x 470 client area with a "Ｗ" of 12 x 13.
    const ControlRects r = LayoutControls(480, 470, 12, 13, 96);
    EXPECT_EQ(r.groupBoxAt.x, 6);
    EXPECT_EQ(r.groupBoxAt.y, 6);
    EXPECT_EQ(r.groupBoxSize.cx, 468);
    EXPECT_EQ(r.groupBoxSize.cy, 470 - 13 - 150);
    EXPECT_EQ(r.listAt.x, 18);
    EXPECT_EQ(r.listAt.y, 19);
    EXPECT_EQ(r.listSize.cx, 480 - 36);
    EXPECT_EQ(r.listSize.cy, 470 - 39 - 150);
    // The list sits one character inside the box at the left, right, top and bottom.
    EXPECT_EQ(r.listAt.x - r.groupBoxAt.x, 12);
    EXPECT_EQ((r.groupBoxAt.x + r.groupBoxSize.cx) - (r.listAt.x + r.listSize.cx), 12);
    EXPECT_EQ((r.groupBoxAt.y + r.groupBoxSize.cy) - (r.listAt.y + r.listSize.cy), 13);
}

TEST(MainLayout, StateFrameTouchesTheBandAndEndsOneCharacterAboveTheBottom) {
    const FloatRect frame = StateFrame(600, 500, 12, 96);
    EXPECT_FLOAT_EQ(frame.x, 12.0f);
    EXPECT_FLOAT_EQ(frame.y, 350.0f);
    EXPECT_FLOAT_EQ(frame.width, 576.0f);
    EXPECT_FLOAT_EQ(frame.y + frame.height, 500.0f - 12.0f);
    // The text stays clear of the 16-pixel corners and the 3-pixel pen.
    const FloatRect text = StateTextArea(600, 500, 12, 96, false);
    EXPECT_FLOAT_EQ(text.x, 28.0f);
    EXPECT_FLOAT_EQ(text.y, 353.0f);
    EXPECT_FLOAT_EQ(text.width, 544.0f);
    EXPECT_FLOAT_EQ(text.height, 132.0f);
    EXPECT_FLOAT_EQ(StateTextArea(600, 500, 12, 96, true).height, 89.0f) << "above the reason line at 92";
    // At 144 DPI the band is 225 high, corners 24, pen 4.5; the "Ｗ" comes scaled already.
    const FloatRect big = StateFrame(900, 750, 18, 144);
    EXPECT_FLOAT_EQ(big.y, 525.0f);
    EXPECT_FLOAT_EQ(big.height, 207.0f);
    const FloatRect bigText = StateTextArea(900, 750, 18, 144, false);
    EXPECT_FLOAT_EQ(bigText.x, 42.0f);
    EXPECT_FLOAT_EQ(bigText.width, 816.0f);
    EXPECT_FLOAT_EQ(bigText.height, 198.0f);
    EXPECT_FLOAT_EQ(ReasonLineArea(900, 750, 18, 144).y, 663.0f);
}

TEST(MainLayout, MinimumSizeMovesOnlyRightAndBottom) {
    struct Case {
        RECT proposed;
        int imageType;
        RECT expected;
        int dpi = 96;
    } cases[] = {
        {{10, 20, 200, 700}, 0, {10, 20, 490, 700}},  // narrower than 480, even dragging the left edge
        {{10, 20, 600, 300}, 0, {10, 20, 600, 490}},  // lower than 470
        {{10, 20, 600, 300}, 1, {10, 20, 600, 506}},  // koala pictures want 486
        {{10, 20, 600, 480}, 0, {10, 20, 600, 490}},  // 460 high
        {{10, 20, 600, 495}, 1, {10, 20, 600, 495}},  // 475 is accepted even with koalas
        {{10, 20, 490, 490}, 1, {10, 20, 490, 490}},  // exactly the minimum
        {{10, 20, 200, 300}, 0, {10, 20, 730, 725}, 144},  // 720 x 705 at 144 DPI
        {{10, 20, 600, 300}, 1, {10, 20, 730, 749}, 144},  // 729 with koalas
        {{10, 20, 200, 300}, 0, {10, 20, 970, 960}, 192},  // 960 x 940 at 192 DPI
    };
    for (const Case& c : cases) {
        RECT r = c.proposed;
        ApplyMinimumSize(r, c.imageType, c.dpi);
        EXPECT_TRUE(EqualRect(&r, &c.expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(MainLayout, ShowModes) {
    struct Case {
        int mode;
        int trayHidden;
        int expectedFlag;
        bool check;
    } cases[] = {
        {0, 1, 0, true},  {0, 0, 0, true},    // show
        {1, 0, 1, false}, {1, 1, 1, false},   // store in the tray
        {2, 1, 0, true},  {2, 0, 1, false},   // toggle
        {7, 0, 0, true},  {7, 1, 1, false},   // any other value keeps the flag
    };
    for (const Case& c : cases) {
        const ShowPlan plan = PlanShow(c.mode, c.trayHidden);
        EXPECT_EQ(plan.trayHidden, c.expectedFlag) << c.mode << "/" << c.trayHidden;
        EXPECT_EQ(plan.runCheck, c.check) << c.mode << "/" << c.trayHidden;
    }
    EXPECT_STREQ(StateText(0), L"スリープ禁止中");
    EXPECT_STREQ(StateText(1), L"スリープ許可中");
    EXPECT_EQ(StateColor(0, false), 0xFFFF0000u);
    EXPECT_EQ(StateColor(1, false), 0xFF0000FFu);
    // High contrast: the system's highlight and window text instead.
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF text = ::GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_EQ(StateColor(0, true), 0xFF000000u | (GetRValue(highlight) << 16) | (GetGValue(highlight) << 8) | GetBValue(highlight));
    EXPECT_EQ(StateColor(1, true), 0xFF000000u | (GetRValue(text) << 16) | (GetGValue(text) << 8) | GetBValue(text));
}

// In high contrast the band drops its fixed red for the system's highlight colour: no pixel of
// the red is left, and the highlight draws the words and the frame.
// The system colours of a black high-contrast scheme while the object lives (Wine cannot switch
// high contrast itself); the colours before come back afterwards.
class BlackContrastColours {
public:
    BlackContrastColours() {
        for (size_t i = 0; i < 3; ++i) before_[i] = ::GetSysColor(kElements[i]);
        const COLORREF scheme[3] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(26, 235, 255)};
        ::SetSysColors(3, kElements, scheme);
    }
    ~BlackContrastColours() { ::SetSysColors(3, kElements, before_); }

private:
    static constexpr INT kElements[3] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT};
    COLORREF before_[3] = {};
};

TEST(MainLayout, HighContrastBandDrawsInTheSystemColours) {
    StartGdiplusOnce();
    const BlackContrastColours scheme;
    for (const int state : {0, 1}) {
        for (const bool highContrast : {false, true}) {
            Gdiplus::GpBitmap* bitmap = nullptr;
            ASSERT_EQ(Gdiplus::DllExports::GdipCreateBitmapFromScan0(464, 412, 0, PixelFormat32bppRGB, nullptr, &bitmap),
                      Gdiplus::Ok);
            const UniqueGdiplusImage canvas(bitmap);
            ASSERT_TRUE(DrawStatePicture(bitmap, 464, 412, 12, 96, state, L"notepad.exe", highContrast));
            int fixed = 0;  // the band's own red or blue
            int system = 0;  // the scheme's highlight (prohibited) or text (allowed)
            int black = 0;
            for (UINT y = 0; y < 412; y += 2)
                for (UINT x = 0; x < 464; x += 2) {
                    Gdiplus::ARGB pixel = 0;
                    Gdiplus::DllExports::GdipBitmapGetPixel(bitmap, x, y, &pixel);
                    fixed += pixel == (state == 0 ? 0xFFFF0000u : 0xFF0000FFu);
                    system += pixel == (state == 0 ? 0xFF1AEBFFu : 0xFFFFFFFFu);
                    black += pixel == 0xFF000000u;
                }
            SCOPED_TRACE(testing::Message() << "state " << state << ", high contrast " << highContrast);
            EXPECT_GT(black, 464 * 412 / 8) << "the scheme's window colour";
            if (highContrast) {
                EXPECT_EQ(fixed, 0);
                EXPECT_GT(system, 200);
                if (state == 0) SaveScreenshotImage(bitmap, L"state_band_high_contrast.png");
            } else {
                EXPECT_GT(fixed, 200);
            }
        }
    }
}

// The state text at the size the band chose: measured again, it stands on one line inside the
// frame, at 96 and 144 DPI, in the narrowest window and a wide one, in both languages with the
// font each draws with; never above 48 points. A long file name in the reason line is cut with
// "…" where it is cut, the rest kept, to the band's width; a wide band shows it whole.
TEST(MainLayout, StateTextMeasuredToFitItsFrame) {
    using namespace Gdiplus;
    StartGdiplusOnce();
    UniqueGdiplusImage canvas;
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(DllExports::GdipCreateBitmapFromScan0(64, 64, 0, PixelFormat32bppRGB, nullptr, &bitmap), Ok);
    canvas.Reset(bitmap);
    UniqueGdiplusGraphics graphics;
    ASSERT_EQ(DllExports::GdipGetImageGraphicsContext(bitmap, graphics.Put()), Ok);
    struct Case {
        int dpi, clientWidth, clientHeight, charWidth;
        bool reason;
        float maxPixels;  // 48 points at this DPI
    } cases[] = {
        {96, 464, 412, 12, false, 64.0f},  {96, 464, 412, 12, true, 64.0f}, {96, 1200, 700, 12, false, 64.0f},
        {144, 704, 640, 18, false, 96.0f}, {144, 704, 640, 18, true, 96.0f}, {144, 1800, 900, 18, false, 96.0f},
    };
    struct Words {
        UiLanguage language;
        UiFontKind font;
        int state;
        const wchar_t *text, *reasonStart = nullptr, *reasonEnd = nullptr, *wholeReason = nullptr;
    } words[] = {
        {UiLanguage::Japanese, UiFontKind::DefaultGui, 0, L"スリープ禁止中", L"Nightly", L"…（PID 348）の終了まで",
         L"NightlyDatabaseBackupAgentService.exe（PID 348）の終了まで"},
        {UiLanguage::English, UiFontKind::SystemMessage, 0, L"Staying awake", L"Until Nightly", L"… (PID 348) ends",
         L"Until NightlyDatabaseBackupAgentService.exe (PID 348) ends"},
        {UiLanguage::Japanese, UiFontKind::DefaultGui, 1, L"スリープ許可中"},
        {UiLanguage::English, UiFontKind::SystemMessage, 1, L"Sleep allowed"},
    };
    AwakeReason reason;
    reason.kind = AwakeReason::Kind::HandedProcess;
    reason.fileName = L"NightlyDatabaseBackupAgentService.exe";
    reason.processId = 348;
    const UiLanguage before = CurrentUiLanguage();
    for (const Words& w : words) {
        SetUiLanguage(w.language);
        UseUiFontFor(w.font);
        ASSERT_STREQ(StateText(w.state), w.text);
        const INT characters = static_cast<INT>(wcslen(w.text));
        for (const Case& c : cases) {
            const FloatRect box = StateTextArea(c.clientWidth, c.clientHeight, c.charWidth, c.dpi, c.reason);
            const float size = FitStateText(graphics.Get(), w.text, box.width, box.height, c.maxPixels);
            EXPECT_LE(size, c.maxPixels);
            EXPECT_GT(size, c.maxPixels / 4.0f) << "not shrunk to nothing";
            const UniqueGdiplusFont font = CreateStateFont(size);
            ASSERT_TRUE(font);
            const RectF layout(box.x, box.y, box.width, box.height);
            RectF measured;
            INT fitted = 0;
            INT lines = 0;
            ASSERT_EQ(DllExports::GdipMeasureString(graphics.Get(), w.text, -1, font.Get(), &layout, nullptr,
                                                    &measured, &fitted, &lines),
                      Ok);
            const FloatRect frame = StateFrame(c.clientWidth, c.clientHeight, c.charWidth, c.dpi);
            const std::wstring where = std::wstring(w.text) + L" " + std::to_wstring(c.dpi) + L" " +
                                       std::to_wstring(c.clientWidth) + (c.reason ? L" reason" : L"");
            EXPECT_EQ(fitted, characters) << where << ": every character laid out";
            EXPECT_EQ(lines, 1) << where;
            EXPECT_LE(measured.Width, box.width + 0.5f) << where;
            EXPECT_GE(measured.Y, frame.y) << where;
            EXPECT_LE(measured.Y + measured.Height, frame.y + frame.height) << where;
            if (!c.reason || !w.reasonStart) continue;
            const auto line = FitReasonLine(graphics.Get(), reason, c.clientWidth, c.clientHeight, c.charWidth, c.dpi);
            EXPECT_EQ(line.rfind(w.reasonStart, 0), 0u) << line;
            EXPECT_EQ(line.find(w.reasonEnd), line.size() - wcslen(w.reasonEnd)) << line;
            const float pixels = ReasonLinePixels(graphics.Get(), c.clientWidth, c.clientHeight, c.charWidth, c.dpi);
            const RectF unbounded(0.0f, 0.0f, 100000.0f, 100000.0f);
            ASSERT_EQ(DllExports::GdipMeasureString(graphics.Get(), line.c_str(), -1, CreateStateFont(pixels).Get(),
                                                    &unbounded, nullptr, &measured, nullptr, nullptr), Ok);
            EXPECT_LE(measured.Width, ReasonLineArea(c.clientWidth, c.clientHeight, c.charWidth, c.dpi).width) << line;
            EXPECT_EQ(FitReasonLine(graphics.Get(), reason, 1800, c.clientHeight, c.charWidth, c.dpi), w.wholeReason);
        }
    }
    SetUiLanguage(before);
    UseUiFontFor(UiFontKind::DefaultGui);
}

namespace {
// Windows sends WM_DPICHANGED while the window is placed at a saved rectangle on a monitor of
// another DPI; Wine never does: this thread's hook sends it there, suggesting 1.5 times the size.
int g_dpiChanges = 0;
LRESULT CALLBACK SendDpiChangeWhilePlaced(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(call->lParam);
    if (code == HC_ACTION && call->message == WM_WINDOWPOSCHANGED && pos->cx == 720 && pos->cy == 705 &&
        !g_dpiChanges++) {
        RECT suggested = {pos->x, pos->y, pos->x + 1080, pos->y + 1057};
        ::SendMessageW(call->hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

// A rectangle saved at 144 DPI comes back at its saved size when WM_DPICHANGED arrives meanwhile.
TEST(MainWindow, BornAtItsSavedRectangle) {
    StartGdiplusOnce();
    const std::wstring ini = ResetDataFolder() + L"\\DormiGuard.ini";
    ::CreateDirectoryW(SaveData::DataFolder().c_str(), nullptr);
    RECT saved = {100, 80, 820, 785}, placed = {};
    ASSERT_TRUE(::WritePrivateProfileStructW(L"WINDOW", L"rect", &saved, sizeof(saved), ini.c_str()));
    ::WritePrivateProfileStringW(L"VERSION", L"notify", L"1", ini.c_str());  // no update check
    const HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, SendDpiChangeWhilePlaced, nullptr, ::GetCurrentThreadId());
    {
        MainDialog_CL dialog(1);
        ASSERT_NE(dialog.Create(), nullptr);
        ::UnhookWindowsHookEx(hook);
        ::GetWindowRect(dialog.Window(), &placed);
        ::SendMessageW(dialog.Window(), WM_CLOSE, MainDialog_CL::kCloseForExit, 0);
    }
    EXPECT_EQ(g_dpiChanges, 1);
    EXPECT_TRUE(::EqualRect(&placed, &saved)) << placed.right - placed.left << " x " << placed.bottom - placed.top;
    for (MSG quit; ::PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE);) continue;  // the posted WM_QUIT
    ResetDataFolder();
}

namespace {
// The conversions of a format string in order ("%02d", "%s", "%%"): what the arguments meet.
std::vector<std::wstring> Conversions(const wchar_t* text) {
    std::vector<std::wstring> found;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p != L'%') continue;
        const wchar_t* end = p + 1;
        while (*end && !wcschr(L"sdux%c", *end)) ++end;
        found.emplace_back(p, *end ? end + 1 : end);
        if (!*end) break;
        p = end;
    }
    return found;
}
}  // namespace

TEST(TextTables, EveryIdHasATextInEveryLanguageWithTheSameConversions) {
    EXPECT_EQ(Conversions(L"a %02d:%02d %s 100%% %u"),
              (std::vector<std::wstring>{L"%02d", L"%02d", L"%s", L"%%", L"%u"}));
    for (size_t i = 0; i < static_cast<size_t>(TextId::Count); ++i) {
        const TextId id = static_cast<TextId>(i);
        const std::wstring japanese = UiTextIn(UiLanguage::Japanese, id);
        const std::wstring english = UiTextIn(UiLanguage::English, id);
        EXPECT_FALSE(japanese.empty()) << "id " << i;
        EXPECT_FALSE(english.empty()) << "id " << i;
        EXPECT_EQ(Conversions(japanese.c_str()), Conversions(english.c_str())) << "id " << i;
        // A menu's access key: as many '&' in both.
        EXPECT_EQ(std::count(japanese.begin(), japanese.end(), L'&'), std::count(english.begin(), english.end(), L'&'))
            << "id " << i;
    }
    EXPECT_STREQ(UiTextIn(UiLanguage::English, TextId::Count), L"");
    EXPECT_STREQ(UiTextIn(UiLanguage::Count, TextId::StateAllowed), L"");
}

// Each notification fits its limits; the save failure keeps its hint whole, its path shortened.
TEST(TextTables, NoticesFitTheirLimits) {
    const std::wstring path = L"C:\\Users\\" + std::wstring(150, L'x') + L"\\Documents\\DormiGuard\\DormiGuard.ini";
    for (const wchar_t* hintEnd : {L"DormiGuard を許可してください。", L"Allow DormiGuard there."}) {
        SetUiLanguage(*hintEnd == L'D' ? UiLanguage::Japanese : UiLanguage::English);
        const std::wstring text = SaveFailureNoticeText(path, ERROR_ACCESS_DENIED);
        EXPECT_LE(text.size(), kNoticeChars) << text;
        EXPECT_EQ(text.find(hintEnd), text.size() - wcslen(hintEnd)) << text;
        EXPECT_NE(text.find(L"\nC:\\Users\\x"), std::wstring::npos) << text;
        EXPECT_NE(text.find(L"x…"), text.find(L"DormiGuard.ini\n")) << text;
    }
    SetUiLanguage(UiLanguage::Japanese);
}

TEST(TextTables, TheSettingAndTheSystemLanguageChooseTheTable) {
    struct Case {
        const wchar_t* value;
        LANGID system;
        UiLanguage expected;
    };
    const LANGID japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);
    const LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const LANGID german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
    const Case cases[] = {
        {L"auto", japanese, UiLanguage::Japanese}, {L"auto", english, UiLanguage::English},
        {L"auto", german, UiLanguage::English},    {L"", japanese, UiLanguage::Japanese},
        {L"fr", english, UiLanguage::English},     {L"ja", english, UiLanguage::Japanese},
        {L"JA", german, UiLanguage::Japanese},     {L"en", japanese, UiLanguage::English},
        {L"En", japanese, UiLanguage::English},    {L"english", japanese, UiLanguage::Japanese},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveLanguage(ParseLanguageChoice(c.value), c.system), c.expected) << c.value << " " << c.system;
    EXPECT_STREQ(LanguageChoiceValue(LanguageChoice::Auto), L"auto");
    EXPECT_STREQ(LanguageChoiceValue(LanguageChoice::Japanese), L"ja");
    EXPECT_STREQ(LanguageChoiceValue(LanguageChoice::English), L"en");
}

