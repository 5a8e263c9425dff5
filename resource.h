#pragma once
// Resource ids shared by the resource script and the code.
#define IDI_DORMIGUARD 101
#define IDR_MAINMENU 102
// The tray icon for each state.
#define IDI_AWAKE_PROHIBITED 103
#define IDI_AWAKE_ALLOWED 104
