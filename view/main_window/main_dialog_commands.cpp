// What the user does to the main window: menu commands, list notifications, tray clicks.
#include "view/main_window/main_dialog.h"

#include <commctrl.h>

#include "data/save_data.h"
#include "view/process_select/process_rows.h"
#include "view/process_select/process_select_list.h"
#include "view/settings/prop_app_license.h"
#include "view/settings/prop_app_setting.h"
#include "view/settings/prop_app_version.h"
#include "view/settings/prop_awake.h"
#include "view/settings/prop_sheet.h"
#include "view/common/support_site.h"
#include "view/main_window/watched_rows.h"
#include "view/texts/ui_texts.h"

void MainDialog_CL::OnCommand(WPARAM command) {
    switch (command) {
        case kCmdAdd:
            AddPrograms();
            break;
        case kCmdDelete:
            DeleteSelectedProgram();
            break;
        case kCmdRefresh:
            CheckSleep();
            break;
        case kCmdShow:
            ShowMainWindow(0);
            break;
        case kCmdStore:
            ShowMainWindow(1);
            break;
        case kCmdSupport:
            OpenSupportSite();
            break;
        case kCmdExit:
            ::SendMessageW(Window(), WM_CLOSE, kCloseForExit, 0);
            break;
        case kCmdSettings:
            ShowSettings();
            break;
        case kCmdAwakeEnd: {
            AwakeCommand end;
            end.kind = AwakeCommand::Kind::Off;
            ApplyAwakeCommand(end);
            break;
        }
        default: {
            // 130 to 134: a manual session replaces the one before it.
            if (SessionMinutesOf(static_cast<UINT>(command)) >= 0)
                StartManualSession(SessionMinutesOf(static_cast<UINT>(command)));
            WatchMode mode = WatchMode::Running;
            if (ConditionOf(static_cast<UINT>(command), &mode)) SetFocusedCondition(mode);
            break;
        }
    }
}

int MainDialog_CL::FocusedSelectedRow() const {
    if (!list_) return -1;
    return static_cast<int>(
        ::SendMessageW(list_->Window(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
}

void MainDialog_CL::AddPrograms() {
    g_SaveData.processes.Refresh();
    ProcessSelectList_CL dialog(
        UiText(TextId::SelectPrompt));
    dialog.AddColumn(UiText(TextId::SelectColumnName), 320);
    dialog.AddColumn(UiText(TextId::SelectColumnPath), 640);
    for (const ProcessEntry& entry : g_SaveData.processes.Current())
        dialog.AddRow(ProcessRowCells(entry));
    if (dialog.DoModal(::GetModuleHandleW(nullptr), L"ClassName_VigilSelectList", Window()) != 1) return;

    const std::vector<SelectRow>& rows = dialog.Rows();
    // Last to first: of two marked rows with one file name, the lower one wins.
    for (size_t i = rows.size(); i-- > 0;)
        if (rows[i].marked == 1) g_SaveData.watched.AddWatched(WatchedPathOfRow(rows[i]), 1);
    g_SaveData.watched.SortByFileName();
    g_SaveData.SaveWatchedList();
    FillWatchedList();
    CheckSleep();
}

void MainDialog_CL::DeleteSelectedProgram() {
    const int row = FocusedSelectedRow();
    // The organisation's rows, after the user's, cannot be deleted.
    if (row < 0 || static_cast<size_t>(row) >= g_SaveData.watched.Size()) return;
    ::SendMessageW(list_->Window(), LVM_DELETEITEM, row, 0);
    g_SaveData.watched.RemoveAt(static_cast<size_t>(row));
    g_SaveData.SaveWatchedList();
    CheckSleep();
}

void MainDialog_CL::SetFocusedCondition(WatchMode mode) {
    const int row = FocusedSelectedRow();
    if (row < 0 || static_cast<size_t>(row) >= g_SaveData.watched.Size()) return;
    if (g_SaveData.watched[static_cast<size_t>(row)].mode == mode) return;
    g_SaveData.watched.SetModeAt(static_cast<size_t>(row), mode);
    g_SaveData.SaveWatchedList();
    listFillGuard_ = 1;
    ShowWatchedRowText(list_->Window(), row, g_SaveData.watched[static_cast<size_t>(row)]);
    listFillGuard_ = 0;
    CheckSleep();
}

void MainDialog_CL::ShowSettings() {
    HWND sheetWindow = nullptr;
    PropSheet_CL sheet(&sheetWindow);
    PropAppSetting_CL settingPage;
    AwakePageActions actions;
    actions.changeHotkey = [this](const Hotkey& next, DWORD* error) { return ChangeHotkey(next, error); };
    actions.checkNow = [this] { CheckSleep(); };
    actions.lidPresent = [this] { return guard_.LidPresent(); };
    actions.policies = guard_.CurrentPolicies();
    PropAwake_CL awakePage(actions);
    PropAppVersion_CL versionPage;
    versionPage.SetUpdateCheckOff(UpdateCheckOff(guard_.CurrentPolicies()));
    PropAppLicense_CL licensePage;
    sheet.AddPage(&settingPage, UiText(TextId::PageHours));
    sheet.AddPage(&awakePage, UiText(TextId::PageAwake));
    sheet.AddPage(&versionPage, UiText(TextId::PageUpdates));
    sheet.AddPage(&licensePage, UiText(TextId::PageLicense));
    const UiLanguage before = CurrentUiLanguage();
    const INT_PTR result = sheet.Show(Window(), UiText(TextId::SheetCaption));
    if (CurrentUiLanguage() != before) ApplyLanguage();
    if (result != 1) return;
    pictures_.LoadCharacters(g_SaveData.imageType);
    if (list_) ::InvalidateRect(list_->Window(), nullptr, TRUE);
    Layout();
    ::InvalidateRect(Window(), nullptr, TRUE);
}

void MainDialog_CL::OnNotify(const NMHDR* header) {
    if (!header) return;
    if (header->code == LVN_ITEMCHANGED) {
        if (listFillGuard_ == 1 || !list_ || header->hwndFrom != list_->Window()) return;
        const int item = reinterpret_cast<const NMLISTVIEW*>(header)->iItem;
        if (item < 0 || static_cast<size_t>(item) >= g_SaveData.watched.Size()) return;
        const int checked = list_->GetCheckState(item);
        // Selection and focus changes arrive here too; only a changed check box counts.
        if (checked < 0 || checked == g_SaveData.watched[static_cast<size_t>(item)].enabled) return;
        g_SaveData.watched.SetEnabledAt(static_cast<size_t>(item), checked);
        CheckSleep();
        g_SaveData.SaveWatchedList();
    } else if (header->code == static_cast<UINT>(NM_RCLICK)) {
        const int row = FocusedSelectedRow();
        const bool watchedRow = row >= 0 && static_cast<size_t>(row) < g_SaveData.watched.Size();
        ShowListMenu(Window(), watchedRow, watchedRow ? &g_SaveData.watched[static_cast<size_t>(row)].mode : nullptr);
    }
}

void MainDialog_CL::OnTrayCallback(LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) {
        ShowMainWindow(2);
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        ShowTrayMenu(Window(), g_SaveData.trayHidden == 1, ShownHotkey(), guard_.SessionActive(),
                     guard_.CurrentPolicies());
    }
}
