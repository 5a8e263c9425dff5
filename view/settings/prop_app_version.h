#pragma once
// The second settings page: the version, the daily update-check switch and the support site.
#include <windows.h>

#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"
#include "view/settings/settings_page.h"

class PropAppVersion_CL : public SettingsPage_CL {
public:
    PropAppVersion_CL() = default;
    ~PropAppVersion_CL() override;
    // The organisation's UpdateCheck=0: the switch shows "no notice", greyed, and is never stored.
    void SetUpdateCheckOff(bool off) { updateCheckOff_ = off; }


private:
    void BuildControls(HWND page) override;
    INT_PTR PageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    ControlFactory_CL factory_;
    CheckBox_CL* notifyCheck_ = nullptr;   // "バージョンアップの通知をしない", owned by factory_
    Button_CL* iconButton_ = nullptr;      // owned by factory_
    Button_CL* supportButton_ = nullptr;   // owned by factory_
    int iconId_ = 101;                     // the program's icon resource
    bool updateCheckOff_ = false;
};
