#include "view/settings/prop_awake.h"

#include <commctrl.h>
#include <prsht.h>

#include "comlib/utility.h"
#include "comlib/window/high_dpi.h"
#include "data/save_data.h"
#include "guard/policy_rules.h"
#include "view/settings/prop_app_setting.h"
#include "view/texts/ui_texts.h"

namespace {
// 96-DPI pixels, scaled like the other dialogs.
constexpr int kMargin = 8;
constexpr int kRowGap = 8;
constexpr int kNumberBoxWidth = 48;
constexpr int kHotkeyBoxWidth = 180;
constexpr int kIndent = 24;
constexpr int kCheckBoxLeft = 8;  // where the factory puts check boxes, unscaled
constexpr DWORD kEditStyle = WS_TABSTOP | WS_BORDER | ES_NUMBER | ES_RIGHT;
constexpr DWORD kUpDownStyle = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;

RECT ChildRectOf(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool Checked(const CheckBox_CL* box) { return box && box->Window() && (box->GetCheck() & 0xFF) == BST_CHECKED; }

// The box itself, since a typed value is not the up-down's until it is clicked: an emptied box
// gives the default, a value out of range the nearest limit.
int NumberIn(const ControlBase_CL* edit, int min, int max, int fallback) {
    wchar_t text[16] = {};
    ::GetWindowTextW(edit->Window(), text, 16);
    if (text[0] == L'\0') return fallback;
    const long value = wcstol(text, nullptr, 10);
    return value < min ? min : value > max ? max : static_cast<int>(value);
}
}  // namespace

void SplitAroundNumber(const std::wstring& format, std::wstring* before, std::wstring* after) {
    before->clear();
    after->clear();
    std::wstring* into = before;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size()) {
            if (format[i + 1] == L'd' && into == before) {
                into = after;
                ++i;
                continue;
            }
            if (format[i + 1] == L'%') ++i;
        }
        into->push_back(format[i]);
    }
}

WORD HotkeyControlValue(const Hotkey& hotkey) {
    BYTE flags = 0;
    if (hotkey.modifiers & MOD_SHIFT) flags |= HOTKEYF_SHIFT;
    if (hotkey.modifiers & MOD_CONTROL) flags |= HOTKEYF_CONTROL;
    if (hotkey.modifiers & MOD_ALT) flags |= HOTKEYF_ALT;
    return MAKEWORD(static_cast<BYTE>(hotkey.key), flags);
}

Hotkey HotkeyFromControl(WORD value) {
    Hotkey hotkey;
    hotkey.key = LOBYTE(value);
    const BYTE flags = HIBYTE(value);
    if (flags & HOTKEYF_SHIFT) hotkey.modifiers |= MOD_SHIFT;
    if (flags & HOTKEYF_CONTROL) hotkey.modifiers |= MOD_CONTROL;
    if (flags & HOTKEYF_ALT) hotkey.modifiers |= MOD_ALT;
    return hotkey;
}

bool IsUsableHotkey(const Hotkey& hotkey) {
    if (hotkey.key == 0 || JudgeHotkey(hotkey) != HotkeyFault::None) return false;
    Hotkey read;
    return ParseHotkey(FormatHotkey(hotkey), &read) && read.key == hotkey.key && read.modifiers == hotkey.modifiers;
}

TextId HotkeyFaultText(HotkeyFault fault) {
    switch (fault) {
        case HotkeyFault::CharacterKey:
            return TextId::HotkeyNeedsCtrlShift;
        case HotkeyFault::FunctionAlone:
            return TextId::HotkeyNeedsModifier;
        case HotkeyFault::F12:
            return TextId::HotkeyF12Reserved;
        case HotkeyFault::WindowsKey:
            return TextId::HotkeyNoWindowsKey;
        default:
            return TextId::HotkeyUnusable;
    }
}

PropAwake_CL::~PropAwake_CL() = default;

INT_PTR PropAwake_CL::PageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            if (building_) return 0;
            const int id = LOWORD(wParam);
            const bool box = (displayCheck_ && id == displayCheck_->Id()) || (acOnlyCheck_ && id == acOnlyCheck_->Id()) ||
                             (floorCheck_ && id == floorCheck_->Id()) || (hotkeyCheck_ && id == hotkeyCheck_->Id()) ||
                             (lidCheck_ && id == lidCheck_->Id()) ||
                             (lidMainsOnlyCheck_ && id == lidMainsOnlyCheck_->Id());
            const bool typed = HIWORD(wParam) == EN_CHANGE &&
                               ((floorEdit_ && id == floorEdit_->Id()) || (hotkey_ && id == hotkey_->Id()) ||
                                (busyEdit_ && id == busyEdit_->Id()));
            if (box) EnableDependents();
            if (box || typed || language_.IsChoiceCommand(id)) ReportChanged();
            return 0;
        }
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY) && !SaveAwake()) {
                // Back to this page, where the refusal is written, instead of closing the sheet.
                ::SetWindowLongPtrW(window, DWLP_MSGRESULT, PSNRET_INVALID);
                return TRUE;
            }
            return 0;
        default:
            return 0;
    }
}

