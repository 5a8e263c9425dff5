#pragma once
// Puts a modal property sheet together from in-memory dialog pages.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

class SubClassDialogBase_CL;

class PropSheet_CL {
public:
    // sheetTarget, if given, receives the sheet's frame window while the sheet is open and is
    // cleared when Show returns. It must be a variable of its own, never the one holding the
    // owner window: the pages write the frame's handle into it.
    explicit PropSheet_CL(HWND* sheetTarget = nullptr);
    PropSheet_CL(const PropSheet_CL&) = delete;
    PropSheet_CL& operator=(const PropSheet_CL&) = delete;

    // Appends a page (PSP_DLGINDIRECT | PSP_USETITLE with the page's own template). The page
    // object must live until Show returns. Returns 0.
    int AddPage(SubClassDialogBase_CL* page, const std::wstring& title);
    int PageCount() const { return static_cast<int>(pages_.size()); }

    // Runs the sheet (OK, Cancel, Apply) centred on owner; returns PropertySheetW's result
    // (1 when the user accepted), or E_FAIL when the pages could not be prepared.
    INT_PTR Show(HWND owner, const std::wstring& caption);

private:
    struct PageRecord {
        PROPSHEETPAGEW page;
        std::wstring title;
    };

    PROPSHEETHEADERW header_;
    std::vector<PageRecord> pages_;
    HWND* sheetTarget_;
};
