// The main window in the user's language: the menu bar comes from the text table, not from menu
// resource 102, so that one table holds every text and a change needs no restart.
#include "view/main_window/main_dialog.h"

#include <commctrl.h>

#include <vector>

#include "comlib/window/control_factory.h"
#include "comlib/window/high_dpi.h"
#include "view/texts/ui_texts.h"

int MainDialog_CL::WatchedColumnWidth(int charWidth) const {
    // 40 "Ｗ" wide; a longer header (English, where the system font may lack a fullwidth "Ｗ")
    // gets its text's width and room for the header's margins.
    const int header = list_ ? ControlFactory_CL::MeasureText(list_->Font(), UiText(TextId::WatchedListHeader)).cx : 0;
    const int wanted = header + ScaleForDpi(24, DpiOfWindow(Window()));
    return wanted > 40 * charWidth ? wanted : 40 * charWidth;
}

HMENU MainDialog_CL::BuildMenuBar() {
    UniqueMenu bar(::CreateMenu());
    if (!bar) return nullptr;
    struct Item {
        UINT command;  // 0: a separator
        TextId text;
    };
    struct Popup {
        TextId title;
        std::vector<Item> items;
    };
    const Popup popups[] = {
        {TextId::MenuFile, {{kCmdExit, TextId::MenuExit}}},
        {TextId::MenuEdit,
         {{kCmdAdd, TextId::MenuAddProgram},
          {0, TextId::Count},
          {kCmdDelete, TextId::MenuRemoveProgram},
          {0, TextId::Count},
          {kCmdRefresh, TextId::MenuCheckNow}}},
        {TextId::MenuHelp, {{kCmdSettings, TextId::MenuSettings}, {0, TextId::Count}, {kCmdSupport, TextId::MenuSupportSite}}},
    };
    for (const Popup& popup : popups) {
        UniqueMenu menu(::CreatePopupMenu());
        if (!menu) return nullptr;
        for (const Item& item : popup.items) {
            if (item.command == 0)
                ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
            else
                ::AppendMenuW(menu.Get(), MF_STRING, item.command, UiText(item.text));
        }
        // Once appended the bar owns the popup: DestroyMenu of the bar destroys it too.
        if (!::AppendMenuW(bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(menu.Get()), UiText(popup.title)))
            return nullptr;
        menu.Release();
    }
    return bar.Release();
}

void MainDialog_CL::ApplyLanguage() {
    const HWND window = Window();
    UniqueMenu next(BuildMenuBar());
    if (next) {
        // The window lets go of the old bar before it is destroyed.
        ::SetMenu(window, next.Get());
        menu_ = std::move(next);
        AddAwakeMenuToMenuBar();
        ::DrawMenuBar(window);
    }
    trayIcon_.SetAddFailedText(UiText(TextId::TrayAddFailed));
    if (list_) {
        list_->SetFont(1.5f, 600);
        LVCOLUMNW column = {};
        ClientMetrics metrics;
        GetClientMetrics(metrics);
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(UiText(TextId::WatchedListHeader));
        column.cx = WatchedColumnWidth(metrics.charWidth);
        ::SendMessageW(list_->Window(), LVM_SETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    }
    // The tip carries the reason in words: shown again even though the reason is the same.
    const TrayState tray = guard_.Tray();
    trayIcon_.ShowState(tray.iconId, tray.tip);
    ::InvalidateRect(window, nullptr, TRUE);
}
