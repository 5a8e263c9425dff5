#pragma once
// The modal dialog in which the user picks rows (running programs) from a list it is given.
#include <windows.h>

#include <string>
#include <vector>

#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"
#include "comlib/window/dialog_base.h"

struct SelectColumn {
    int width;  // pixels
    std::wstring title;
};

struct SelectRow {
    int marked = 0;  // set to 1 when the row was selected as the select button was pressed
    // One text per column: cell 0 is the item's text, cell 1 the path whose icon the row shows.
    std::vector<std::wstring> cells;
};

// Design size at 96 DPI and the button strip under the list.
constexpr int kSelectDialogWidth = 800;
constexpr int kSelectDialogHeight = 640;
constexpr int kSelectButtonStrip = 48;

// The dialog's size: 800 x 640 scaled by the DPI of the dialog.
SIZE SelectDialogSize(int dpi);
// The list fills the client area above the button strip, 48 pixels at 96 DPI (never a negative
// height).
RECT SelectListRect(const RECT& client, int dpi = 96);

class ProcessSelectList_CL : public SubClassDialogBase_CL {
public:
    static constexpr int kSelectId = ControlFactory_CL::kAcceptId;  // "　　選択　　"
    static constexpr int kCancelId = ControlFactory_CL::kCancelId;  // "　キャンセル　"

    explicit ProcessSelectList_CL(std::wstring prompt);
    ~ProcessSelectList_CL() override;

    void AddColumn(const std::wstring& title, int width);
    // Appends a row, not marked; missing cells show as empty text.
    void AddRow(std::vector<std::wstring> cells);
    // The rows in list order; after DoModal a row with marked 1 was selected.
    std::vector<SelectRow>& Rows() { return rows_; }
    const std::vector<SelectRow>& Rows() const { return rows_; }
    const std::vector<SelectColumn>& Columns() const { return columns_; }
    const std::wstring& Prompt() const { return prompt_; }

    // DoModal (inherited) returns 1 for the select button, 0 when cancelled or closed, -1 when
    // the dialog could not be created.
    INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildControls(HWND dialog);
    void LayoutControls(HWND dialog);
    void MarkSelectedRows(HWND dialog);
    void FillRows();

    ControlFactory_CL factory_;
    ListView_CL* list_ = nullptr;          // owned by factory_
    Button_CL* selectButton_ = nullptr;    // owned by factory_; its OwnerValue is its index
    std::wstring prompt_;
    std::vector<SelectColumn> columns_;
    std::vector<SelectRow> rows_;
    ImageList_CL systemImages_;  // the shared system list: referred to, never destroyed
};
