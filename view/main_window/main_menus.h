#pragma once
// The main window's menus: the menu bar built from the text table, the keep-awake submenu, and
// the list and tray context menus. Chosen commands come back to the owner as WM_COMMAND.
#include <windows.h>

#include <string>

#include "comlib/window/popup_menu.h"
#include "data/watched_list.h"
#include "data/policy.h"

// Menu commands.
constexpr UINT kCmdAdd = 122;
constexpr UINT kCmdDelete = 123;
constexpr UINT kCmdRefresh = 124;
constexpr UINT kCmdShow = 125;
constexpr UINT kCmdStore = 126;
constexpr UINT kCmdSupport = 127;
constexpr UINT kCmdExit = 128;
constexpr UINT kCmdSettings = 129;
// Manual sessions: no end, 30 minutes, 1, 2 and 4 hours, and the end of the session.
constexpr UINT kCmdAwakeNoEnd = 130;
constexpr UINT kCmdAwake30Minutes = 131;
constexpr UINT kCmdAwake1Hour = 132;
constexpr UINT kCmdAwake2Hours = 133;
constexpr UINT kCmdAwake4Hours = 134;
constexpr UINT kCmdAwakeEnd = 135;
// The focused row's condition: running, in front, at work.
constexpr UINT kCmdConditionRunning = 145;
constexpr UINT kCmdConditionFront = 146;
constexpr UINT kCmdConditionBusy = 147;

// Minutes of a session command 130 to 134 (0: no end), -1 for any other command.
int SessionMinutesOf(UINT command);
// The condition of command 145 to 147; false for any other command.
bool ConditionOf(UINT command, WatchMode* mode);

// The menu bar in the user's language (not menu resource 102, so that one table holds every
// text and a change needs no restart); null when it cannot be built.
HMENU BuildMenuBar();
// "編集(&E)", the bar's second menu, gets a separator and the keep-awake submenu. The hotkey's
// text ("" for none) stands beside the session without an end.
void AddAwakeMenu(HMENU bar, const std::wstring& hotkey);
void ShowHotkeyInMenuBar(HMENU bar, const std::wstring& hotkey);
// The keep-awake items; the end is greyed while no session runs, and the sessions that
// ManualSessions refuses are greyed.
void FillAwakeMenu(PopupMenu_CL& menu, const std::wstring& hotkey, bool sessionActive,
                   const Policies& policies = Policies());
// The same greying for the menu bar's copy.
void GreyRefusedSessions(HMENU bar, const Policies& policies);

// Both block until a command is chosen or the menu is dismissed, at the cursor.
// The condition submenu is for the focused row: its condition checked, greyed without one (null).
void ShowListMenu(HWND owner, bool canRemove, const WatchMode* condition);
void ShowTrayMenu(HWND owner, bool trayHidden, const std::wstring& hotkey, bool sessionActive,
                  const Policies& policies = Policies());
