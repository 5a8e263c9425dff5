// Owner-drawn popup menus: records, measuring and drawing, checked on real pixels and in a real
// TrackPopupMenu.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "comlib/window/controls.h"
#include "comlib/window/main_window_base.h"
#include "comlib/window/popup_menu.h"
#include "tests/test_helpers.h"
#include "tests/toolkit_test_support.h"

using namespace toolkit_test;

namespace {

constexpr DWORD kHiddenPopup = WS_POPUP | WS_BORDER;

SIZE TextExtent(HWND window, const std::wstring& text) {
    WindowDc dc(window);
    SelectedObject font(dc.Get(), ::GetStockObject(DEFAULT_GUI_FONT));
    SIZE size = {};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// An item drawn into a memory bitmap, read back pixel by pixel.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        WindowDc screen(nullptr);
        dc_.Reset(::CreateCompatibleDC(screen.Get()));
        bitmap_.Reset(::CreateCompatibleBitmap(screen.Get(), width, height));
        old_ = ::SelectObject(dc_.Get(), bitmap_.Get());
        RECT all = {0, 0, width, height};
        ::FillRect(dc_.Get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
    ~Canvas() { ::SelectObject(dc_.Get(), old_); }
    HDC Dc() const { return dc_.Get(); }
    COLORREF At(int x, int y) const { return ::GetPixel(dc_.Get(), x, y); }
    // Columns [from, to) holding any pixel other than the background: first and one past last.
    std::pair<int, int> InkColumns(COLORREF background, int from, int to) const {
        int first = -1;
        int last = -1;
        for (int x = from; x < to; ++x)
            for (int y = 0; y < height_; ++y)
                if (At(x, y) != background) {
                    if (first < 0) first = x;
                    last = x + 1;
                    break;
                }
        return {first, last};
    }
    int Count(COLORREF color) const {
        int count = 0;
        for (int x = 0; x < width_; ++x)
            for (int y = 0; y < height_; ++y)
                if (At(x, y) == color) ++count;
        return count;
    }

private:
    int width_;
    int height_;
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ old_ = nullptr;
};

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = CreatePlainWindow(L"メニューの持ち主", 300, 200, 50, 50, kHiddenPopup);
        ASSERT_NE(owner_, nullptr);
        strip_ = TempFolder(L"dg_toolkit_menu") + L"\\menu_image.bmp";
        WriteStripBitmap(strip_, 4);
        ASSERT_TRUE(images_.LoadBitmapStrip(strip_, 24));
        ASSERT_NE(menu_.CreatePopup(), nullptr);
    }
    void TearDown() override { ::DestroyWindow(owner_); }

    DRAWITEMSTRUCT DrawRequest(UINT id, UINT state, HDC dc, RECT item) {
        DRAWITEMSTRUCT draw = {};
        draw.CtlType = ODT_MENU;
        draw.itemID = id;
        draw.itemAction = ODA_DRAWENTIRE;
        draw.itemState = state;
        draw.hwndItem = reinterpret_cast<HWND>(menu_.Menu());
        draw.hDC = dc;
        draw.rcItem = item;
        draw.itemData = reinterpret_cast<ULONG_PTR>(&menu_);
        return draw;
    }

    HWND owner_ = nullptr;
    std::wstring strip_;
    ImageList_CL images_;
    PopupMenu_CL menu_;
};

}  // namespace

TEST(MenuRules, ItemSizeFromTextAndImages) {
    struct Case {
        SIZE text;
        bool images;
        SIZE image;
        SIZE expected;
    } cases[] = {
        {{84, 12}, true, {24, 24}, {160, 25}},  // 84 + 48 + 24 + 4; max(13, 25)
        {{84, 12}, false, {24, 24}, {132, 13}},
        {{10, 30}, true, {16, 16}, {78, 31}},  // the text is taller than the image
        {{0, 0}, true, {24, 24}, {76, 25}},
    };
    for (const Case& c : cases) {
        const SIZE size = MenuItemSize(c.text, c.images, c.image);
        EXPECT_EQ(size.cx, c.expected.cx);
        EXPECT_EQ(size.cy, c.expected.cy);
    }
}

TEST(MenuRules, TextRectanglesAndTabSplit) {
    const MenuTextRects withImages = MenuItemTextRects(RECT{0, 10, 300, 35}, true, 24);
    EXPECT_EQ(withImages.left.left, 28);
    EXPECT_EQ(withImages.left.right, 300);
    EXPECT_EQ(withImages.right.left, 28);
    EXPECT_EQ(withImages.right.right, 276);
    EXPECT_EQ(withImages.right.top, 10);
    const MenuTextRects plain = MenuItemTextRects(RECT{5, 0, 100, 20}, false, 24);
    EXPECT_EQ(plain.left.left, 5);
    EXPECT_EQ(plain.right.right, 76);

    struct Case {
        const wchar_t* text;
        const wchar_t* left;
        const wchar_t* right;
    } cases[] = {
        {L"追加\tIns", L"追加", L"Ins"},
        {L"終了", L"終了", L""},
        {L"\tF5", L"", L"F5"},
        {L"a\tb\tc", L"a", L"b\tc"},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring left = L"x";
        std::wstring right = L"x";
        SplitAtTab(c.text, &left, &right);
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(right, c.right);
    }
}

