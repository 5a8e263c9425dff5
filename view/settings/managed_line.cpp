#include "view/settings/managed_line.h"

#include "view/settings/prop_app_setting.h"
#include "view/texts/ui_texts.h"

StaticText_CL* AddManagedLine(HWND page, ControlFactory_CL& factory) {
    const PageMetrics metrics = GetPageMetrics(page);
    const int margin = metrics.charWidth / 2;
    auto* line = factory.At<StaticText_CL>(factory.CreateStaticText(
        page, UiText(TextId::ManagedByOrganization), margin, metrics.height - metrics.charHeight - margin));
    if (line) line->SetSize(metrics.width - 2 * margin, metrics.charHeight, true);
    return line;
}

void ShowGoverned(CheckBox_CL* box, bool value) {
    if (!box || !box->Window()) return;
    box->SetCheck(value ? BST_CHECKED : BST_UNCHECKED);
    ::EnableWindow(box->Window(), FALSE);
}
