#include "view/process_select/process_rows.h"

std::vector<std::wstring> ProcessRowCells(const ProcessEntry& entry) {
    return {std::wstring(entry.FileName(), entry.FileNameLength()), entry.NameOnly() ? std::wstring() : entry.path};
}

std::wstring WatchedPathOfRow(const SelectRow& row) {
    if (row.cells.size() > 1 && !row.cells[1].empty()) return row.cells[1];
    return row.cells.empty() ? std::wstring() : row.cells[0];
}
