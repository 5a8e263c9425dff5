// The control factory and the control wrappers, in real windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"
#include "tests/test_helpers.h"
#include "tests/toolkit_test_support.h"

using namespace toolkit_test;

namespace {

// Never mapped: under Wine without a window manager a shown window takes 2 s to go away.
constexpr DWORD kHiddenPopup = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;

class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    void SetUp() override {
        parent_ = CreatePlainWindow(L"部品の親", 640, 480, 100, 100, kHiddenPopup);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override { ::DestroyWindow(parent_); }

    HWND parent_ = nullptr;
};

HFONT StockFont() { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

// The text's size as the factory should see it, measured here independently.
SIZE TextSize(const std::wstring& text) {
    WindowDc screen(nullptr);
    HGDIOBJ old = ::SelectObject(screen.Get(), StockFont());
    RECT rect = {0, 0, 32768, 32768};
    ::DrawTextW(screen.Get(), text.c_str(), -1, &rect, DT_CALCRECT);
    ::SelectObject(screen.Get(), old);
    return SIZE{rect.right, rect.bottom};
}

HFONT WindowFont(HWND window) { return reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)); }

DWORD StyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)); }

}  // namespace

TEST_F(ControlsTest, FreshFactoryNumbersControlsFrom4352AndPairsGet4096And4098) {
    ControlFactory_CL factory;
    EXPECT_EQ(factory.Count(), 0);
    EXPECT_EQ(factory.NextId(), 4352);
    const int indices[] = {
        factory.CreateStaticText(parent_, L"文字", 8, 8),
        factory.CreateButton(parent_, L"ボタン"),
        factory.CreateCheckBox(parent_, L"チェック", 40),
        factory.CreateListView(parent_, 200, 100, 8, 80),
        factory.CreateGroupBox(parent_, L"枠", 300, 60, 200),
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(indices[i], i);
        ControlBase_CL* control = factory.Control(i);
        ASSERT_NE(control, nullptr);
        ASSERT_NE(control->Window(), nullptr);
        EXPECT_EQ(control->Id(), 4352 + i);
        EXPECT_EQ(::GetDlgCtrlID(control->Window()), 4352 + i);
        EXPECT_EQ(::GetParent(control->Window()), parent_);
    }
    const int accept = factory.CreateButtonPair(parent_, L"OK", L"キャンセル");
    EXPECT_EQ(accept, 5);
    EXPECT_EQ(factory.Count(), 7);
    EXPECT_EQ(factory.Control(accept)->Id(), ControlFactory_CL::kAcceptId);
    EXPECT_EQ(factory.Control(accept + 1)->Id(), ControlFactory_CL::kCancelId);
    EXPECT_EQ(::GetDlgCtrlID(factory.Control(accept)->Window()), 4096);
    EXPECT_EQ(::GetDlgCtrlID(factory.Control(accept + 1)->Window()), 4098);
    // The pair took two numbers from the counter before they were overwritten; ids only grow.
    EXPECT_EQ(factory.NextId(), 4352 + 7);
    EXPECT_EQ(factory.Control(factory.CreateButton(parent_, L"次"))->Id(), 4359);
}

