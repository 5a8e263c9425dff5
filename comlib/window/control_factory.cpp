#include "comlib/window/control_factory.h"

#include <commctrl.h>

#include <vector>

#include "comlib/log.h"
#include "comlib/utility.h"

SIZE ButtonSizeForText(SIZE text) { return SIZE{text.cx + 8, text.cy + 8}; }

SIZE CheckBoxSizeForText(SIZE text) { return SIZE{text.cx + 32, text.cy}; }

ButtonPairPositions PlaceButtonPairIn(const RECT& client, SIZE accept, SIZE cancel) {
    const int right = client.right - 4;
    const int bottom = client.bottom - 4;
    ButtonPairPositions positions;
    positions.cancel = POINT{right - cancel.cx, bottom - cancel.cy};
    positions.accept = POINT{right - 4 - accept.cx - cancel.cx, bottom - cancel.cy};
    return positions;
}

std::vector<int> StackPositions(const std::vector<StackItem>& items) {
    std::vector<int> positions;
    int y = kStackStartY;
    for (const StackItem& item : items) {
        positions.push_back(y);
        y += item.spacer ? (item.height + 4) / 2 : item.height + 4;
    }
    return positions;
}

bool IsSpacerText(const std::wstring& text) { return text == L"\u3000"; }

namespace {
constexpr DWORD kStaticStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | SS_LEFT;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheckBoxStyle = kButtonStyle | BS_AUTOCHECKBOX;
constexpr DWORD kListViewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL |
                                 WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS;
constexpr DWORD kGroupBoxStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | BS_GROUPBOX;

SIZE WindowSize(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}
}  // namespace

SIZE ControlFactory_CL::MeasureText(HFONT font, const std::wstring& text) {
    WindowDc screen(nullptr);
    SelectedObject selected(screen.Get(), font);
    // DT_CALCRECT alone: line breaks count, no word wrapping.
    RECT rect = {0, 0, 32768, 32768};
    ::DrawTextW(screen.Get(), text.c_str(), -1, &rect, DT_CALCRECT);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

int ControlFactory_CL::Add(std::unique_ptr<ControlBase_CL> control, HWND parent, const wchar_t* className,
                           const std::wstring& text, DWORD style, int x, int y, int width, int height) {
    control->SetId(nextId_++);
    // The id travels in the menu-handle argument of a child window.
    HWND window = ::CreateWindowExW(0, className, text.c_str(), style, x, y, width, height, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control->Id())),
                                    ::GetModuleHandleW(nullptr), control.get());
    if (window) {
        control->SetWindow(window);
        ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(control->Font()), TRUE);
    } else {
        g_Logger.Log(L"CreateWindowExW(%s) failed: %s", __FILE__, __LINE__, className,
                     SystemErrorText(::GetLastError()).c_str());
    }
    controls_.push_back(std::move(control));
    return static_cast<int>(controls_.size()) - 1;
}

int ControlFactory_CL::CreateStaticText(HWND parent, const std::wstring& text, int x, int y) {
    auto control = std::make_unique<StaticText_CL>();
    const SIZE size = MeasureText(control->Font(), text);
    return Add(std::move(control), parent, L"Static", text, kStaticStyle, x, y, size.cx, size.cy);
}

int ControlFactory_CL::CreateButton(HWND parent, const std::wstring& text) {
    auto control = std::make_unique<Button_CL>();
    const SIZE size = ButtonSizeForText(MeasureText(control->Font(), text));
    return Add(std::move(control), parent, L"Button", text, kButtonStyle, 0, 0, size.cx, size.cy);
}

int ControlFactory_CL::CreateCheckBox(HWND parent, const std::wstring& text, int y) {
    auto control = std::make_unique<CheckBox_CL>();
    const SIZE size = CheckBoxSizeForText(MeasureText(control->Font(), text));
    const int index = Add(std::move(control), parent, L"Button", text, kCheckBoxStyle, 8, y, size.cx, size.cy);
    if (HWND window = controls_[index]->Window()) ::SendMessageW(window, BM_SETCHECK, BST_UNCHECKED, 0);
    return index;
}

