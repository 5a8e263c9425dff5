#pragma once
// The settings page "動作": the display, the battery rules, the "at work" threshold and the lid,
// and the manual session's hotkey.
#include <windows.h>

#include <functional>
#include <string>

#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"
#include "data/awake_command.h"
#include "data/policy.h"
#include "view/settings/language_setting.h"
#include "view/settings/settings_page.h"
#include "view/texts/ui_texts.h"

// "バッテリー残量が %d%% を下回ったらスリープを許可する" -> the text before and after the number
// box, "%%" read as "%".
void SplitAroundNumber(const std::wstring& format, std::wstring* before, std::wstring* after);
// The hotkey control's value: the virtual key in the low byte, HOTKEYF_* in the high byte.
WORD HotkeyControlValue(const Hotkey& hotkey);
Hotkey HotkeyFromControl(WORD value);
// A key the INI form can hold that JudgeHotkey accepts: a plain letter would be taken from every program.
bool IsUsableHotkey(const Hotkey& hotkey);
// The page's sentence for why a key is refused.
TextId HotkeyFaultText(HotkeyFault fault);

// What the page asks of the running program when it is applied.
struct AwakePageActions {
    // Registers the key in place of the old one and stores it; false with the system's error
    // when it is refused (the old key then stays).
    std::function<bool(const Hotkey& next, DWORD* error)> changeHotkey;
    // Runs the sleep check, so that the settings take effect at once.
    std::function<void()> checkNow;
    // The machine has a lid (GetPwrCapabilities through the guard); none: the lid choice is not shown.
    std::function<bool()> lidPresent;
    // The organisation's policies: the controls they govern are greyed.
    Policies policies{};
};

class PropAwake_CL : public SettingsPage_CL {
public:
    explicit PropAwake_CL(AwakePageActions actions) : actions_(std::move(actions)) {}
    ~PropAwake_CL() override;

    // PSN_APPLY: stores the display and battery settings, changes the hotkey, runs the check.
    // False when the hotkey was not taken; the page then says why beside the control.
    bool SaveAwake();

    HWND HotkeyControl() const { return hotkey_ ? hotkey_->Window() : nullptr; }
    HWND FloorEdit() const { return floorEdit_ ? floorEdit_->Window() : nullptr; }
    HWND BusyEdit() const { return busyEdit_ ? busyEdit_->Window() : nullptr; }
    // Null where the machine has no lid.
    HWND LidCheck() const { return lidCheck_ ? lidCheck_->Window() : nullptr; }
    HWND HotkeyMessage() const { return message_ ? message_->Window() : nullptr; }

private:
    void BuildControls(HWND page) override;
    INT_PTR PageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void EnableDependents();
    // Greys what the policies govern, shows their values, and adds the managed line.
    void ShowPolicies(HWND page);
    void ShowHotkey(const Hotkey& hotkey);
    void SayAboutHotkey(const std::wstring& text);
    int FloorValue() const;
    // An edit box with its up-down at the right of `beside`, holding value within min..max.
    void NumberBox(HWND page, const RECT& beside, int min, int max, int value, ControlBase_CL** edit,
                   ControlBase_CL** upDown);
    // The "at work" threshold and, where there is a lid, its choice; returns the frame's bottom.
    int BuildConditions(HWND page, int top);

    AwakePageActions actions_;
    ControlFactory_CL factory_;
    CheckBox_CL* displayCheck_ = nullptr;  // owned by factory_
    CheckBox_CL* acOnlyCheck_ = nullptr;
    CheckBox_CL* floorCheck_ = nullptr;
    ControlBase_CL* floorEdit_ = nullptr;
    ControlBase_CL* floorUpDown_ = nullptr;
    StaticText_CL* floorAfter_ = nullptr;
    ControlBase_CL* busyEdit_ = nullptr;
    ControlBase_CL* busyUpDown_ = nullptr;
    CheckBox_CL* lidCheck_ = nullptr;
    CheckBox_CL* lidMainsOnlyCheck_ = nullptr;
    CheckBox_CL* hotkeyCheck_ = nullptr;
    ControlBase_CL* hotkey_ = nullptr;
    StaticText_CL* message_ = nullptr;
    // The control's value as filled: unchanged, the stored key stays (Win cannot be typed there).
    WORD shownHotkey_ = 0;
    bool building_ = false;
    bool floorGoverned_ = false;
    bool hotkeyGoverned_ = false;
    LanguageChoiceControls language_;
};
