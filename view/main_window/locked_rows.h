#pragma once
// The organisation's watched programs in the main window's list: after the user's rows, ticked,
// with a lock drawn at the end of the row, and their check boxes cannot be changed.
#include <windows.h>
#include <commctrl.h>

#include "comlib/window/controls.h"
#include "data/watched_list.h"

// Appends one ticked row per record, after the rows already in the list.
void AppendLockedRows(ListView_CL& list, const WatchedList_CL& locked);

// The list's notifications for rows from firstLocked on: a change of their check box is refused
// (LVN_ITEMCHANGING answered TRUE) unless the window fills the list, and custom draw adds the
// lock. True with *result set when the notification was answered here.
bool LockedRowsNotify(const NMHDR* header, HWND list, int firstLocked, bool filling, LRESULT* result);