int ControlFactory_CL::CreateRadioButton(HWND parent, const std::wstring& text, int x, int y, bool firstOfGroup) {
    auto control = std::make_unique<CheckBox_CL>();
    const SIZE size = CheckBoxSizeForText(MeasureText(control->Font(), text));
    const DWORD style = (kButtonStyle & ~BS_PUSHBUTTON) | BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP : 0);
    return Add(std::move(control), parent, L"Button", text, style, x, y, size.cx, size.cy);
}

int ControlFactory_CL::CreateListView(HWND parent, int width, int height, int x, int y) {
    return Add(std::make_unique<ListView_CL>(), parent, WC_LISTVIEWW, L"", kListViewStyle, x, y, width, height);
}

int ControlFactory_CL::CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                                   int x, int y, int width, int height) {
    return Add(std::make_unique<ControlBase_CL>(), parent, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
               height);
}

int ControlFactory_CL::CreateGroupBox(HWND parent, const std::wstring& text, int width, int height, int y) {
    return Add(std::make_unique<GroupBox_CL>(), parent, L"Button", text, kGroupBoxStyle, 0, y, width, height);
}

void ControlFactory_CL::AssignId(int index, int id) {
    ControlBase_CL* control = Control(index);
    if (!control) return;
    control->SetId(id);
    if (control->Window()) ::SetWindowLongPtrW(control->Window(), GWLP_ID, id);
}

int ControlFactory_CL::CreateButtonPair(HWND parent, const std::wstring& acceptText, const std::wstring& cancelText) {
    const int accept = CreateButton(parent, acceptText);
    AssignId(accept, kAcceptId);
    const int cancel = CreateButton(parent, cancelText);
    AssignId(cancel, kCancelId);
    PlaceButtonPair(parent, accept);
    return accept;
}

void ControlFactory_CL::PlaceButtonPair(HWND parent, int index) {
    ControlBase_CL* accept = Control(index);
    ControlBase_CL* cancel = Control(index + 1);
    if (!accept || !cancel) return;
    RECT client = {};
    ::GetClientRect(parent, &client);
    const SIZE acceptSize = WindowSize(accept->Window());
    const SIZE cancelSize = WindowSize(cancel->Window());
    const ButtonPairPositions at = PlaceButtonPairIn(client, acceptSize, cancelSize);
    ::MoveWindow(cancel->Window(), at.cancel.x, at.cancel.y, cancelSize.cx, cancelSize.cy, TRUE);
    ::MoveWindow(accept->Window(), at.accept.x, at.accept.y, acceptSize.cx, acceptSize.cy, TRUE);
}

void ControlFactory_CL::StackVertically(const int* indicesEndedByMinus1) {
    std::vector<ControlBase_CL*> stacked;
    std::vector<StackItem> items;
    for (const int* index = indicesEndedByMinus1; index && *index != -1; ++index) {
        ControlBase_CL* control = Control(*index);
        if (!control) continue;
        const bool spacer =
            control->Kind() == ControlBase_CL::kStaticText && IsSpacerText(WindowText(control->Window()));
        stacked.push_back(control);
        items.push_back(StackItem{WindowSize(control->Window()).cy, spacer});
    }
    const std::vector<int> positions = StackPositions(items);
    for (size_t i = 0; i < stacked.size(); ++i) {
        HWND window = stacked[i]->Window();
        const SIZE size = WindowSize(window);
        ::MoveWindow(window, kStackX, positions[i], size.cx, size.cy, TRUE);
        if (items[i].spacer) ::ShowWindow(window, SW_HIDE);
    }
}

ControlBase_CL* ControlFactory_CL::Control(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return controls_[static_cast<size_t>(index)].get();
}
