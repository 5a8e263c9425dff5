#pragma once
// The second settings page: the version, the daily update-check switch and the support site.
#include <windows.h>

#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"
#include "comlib/window/dialog_base.h"

class PropAppVersion_CL : public SubClassDialogBase_CL {
public:
    PropAppVersion_CL() = default;
    ~PropAppVersion_CL() override;

    INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildControls(HWND page);

    ControlFactory_CL factory_;
    CheckBox_CL* notifyCheck_ = nullptr;   // "バージョンアップの通知をしない", owned by factory_
    Button_CL* iconButton_ = nullptr;      // owned by factory_
    Button_CL* supportButton_ = nullptr;   // owned by factory_
    int iconId_ = 101;                     // the program's icon resource
};
