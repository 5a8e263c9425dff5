#include "view/update_notice/update_dialog.h"

#include "comlib/window/high_dpi.h"
#include "update/update_check.h"
#include "view/texts/ui_texts.h"

std::wstring UpdateMessageText(const std::wstring& newVersion, const std::wstring& installedVersion) {
    return UiFormat(TextId::UpdateMessage, newVersion.c_str(), installedVersion.c_str());
}

UpdateDialog_CL::UpdateDialog_CL(std::wstring title, std::wstring installedVersion, std::wstring newVersion)
    : title_(std::move(title)), installedVersion_(std::move(installedVersion)), newVersion_(std::move(newVersion)) {}

void UpdateDialog_CL::OnInitDialog(HWND window) {
    ::SetWindowTextW(window, title_.c_str());
    HighDpiHelper_CL dpi;
    dpi.Query(window);
    ::MoveWindow(window, 0, 0, dpi.ScaleX(kWidth), dpi.ScaleY(kHeight), FALSE);
    // A fixed-size question: neither minimise nor maximise.
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    ::SetWindowLongW(window, GWL_STYLE, style & ~(WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
    factory_.CreateButtonPair(window, UiText(TextId::UpdateGoToSite), UiText(TextId::UpdateNotifyLater));
    factory_.CreateStaticText(window, UpdateMessageText(newVersion_, installedVersion_), 8, 8);
    CenterWindowOver(Owner(), window);
}

INT_PTR UpdateDialog_CL::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == ControlFactory_CL::kAcceptId)
            ::EndDialog(window, kGoToSite);
        else if (LOWORD(wParam) == ControlFactory_CL::kCancelId)
            ::EndDialog(window, kNotifyLater);
        break;
    case WM_CLOSE:
        ::EndDialog(window, 0);
        break;
    default:
        break;
    }
    return 0;
}

int RunUpdateDialog(HWND owner, const std::wstring& title, const std::wstring& installedVersion,
                    const std::wstring& newVersion, HWND* dialogTarget) {
    UpdateDialog_CL dialog(title, installedVersion, newVersion);
    dialog.SetHandleTarget(dialogTarget);
    const INT_PTR result = dialog.DoModal(nullptr, nullptr, owner);
    // -1: the dialog could not be created; like a closed notice, nothing is recorded.
    return result == UpdateDialog_CL::kGoToSite || result == UpdateDialog_CL::kNotifyLater ? static_cast<int>(result)
                                                                                          : 0;
}

int ShowUpdateNotice(HWND owner, const std::wstring& title, const std::wstring& installedVersion,
                     const std::wstring& newVersion, HWND* dialogTarget) {
    if (owner) return RunUpdateDialog(owner, title, installedVersion, newVersion, dialogTarget);
    const std::wstring text = UpdateMessageText(newVersion, installedVersion);
    return NoticeResultFromMessageBox(::MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_YESNOCANCEL));
}