TEST(MenuRules, ColoursForEachState) {
    struct Case {
        bool selected;
        bool grayed;
        int background;
        int text;
    } cases[] = {
        {true, false, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT},
        {true, true, COLOR_HIGHLIGHT, COLOR_GRAYTEXT},
        {false, false, COLOR_MENU, COLOR_MENUTEXT},
        {false, true, COLOR_MENU, COLOR_BTNSHADOW},
    };
    for (const Case& c : cases) {
        const MenuColorIndices colors = MenuItemColors(c.selected, c.grayed);
        EXPECT_EQ(colors.background, c.background);
        EXPECT_EQ(colors.text, c.text);
    }
}

TEST_F(MenuTest, RecordsAreConsecutiveStableAndDefaultToImageZero) {
    MENUITEMINFOW& first = menu_.Item(0);
    EXPECT_EQ(first.cbSize, sizeof(MENUITEMINFOW));
    EXPECT_EQ(first.fMask, 0x167u);
    EXPECT_EQ(first.fType, static_cast<UINT>(MFT_OWNERDRAW));
    EXPECT_EQ(first.fState, 0u);
    EXPECT_EQ(PopupMenu_CL::ImageIndexOf(first), 0) << "image 0 until the builder sets one";
    for (int i = 1; i < 200; ++i) menu_.Item(i).wID = static_cast<UINT>(1000 + i);
    EXPECT_EQ(&menu_.Item(0), &first) << "records do not move as more are added";
    EXPECT_EQ(menu_.ItemCount(), 200);
    EXPECT_EQ(menu_.Item(57).wID, 1057u);
    PopupMenu_CL::SetImageIndex(menu_.Item(3), PopupMenu_CL::kNoImage);
    EXPECT_EQ(PopupMenu_CL::ImageIndexOf(menu_.Item(3)), -1);
    EXPECT_EQ(menu_.FindItem(1057), &menu_.Item(57));
    EXPECT_EQ(menu_.FindItem(99999), nullptr);
}

