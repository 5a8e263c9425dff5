#pragma once
// The command a second copy hands over by WM_COPYDATA, read without the window.
#include <windows.h>

#include <vector>

#include "data/awake_command.h"

// Any window may send WM_COPYDATA: only the hand-over tag, a size of whole characters of at most
// kHandOverMaxBytes, and a command ParseHandOverText accepts are taken. Logged either way.
bool ReadHandOver(const COPYDATASTRUCT* data, AwakeCommand* command);

// A thread that waits in SendMessage (the tray add waits on Explorer) takes in messages sent to
// it, so a hand-over can arrive while the window is still being built. Until the window's first
// check such a command, already read, is held and applied right after that check.
class HandOverHold_CL {
public:
    // True: apply the command now. False: held (logged); the sender is told it was taken.
    bool PassOrHold(const AwakeCommand& command);
    // The first check has run: nothing is held from now on; the held commands, oldest first.
    std::vector<AwakeCommand> Open();

private:
    bool open_ = false;
    std::vector<AwakeCommand> held_;
};
