#include "view/main_window/locked_rows.h"

#include <algorithm>

#include "comlib/unique_resource.h"
#include "view/main_window/watched_rows.h"

namespace {
// A padlock in the row's text colour just after the file name: the shackle a rounded outline,
// the body filled over its lower half.
void DrawLock(HDC dc, HWND list, int row, const RECT& rowRect, COLORREF color) {
    RECT label = {LVIR_LABEL, 0, 0, 0};
    ::SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label));
    wchar_t text[MAX_PATH] = {};
    LVITEMW item = {};
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    const int textWidth = static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
    const int height = rowRect.bottom - rowRect.top;
    const int size = std::max(6, height * 3 / 4);
    // The label's own margins are about a quarter of the row's height on each side.
    const int x = label.left + textWidth + height / 2;
    const int y = rowRect.top + (height - size) / 2;
    const int inset = size / 5;
    const UniquePen pen(::CreatePen(PS_SOLID, std::max(1, size / 7), color));
    const UniqueBrush brush(::CreateSolidBrush(color));
    if (!pen || !brush) return;
    {
        const SelectedObject outline(dc, pen.Get());
        const SelectedObject hollow(dc, ::GetStockObject(NULL_BRUSH));
        ::RoundRect(dc, x + inset, y, x + size - inset, y + size * 3 / 4, size / 2, size / 2);
    }
    const RECT body = {x, y + size * 2 / 5, x + size, y + size};
    ::FillRect(dc, &body, brush.Get());
}
}  // namespace

void AppendLockedRows(ListView_CL& list, const WatchedList_CL& locked) {
    const HWND listWindow = list.Window();
    const int first = static_cast<int>(::SendMessageW(listWindow, LVM_GETITEMCOUNT, 0, 0));
    // Always ticked: the organisation's programs cannot be switched off.
    for (size_t i = 0; i < locked.Size(); ++i) AddWatchedRow(list, first + static_cast<int>(i), locked[i].fileName, true);
}

bool LockedRowsNotify(const NMHDR* header, HWND list, int firstLocked, bool filling, LRESULT* result) {
    if (!header || header->hwndFrom != list) return false;
    if (header->code == LVN_ITEMCHANGING) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
        const bool boxChanges = (change->uChanged & LVIF_STATE) != 0 &&
                                ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) != 0;
        if (filling || change->iItem < firstLocked || !boxChanges) return false;
        *result = TRUE;
        return true;
    }
    if (header->code != static_cast<UINT>(NM_CUSTOMDRAW)) return false;
    const auto* draw = reinterpret_cast<const NMLVCUSTOMDRAW*>(header);
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            // Without locked rows the list draws as it always has.
            if (firstLocked >= static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0))) return false;
            *result = CDRF_NOTIFYITEMDRAW;
            return true;
        case CDDS_ITEMPREPAINT:
            *result = static_cast<int>(draw->nmcd.dwItemSpec) >= firstLocked ? CDRF_NOTIFYPOSTPAINT : CDRF_DODEFAULT;
            return true;
        case CDDS_ITEMPOSTPAINT: {
            // The selected row is drawn in the highlight's text colour.
            const bool selected = ::SendMessageW(list, LVM_GETITEMSTATE, draw->nmcd.dwItemSpec, LVIS_SELECTED) != 0 &&
                                  ::GetFocus() == list;
            DrawLock(draw->nmcd.hdc, list, static_cast<int>(draw->nmcd.dwItemSpec), draw->nmcd.rc,
                     ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            *result = CDRF_DODEFAULT;
            return true;
        }
        default:
            return false;
    }
}
