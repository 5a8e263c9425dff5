#pragma once
// The rows of the main window's watched list: row i always shows record i.
#include <windows.h>

#include <string>
#include <vector>

#include "comlib/window/controls.h"
#include "data/watched_list.h"

// Large text, check boxes, grid lines, whole-row selection of one row, and the one column.
void SetUpWatchedList(ListView_CL& list, const std::wstring& header, int columnWidth);
// The row's text: the file name, and after it the condition unless it is "running".
std::wstring WatchedRowText(const WatchedProcess& record);
// Every row again: the text without an icon, and the check box from the enabled flag.
void FillWatchedRows(ListView_CL& list, const WatchedList_CL& watched);
// One row at the end: its text without an icon, and its check box.
void AddWatchedRow(ListView_CL& list, int row, const std::wstring& text, bool checked);
// One row's text again, after its condition changed.
void ShowWatchedRowText(HWND list, int row, const WatchedProcess& record);
// The icons the lookup found, in the rows' order.
void SetWatchedRowIcons(HWND list, const std::vector<int>& indices);