TEST_F(ControlsTest, KindsClassesStylesAndTypedAccess) {
    ControlFactory_CL factory;
    struct Case {
        int index;
        int kind;
        const wchar_t* className;
        DWORD style;
    } cases[] = {
        {factory.CreateStaticText(parent_, L"文字", 0, 0), ControlBase_CL::kStaticText, L"Static", 0x56000000},
        {factory.CreateButton(parent_, L"押す"), ControlBase_CL::kButton, L"Button", 0x56010000},
        {factory.CreateCheckBox(parent_, L"選ぶ", 30), ControlBase_CL::kCheckBox, L"Button", 0x56010003},
        {factory.CreateListView(parent_, 100, 100, 0, 60), ControlBase_CL::kListView, L"SysListView32", 0x56310009},
        {factory.CreateGroupBox(parent_, L"枠", 100, 40, 170), ControlBase_CL::kGroupBox, L"Button", 0x56000007},
    };
    for (const Case& c : cases) {
        ControlBase_CL* control = factory.Control(c.index);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->Kind(), c.kind);
        wchar_t name[64] = {};
        ::GetClassNameW(control->Window(), name, 64);
        EXPECT_STREQ(name, c.className);
        // The list view drops the scroll-bar bits while it has nothing to scroll.
        const DWORD compared = c.style & ~(WS_VSCROLL | WS_HSCROLL);
        EXPECT_EQ(StyleOf(control->Window()) & compared, compared) << std::hex << StyleOf(control->Window());
        EXPECT_EQ(WindowFont(control->Window()), StockFont());
        EXPECT_FALSE(control->OwnsFont());
    }
    EXPECT_NE(factory.At<StaticText_CL>(0), nullptr);
    EXPECT_NE(factory.At<Button_CL>(1), nullptr);
    EXPECT_NE(factory.At<CheckBox_CL>(2), nullptr);
    EXPECT_NE(factory.At<ListView_CL>(3), nullptr);
    EXPECT_NE(factory.At<GroupBox_CL>(4), nullptr);
    EXPECT_EQ(factory.At<ListView_CL>(0), nullptr) << "wrong type";
    EXPECT_EQ(factory.At<Button_CL>(5), nullptr) << "beyond the end";
    EXPECT_EQ(factory.Control(-1), nullptr);
    EXPECT_EQ(factory.At<CheckBox_CL>(2)->GetCheck(), BST_UNCHECKED);
}

TEST(ControlSizeRules, ButtonAndCheckBoxArithmetic) {
    const SIZE button = ButtonSizeForText(SIZE{50, 13});
    EXPECT_EQ(button.cx, 58);
    EXPECT_EQ(button.cy, 21);
    const SIZE check = CheckBoxSizeForText(SIZE{50, 13});
    EXPECT_EQ(check.cx, 82);
    EXPECT_EQ(check.cy, 13);
}

TEST_F(ControlsTest, TextSizedControlsFollowTheirMeasuredText) {
    const std::wstring texts[] = {L"OK", L"キャンセル", L"バージョンアップの通知をしない", L"W", L"　　サポートサイトへ　　"};
    for (const std::wstring& text : texts) {
        ControlFactory_CL factory;
        const SIZE measured = TextSize(text);
        ASSERT_GT(measured.cx, 0);
        const HWND button = factory.Control(factory.CreateButton(parent_, text))->Window();
        const HWND check = factory.Control(factory.CreateCheckBox(parent_, text, 77))->Window();
        const HWND label = factory.Control(factory.CreateStaticText(parent_, text, 15, 25))->Window();
        const SIZE b = WindowSize(button);
        const SIZE c = WindowSize(check);
        const SIZE l = WindowSize(label);
        EXPECT_EQ(b.cx, measured.cx + 8);
        EXPECT_EQ(b.cy, measured.cy + 8);
        EXPECT_EQ(c.cx, measured.cx + 32);
        EXPECT_EQ(c.cy, measured.cy);
        EXPECT_EQ(l.cx, measured.cx);
        EXPECT_EQ(l.cy, measured.cy);
        const RECT br = RectInParent(button);
        const RECT cr = RectInParent(check);
        const RECT lr = RectInParent(label);
        EXPECT_EQ(br.left, 0);
        EXPECT_EQ(br.top, 0);
        EXPECT_EQ(cr.left, 8);
        EXPECT_EQ(cr.top, 77);
        EXPECT_EQ(lr.left, 15);
        EXPECT_EQ(lr.top, 25);
        EXPECT_EQ(WindowText(label), text);
    }
}

TEST_F(ControlsTest, TwoLineStaticTextIsTwoLinesTall) {
    ControlFactory_CL factory;
    const SIZE oneLine = TextSize(L"Version : 1.0.5");
    const HWND label = factory.Control(factory.CreateStaticText(parent_, L"Version : 1.0.5\nサポートサイトへ", 8, 8))->Window();
    const SIZE size = WindowSize(label);
    EXPECT_EQ(size.cy, 2 * oneLine.cy);
    EXPECT_EQ(size.cx, std::max(oneLine.cx, TextSize(L"サポートサイトへ").cx));
}

