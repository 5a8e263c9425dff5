#include "view/settings/prop_app_license.h"

#include "comlib/utility.h"
#include "view/settings/prop_app_setting.h"

std::wstring LicensePagePath() { return ModuleFolder() + L"\\license.html"; }

PropAppLicense_CL::~PropAppLicense_CL() = default;

void PropAppLicense_CL::BuildControls(HWND page) {
    const PageMetrics metrics = GetPageMetrics(page);
    const int ch = metrics.charHeight;

    if (HWND host = browser_.CreateHost(page))
        ::MoveWindow(host, 8, ch, metrics.width - 16, metrics.height - 2 * ch, TRUE);

    auto* frame = factory_.At<GroupBox_CL>(factory_.CreateGroupBox(page, L"", metrics.width, metrics.height - 3 * ch, 0));
    // The frame reaches from its top (0) to the bottom of the page.
    frame->SetSize(metrics.width, metrics.height, true);

    browser_.Navigate(LicensePagePath());
}
