#pragma once
// Resource ids shared by the resource script and the code.
#define IDI_DORMIGUARD 101
#define IDR_MAINMENU 102
