#include "comlib/window/popup_menu.h"
#include "comlib/window/ui_font.h"

#include "comlib/window/high_dpi.h"

#include <commctrl.h>
#include <algorithm>

SIZE MenuItemSize(SIZE text, bool hasImages, SIZE image, int dpi, int shortcutWidth) {
    const int one = ScaleForDpi(1, dpi);
    SIZE size{text.cx + ScaleForDpi(kMenuExtraWidth, dpi) + shortcutWidth, text.cy + one};
    if (hasImages) {
        size.cx += image.cx + ScaleForDpi(kMenuImageGap, dpi);
        size.cy = std::max<LONG>(size.cy, image.cy + one);
    }
    return size;
}

MenuTextRects MenuItemTextRects(const RECT& item, bool hasImages, int imageWidth, int dpi) {
    MenuTextRects rects;
    rects.left = item;
    if (hasImages) rects.left.left += imageWidth + ScaleForDpi(kMenuImageGap, dpi);
    rects.right = rects.left;
    rects.right.right -= ScaleForDpi(kMenuRightInset, dpi);
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


namespace {

MENUITEMINFOW NewRecord(UINT type) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = PopupMenu_CL::kItemMask;
    item.fType = type;
    return item;
}

// The item's text as the system holds it; false when it gives none.
bool ReadItemText(HMENU menu, UINT itemId, std::wstring* left, std::wstring* right) {
    wchar_t buffer[260] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_BITMAP | MIIM_FTYPE;
    info.dwTypeData = buffer;
    info.cch = static_cast<UINT>(sizeof(buffer) / sizeof(buffer[0]));
    if (!::GetMenuItemInfoW(menu, itemId, FALSE, &info) || !info.dwTypeData) return false;
    buffer[sizeof(buffer) / sizeof(buffer[0]) - 1] = L'\0';
    SplitAtTab(buffer, left, right);
    return true;
}

SIZE ImageSize(HIMAGELIST list) {
    int width = 0;
    int height = 0;
    if (list) ::ImageList_GetIconSize(list, &width, &height);
    return SIZE{width, height};
}

void MeasureItem(HWND window, MEASUREITEMSTRUCT* measure) {
    auto* menu = reinterpret_cast<PopupMenu_CL*>(measure->itemData);
    std::wstring left;
    std::wstring right;
    if (!menu || !ReadItemText(menu->Menu(), measure->itemID, &left, &right)) return;
    // Measured and drawn at one DPI: the menu's window does not exist yet.
    if (menu->Dpi() == 0) menu->SetDpi(DpiOfWindow(window));
    SIZE text = {};
    SIZE shortcut = {};
    {
        WindowDc dc(window);
        SelectedObject font(dc.Get(), UiFontForDpi(menu->Dpi()));
        ::GetTextExtentPoint32W(dc.Get(), left.c_str(), static_cast<int>(left.size()), &text);
        if (!right.empty()) ::GetTextExtentPoint32W(dc.Get(), right.c_str(), static_cast<int>(right.size()), &shortcut);
    }
    const SIZE size =
        MenuItemSize(text, menu->ImageList() != nullptr, ImageSize(menu->ImageList()), menu->Dpi(), shortcut.cx);
    measure->itemWidth = static_cast<UINT>(size.cx);
    measure->itemHeight = static_cast<UINT>(size.cy);
}

// A tick in the middle of the cell, in the text's colour.
void DrawCheckMark(HDC dc, const RECT& cell, COLORREF color) {
    const int size = std::min(cell.right - cell.left, cell.bottom - cell.top) / 2;
    if (size < 4) return;
    const int x = (cell.left + cell.right - size) / 2;
    const int y = (cell.top + cell.bottom - size) / 2;
    const POINT tick[] = {{x, y + size / 2}, {x + size / 3, y + size - size / 6}, {x + size, y + size / 6}};
    UniqueResource<HPEN, close_fn::GdiObject> pen(::CreatePen(PS_SOLID, std::max(1, size / 6), color));
    if (!pen) return;
    const HGDIOBJ old = ::SelectObject(dc, pen.Get());
    ::Polyline(dc, tick, 3);
    ::SelectObject(dc, old);
}

void DrawItem(DRAWITEMSTRUCT* draw) {
    auto* menu = reinterpret_cast<PopupMenu_CL*>(draw->itemData);
    if (!menu) return;
    const MENUITEMINFOW* record = menu->FindItem(draw->itemID);
    std::wstring left;
    std::wstring right;
    if (!ReadItemText(menu->Menu(), draw->itemID, &left, &right)) return;

    const MenuColorIndices colors =
        MenuItemColors((draw->itemState & ODS_SELECTED) != 0, (draw->itemState & ODS_GRAYED) != 0);
    const COLORREF background = ::GetSysColor(colors.background);
    const COLORREF foreground = ::GetSysColor(colors.text);
    HDC dc = draw->hDC;
    const COLORREF oldBackground = ::SetBkColor(dc, background);
    const COLORREF oldText = ::SetTextColor(dc, foreground);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);

    HIMAGELIST images = menu->ImageList();
    // The DPI the item was measured at; the menu's own window's where it was never measured.
    const int dpi = menu->Dpi() != 0 ? menu->Dpi() : DpiOfWindow(::WindowFromDC(dc));
    MenuTextRects rects = MenuItemTextRects(draw->rcItem, images != nullptr, ImageSize(images).cx, dpi);
    {
        SelectedObject font(dc, UiFontForDpi(dpi));
        // ETO_OPAQUE with no text fills the rectangle with the background colour.
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &draw->rcItem, nullptr, 0, nullptr);
        ::DrawTextW(dc, left.c_str(), -1, &rects.left, DT_SINGLELINE | DT_VCENTER);
        ::DrawTextW(dc, right.c_str(), -1, &rects.right, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
    // An owner-drawn item draws its own check mark (ODS_CHECKED), in the image's cell.
    if (draw->itemState & ODS_CHECKED) {
        const RECT& item = draw->rcItem;
        const int cell = images ? ImageSize(images).cx : item.bottom - item.top;
        DrawCheckMark(dc, RECT{item.left, item.top, item.left + cell, item.bottom}, foreground);
    }
    if (images && record && PopupMenu_CL::ImageIndexOf(*record) != PopupMenu_CL::kNoImage) {
        ::ImageList_DrawEx(images, PopupMenu_CL::ImageIndexOf(*record), dc, draw->rcItem.left, draw->rcItem.top, 0, 0,
                           background, foreground, ILD_NORMAL);
    }
    ::SetBkColor(dc, oldBackground);
    ::SetTextColor(dc, oldText);
    ::SetBkMode(dc, oldMode);
}

}  // namespace