void PropAwake_CL::BuildControls(HWND page) {
    building_ = true;
    const PageMetrics metrics = GetPageMetrics(page);
    HighDpiHelper_CL dpi;
    dpi.Query(page);
    const int margin = dpi.ScaleX(kMargin);
    const AwakeSettings& settings = g_SaveData.awake;

    // The display.
    displayCheck_ = factory_.At<CheckBox_CL>(
        factory_.CreateCheckBox(page, UiText(TextId::CheckKeepDisplayOn), FirstRowInGroup(page, 0)));
    displayCheck_->SetCheck(settings.display ? BST_CHECKED : BST_UNCHECKED);
    auto* displayFrame =
        factory_.At<GroupBox_CL>(factory_.CreateGroupBox(page, UiText(TextId::GroupDisplay), metrics.width, 36, 0));
    displayFrame->GrowToContain(*displayCheck_);
    displayFrame->SetSize(metrics.width, displayFrame->NeededHeight() + margin, true);

    // The battery: the floor's sentence runs around its number box.
    const int batteryTop = ChildRectOf(displayFrame->Window()).bottom + dpi.ScaleY(kRowGap);
    acOnlyCheck_ = factory_.At<CheckBox_CL>(
        factory_.CreateCheckBox(page, UiText(TextId::CheckAcOnly), FirstRowInGroup(page, batteryTop)));
    acOnlyCheck_->SetCheck(settings.acOnly ? BST_CHECKED : BST_UNCHECKED);
    std::wstring before, after;
    SplitAroundNumber(UiText(TextId::CheckBatteryFloor), &before, &after);
    const RECT acRect = ChildRectOf(acOnlyCheck_->Window());
    floorCheck_ = factory_.At<CheckBox_CL>(
        factory_.CreateCheckBox(page, before, acRect.bottom + dpi.ScaleY(kRowGap) + 2));
    floorCheck_->SetCheck(settings.batteryFloor > 0 ? BST_CHECKED : BST_UNCHECKED);
    const RECT floorRect = ChildRectOf(floorCheck_->Window());
    const int boxHeight = (floorRect.bottom - floorRect.top) + 6;
    // Off shows the value the switch starts with.
    NumberBox(page, floorRect, kBatteryFloorMin, kBatteryFloorMax,
              settings.batteryFloor > 0 ? settings.batteryFloor : kBatteryFloorDefault, &floorEdit_, &floorUpDown_);
    const RECT upDownRect = ChildRectOf(floorUpDown_->Window());
    floorAfter_ = factory_.At<StaticText_CL>(factory_.CreateStaticText(page, after, upDownRect.right + 4, floorRect.top));
    auto* batteryFrame = factory_.At<GroupBox_CL>(
        factory_.CreateGroupBox(page, UiText(TextId::GroupBattery), metrics.width, 36, batteryTop));
    batteryFrame->GrowToContain(*acOnlyCheck_);
    batteryFrame->GrowToContain(*floorAfter_);
    batteryFrame->GrowToContain(*floorEdit_);
    batteryFrame->SetSize(metrics.width, batteryFrame->NeededHeight() + margin, true);

    // The hotkey: a switch, the key, and a line for what went wrong.
    const int hotkeyTop = BuildConditions(page, ChildRectOf(batteryFrame->Window()).bottom) + dpi.ScaleY(kRowGap);
    hotkeyCheck_ = factory_.At<CheckBox_CL>(
        factory_.CreateCheckBox(page, UiText(TextId::CheckHotkeyOn), FirstRowInGroup(page, hotkeyTop)));
    const RECT hotkeyCheckRect = ChildRectOf(hotkeyCheck_->Window());
    hotkey_ = factory_.Control(factory_.CreateChild(page, HOTKEY_CLASSW, L"", WS_TABSTOP | WS_BORDER,
                                                    margin + dpi.ScaleX(kIndent), hotkeyCheckRect.bottom + 4,
                                                    dpi.ScaleX(kHotkeyBoxWidth), boxHeight));
    // A plain key or Shift alone would be taken from every program: Ctrl+Shift is put in front
    // (not Ctrl+Alt, which is AltGr on many layouts). Apply says why any other key is refused.
    ::SendMessageW(hotkey_->Window(), HKM_SETRULES, HKCOMB_NONE | HKCOMB_S,
                   MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_SHIFT, 0));
    const RECT hotkeyRect = ChildRectOf(hotkey_->Window());
    message_ = factory_.At<StaticText_CL>(factory_.CreateStaticText(page, L"", hotkeyRect.left, hotkeyRect.bottom + 4));
    message_->SetSize(metrics.width - hotkeyRect.left - margin, 2 * (floorRect.bottom - floorRect.top) + 4, true);
    ::ShowWindow(message_->Window(), SW_HIDE);
    ShowHotkey(g_SaveData.hotkey);
    auto* hotkeyFrame = factory_.At<GroupBox_CL>(
        factory_.CreateGroupBox(page, UiText(TextId::GroupHotkey), metrics.width, 36, hotkeyTop));
    hotkeyFrame->GrowToContain(*message_);
    hotkeyFrame->SetSize(metrics.width, hotkeyFrame->NeededHeight() + margin, true);

    language_.Build(page, factory_, ChildRectOf(hotkeyFrame->Window()).bottom + dpi.ScaleY(kRowGap), metrics.width);

    ShowPolicies(page);
    EnableDependents();
    building_ = false;
}

