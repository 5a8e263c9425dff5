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

bool MainDialog_CL::ChangeHotkey(const Hotkey& next, DWORD* error) {
    const Hotkey old = g_SaveData.hotkey;
    if (next.key == old.key && next.modifiers == old.modifiers && (hotkey_.Registered() || next.key == 0))
        return hotkey_.Change(Window(), old, next, error);  // nothing to do
    const bool taken = hotkey_.Change(Window(), old, next, error);
    if (taken) {
        g_SaveData.StoreHotkey(next);
        g_Logger.Log(L"ホットキーを変更しました = %s", __FILE__, __LINE__, FormatHotkey(next).c_str());
    }
    ShowHotkeyInMenuBar(menu_.Get(), ShownHotkey());
    return taken;
}

std::wstring MainDialog_CL::ShownHotkey() const { return hotkey_.Shown(g_SaveData.hotkey); }
