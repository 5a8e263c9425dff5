#pragma once
// The notice that a newer version is out: the question, "go to the site" and "notify later".
#include <windows.h>

#include <string>

#include "comlib/window/control_factory.h"
#include "comlib/window/dialog_base.h"

// The question the notice asks, in the dialog and in the message box shown without an owner.
std::wstring UpdateMessageText(const std::wstring& newVersion, const std::wstring& installedVersion);

class UpdateDialog_CL : public SubClassDialogBase_CL {
public:
    // Size in 96-DPI pixels, scaled for a process that is not DPI-aware.
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 160;
    static constexpr INT_PTR kGoToSite = 1;
    static constexpr INT_PTR kNotifyLater = 2;

    UpdateDialog_CL(std::wstring title, std::wstring installedVersion, std::wstring newVersion);
    ~UpdateDialog_CL() override = default;

    INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    const ControlFactory_CL& Controls() const { return factory_; }

private:
    void OnInitDialog(HWND window);

    std::wstring title_;
    std::wstring installedVersion_;
    std::wstring newVersion_;
    ControlFactory_CL factory_;
};

// Shows the dialog modally over the owner; 1 go to the site, 2 notify later, 0 closed or not
// shown. The target, when given, receives the dialog's window handle.
int RunUpdateDialog(HWND owner, const std::wstring& title, const std::wstring& installedVersion,
                    const std::wstring& newVersion, HWND* dialogTarget);

// The program's real notice: the dialog over the owner, or a message box without one.
int ShowUpdateNotice(HWND owner, const std::wstring& title, const std::wstring& installedVersion,
                     const std::wstring& newVersion, HWND* dialogTarget);