TEST(ControlSizeRules, StackPositionsWithSpacers) {
    struct Case {
        std::vector<StackItem> items;
        std::vector<int> expected;
    } cases[] = {
        {{{20, false}, {20, false}}, {68, 92}},
        {{{20, false}, {20, true}, {20, false}}, {68, 92, 104}},
        {{{36, false}, {13, false}, {13, true}, {13, false}, {21, false}}, {68, 108, 125, 133, 150}},
        {{{-7, true}, {10, false}}, {68, 67}},  // (-7 + 4) / 2 rounds toward zero: -1, not -2
        {{}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(StackPositions(c.items), c.expected);
    EXPECT_TRUE(IsSpacerText(L"\u3000"));
    EXPECT_FALSE(IsSpacerText(L"\u3000\u3000"));
    EXPECT_FALSE(IsSpacerText(L" "));
    EXPECT_FALSE(IsSpacerText(L""));
}

TEST_F(ControlsTest, StackVerticallyMovesToX8AndHidesTheSpacer) {
    ::ShowWindow(parent_, SW_HIDE);
    ControlFactory_CL factory;
    const int icon = factory.CreateButton(parent_, L"OK");
    factory.Control(icon)->SetSize(36, 36, true);
    const int version = factory.CreateStaticText(parent_, L"Version : 1.0.5", 200, 300);
    const int spacer = factory.CreateStaticText(parent_, L"\u3000", 200, 300);
    const int support = factory.CreateStaticText(parent_, L"サポートサイトへ", 200, 300);
    const int button = factory.CreateButton(parent_, L"\u3000\u3000サポートサイトへ\u3000\u3000");
    const int order[] = {icon, version, spacer, support, button, -1};
    factory.StackVertically(order);

    const int ids[] = {icon, version, spacer, support, button};
    int y = 68;
    for (int index : ids) {
        const HWND window = factory.Control(index)->Window();
        const RECT rect = RectInParent(window);
        EXPECT_EQ(rect.left, 8);
        EXPECT_EQ(rect.top, y);
        const int height = rect.bottom - rect.top;
        if (index == spacer) {
            EXPECT_EQ(StyleOf(window) & WS_VISIBLE, 0u) << "the spacer is hidden";
            y += (height + 4) / 2;
        } else {
            EXPECT_NE(StyleOf(window) & WS_VISIBLE, 0u);
            y += height + 4;
        }
    }
    EXPECT_EQ(RectInParent(factory.Control(version)->Window()).top, 68 + 36 + 4);
}

TEST_F(ControlsTest, ButtonPairSitsInTheBottomRightCornerAndFollowsResizes) {
    ControlFactory_CL factory;
    const int accept = factory.CreateButtonPair(parent_, L"OK", L"キャンセル");
    auto check = [&] {
        RECT client = {};
        ::GetClientRect(parent_, &client);
        const RECT a = RectInParent(factory.Control(accept)->Window());
        const RECT c = RectInParent(factory.Control(accept + 1)->Window());
        EXPECT_EQ(c.right, client.right - 4);
        EXPECT_EQ(c.bottom, client.bottom - 4);
        EXPECT_EQ(a.right, c.left - 4);
        EXPECT_EQ(a.top, c.top);
    };
    check();
    ::SetWindowPos(parent_, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
    factory.PlaceButtonPair(parent_, accept);
    check();

    const ButtonPairPositions at = PlaceButtonPairIn(RECT{0, 0, 400, 300}, SIZE{30, 21}, SIZE{70, 25});
    EXPECT_EQ(at.cancel.x, 326);
    EXPECT_EQ(at.cancel.y, 271);
    EXPECT_EQ(at.accept.x, 292);
    EXPECT_EQ(at.accept.y, 271) << "top-aligned with the cancel button";
}

TEST_F(ControlsTest, SetPositionAndSetSizeEachKeepTheOtherHalf) {
    ControlFactory_CL factory;
    ControlBase_CL* button = factory.Control(factory.CreateButton(parent_, L"動く"));
    const SIZE before = WindowSize(button->Window());
    button->SetPosition(30, 40);
    RECT rect = RectInParent(button->Window());
    EXPECT_EQ(rect.left, 30);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.right - rect.left, before.cx);
    button->SetSize(100, 50, true);
    rect = RectInParent(button->Window());
    EXPECT_EQ(rect.left, 30);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.right - rect.left, 100);
    EXPECT_EQ(rect.bottom - rect.top, 50);
}

TEST_F(ControlsTest, SetFontOwnsExactlyOneFontAndNeverTheStockOne) {
    LOGFONTW base = {};
    ::GetObjectW(StockFont(), sizeof(base), &base);
    HFONT first = nullptr;
    HFONT second = nullptr;
    {
        ControlFactory_CL factory;
        ControlBase_CL* list = factory.Control(factory.CreateListView(parent_, 200, 100, 0, 0));
        list->SetFont(1.5f, 600);
        first = list->Font();
        ASSERT_NE(first, StockFont());
        EXPECT_TRUE(list->OwnsFont());
        EXPECT_EQ(WindowFont(list->Window()), first);
        LOGFONTW made = {};
        ASSERT_EQ(::GetObjectW(first, sizeof(made), &made), static_cast<int>(sizeof(made)));
        EXPECT_EQ(made.lfHeight, static_cast<LONG>(base.lfHeight * 1.5f));
        EXPECT_EQ(made.lfWidth, static_cast<LONG>(base.lfWidth * 1.5f));
        EXPECT_EQ(made.lfWeight, 600);

        list->SetFont(1.2f, 400);
        second = list->Font();
        EXPECT_EQ(WindowFont(list->Window()), second);
        EXPECT_EQ(::GetObjectType(first), 0u) << "the replaced font is deleted";
        EXPECT_EQ(::GetObjectType(second), static_cast<DWORD>(OBJ_FONT));
    }
    EXPECT_EQ(::GetObjectType(second), 0u) << "the control's font goes with the factory";
    EXPECT_EQ(::GetObjectType(StockFont()), static_cast<DWORD>(OBJ_FONT));

    // Without a window the font is only stored.
    Button_CL loose;
    loose.SetFont(2.0f, 700);
    EXPECT_TRUE(loose.OwnsFont());
    LOGFONTW stored = {};
    ::GetObjectW(loose.Font(), sizeof(stored), &stored);
    EXPECT_EQ(stored.lfHeight, static_cast<LONG>(base.lfHeight * 2.0f));
}

TEST(ControlSizeRules, FontScalingTruncatesTowardZero) {
    LOGFONTW base = {};
    base.lfHeight = -11;
    base.lfWidth = 5;
    base.lfWeight = 400;
    const LOGFONTW scaled = ScaleLogFont(base, 1.5f, 600);
    EXPECT_EQ(scaled.lfHeight, -16);  // -16.5
    EXPECT_EQ(scaled.lfWidth, 7);     // 7.5
    EXPECT_EQ(scaled.lfWeight, 600);
    EXPECT_EQ(ScaleLogFont(base, 1.2f, 400).lfHeight, -13);  // -13.2
}

TEST_F(ControlsTest, ClientMetricsGiveClientRectAndFullwidthW) {
    ::SetWindowPos(parent_, nullptr, 0, 0, 480, 470, SWP_NOMOVE | SWP_NOZORDER);
    ControlBase_CL wrapper;
    wrapper.SetWindow(parent_);
    ClientMetrics metrics;
    wrapper.GetClientMetrics(metrics);
    RECT client = {};
    ::GetClientRect(parent_, &client);
    EXPECT_EQ(metrics.left, 0);
    EXPECT_EQ(metrics.top, 0);
    EXPECT_EQ(metrics.right, client.right);
    EXPECT_EQ(metrics.bottom, client.bottom);
    EXPECT_EQ(metrics.width, client.right);
    EXPECT_EQ(metrics.height, client.bottom);
    WindowDc screen(nullptr);
    RECT w = {0, 0, 0, 0};
    ::DrawTextW(screen.Get(), L"\uFF37", -1, &w, DT_CALCRECT);
    EXPECT_EQ(metrics.charWidth, w.right);
    EXPECT_EQ(metrics.charHeight, w.bottom);
    EXPECT_GT(metrics.charWidth, 0);
}

TEST_F(ControlsTest, ListViewColumnsRowsAndCheckStates) {
    ControlFactory_CL factory;
    ListView_CL* list = factory.At<ListView_CL>(factory.CreateListView(parent_, 400, 200, 0, 0));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ColumnCount(), 0);
    EXPECT_EQ(list->ExtraValue(), 0);
    EXPECT_EQ(list->InsertColumn(L"ファイル名", 120, LVCFMT_LEFT), 0);
    EXPECT_EQ(list->InsertColumn(L"パス", 200, LVCFMT_LEFT), 1);
    EXPECT_EQ(list->ColumnCount(), 2);
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list->Window(), LVM_GETHEADER, 0, 0));
    EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 2);

    EXPECT_EQ(list->SetItemText(L"notepad.exe", 0, 0, 3, 77), 0);
    list->SetItemText(L"C:\\windows\\notepad.exe", 0, 1, -1, 99);
    EXPECT_EQ(list->SetItemText(L"メモ帳.exe", 1, 0, 2, 88), 1);
    list->SetItem(L"NOTEPAD.EXE", 0, 0, 5);

    auto read = [&](int item, int subItem, int* image, LPARAM* param) {
        wchar_t text[260] = {};
        LVITEMW entry = {};
        entry.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        entry.iItem = item;
        entry.iSubItem = subItem;
        entry.pszText = text;
        entry.cchTextMax = 260;
        ::SendMessageW(list->Window(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
        if (image) *image = entry.iImage;
        if (param) *param = entry.lParam;
        return std::wstring(text);
    };
    int image = 0;
    LPARAM param = 0;
    EXPECT_EQ(read(0, 0, &image, &param), L"NOTEPAD.EXE");
    EXPECT_EQ(image, 5);
    EXPECT_EQ(param, 77) << "SetItem and sub-items leave the row's lParam alone";
    EXPECT_EQ(read(0, 1, nullptr, nullptr), L"C:\\windows\\notepad.exe");
    EXPECT_EQ(read(1, 0, &image, &param), L"メモ帳.exe");
    EXPECT_EQ(image, 2);
    EXPECT_EQ(param, 88);

    // No check-box state image yet: -1.
    EXPECT_EQ(list->GetCheckState(0), -1);
    ::SendMessageW(list->Window(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    EXPECT_EQ(list->GetCheckState(0), 0);
    ListView_SetCheckState(list->Window(), 1, TRUE);
    EXPECT_EQ(list->GetCheckState(1), 1);
    EXPECT_EQ(list->GetCheckState(0), 0);

    struct Case {
        UINT state;
        int expected;
    } cases[] = {{0x0000, -1}, {0x1000, 0}, {0x2000, 1}, {0x2003, 1}, {0x1002, 0}};
    for (const Case& c : cases) EXPECT_EQ(CheckStateFromItemState(c.state), c.expected) << c.state;
}

TEST(ControlSizeRules, GroupBoxGrowthOnlyGrows) {
    const RECT box = {10, 20, 110, 60};
    struct Case {
        SIZE needed;
        RECT control;
        SIZE expected;
    } cases[] = {
        {{0, 0}, {18, 36, 200, 52}, {190, 32}},
        {{190, 32}, {18, 36, 100, 40}, {190, 32}},  // wholly inside: nothing changes
        {{50, 300}, {18, 36, 90, 70}, {80, 300}},
        {{0, 0}, {0, 0, 5, 5}, {0, 0}},  // left of and above the box: never negative
    };
    for (const Case& c : cases) {
        const SIZE grown = NeededSizeToContain(c.needed, box, c.control);
        EXPECT_EQ(grown.cx, c.expected.cx);
        EXPECT_EQ(grown.cy, c.expected.cy);
    }
}

TEST_F(ControlsTest, GroupBoxGrowsAroundRealControlsWithoutResizingItself) {
    ControlFactory_CL factory;
    const int check = factory.CreateCheckBox(parent_, L"バージョンアップの通知をしない", 16);
    const int box = factory.CreateGroupBox(parent_, L"バージョンアップの通知", 200, 36, 0);
    GroupBox_CL* frame = factory.At<GroupBox_CL>(box);
    const RECT checkRect = RectInParent(factory.Control(check)->Window());
    frame->GrowToContain(*factory.Control(check));
    EXPECT_EQ(frame->NeededWidth(), checkRect.right);
    EXPECT_EQ(frame->NeededHeight(), checkRect.bottom);
    EXPECT_EQ(WindowSize(frame->Window()).cx, 200) << "growing does not resize the window";
    frame->GrowToContain(*factory.Control(check));
    EXPECT_EQ(frame->NeededHeight(), checkRect.bottom);
    frame->SetSize(frame->NeededWidth() + 8, frame->NeededHeight() + 8, true);
    EXPECT_EQ(WindowSize(frame->Window()).cy, checkRect.bottom + 8);
}

TEST_F(ControlsTest, FailedControlStaysInTheArrayWithANullWindow) {
    ControlFactory_CL factory;
    const HWND noSuchParent = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ff0beef));
    const int index = factory.CreateButton(noSuchParent, L"無理");
    ASSERT_NE(factory.Control(index), nullptr);
    EXPECT_EQ(factory.Control(index)->Window(), nullptr);
    EXPECT_EQ(factory.Control(index)->Id(), 4352);
    EXPECT_EQ(factory.NextId(), 4353);
    factory.Control(index)->SetPosition(1, 2);  // harmless on a null window
    factory.Control(index)->SetFont(1.5f, 600);
    EXPECT_TRUE(factory.Control(index)->OwnsFont());
}

class ImageListTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = TempFolder(L"dg_toolkit_images");
        strip_ = folder_ + L"\\menu_image.bmp";
        WriteStripBitmap(strip_, 4);
    }
    std::wstring folder_;
    std::wstring strip_;
};

