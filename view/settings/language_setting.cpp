#include "view/settings/language_setting.h"

#include "comlib/inifile.h"
#include "comlib/window/high_dpi.h"
#include "comlib/window/ui_font.h"
#include "data/save_data.h"
#include "view/settings/settings_page.h"

namespace {
const wchar_t kSection[] = L"DISPLAY";
const wchar_t kKey[] = L"language";
constexpr LanguageChoice kChoices[] = {LanguageChoice::Auto, LanguageChoice::Japanese, LanguageChoice::English};
constexpr TextId kChoiceTexts[] = {TextId::LanguageAuto, TextId::LanguageJapanese, TextId::LanguageEnglish};

// The choice's own labels mix both scripts. They keep the page's face wherever it draws Japanese
// (Windows links Japanese faces to its UI faces); only where it draws none (Wine without linked
// fonts) they take a Japanese-capable face. The control is made the size of its text again.
void UseBothScriptsFont(ControlBase_CL* control, bool textSized) {
    const HFONT stock = JapaneseCapableUiFont();
    if (!control || !control->Window() || UiFont() == stock) return;
    ::SendMessageW(control->Window(), WM_SETFONT, reinterpret_cast<WPARAM>(stock), TRUE);
    if (!textSized) return;
    wchar_t text[64] = {};
    ::GetWindowTextW(control->Window(), text, 64);
    const SIZE size = CheckBoxSizeForText(ControlFactory_CL::MeasureText(stock, text));
    ::SetWindowPos(control->Window(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
}

RECT ChildRect(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
}  // namespace

LanguageChoice ReadLanguageChoice(const std::wstring& iniPath) {
    // GetPrivateProfileStringW only reads: a missing file stays missing.
    return ParseLanguageChoice(Inifile_CL(iniPath).ReadString(kSection, kKey, L"auto"));
}

void ApplyLanguageChoice(LanguageChoice choice) {
    SetUiLanguage(ResolveLanguage(choice, ::GetUserDefaultUILanguage()));
    // Japanese keeps the stock face the program always had; English gets the system's UI face.
    UseUiFontFor(CurrentUiLanguage() == UiLanguage::English ? UiFontKind::SystemMessage : UiFontKind::DefaultGui);
}

int LanguageChoiceControls::Build(HWND page, ControlFactory_CL& factory, int top, int width) {
    HighDpiHelper_CL dpi;
    dpi.Query();
    shown_ = ReadLanguageChoice(g_Inifile.Path());
    int x = dpi.ScaleX(8);
    const int y = FirstRowInGroup(page, top);
    int bottom = y;
    for (size_t i = 0; i < 3; ++i) {
        buttons_[i] = factory.At<CheckBox_CL>(factory.CreateRadioButton(page, UiText(kChoiceTexts[i]), x, y, i == 0));
        if (!buttons_[i] || !buttons_[i]->Window()) continue;
        buttons_[i]->SetCheck(kChoices[i] == shown_ ? BST_CHECKED : BST_UNCHECKED);
        UseBothScriptsFont(buttons_[i], true);
        const RECT rect = ChildRect(buttons_[i]->Window());
        x = rect.right + dpi.ScaleX(12);
        bottom = rect.bottom;
    }
    auto* note = factory.At<StaticText_CL>(
        factory.CreateStaticText(page, UiText(TextId::LanguageTakesEffect), dpi.ScaleX(8), bottom + dpi.ScaleY(4)));
    auto* frame = factory.At<GroupBox_CL>(factory.CreateGroupBox(page, UiText(TextId::GroupLanguage), width, 36, top));
    if (!frame) return top;
    UseBothScriptsFont(frame, false);
    for (CheckBox_CL* button : buttons_)
        if (button) frame->GrowToContain(*button);
    if (note) frame->GrowToContain(*note);
    frame->SetSize(width, frame->NeededHeight() + dpi.ScaleY(8), true);
    return frame->Window() ? ChildRect(frame->Window()).bottom : top;
}

bool LanguageChoiceControls::IsChoiceCommand(int id) const {
    for (const CheckBox_CL* button : buttons_)
        if (button && button->Id() == id) return true;
    return false;
}

LanguageChoice LanguageChoiceControls::Selected() const {
    for (size_t i = 0; i < 3; ++i)
        if (buttons_[i] && buttons_[i]->Window() && (buttons_[i]->GetCheck() & 0xFF) == BST_CHECKED) return kChoices[i];
    return shown_;
}

void LanguageChoiceControls::Apply() {
    const LanguageChoice selected = Selected();
    if (selected == shown_) return;
    g_SaveData.ReportWrite(g_Inifile.WriteString(kSection, kKey, LanguageChoiceValue(selected)));
    shown_ = selected;
    ApplyLanguageChoice(selected);
}
