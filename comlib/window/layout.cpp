#include "comlib/window/layout.h"

#include <algorithm>
#include <cstring>

namespace layout {

namespace {
void PutWord(unsigned char* at, WORD value) { std::memcpy(at, &value, sizeof(value)); }
void PutDword(unsigned char* at, DWORD value) { std::memcpy(at, &value, sizeof(value)); }
}  // namespace

void FillDialogTemplate(void* buffer, DWORD style) {
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    std::memset(bytes, 0, kTemplateBytes);
    // DLGTEMPLATE: style, dwExtendedStyle, cdit, x, y, cx, cy; then the menu, class and title
    // arrays, each a single 0 WORD (none, the predefined dialog class, an empty title).
    PutDword(bytes + 0, style);
    PutDword(bytes + 4, 0);
    PutWord(bytes + 8, 0);
    PutWord(bytes + 10, 0);
    PutWord(bytes + 12, 0);
    PutWord(bytes + 14, static_cast<WORD>(kTemplateWidthDlu));
    PutWord(bytes + 16, static_cast<WORD>(kTemplateHeightDlu));
}

SIZE ButtonSizeForText(SIZE text) { return SIZE{text.cx + 8, text.cy + 8}; }

SIZE CheckBoxSizeForText(SIZE text) { return SIZE{text.cx + 32, text.cy}; }

ButtonPairPositions PlaceButtonPairIn(const RECT& client, SIZE accept, SIZE cancel) {
    const int right = client.right - 4;
    const int bottom = client.bottom - 4;
    ButtonPairPositions positions;
    positions.cancel = POINT{right - cancel.cx, bottom - cancel.cy};
    positions.accept = POINT{right - 4 - accept.cx - cancel.cx, bottom - cancel.cy};
    return positions;
}

std::vector<int> StackPositions(const std::vector<StackItem>& items) {
    std::vector<int> positions;
    int y = kStackStartY;
    for (const StackItem& item : items) {
        positions.push_back(y);
        y += item.spacer ? (item.height + 4) / 2 : item.height + 4;
    }
    return positions;
}

bool IsSpacerText(const std::wstring& text) { return text == L"\u3000"; }

POINT CenterInRect(const RECT& reference, int width, int height) {
    return POINT{reference.left + (reference.right - width - reference.left) / 2,
                 reference.top + (reference.bottom - height - reference.top) / 2};
}

POINT CenterSheetOver(const RECT& sheet, const RECT& parent) {
    return POINT{(sheet.left - sheet.right + parent.left + parent.right) / 2,
                 (sheet.top - sheet.bottom + parent.top + parent.bottom) / 2};
}

int ScaleForDpi(int value, bool dpiAware, int dpi) { return dpiAware ? value : ::MulDiv(value, dpi, 96); }

SIZE MenuItemSize(SIZE text, bool hasImages, SIZE image) {
    SIZE size{text.cx + kMenuExtraWidth, text.cy + 1};
    if (hasImages) {
        size.cx += image.cx + kMenuImageGap;
        size.cy = std::max<LONG>(size.cy, image.cy + 1);
    }
    return size;
}

MenuTextRects MenuItemTextRects(const RECT& item, bool hasImages, int imageWidth) {
    MenuTextRects rects;
    rects.left = item;
    if (hasImages) rects.left.left += imageWidth + kMenuImageGap;
    rects.right = rects.left;
    rects.right.right -= kMenuRightInset;
    return rects;
}

void SplitAtTab(const std::wstring& text, std::wstring* left, std::wstring* right) {
    const size_t tab = text.find(L'\t');
    if (tab == std::wstring::npos) {
        *left = text;
        right->clear();
    } else {
        *left = text.substr(0, tab);
        *right = text.substr(tab + 1);
    }
}

MenuColorIndices MenuItemColors(bool selected, bool grayed) {
    if (selected) return MenuColorIndices{COLOR_HIGHLIGHT, grayed ? COLOR_GRAYTEXT : COLOR_HIGHLIGHTTEXT};
    return MenuColorIndices{COLOR_MENU, grayed ? COLOR_BTNSHADOW : COLOR_MENUTEXT};
}

SIZE GrowToContain(SIZE needed, const RECT& box, const RECT& control) {
    return SIZE{std::max<LONG>(needed.cx, control.right - box.left), std::max<LONG>(needed.cy, control.bottom - box.top)};
}

int CheckStateFromItemState(UINT state) { return static_cast<int>((state & 0xF000) >> 12) - 1; }

LOGFONTW ScaleLogFont(const LOGFONTW& base, float scale, int weight) {
    LOGFONTW font = base;
    font.lfWidth = static_cast<LONG>(static_cast<float>(base.lfWidth) * scale);
    font.lfHeight = static_cast<LONG>(static_cast<float>(base.lfHeight) * scale);
    font.lfWeight = weight;
    return font;
}

bool CornerOnWorkArea(const RECT& work, int x, int y) {
    return work.left <= x && x < work.right && work.top <= y && y < work.bottom;
}

RECT ChooseWindowRect(const RECT& stored, const std::vector<RECT>& workAreas, const RECT& fallback) {
    for (const RECT& work : workAreas) {
        if (CornerOnWorkArea(work, stored.left, stored.top)) return stored;
    }
    return fallback;
}

}  // namespace layout
