// Keeping awake on demand: manual sessions from the menus, the hotkey, and commands handed over
// by a second copy, all applied by the guard.
#include "view/main_window/main_dialog.h"

#include "comlib/log.h"
#include "comlib/utility.h"
#include "data/save_data.h"
#include "view/texts/awake_texts.h"
#include "view/texts/ui_texts.h"

void MainDialog_CL::StartManualSession(int minutes) {
    AwakeCommand command;
    command.kind = AwakeCommand::Kind::Session;
    command.minutes = minutes;
    ApplyAwakeCommand(command);
}

void MainDialog_CL::ToggleByHotkey() {
    const SessionRefusal refusal = guard_.Toggle();
    CheckSleep();
    // The window is usually hidden: the icon says what holds now, or why nothing started.
    if (refusal == SessionRefusal::None)
        trayIcon_.ShowBalloon(UiText(TextId::NoticeTitle), NoticeText(guard_.Reason()), NIIF_INFO | NIIF_NOSOUND);
    else
        trayIcon_.ShowBalloon(UiText(TextId::NoticeTitle),
                              UiText(refusal == SessionRefusal::NoSessions ? TextId::NoticeSessionsRefused
                                                                            : TextId::NoticeNoEndRefused),
                              NIIF_WARNING | NIIF_NOSOUND);
}

bool MainDialog_CL::ApplyAwakeCommand(const AwakeCommand& command) {
    if (!guard_.Apply(command)) return false;
    CheckSleep();
    return true;
}

bool MainDialog_CL::RegisterHotkey(const Hotkey& hotkey, DWORD* error) {
    if (::RegisterHotKey(Window(), kHotkeyId, HotkeyRegistrationModifiers(hotkey), hotkey.key)) return true;
    *error = ::GetLastError();
    g_Logger.Log(L"RegisterHotKey()エラー = 0x%08x : %s (%s)", __FILE__, __LINE__, static_cast<unsigned>(*error),
                 SystemErrorText(*error).c_str(), FormatHotkey(hotkey).c_str());
    return false;
}

void MainDialog_CL::RegisterAwakeHotkey() {
    DWORD error = ERROR_SUCCESS;
    if (g_SaveData.hotkey.key != 0 && !HotkeyOff(guard_.CurrentPolicies()))
        hotkeyRegistered_ = RegisterHotkey(g_SaveData.hotkey, &error);
}

std::wstring MainDialog_CL::ShownHotkey() const {
    return hotkeyRegistered_ ? FormatHotkey(g_SaveData.hotkey) : std::wstring();
}

bool MainDialog_CL::ChangeHotkey(const Hotkey& next, DWORD* error) {
    *error = ERROR_SUCCESS;
    const Hotkey old = g_SaveData.hotkey;
    if (next.key == old.key && next.modifiers == old.modifiers && (hotkeyRegistered_ || next.key == 0)) return true;
    // One id: the old key goes first, else the system would refuse the same id twice.
    if (hotkeyRegistered_) ::UnregisterHotKey(Window(), kHotkeyId);
    hotkeyRegistered_ = false;
    if (next.key != 0 && !RegisterHotkey(next, error)) {
        if (old.key != 0)
            hotkeyRegistered_ = ::RegisterHotKey(Window(), kHotkeyId, HotkeyRegistrationModifiers(old), old.key) != FALSE;
        ShowHotkeyInMenuBar(menu_.Get(), ShownHotkey());
        return false;
    }
    hotkeyRegistered_ = next.key != 0;
    g_SaveData.StoreHotkey(next);
    g_Logger.Log(L"ホットキーを変更しました = %s", __FILE__, __LINE__, FormatHotkey(next).c_str());
    ShowHotkeyInMenuBar(menu_.Get(), ShownHotkey());
    return true;
}
