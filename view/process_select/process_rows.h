#pragma once
// Between the process snapshot and the selection dialog's rows: what the add command shows for a
// running program and what a picked row adds to the watched list.
#include <string>
#include <vector>

#include "comlib/process/enum_porocess.h"
#include "view/process_select/process_select_list.h"

// File name and full path; a process known by its file name alone has an empty path column.
std::vector<std::wstring> ProcessRowCells(const ProcessEntry& entry);

// The row's path, or its file name when it has no path ("MsMpEng.exe", stored as "1:MsMpEng.exe").
std::wstring WatchedPathOfRow(const SelectRow& row);
