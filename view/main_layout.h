#pragma once
// The main window's rules as plain functions: layout, minimum size, show modes, state display.
#include <windows.h>

namespace main_layout {

// The state band at the bottom of the client area.
constexpr int kStateBandHeight = 150;
constexpr int kMinWidth = 480;
constexpr int kMinHeight = 470;
constexpr int kMinHeightWithKoala = 486;

struct ControlRects {
    POINT groupBoxAt;
    SIZE groupBoxSize;
    POINT listAt;
    SIZE listSize;
};
// Group box half a "Ｗ" in from the edges and above the band; the list one "Ｗ" inside it.
ControlRects LayoutControls(int clientWidth, int clientHeight, int charWidth, int charHeight);

// The rounded frame around the state text: from the band's top to one "Ｗ" above the bottom.
struct FloatRect {
    float x, y, width, height;
};
FloatRect StateFrame(int clientWidth, int clientHeight, int charWidth);
FloatRect StateTextArea(int clientWidth, int clientHeight);
// With a reason line under the state text: the state text higher up, the line below it,
// inside the frame.
constexpr float kReasonLineTop = 92.0f;
FloatRect StateTextAreaAboveReason(int clientWidth, int clientHeight);
FloatRect ReasonLineArea(int clientWidth, int clientHeight, int charWidth);

// WM_SIZING: only the right and bottom edges move. Returns true when the rectangle changed.
bool ApplyMinimumSize(RECT& proposed, int imageType);

// ShowMainWindow: the tray-hidden flag after the mode, and whether a sleep check follows.
struct ShowPlan {
    int trayHidden;
    bool runCheck;
};
ShowPlan PlanShow(int mode, int trayHidden);

// The state text and its ARGB colour: prohibited (0) in red, anything else in blue.
const wchar_t* StateText(int sleepState);
unsigned StateColor(int sleepState);
// The point size at which text measured textWidth wide at points fits into room.
float FittedPoints(float points, float textWidth, float room);

}  // namespace main_layout
