#include "view/settings/prop_app_version.h"

#include <prsht.h>

#include "comlib/inifile.h"
#include "data/save_data.h"
#include "view/settings/prop_app_setting.h"
#include "view/common/support_site.h"
#include "view/settings/managed_line.h"
#include "view/texts/ui_texts.h"

namespace {
constexpr int kNotifyCheckY = 16;
constexpr int kIconButtonSize = 36;
constexpr int kVersionFrameY = 52;
}  // namespace

PropAppVersion_CL::~PropAppVersion_CL() = default;

INT_PTR PropAppVersion_CL::PageMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if ((iconButton_ && id == iconButton_->Id()) || (supportButton_ && id == supportButton_->Id()))
            OpenSupportSite();
        else if (notifyCheck_ && id == notifyCheck_->Id())
            ReportChanged();
        return 0;
    }
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY) && notifyCheck_ &&
            notifyCheck_->Window() && !updateCheckOff_) {
            // A stored 1 switches the daily update check off.
            g_SaveData.ReportWrite(g_Inifile.WriteInt(L"VERSION", L"notify",
                                                      (notifyCheck_->GetCheck() & 0xFF) == BST_CHECKED ? 1 : 0));
        }
        // 0 leaves the message result at PSNRET_NOERROR.
        return 0;
    default:
        return 0;
    }
}

void PropAppVersion_CL::BuildControls(HWND page) {
    const PageMetrics metrics = GetPageMetrics(page);

    notifyCheck_ = factory_.At<CheckBox_CL>(factory_.CreateCheckBox(page, UiText(TextId::CheckNoUpdateNotice), kNotifyCheckY));

    const int iconIndex = factory_.CreateButton(page, L"OK");
    iconButton_ = factory_.At<Button_CL>(iconIndex);
    iconButton_->SetSize(kIconButtonSize, kIconButtonSize, true);
    HWND iconWindow = iconButton_->Window();
    ::SetWindowLongW(iconWindow, GWL_STYLE, ::GetWindowLongW(iconWindow, GWL_STYLE) | BS_ICON | BS_FLAT);
    // LR_SHARED: the system keeps the icon for the module's lifetime; it is never destroyed here.
    HANDLE icon = ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId_), IMAGE_ICON, 0, 0,
                               LR_SHARED | LR_DEFAULTSIZE);
    ::SendMessageW(iconWindow, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));

    const int versionIndex = factory_.CreateStaticText(page, L"Version : " DORMIGUARD_VERSION, 8, 0);
    const int spacerIndex = factory_.CreateStaticText(page, L"　", 8, 0);
    const int supportTextIndex = factory_.CreateStaticText(page, UiText(TextId::SupportSiteLabel), 8, 0);
    const int supportIndex = factory_.CreateButton(page, UiText(TextId::SupportSiteButton));
    supportButton_ = factory_.At<Button_CL>(supportIndex);

    notifyCheck_->SetCheck(g_Inifile.ReadInt(L"VERSION", L"notify", 0) != 0 ? BST_CHECKED : BST_UNCHECKED);
    if (updateCheckOff_) {
        ShowGoverned(notifyCheck_, true);
        AddManagedLine(page, factory_);
    }

    const int stack[] = {iconIndex, versionIndex, spacerIndex, supportTextIndex, supportIndex, -1};
    factory_.StackVertically(stack);

    auto* noticeFrame =
        factory_.At<GroupBox_CL>(factory_.CreateGroupBox(page, UiText(TextId::GroupUpdateNotice), metrics.width, 36, 0));
    noticeFrame->GrowToContain(*notifyCheck_);
    noticeFrame->SetSize(metrics.width, noticeFrame->NeededHeight() + 8, true);

    auto* versionFrame = factory_.At<GroupBox_CL>(
        factory_.CreateGroupBox(page, UiText(TextId::GroupVersionInfo), metrics.width, 140, kVersionFrameY));
    versionFrame->GrowToContain(*supportButton_);
    versionFrame->SetSize(metrics.width, versionFrame->NeededHeight() + 8, true);

    RECT iconRect = {};
    ::GetWindowRect(iconWindow, &iconRect);
    ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&iconRect), 2);
    iconButton_->SetPosition(iconRect.left + 8, iconRect.top);
}
