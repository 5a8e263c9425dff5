#pragma once
// The command a second copy hands over by WM_COPYDATA, read without the window.
#include <windows.h>

#include "data/awake_command.h"

// Any window may send WM_COPYDATA: only the hand-over tag, a size of whole characters of at most
// kHandOverMaxBytes, and a command ParseHandOverText accepts are taken. Logged either way.
bool ReadHandOver(const COPYDATASTRUCT* data, AwakeCommand* command);
