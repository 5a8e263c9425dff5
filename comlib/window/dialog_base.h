#pragma once
// Modal dialogs and property pages built from an in-memory template; no dialog resource.
// The object is bound to its window through GWLP_USERDATA at WM_INITDIALOG.
#include <windows.h>

#include <memory>

// In-memory dialog template: one zero-filled buffer holding only a DLGTEMPLATE header.
constexpr size_t kTemplateBytes = 1024;
constexpr short kTemplateWidthDlu = 320;
constexpr short kTemplateHeightDlu = 240;
// Zero-fills the whole buffer and writes the header: style, no items, 320 x 240 dialog units,
// no menu, the predefined dialog class, an empty title (so no font block: no DS_SETFONT).
void FillDialogTemplate(void* buffer, DWORD style);

// Top-left of a w x h window centred in reference rectangle r (signed division toward zero).
POINT CenterInRect(const RECT& reference, int width, int height);
// Top-left that centres a property sheet's window rectangle over its parent's.
POINT CenterSheetOver(const RECT& sheet, const RECT& parent);
// The top-left corner that puts the window rectangle inside the area; where it is larger than
// the area, its left and top edges stay inside.
POINT ClampIntoArea(const RECT& window, const RECT& area);
// Moves a centred dialog, sheet or notice into the work area of its owner's monitor.
void KeepOnOwnersScreen(HWND owner, HWND window);

class SubClassDialogBase_CL {
public:
    // WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME.
    static constexpr DWORD kDefaultStyle = 0x80CA0080;

    SubClassDialogBase_CL();
    SubClassDialogBase_CL(const SubClassDialogBase_CL&) = delete;
    SubClassDialogBase_CL& operator=(const SubClassDialogBase_CL&) = delete;
    virtual ~SubClassDialogBase_CL();

    // Runs the dialog; returns the value given to EndDialog, or -1 when it could not be shown.
    // instance and className are accepted for the callers' sake and not used.
    virtual INT_PTR DoModal(HINSTANCE instance, const wchar_t* className, HWND owner);
    // The default: WM_INITDIALOG shows the window and returns 1, WM_CLOSE ends with 0.
    virtual INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The zero-filled 1024-byte template (a DLGTEMPLATE header and nothing else), reused by
    // every call; stays valid while the object lives. Also used for PSP_DLGINDIRECT pages.
    DLGTEMPLATE* BuildTemplate();

    // Dialog procedure of a modal dialog; the object arrives as WM_INITDIALOG's lParam.
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Dialog procedure of a property page; the object is PROPSHEETPAGEW's lParam.
    static INT_PTR CALLBACK StaticPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Receives the dialog's handle (a page: the sheet frame's) at WM_INITDIALOG.
    void SetHandleTarget(HWND* target) { handleTarget_ = target; }

    HWND Window() const { return window_; }
    HWND Owner() const { return owner_; }
    HDC Dc() const { return dc_; }
    HFONT Font() const { return font_; }
    DWORD Style() const { return style_; }
    void SetStyle(DWORD style) { style_ = style; }

private:
    // Binds the object at WM_INITDIALOG; handleValue goes to the handle target.
    void Bind(HWND window, HWND handleValue);
    static INT_PTR Route(SubClassDialogBase_CL* object, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HWND owner_ = nullptr;
    HDC dc_ = nullptr;  // GetDC(window_), released at WM_DESTROY
    // DWORD elements keep the DLGTEMPLATE aligned as DialogBoxIndirectParamW requires.
    std::unique_ptr<DWORD[]> template_;
    HFONT font_ = nullptr;  // UiFontForDpi() of the window, never deleted here
    HWND* handleTarget_ = nullptr;
    DWORD style_ = kDefaultStyle;
};

// Property sheet callback (PSH_USECALLBACK): at PSCB_INITIALIZED subclasses the sheet so that it
// is centred over its parent on every WM_SHOWWINDOW. Always returns 0.
int CALLBACK PropSheetCallback(HWND sheet, UINT message, LPARAM lParam);
// The sheet's subclass procedure; the previous one is kept in the sheet's GWLP_USERDATA.
LRESULT CALLBACK PropSheetSubclassProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the dialog so that its client-sized box is centred over the reference window (over the
// full-screen area from (0, 0) when the reference is minimised), then keeps it inside the work
// area of the reference's monitor. Does nothing for a null dialog.
void CenterWindowOver(HWND reference, HWND dialog);
