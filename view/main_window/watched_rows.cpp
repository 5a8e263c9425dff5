#include "view/main_window/watched_rows.h"

#include <commctrl.h>

#include "view/texts/ui_texts.h"

std::wstring WatchedRowText(const WatchedProcess& record) {
    switch (record.mode) {
        case WatchMode::Front: return record.fileName + UiText(TextId::ListModeFront);
        case WatchMode::Busy: return record.fileName + UiText(TextId::ListModeBusy);
        case WatchMode::Running: break;
    }
    return record.fileName;
}

void ShowWatchedRowText(HWND list, int row, const WatchedProcess& record) {
    std::wstring text = WatchedRowText(record);
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = &text[0];
    ::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void FillWatchedRows(ListView_CL& list, const WatchedList_CL& watched) {
    ::SendMessageW(list.Window(), LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < watched.Size(); ++i)
        AddWatchedRow(list, static_cast<int>(i), WatchedRowText(watched[i]), watched[i].enabled != 0);
}

void AddWatchedRow(ListView_CL& list, int row, const std::wstring& text, bool checked) {
    list.SetItemText(text, row, 0, I_IMAGENONE, 0);
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    ::SendMessageW(list.Window(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void SetWatchedRowIcons(HWND list, const std::vector<int>& indices) {
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows && static_cast<size_t>(row) < indices.size(); ++row) {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = indices[static_cast<size_t>(row)];
        ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void SetUpWatchedList(ListView_CL& list, const std::wstring& header, int columnWidth) {
    list.SetFont(1.5f, 600);
    const HWND listWindow = list.Window();
    const LRESULT extended = ::SendMessageW(listWindow, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    ::SendMessageW(listWindow, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   extended | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT);
    const LONG_PTR style = ::GetWindowLongPtrW(listWindow, GWL_STYLE);
    ::SetWindowLongPtrW(listWindow, GWL_STYLE, style | LVS_SINGLESEL);
    list.InsertColumn(header, columnWidth, LVCFMT_LEFT);
}
