// The main window in the user's language: every text shown again after the language has changed.
#include "view/main_window/main_dialog.h"

#include <commctrl.h>

#include "comlib/window/control_factory.h"
#include "comlib/window/high_dpi.h"
#include "data/save_data.h"
#include "view/main_window/watched_rows.h"
#include "view/texts/ui_texts.h"

int MainDialog_CL::WatchedColumnWidth(int charWidth) const {
    // 40 "Ｗ" wide; a longer header (English, where the system font may lack a fullwidth "Ｗ")
    // gets its text's width and room for the header's margins.
    const int header = list_ ? ControlFactory_CL::MeasureText(list_->Font(), UiText(TextId::WatchedListHeader)).cx : 0;
    const int wanted = header + ScaleForDpi(24, DpiOfWindow(Window()));
    return wanted > 40 * charWidth ? wanted : 40 * charWidth;
}

void MainDialog_CL::ApplyLanguage() {
    const HWND window = Window();
    UniqueMenu next(BuildMenuBar());
    if (next) {
        // The window lets go of the old bar before it is destroyed.
        ::SetMenu(window, next.Get());
        menu_ = std::move(next);
        AddAwakeMenu(menu_.Get(), ShownHotkey());
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
        // A row's condition is in words too.
        listFillGuard_ = 1;
        for (size_t i = 0; i < g_SaveData.watched.Size(); ++i)
            ShowWatchedRowText(list_->Window(), static_cast<int>(i), g_SaveData.watched[i]);
        listFillGuard_ = 0;
    }
    // The tip carries the reason in words: shown again even though the reason is the same.
    const TrayState tray = guard_.Tray();
    trayIcon_.ShowState(tray.iconId, tray.tip);
    ::InvalidateRect(window, nullptr, TRUE);
}