HMENU PopupMenu_CL::CreatePopup() {
    menu_.Reset(::CreatePopupMenu());
    return menu_.Get();
}

HMENU PopupMenu_CL::CreateBar() {
    menu_.Reset(::CreateMenu());
    return menu_.Get();
}

MENUITEMINFOW& PopupMenu_CL::Item(int index) {
    if (index < 0) index = 0;
    // Indices are meant to come in order; a gap is filled with default records rather than failing.
    while (ItemCount() <= index) items_.push_back(NewRecord(MFT_OWNERDRAW));
    return items_[static_cast<size_t>(index)];
}

int PopupMenu_CL::AppendItem(UINT commandId, const std::wstring& text, int imageIndex) {
    return AppendOwnerDrawn(commandId, text, imageIndex, nullptr);
}

PopupMenu_CL::~PopupMenu_CL() {
    if (!menu_) return;
    for (int position = ::GetMenuItemCount(menu_.Get()) - 1; position >= 0; --position)
        if (::GetSubMenu(menu_.Get(), position)) ::RemoveMenu(menu_.Get(), static_cast<UINT>(position), MF_BYPOSITION);
}

int PopupMenu_CL::AppendSubmenu(UINT itemId, const std::wstring& text, int imageIndex, PopupMenu_CL& submenu) {
    if (submenu.Dpi() == 0) submenu.SetDpi(dpi_);
    return AppendOwnerDrawn(itemId, text, imageIndex, submenu.Menu());
}

int PopupMenu_CL::AppendOwnerDrawn(UINT id, const std::wstring& text, int imageIndex, HMENU submenu) {
    const int index = ItemCount();
    texts_.push_back(text);
    MENUITEMINFOW& item = Item(index);
    item.wID = id;
    item.fType = MFT_OWNERDRAW;
    item.hSubMenu = submenu;
    item.dwTypeData = &texts_.back()[0];
    item.cch = static_cast<UINT>(texts_.back().size());
    item.dwItemData = reinterpret_cast<ULONG_PTR>(this);
    SetImageIndex(item, imageIndex);
    ::InsertMenuItemW(menu_.Get(), static_cast<UINT>(::GetMenuItemCount(menu_.Get())), TRUE, &item);
    return index;
}

void PopupMenu_CL::AppendSeparator() {
    MENUITEMINFOW separator = NewRecord(MFT_SEPARATOR);
    ::InsertMenuItemW(menu_.Get(), static_cast<UINT>(::GetMenuItemCount(menu_.Get())), TRUE, &separator);
}

void PopupMenu_CL::CheckItem(int index) {
    if (index < 0 || index >= ItemCount()) return;
    MENUITEMINFOW& item = items_[static_cast<size_t>(index)];
    item.fState |= MFS_CHECKED;
    ::SetMenuItemInfoW(menu_.Get(), item.wID, FALSE, &item);
}

void PopupMenu_CL::DisableItem(int index) {
    if (index < 0 || index >= ItemCount()) return;
    MENUITEMINFOW& item = items_[static_cast<size_t>(index)];
    item.fState = MFS_DISABLED | MFS_GRAYED;
    ::SetMenuItemInfoW(menu_.Get(), item.wID, FALSE, &item);
}

int PopupMenu_CL::ImageIndexOf(const MENUITEMINFOW& item) {
    return static_cast<int>(reinterpret_cast<INT_PTR>(item.hbmpItem));
}

void PopupMenu_CL::SetImageIndex(MENUITEMINFOW& item, int imageIndex) {
    item.hbmpItem = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(imageIndex));
}

const MENUITEMINFOW* PopupMenu_CL::FindItem(UINT commandId) const {
    for (const MENUITEMINFOW& item : items_) {
        if (item.wID == commandId) return &item;
    }
    return nullptr;
}

void OnMenuOwnerDraw(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure && measure->CtlType == ODT_MENU) MeasureItem(window, measure);
    } else if (message == WM_DRAWITEM) {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (draw && draw->CtlType == ODT_MENU) DrawItem(draw);
    }
}