TEST_F(MenuTest, AppendedItemsAreOwnerDrawnAndCarryTheMenuObject) {
    menu_.SetImageList(images_.Get());
    const int add = menu_.AppendItem(122, L"追加\tIns", 0);
    menu_.AppendSeparator();
    const int quit = menu_.AppendItem(129, L"終了", 3);
    EXPECT_EQ(add, 0);
    EXPECT_EQ(quit, 1);
    EXPECT_EQ(::GetMenuItemCount(menu_.Menu()), 3);

    wchar_t text[64] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STRING | MIIM_ID;
    info.dwTypeData = text;
    info.cch = 64;
    ASSERT_TRUE(::GetMenuItemInfoW(menu_.Menu(), 122, FALSE, &info));
    EXPECT_NE(info.fType & MFT_OWNERDRAW, 0u);
    EXPECT_EQ(info.dwItemData, reinterpret_cast<ULONG_PTR>(&menu_));
    EXPECT_STREQ(text, L"追加\tIns");

    MENUITEMINFOW separator = {};
    separator.cbSize = sizeof(separator);
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(::GetMenuItemInfoW(menu_.Menu(), 1, TRUE, &separator));
    EXPECT_NE(separator.fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(separator.fType & MFT_OWNERDRAW, 0u);

    menu_.DisableItem(quit);
    EXPECT_EQ(menu_.Item(quit).fState, static_cast<UINT>(MFS_DISABLED | MFS_GRAYED));
    EXPECT_NE(::GetMenuState(menu_.Menu(), 129, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_EQ(::GetMenuState(menu_.Menu(), 122, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

TEST_F(MenuTest, MeasureAddsImageMarginsAndTheShortcut) {
    const wchar_t* texts[][3] = {{L"プロセスを追加\tIns", L"プロセスを追加", L"Ins"}, {L"終了", L"終了", L""}, {L"W", L"W", L""}};
    menu_.SetImageList(images_.Get());
    UINT id = 122;
    for (const auto& text : texts) {
        menu_.AppendItem(id, text[0], 0);
        const SIZE extent = TextExtent(owner_, text[1]);
        MEASUREITEMSTRUCT measure = {};
        measure.CtlType = ODT_MENU;
        measure.itemID = id;
        measure.itemData = reinterpret_cast<ULONG_PTR>(&menu_);
        OnMenuOwnerDraw(owner_, WM_MEASUREITEM, reinterpret_cast<LPARAM>(&measure));
        // 48 around the shortcut's column, 24 for the image and 4 around it.
        const int shortcut = *text[2] ? TextExtent(owner_, text[2]).cx : 0;
        EXPECT_EQ(static_cast<int>(measure.itemWidth), extent.cx + 76 + shortcut) << text[0];
        EXPECT_EQ(static_cast<int>(measure.itemHeight), std::max<int>(extent.cy + 1, 25)) << text[0];
        ++id;
    }

    // Without an image list: text + 48 by text height + 1.
    menu_.SetImageList(nullptr);
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    measure.itemID = 123;
    measure.itemData = reinterpret_cast<ULONG_PTR>(&menu_);
    OnMenuOwnerDraw(owner_, WM_MEASUREITEM, reinterpret_cast<LPARAM>(&measure));
    const SIZE extent = TextExtent(owner_, L"終了");
    EXPECT_EQ(static_cast<int>(measure.itemWidth), extent.cx + 48);
    EXPECT_EQ(static_cast<int>(measure.itemHeight), extent.cy + 1);

    // Not a menu item, or an id the menu does not hold: left alone.
    MEASUREITEMSTRUCT other = {};
    other.CtlType = ODT_BUTTON;
    other.itemID = 122;
    other.itemData = reinterpret_cast<ULONG_PTR>(&menu_);
    OnMenuOwnerDraw(owner_, WM_MEASUREITEM, reinterpret_cast<LPARAM>(&other));
    EXPECT_EQ(other.itemWidth, 0u);
    MEASUREITEMSTRUCT missing = {};
    missing.CtlType = ODT_MENU;
    missing.itemID = 4242;
    missing.itemData = reinterpret_cast<ULONG_PTR>(&menu_);
    OnMenuOwnerDraw(owner_, WM_MEASUREITEM, reinterpret_cast<LPARAM>(&missing));
    EXPECT_EQ(missing.itemWidth, 0u);
}

TEST_F(MenuTest, DrawFillsPlacesImageAndRightAlignsAfterTheTab) {
    menu_.SetImageList(images_.Get());
    menu_.AppendItem(122, L"追加\tCtrl+N", 2);
    const int width = 300;
    const int height = 26;
    Canvas canvas(width, height);
    DRAWITEMSTRUCT draw = DrawRequest(122, 0, canvas.Dc(), RECT{0, 0, width, height});
    OnMenuOwnerDraw(owner_, WM_DRAWITEM, reinterpret_cast<LPARAM>(&draw));

    const COLORREF background = ::GetSysColor(COLOR_MENU);
    const COLORREF text = ::GetSysColor(COLOR_MENUTEXT);
    ASSERT_NE(background, text);
    // The whole item is filled, right to its last column.
    EXPECT_EQ(canvas.At(width - 1, 0), background);
    EXPECT_EQ(canvas.At(width - 1, height - 1), background);
    // Image 2 at the top-left corner at its natural size, its transparent part in the background colour.
    EXPECT_EQ(canvas.At(12, 12), CellColor(2));
    EXPECT_EQ(canvas.At(1, 1), background);
    EXPECT_EQ(canvas.At(23, 23), background);

    // The right part ends 24 pixels in from the right edge; the last 24 columns stay empty.
    const SIZE rightExtent = TextExtent(owner_, L"Ctrl+N");
    const std::pair<int, int> rightInk = canvas.InkColumns(background, width / 2, width);
    ASSERT_GE(rightInk.first, 0) << "the right part was drawn";
    EXPECT_LE(rightInk.second, width - 24);
    EXPECT_GE(rightInk.second, width - 24 - 2);
    EXPECT_GE(rightInk.first, width - 24 - rightExtent.cx - 1);
    // The left part starts after the image and its 4-pixel gap.
    const std::pair<int, int> leftInk = canvas.InkColumns(background, 24, width / 2);
    EXPECT_GE(leftInk.first, 28);
    EXPECT_LE(leftInk.first, 28 + 3);
    EXPECT_GT(canvas.Count(text), 0);
}

TEST_F(MenuTest, SelectedAndDisabledItemsUseTheirColours) {
    menu_.SetImageList(images_.Get());
    menu_.AppendItem(122, L"有効", 0);
    const int disabled = menu_.AppendItem(123, L"無効", 1);
    menu_.DisableItem(disabled);
    struct Case {
        UINT id;
        UINT state;
        int background;
        int text;
    } cases[] = {
        {122, ODS_SELECTED, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT},
        {123, ODS_SELECTED | ODS_GRAYED, COLOR_HIGHLIGHT, COLOR_GRAYTEXT},
        {122, 0, COLOR_MENU, COLOR_MENUTEXT},
        {123, ODS_GRAYED, COLOR_MENU, COLOR_BTNSHADOW},
    };
    for (const Case& c : cases) {
        Canvas canvas(200, 26);
        DRAWITEMSTRUCT draw = DrawRequest(c.id, c.state, canvas.Dc(), RECT{0, 0, 200, 26});
        OnMenuOwnerDraw(owner_, WM_DRAWITEM, reinterpret_cast<LPARAM>(&draw));
        const COLORREF background = ::GetSysColor(c.background);
        EXPECT_EQ(canvas.At(199, 25), background) << "full width, state " << c.state;
        EXPECT_EQ(canvas.At(1, 1), background) << "image background (rgbBk), state " << c.state;
        EXPECT_GT(canvas.Count(::GetSysColor(c.text)), 0) << "text colour, state " << c.state;
    }
}

TEST_F(MenuTest, WithoutImagesTextStartsAtTheLeftEdgeAndNoImageIsDrawn) {
    menu_.AppendItem(122, L"追加", 1);
    Canvas canvas(200, 26);
    DRAWITEMSTRUCT draw = DrawRequest(122, 0, canvas.Dc(), RECT{0, 0, 200, 26});
    OnMenuOwnerDraw(owner_, WM_DRAWITEM, reinterpret_cast<LPARAM>(&draw));
    const COLORREF background = ::GetSysColor(COLOR_MENU);
    const std::pair<int, int> ink = canvas.InkColumns(background, 0, 200);
    ASSERT_GE(ink.first, 0);
    EXPECT_LT(ink.first, 4);

    // With images but index -1: text moves right, the image cell stays empty.
    menu_.SetImageList(images_.Get());
    PopupMenu_CL::SetImageIndex(menu_.Item(0), PopupMenu_CL::kNoImage);
    Canvas second(200, 26);
    draw = DrawRequest(122, 0, second.Dc(), RECT{0, 0, 200, 26});
    OnMenuOwnerDraw(owner_, WM_DRAWITEM, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(second.InkColumns(background, 0, 28).first, -1);
    EXPECT_GE(second.InkColumns(background, 28, 200).first, 28);
}

namespace {

// A main window that hands owner-draw messages to the menu code first, as the program's does.
class MenuOwnerWindow : public MainWindowBase_CL {
public:
    MenuOwnerWindow() {
        SetClassName(L"ToolkitMenuOwner");
        SetStyle(WS_POPUP | WS_BORDER);
    }
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        OnMenuOwnerDraw(window, message, lParam);
        if (message == WM_MEASUREITEM) {
            const auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            measured.push_back(SIZE{static_cast<LONG>(measure->itemWidth), static_cast<LONG>(measure->itemHeight)});
            measuredIds.push_back(measure->itemID);
        }
        if (message == WM_DRAWITEM) drawnIds.push_back(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->itemID);
        return MainWindowBase_CL::HandleMessage(window, message, wParam, lParam);
    }
    std::vector<SIZE> measured;
    std::vector<UINT> measuredIds;
    std::vector<UINT> drawnIds;
};

MenuOwnerWindow* g_tracking = nullptr;

}  // namespace

TEST_F(MenuTest, RealTrackPopupMenuMeasuresAndDrawsEveryCommand) {
    MenuOwnerWindow owner;
    ASSERT_NE(owner.Create(), nullptr);
    menu_.SetImageList(images_.Get());
    menu_.AppendItem(122, L"プロセスを追加", 0);
    menu_.AppendSeparator();
    menu_.AppendItem(123, L"削除\tDel", 1);
    g_tracking = &owner;
    // The menu's own modal loop runs thread timers: end it once both items were drawn.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        if (g_tracking->drawnIds.size() >= 2) ::EndMenu();
    });
    const UINT_PTR deadline = ::SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { ::EndMenu(); });
    ::TrackPopupMenu(menu_.Menu(), TPM_LEFTALIGN | TPM_TOPALIGN, 100, 100, 0, owner.Window(), nullptr);
    ::KillTimer(nullptr, timer);
    ::KillTimer(nullptr, deadline);
    g_tracking = nullptr;

    ASSERT_EQ(owner.measuredIds.size(), 2u);
    EXPECT_EQ(owner.measuredIds[0], 122u);
    EXPECT_EQ(owner.measuredIds[1], 123u);
    const SIZE add = TextExtent(owner.Window(), L"プロセスを追加");
    EXPECT_EQ(owner.measured[0].cx, add.cx + 48 + 28);
    EXPECT_EQ(owner.measured[0].cy, std::max<LONG>(add.cy + 1, 25));
    EXPECT_GE(owner.drawnIds.size(), 2u);
    ::DestroyWindow(owner.Window());
    DrainQuit();
}
