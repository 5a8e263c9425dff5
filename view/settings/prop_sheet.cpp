#include "view/settings/prop_sheet.h"

#include <new>

#include "comlib/log.h"
#include "comlib/utility.h"
#include "comlib/window/dialog_base.h"
#include "data/save_data.h"
#include "view/texts/ui_texts.h"

namespace {
// comctl32's id of the sheet's Apply button (ID_APPLY_NOW).
constexpr int kApplyNowId = 0x3021;

// OK and Apply send PSN_APPLY to every open page, and each page stores its part: one press is
// one save, so a refused file is logged and told once for all the parts.
LRESULT CALLBACK OneSavePerPress(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    const bool command = message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == kApplyNowId);
    const bool pressed = message == PSM_PRESSBUTTON && (wParam == PSBTN_OK || wParam == PSBTN_APPLYNOW);
    if (command || pressed) {
        const SaveData::SaveRound round(g_SaveData);
        return ::DefSubclassProc(sheet, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(sheet, OneSavePerPress, id);
    return ::DefSubclassProc(sheet, message, wParam, lParam);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam) {
    PropSheetCallback(sheet, message, lParam);
    if (message != PSCB_INITIALIZED) return 0;
    // comctl32 labels its buttons in the system's language; the texts follow the program's.
    ::SetDlgItemTextW(sheet, IDOK, UiText(TextId::SheetOk));
    ::SetDlgItemTextW(sheet, IDCANCEL, UiText(TextId::SheetCancel));
    ::SetDlgItemTextW(sheet, kApplyNowId, UiText(TextId::SheetApply));
    ::SetWindowSubclass(sheet, OneSavePerPress, 1, 0);
    return 0;
}
}  // namespace

PropSheet_CL::PropSheet_CL(HWND* sheetTarget) : header_(), sheetTarget_(sheetTarget) {}

int PropSheet_CL::AddPage(SubClassDialogBase_CL* page, const std::wstring& title) {
    PageRecord record = {};
    record.page.dwSize = sizeof(PROPSHEETPAGEW);
    record.page.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    record.page.hInstance = ::GetModuleHandleW(nullptr);
    record.page.pResource = page->BuildTemplate();
    record.page.pfnDlgProc = SubClassDialogBase_CL::StaticPageProc;
    record.page.lParam = reinterpret_cast<LPARAM>(page);
    record.title = title;
    page->SetHandleTarget(sheetTarget_);
    pages_.push_back(std::move(record));
    return 0;
}

INT_PTR PropSheet_CL::Show(HWND owner, const std::wstring& caption) {
    std::vector<HPROPSHEETPAGE> handles;
    try {
        handles.reserve(pages_.size());
    } catch (const std::bad_alloc&) {
        g_Logger.Log(L"プロパティシートのページ配列を確保できません", __FILE__, __LINE__);
        return E_FAIL;
    }
    for (PageRecord& record : pages_) {
        // The title is pointed at only now: the records may have moved while pages were added.
        record.page.pszTitle = record.title.c_str();
        HPROPSHEETPAGE handle = ::CreatePropertySheetPageW(&record.page);
        if (!handle) {
            g_Logger.Log(L"CreatePropertySheetPageW(%s) failed: %s", __FILE__, __LINE__, record.title.c_str(),
                         SystemErrorText(::GetLastError()).c_str());
            // Pages not handed to PropertySheetW are still ours to destroy.
            for (HPROPSHEETPAGE created : handles) ::DestroyPropertySheetPage(created);
            return E_FAIL;
        }
        handles.push_back(handle);
    }

    header_.dwSize = sizeof(PROPSHEETHEADERW);
    header_.dwFlags = PSH_USECALLBACK;
    header_.hwndParent = owner;
    header_.hInstance = ::GetModuleHandleW(nullptr);
    header_.pszCaption = caption.c_str();
    header_.nPages = static_cast<UINT>(handles.size());
    header_.nStartPage = 0;
    header_.phpage = handles.data();
    header_.pfnCallback = SheetCallback;
    const INT_PTR result = ::PropertySheetW(&header_);
    // The frame is gone now; a handle kept past this point would name a destroyed window.
    if (sheetTarget_) *sheetTarget_ = nullptr;
    header_.phpage = nullptr;
    header_.pszCaption = nullptr;
    return result;
}
