#pragma once
// The rows of the main window's watched list: row i always shows record i.
#include <windows.h>

#include <vector>

#include "comlib/window/controls.h"
#include "data/watched_list.h"

// Every row again: the file name without an icon, and the check box from the enabled flag.
void FillWatchedRows(ListView_CL& list, const WatchedList_CL& watched);
// The icons the lookup found, in the rows' order.
void SetWatchedRowIcons(HWND list, const std::vector<int>& indices);
