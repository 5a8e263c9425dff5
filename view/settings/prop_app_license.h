#pragma once
// The third settings page: "license.html" from the executable's folder in a hosted browser.
#include <windows.h>

#include <string>

#include "comlib/window/browser_control.h"
#include "comlib/window/control_factory.h"
#include "view/settings/settings_page.h"

// ModuleFolder() + "\license.html".
std::wstring LicensePagePath();

class PropAppLicense_CL : public SettingsPage_CL {
public:
    PropAppLicense_CL() = default;
    ~PropAppLicense_CL() override;


    // The host window, null when no browser could be hosted (the page then shows its empty frame).
    HWND BrowserHost() const { return browser_.Host(); }
    bool HasBrowser() const { return browser_.HasBrowser(); }

private:
    void BuildControls(HWND page) override;

    // Declared first so that it goes last: the factory is destroyed before the browser.
    BrowserControl_CL browser_;
    ControlFactory_CL factory_;
};
