#include "view/process_select/process_select_list.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "comlib/window/high_dpi.h"
#include "view/common/file_icon.h"
#include "view/texts/ui_texts.h"

namespace {
constexpr float kListFontScale = 1.2f;
constexpr int kListFontWeight = 400;
constexpr DWORD kListExtendedStyle = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
// Only placeholders: the list is fitted to the client area right after the buttons exist.
constexpr int kInitialListWidth = 480;
constexpr int kInitialListHeight = 320;
}  // namespace

SIZE SelectDialogSize(int dpi) {
    return SIZE{ScaleForDpi(kSelectDialogWidth, dpi), ScaleForDpi(kSelectDialogHeight, dpi)};
}

RECT SelectListRect(const RECT& client, int dpi) {
    RECT list = client;
    list.bottom = std::max(client.top, client.bottom - ScaleForDpi(kSelectButtonStrip, dpi));
    return list;
}

ProcessSelectList_CL::ProcessSelectList_CL(std::wstring prompt) : prompt_(std::move(prompt)) {}

ProcessSelectList_CL::~ProcessSelectList_CL() = default;

void ProcessSelectList_CL::AddColumn(const std::wstring& title, int width) {
    columns_.push_back(SelectColumn{width, title});
}

void ProcessSelectList_CL::AddRow(std::vector<std::wstring> cells) {
    SelectRow row;
    row.cells = std::move(cells);
    rows_.push_back(std::move(row));
}

INT_PTR ProcessSelectList_CL::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        BuildControls(window);
        // Centred, then kept inside the owner's work area.
        CenterWindowOver(::GetParent(window), window);
        return 0;
    }
    case WM_SIZE:
        LayoutControls(window);
        return 0;
    case WM_COMMAND:
        // The whole wParam: a notification code in the high word would be another command.
        if (wParam == kSelectId)
            MarkSelectedRows(window);
        else if (wParam == kCancelId)
            ::EndDialog(window, 0);
        return 0;
    case WM_CLOSE:
        ::EndDialog(window, 0);
        return 1;
    case WM_KEYDOWN:
        // Enter and Escape must not end the dialog; only its two buttons do.
        return (wParam == VK_RETURN || wParam == VK_ESCAPE) ? 1 : 0;
    default:
        return 0;
    }
}

void ProcessSelectList_CL::BuildControls(HWND dialog) {
    ::SetWindowTextW(dialog, prompt_.c_str());

    const SIZE size = SelectDialogSize(DpiOfWindow(dialog));
    ::MoveWindow(dialog, 0, 0, size.cx, size.cy, TRUE);

    // Resizable and maximisable, not minimisable.
    const LONG_PTR style = ::GetWindowLongPtrW(dialog, GWL_STYLE);
    ::SetWindowLongPtrW(dialog, GWL_STYLE, (style & ~WS_MINIMIZEBOX) | WS_THICKFRAME | WS_MAXIMIZEBOX);

    const int listIndex = factory_.CreateListView(dialog, kInitialListWidth, kInitialListHeight, 0, 0);
    list_ = factory_.At<ListView_CL>(listIndex);
    list_->SetFont(kListFontScale, kListFontWeight);
    HWND listWindow = list_->Window();
    const LRESULT extended = ::SendMessageW(listWindow, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    ::SendMessageW(listWindow, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended | kListExtendedStyle);
    AttachSystemSmallIcons(listWindow, systemImages_);

    const int dpi = DpiOfWindow(dialog);
    for (const SelectColumn& column : columns_)
        list_->InsertColumn(column.title, ScaleForDpi(column.width, dpi), LVCFMT_LEFT);
    FillRows();

    const int selectIndex = factory_.CreateButtonPair(dialog, UiText(TextId::SelectButton), UiText(TextId::CancelButton));
    selectButton_ = factory_.At<Button_CL>(selectIndex);
    selectButton_->SetOwnerValue(selectIndex);
    LayoutControls(dialog);
}

void ProcessSelectList_CL::FillRows() {
    const int columnCount = static_cast<int>(columns_.size());
    for (size_t r = 0; r < rows_.size(); ++r) {
        const std::vector<std::wstring>& cells = rows_[r].cells;
        const int item = static_cast<int>(r);
        // A row given with fewer cells than columns shows empty text there.
        auto cell = [&cells](int c) { return c < static_cast<int>(cells.size()) ? cells[c] : std::wstring(); };
        for (int c = 0; c < columnCount; ++c) {
            if (c == 0)
                list_->SetItemText(cell(0), item, 0, SmallIconIndex(cell(1)), 0);
            else
                list_->SetItem(cell(c), item, c, 0);
        }
    }
}

void ProcessSelectList_CL::LayoutControls(HWND dialog) {
    // The MoveWindow of BuildControls sends WM_SIZE before the controls exist.
    if (!list_ || !selectButton_) return;
    RECT client = {};
    ::GetClientRect(dialog, &client);
    const RECT rect = SelectListRect(client, DpiOfWindow(dialog));
    ::SetWindowPos(list_->Window(), nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER);
    factory_.PlaceButtonPair(dialog, selectButton_->OwnerValue());
}

void ProcessSelectList_CL::MarkSelectedRows(HWND dialog) {
    HWND listWindow = list_ ? list_->Window() : nullptr;
    const int count = listWindow ? static_cast<int>(::SendMessageW(listWindow, LVM_GETSELECTEDCOUNT, 0, 0)) : 0;
    int item = -1;
    for (int n = 0; n < count; ++n) {
        item = static_cast<int>(::SendMessageW(listWindow, LVM_GETNEXTITEM, static_cast<WPARAM>(item),
                                               MAKELPARAM(LVNI_SELECTED, 0)));
        if (item == -1) break;
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED;
        state.state = 0;
        ::SendMessageW(listWindow, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
        if (static_cast<size_t>(item) < rows_.size()) rows_[static_cast<size_t>(item)].marked = 1;
    }
    ::EndDialog(dialog, 1);
}
