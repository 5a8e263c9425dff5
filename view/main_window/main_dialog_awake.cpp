// Keeping awake on demand: manual sessions from the menus and the hotkey, commands handed over
// by a second copy, and the reason shown in the tray.
#include "view/main_window/main_dialog.h"

#include "comlib/log.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "view/texts/awake_texts.h"
#include "view/texts/ui_texts.h"

namespace {
struct SessionItem {
    UINT command;
    TextId text;
    int minutes;
};
const SessionItem kSessionItems[] = {
    {MainDialog_CL::kCmdAwakeNoEnd, TextId::MenuAwakeNoEnd, 0},
    {MainDialog_CL::kCmdAwake30Minutes, TextId::MenuAwake30Minutes, 30},
    {MainDialog_CL::kCmdAwake1Hour, TextId::MenuAwake1Hour, 60},
    {MainDialog_CL::kCmdAwake2Hours, TextId::MenuAwake2Hours, 120},
    {MainDialog_CL::kCmdAwake4Hours, TextId::MenuAwake4Hours, 240},
};

std::wstring SessionItemText(const SessionItem& item, const std::wstring& hotkey) {
    std::wstring text = UiText(item.text);
    if (item.minutes == 0 && !hotkey.empty()) text += L"\t" + hotkey;
    return text;
}
}  // namespace

int SessionMinutesOf(UINT command) {
    for (const SessionItem& item : kSessionItems)
        if (item.command == command) return item.minutes;
    return -1;
}

void MainDialog_CL::StartManualSession(int minutes) {
    AwakeCommand command;
    command.kind = AwakeCommand::Kind::Session;
    command.minutes = minutes;
    ApplyAwakeCommand(command);
}

void MainDialog_CL::ToggleByHotkey() {
    guard_.Toggle();
    CheckSleep();
    // The window is usually hidden: the icon says what holds now.
    trayIcon_.ShowBalloon(UiText(TextId::NoticeTitle), NoticeText(guard_.Reason()), NIIF_INFO | NIIF_NOSOUND);
}

bool MainDialog_CL::ApplyAwakeCommand(const AwakeCommand& command) {
    if (!guard_.Apply(command)) return false;
    CheckSleep();
    return true;
}

void MainDialog_CL::RegisterAwakeHotkey() {
    const Hotkey& hotkey = g_SaveData.hotkey;
    if (hotkey.key == 0) return;
    if (::RegisterHotKey(Window(), kHotkeyId, HotkeyRegistrationModifiers(hotkey), hotkey.key)) {
        hotkeyRegistered_ = true;
        return;
    }
    const DWORD error = ::GetLastError();
    g_Logger.Log(L"RegisterHotKey()エラー = 0x%08x : %s (%s)", __FILE__, __LINE__, static_cast<unsigned>(error),
                 SystemErrorText(error).c_str(), FormatHotkey(hotkey).c_str());
}

bool MainDialog_CL::ChangeHotkey(const Hotkey& next, DWORD* error) {
    *error = ERROR_SUCCESS;
    const Hotkey old = g_SaveData.hotkey;
    if (next.key == old.key && next.modifiers == old.modifiers && (hotkeyRegistered_ || next.key == 0)) return true;
    // One id: the old key goes first, else the system would refuse the same id twice.
    if (hotkeyRegistered_) ::UnregisterHotKey(Window(), kHotkeyId);
    hotkeyRegistered_ = false;
    if (next.key != 0 && !::RegisterHotKey(Window(), kHotkeyId, HotkeyRegistrationModifiers(next), next.key)) {
        *error = ::GetLastError();
        g_Logger.Log(L"RegisterHotKey()エラー = 0x%08x : %s (%s)", __FILE__, __LINE__, static_cast<unsigned>(*error),
                     SystemErrorText(*error).c_str(), FormatHotkey(next).c_str());
        if (old.key != 0)
            hotkeyRegistered_ = ::RegisterHotKey(Window(), kHotkeyId, HotkeyRegistrationModifiers(old), old.key) != FALSE;
        ShowHotkeyInMenuBar();
        return false;
    }
    hotkeyRegistered_ = next.key != 0;
    g_SaveData.StoreHotkey(next);
    g_Logger.Log(L"ホットキーを変更しました = %s", __FILE__, __LINE__, FormatHotkey(next).c_str());
    ShowHotkeyInMenuBar();
    return true;
}

void MainDialog_CL::ShowHotkeyInMenuBar() {
    if (!menu_) return;
    const std::wstring hotkey = hotkeyRegistered_ ? FormatHotkey(g_SaveData.hotkey) : std::wstring();
    const std::wstring text = SessionItemText(kSessionItems[0], hotkey);
    ::ModifyMenuW(menu_.Get(), kCmdAwakeNoEnd, MF_BYCOMMAND | MF_STRING, kCmdAwakeNoEnd, text.c_str());
}

void MainDialog_CL::FillAwakeMenu(PopupMenu_CL& menu) const {
    const std::wstring hotkey = hotkeyRegistered_ ? FormatHotkey(g_SaveData.hotkey) : std::wstring();
    for (const SessionItem& item : kSessionItems)
        menu.AppendItem(item.command, SessionItemText(item, hotkey), PopupMenu_CL::kNoImage);
    menu.AppendSeparator();
    const int end = menu.AppendItem(kCmdAwakeEnd, UiText(TextId::MenuAwakeEnd), PopupMenu_CL::kNoImage);
    if (!guard_.SessionActive()) menu.DisableItem(end);
}

void MainDialog_CL::AddAwakeMenuToMenuBar() {
    // "編集(&E)", the second menu of the bar: a separator and the submenu after its items.
    const HMENU edit = menu_ ? ::GetSubMenu(menu_.Get(), 1) : nullptr;
    if (!edit) return;
    UniqueMenu awake(::CreatePopupMenu());
    if (!awake) return;
    const std::wstring hotkey = hotkeyRegistered_ ? FormatHotkey(g_SaveData.hotkey) : std::wstring();
    for (const SessionItem& item : kSessionItems)
        ::AppendMenuW(awake.Get(), MF_STRING, item.command, SessionItemText(item, hotkey).c_str());
    ::AppendMenuW(awake.Get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(awake.Get(), MF_STRING | MF_GRAYED, kCmdAwakeEnd, UiText(TextId::MenuAwakeEnd));
    ::AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    // Once appended the bar owns the submenu: DestroyMenu of the bar destroys it too.
    if (::AppendMenuW(edit, MF_POPUP, reinterpret_cast<UINT_PTR>(awake.Get()), UiText(TextId::MenuAwakeNow)))
        awake.Release();
}