TEST_F(ImageListTest, BitmapStripIsCutIntoTransparentCells) {
    ImageList_CL images;
    ASSERT_TRUE(images.LoadBitmapStrip(strip_, 24));
    ASSERT_NE(images.Get(), nullptr);
    EXPECT_FALSE(images.IsShared());
    EXPECT_EQ(::ImageList_GetImageCount(images.Get()), 4);
    int width = 0;
    int height = 0;
    ::ImageList_GetIconSize(images.Get(), &width, &height);
    EXPECT_EQ(width, 24);
    EXPECT_EQ(height, 24);

    // Each cell's square shows; the magenta around it is transparent over a white background.
    WindowDc screen(nullptr);
    UniqueMemoryDc dc(::CreateCompatibleDC(screen.Get()));
    UniqueBitmap canvas(::CreateCompatibleBitmap(screen.Get(), 24, 24));
    SelectedObject selected(dc.Get(), canvas.Get());
    for (int cell = 0; cell < 4; ++cell) {
        RECT all = {0, 0, 24, 24};
        ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::ImageList_Draw(images.Get(), cell, dc.Get(), 0, 0, ILD_TRANSPARENT);
        EXPECT_EQ(::GetPixel(dc.Get(), 12, 12), CellColor(cell)) << cell;
        EXPECT_EQ(::GetPixel(dc.Get(), 1, 1), RGB(255, 255, 255)) << cell;
    }
}

TEST_F(ImageListTest, MissingFileOrBadWidthLeavesTheListEmpty) {
    ImageList_CL images;
    EXPECT_FALSE(images.LoadBitmapStrip(folder_ + L"\\no_such_file.bmp", 24));
    EXPECT_EQ(images.Get(), nullptr);
    EXPECT_FALSE(images.LoadBitmapStrip(strip_, 0));
    EXPECT_EQ(images.Get(), nullptr);
}

TEST_F(ImageListTest, SharedListIsNeverDestroyed) {
    HIMAGELIST system = ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 1);
    ASSERT_NE(system, nullptr);
    {
        ImageList_CL images;
        images.SetShared(system);
        EXPECT_EQ(images.Get(), system);
        EXPECT_TRUE(images.IsShared());
    }
    int width = 0;
    int height = 0;
    EXPECT_TRUE(::ImageList_GetIconSize(system, &width, &height)) << "still alive";
    EXPECT_EQ(width, 16);
    EXPECT_TRUE(::ImageList_Destroy(system));
}
