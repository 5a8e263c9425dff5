#pragma once
// Creates child controls of the standard classes, sized to their text, and owns their objects.
// Callers keep the returned index and reach the object through At<T>(index) or Control(index).
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "comlib/window/control_base.h"
#include "comlib/window/controls.h"

// Text-sized controls.
SIZE ButtonSizeForText(SIZE text);    // (w + 8) x (h + 8)
SIZE CheckBoxSizeForText(SIZE text);  // (w + 32) x h

// Button pair in the bottom-right corner of a client rectangle: 4 pixels of margin at the
// right and bottom, 4 between the buttons, both top-aligned with the cancel button.
struct ButtonPairPositions {
    POINT accept;
    POINT cancel;
};
ButtonPairPositions PlaceButtonPairIn(const RECT& client, SIZE accept, SIZE cancel);

// Vertical stacking: start at y 68, x 8; a spacer advances (height + 4) / 2, others height + 4.
constexpr int kStackStartY = 68;
constexpr int kStackX = 8;
struct StackItem {
    int height;
    bool spacer;
};
std::vector<int> StackPositions(const std::vector<StackItem>& items);
// A static text whose whole text is one ideographic space is a spacer.
bool IsSpacerText(const std::wstring& text);

class ControlFactory_CL {
public:
    static constexpr int kFirstId = 4352;   // 0x1100
    static constexpr int kAcceptId = 4096;  // 0x1000, WM_COMMAND's wParam of the accept button
    static constexpr int kCancelId = 4098;  // 0x1002, of the cancel button

    ControlFactory_CL() = default;
    ControlFactory_CL(const ControlFactory_CL&) = delete;
    ControlFactory_CL& operator=(const ControlFactory_CL&) = delete;
    virtual ~ControlFactory_CL() = default;

    // "Static" at (x, y), exactly the size of its text (line breaks count, no wrapping).
    int CreateStaticText(HWND parent, const std::wstring& text, int x, int y);
    // Push button at (0, 0), text width + 8 by text height + 8.
    int CreateButton(HWND parent, const std::wstring& text);
    // Auto check box at (8, y), text width + 32 by text height, unchecked.
    int CreateCheckBox(HWND parent, const std::wstring& text, int y);
    // Auto radio button at (x, y), sized like a check box; the first of a group starts it
    // (WS_GROUP), so that the buttons after it switch each other off.
    int CreateRadioButton(HWND parent, const std::wstring& text, int x, int y, bool firstOfGroup);
    // Report-view list at (x, y).
    int CreateListView(HWND parent, int width, int height, int x, int y);
    // A child of any other class (an edit box, an up-down, a hotkey control) with the style
    // given and WS_CHILD | WS_VISIBLE, at (x, y) and of the size given.
    int CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                    int width, int height);
    // Group box at (0, y).
    int CreateGroupBox(HWND parent, const std::wstring& text, int width, int height, int y);
    // Accept (id 4096) and cancel (id 4098) buttons in the bottom-right corner; returns the
    // accept button's index, the cancel button is at the next one.
    int CreateButtonPair(HWND parent, const std::wstring& acceptText, const std::wstring& cancelText);
    // Moves the button at index and the one after it to the parent's bottom-right corner.
    void PlaceButtonPair(HWND parent, int index);
    // Lays the controls out top to bottom from y 68 at x 8; "　" static texts are hidden spacers.
    void StackVertically(const int* indicesEndedByMinus1);

    // Gives a control a fixed id, in the object and in the window (GWLP_ID).
    void AssignId(int index, int id);

    ControlBase_CL* Control(int index) const;
    // The control at index as T, or null when the index or the type does not match.
    template <class T>
    T* At(int index) const {
        return dynamic_cast<T*>(Control(index));
    }
    int Count() const { return static_cast<int>(controls_.size()); }
    int NextId() const { return nextId_; }

    // The text's size drawn in this font (DrawTextW with DT_CALCRECT on the screen DC).
    static SIZE MeasureText(HFONT font, const std::wstring& text);

private:
    int Add(std::unique_ptr<ControlBase_CL> control, HWND parent, const wchar_t* className,
            const std::wstring& text, DWORD style, int x, int y, int width, int height);

    std::vector<std::unique_ptr<ControlBase_CL>> controls_;
    int nextId_ = kFirstId;
};
