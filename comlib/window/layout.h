#pragma once
// The toolkit's arithmetic as plain functions: template bytes, control sizes, placement,
// stacking, centring, DPI scaling, menu item geometry and the monitor test.
#include <windows.h>

#include <string>
#include <vector>

namespace layout {

// In-memory dialog template: one zero-filled buffer holding only a DLGTEMPLATE header.
constexpr size_t kTemplateBytes = 1024;
constexpr short kTemplateWidthDlu = 320;
constexpr short kTemplateHeightDlu = 240;
// Zero-fills the whole buffer and writes the header: style, no items, 320 x 240 dialog units,
// no menu, the predefined dialog class, an empty title (so no font block: no DS_SETFONT).
void FillDialogTemplate(void* buffer, DWORD style);

// Text-sized controls.
SIZE ButtonSizeForText(SIZE text);    // (w + 8) x (h + 8)
SIZE CheckBoxSizeForText(SIZE text);  // (w + 32) x h

// Button pair in the bottom-right corner of a client rectangle: 4 pixels of margin at the
// right and bottom, 4 between the buttons, both top-aligned with the cancel button.
struct ButtonPairPositions {
    POINT accept;
    POINT cancel;
};
ButtonPairPositions PlaceButtonPairIn(const RECT& client, SIZE accept, SIZE cancel);

// Vertical stacking: start at y 68, x 8; a spacer advances (height + 4) / 2, others height + 4.
constexpr int kStackStartY = 68;
constexpr int kStackX = 8;
struct StackItem {
    int height;
    bool spacer;
};
std::vector<int> StackPositions(const std::vector<StackItem>& items);
// A static text whose whole text is one ideographic space is a spacer.
bool IsSpacerText(const std::wstring& text);

// Top-left of a w x h window centred in reference rectangle r (signed division toward zero).
POINT CenterInRect(const RECT& reference, int width, int height);
// Top-left that centres a property sheet's window rectangle over its parent's.
POINT CenterSheetOver(const RECT& sheet, const RECT& parent);

// 96-DPI pixels to real pixels: unchanged when DPI-aware, else MulDiv(v, dpi, 96).
int ScaleForDpi(int value, bool dpiAware, int dpi);

// Owner-drawn menu item: text width + 48 (+ image width + 4), height max(text + 1, image + 1).
constexpr int kMenuExtraWidth = 48;
constexpr int kMenuImageGap = 4;
constexpr int kMenuRightInset = 24;
SIZE MenuItemSize(SIZE text, bool hasImages, SIZE image);
// Where the left part (before the tab) and the right part (after it) of an item are drawn.
struct MenuTextRects {
    RECT left;
    RECT right;
};
MenuTextRects MenuItemTextRects(const RECT& item, bool hasImages, int imageWidth);
// The text up to the first tab and the text after it ("" when there is no tab).
void SplitAtTab(const std::wstring& text, std::wstring* left, std::wstring* right);
// GetSysColor indices of an item's background and text for its owner-draw state.
struct MenuColorIndices {
    int background;
    int text;
};
MenuColorIndices MenuItemColors(bool selected, bool grayed);

// Group box growth: the needed size only grows to reach the control's right and bottom
// (both rectangles in the parent's client coordinates).
SIZE GrowToContain(SIZE needed, const RECT& box, const RECT& control);

// List-view check box: state image 1 is unchecked, 2 checked; no state image gives -1.
int CheckStateFromItemState(UINT state);

// Default GUI font scaled for emphasis: width and height truncated toward zero.
LOGFONTW ScaleLogFont(const LOGFONTW& base, float scale, int weight);

// A stored window corner counts only on a work area: left <= x < right, top <= y < bottom.
bool CornerOnWorkArea(const RECT& work, int x, int y);
// The stored rectangle when its corner lies on one of the work areas, otherwise the default.
RECT ChooseWindowRect(const RECT& stored, const std::vector<RECT>& workAreas, const RECT& fallback);

}  // namespace layout