void PropAwake_CL::NumberBox(HWND page, const RECT& beside, int min, int max, int value, ControlBase_CL** edit,
                             ControlBase_CL** upDown) {
    HighDpiHelper_CL dpi;
    dpi.Query(page);
    *edit = factory_.Control(factory_.CreateChild(page, WC_EDITW, L"", kEditStyle, beside.right + 2, beside.top - 3,
                                                  dpi.ScaleX(kNumberBoxWidth), (beside.bottom - beside.top) + 6));
    *upDown = factory_.Control(factory_.CreateChild(page, UPDOWN_CLASSW, L"", kUpDownStyle, 0, 0, 0, 0));
    ::SendMessageW((*upDown)->Window(), UDM_SETBUDDY, reinterpret_cast<WPARAM>((*edit)->Window()), 0);
    ::SendMessageW((*upDown)->Window(), UDM_SETRANGE32, min, max);
    ::SendMessageW((*upDown)->Window(), UDM_SETPOS32, 0, value);
}

int PropAwake_CL::BuildConditions(HWND page, int top) {
    const PageMetrics metrics = GetPageMetrics(page);
    HighDpiHelper_CL dpi;
    dpi.Query(page);
    const int margin = dpi.ScaleX(kMargin);
    top += dpi.ScaleY(kRowGap);
    const AwakeSettings& settings = g_SaveData.awake;
    // The threshold's sentence runs around its number box, as the floor's does.
    std::wstring before, after;
    SplitAroundNumber(UiText(TextId::BusyPercentRow), &before, &after);
    auto* label = factory_.At<StaticText_CL>(
        factory_.CreateStaticText(page, before, kCheckBoxLeft, FirstRowInGroup(page, top) + 2));
    const RECT labelRect = ChildRectOf(label->Window());
    NumberBox(page, labelRect, kBusyPercentMin, kBusyPercentMax, settings.busyPercent, &busyEdit_, &busyUpDown_);
    const RECT upDownRect = ChildRectOf(busyUpDown_->Window());
    auto* unit =
        factory_.At<StaticText_CL>(factory_.CreateStaticText(page, after, upDownRect.right + 4, labelRect.top));
    // Windows treats a closed lid as the user's own sleep: offered only where there is one.
    if (actions_.lidPresent && actions_.lidPresent()) {
        const RECT editRect = ChildRectOf(busyEdit_->Window());
        lidCheck_ = factory_.At<CheckBox_CL>(
            factory_.CreateCheckBox(page, UiText(TextId::CheckLidKeepWorking), editRect.bottom + dpi.ScaleY(kRowGap)));
        lidCheck_->SetCheck(settings.lid ? BST_CHECKED : BST_UNCHECKED);
        const RECT lidRect = ChildRectOf(lidCheck_->Window());
        lidMainsOnlyCheck_ = factory_.At<CheckBox_CL>(
            factory_.CreateCheckBox(page, UiText(TextId::CheckLidMainsOnly), lidRect.bottom + 4));
        lidMainsOnlyCheck_->SetCheck(settings.lidMainsOnly ? BST_CHECKED : BST_UNCHECKED);
        // Beneath the choice it belongs to.
        const RECT mainsRect = ChildRectOf(lidMainsOnlyCheck_->Window());
        ::SetWindowPos(lidMainsOnlyCheck_->Window(), nullptr, mainsRect.left + dpi.ScaleX(kIndent), mainsRect.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The frame after what it holds, which stays above it.
    auto* frame = factory_.At<GroupBox_CL>(
        factory_.CreateGroupBox(page, UiText(TextId::GroupConditions), metrics.width, 36, top));
    frame->GrowToContain(*unit);
    frame->GrowToContain(*busyEdit_);
    if (lidMainsOnlyCheck_) frame->GrowToContain(*lidMainsOnlyCheck_);
    frame->SetSize(metrics.width, frame->NeededHeight() + margin, true);
    return ChildRectOf(frame->Window()).bottom;
}

void PropAwake_CL::ShowHotkey(const Hotkey& hotkey) {
    const bool wasBuilding = building_;
    building_ = true;
    hotkeyCheck_->SetCheck(hotkey.key != 0 ? BST_CHECKED : BST_UNCHECKED);
    shownHotkey_ = hotkey.key != 0 ? HotkeyControlValue(hotkey) : HotkeyControlValue(DefaultHotkey());
    ::SendMessageW(hotkey_->Window(), HKM_SETHOTKEY, shownHotkey_, 0);
    EnableDependents();
    building_ = wasBuilding;
}

void PropAwake_CL::EnableDependents() {
    const bool floor = Checked(floorCheck_) && !floorGoverned_;
    if (floorEdit_) ::EnableWindow(floorEdit_->Window(), floor);
    if (floorUpDown_) ::EnableWindow(floorUpDown_->Window(), floor);
    if (hotkey_) ::EnableWindow(hotkey_->Window(), Checked(hotkeyCheck_) && !hotkeyGoverned_);
    if (lidMainsOnlyCheck_) ::EnableWindow(lidMainsOnlyCheck_->Window(), Checked(lidCheck_));
}

int PropAwake_CL::FloorValue() const {
    return NumberIn(floorEdit_, kBatteryFloorMin, kBatteryFloorMax, kBatteryFloorDefault);
}

void PropAwake_CL::SayAboutHotkey(const std::wstring& text) {
    ::SetWindowTextW(message_->Window(), text.c_str());
    ::ShowWindow(message_->Window(), text.empty() ? SW_HIDE : SW_SHOW);
}

bool PropAwake_CL::SaveAwake() {
    if (!displayCheck_ || !displayCheck_->Window()) return true;
    // The language first: a refused hotkey keeps the page open but must not lose the choice.
    language_.Apply();
    // From the stored settings: what this page does not show stays as it is.
    AwakeSettings next = g_SaveData.awake;
    next.display = Checked(displayCheck_);
    next.acOnly = Checked(acOnlyCheck_);
    next.batteryFloor = Checked(floorCheck_) ? FloorValue() : 0;
    if (busyEdit_) next.busyPercent = NumberIn(busyEdit_, kBusyPercentMin, kBusyPercentMax, kBusyPercentDefault);
    if (lidCheck_) {
        next.lid = Checked(lidCheck_);
        next.lidMainsOnly = Checked(lidMainsOnlyCheck_);
    }
    g_SaveData.StoreAwakeSettings(UserEditUnderPolicies(next, g_SaveData.awake, actions_.policies));
    if (next.batteryFloor > 0 && !floorGoverned_) {
        // The box shows the value stored, clamped, not the one typed; no change reported for it.
        building_ = true;
        ::SendMessageW(floorUpDown_->Window(), UDM_SETPOS32, 0, g_SaveData.awake.batteryFloor);
        building_ = false;
    }

    bool taken = true;
    const Hotkey old = g_SaveData.hotkey;
    const WORD typed = static_cast<WORD>(::SendMessageW(hotkey_->Window(), HKM_GETHOTKEY, 0, 0));
    Hotkey wanted;
    if (Checked(hotkeyCheck_)) wanted = (typed == shownHotkey_ && old.key != 0) ? old : HotkeyFromControl(typed);
    if (hotkeyGoverned_) wanted = old;
    if (wanted.key != old.key || wanted.modifiers != old.modifiers) {
        DWORD error = ERROR_SUCCESS;
        if (wanted.key != 0 && !IsUsableHotkey(wanted)) {
            SayAboutHotkey(UiText(HotkeyFaultText(JudgeHotkey(wanted))));
            taken = false;
        } else if (actions_.changeHotkey && !actions_.changeHotkey(wanted, &error)) {
            // The system's sentence without its full stop: it stands inside brackets here.
            std::wstring why = SystemErrorText(error);
            while (!why.empty() && (why.back() == L'。' || why.back() == L'.' || iswspace(why.back()))) why.pop_back();
            SayAboutHotkey(UiFormat(TextId::HotkeyRefused, FormatHotkey(wanted).c_str(), why.c_str()));
            taken = false;
        } else {
            if (!actions_.changeHotkey) g_SaveData.StoreHotkey(wanted);
            SayAboutHotkey(L"");
        }
        // The control shows the key that holds now.
        ShowHotkey(g_SaveData.hotkey);
    } else {
        SayAboutHotkey(L"");
    }
    if (actions_.checkNow) actions_.checkNow();
    return taken;
}
