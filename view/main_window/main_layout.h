#pragma once
// The main window's rules as plain functions: layout, minimum size, show modes, state display.
#include <windows.h>

namespace main_layout {

// Sizes at 96 DPI; every function below scales them by the window's DPI.
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
ControlRects LayoutControls(int clientWidth, int clientHeight, int charWidth, int charHeight, int dpi);

// The rounded frame around the state text: from the band's top to one "Ｗ" above the bottom.
struct FloatRect {
    float x, y, width, height;
};
FloatRect StateFrame(int clientWidth, int clientHeight, int charWidth, int dpi);
// The box the state text must fit in: inside the frame, clear of its rounded corners and its
// pen; with a reason line, only the part above the line.
constexpr float kFrameRadius = 16.0f;
constexpr float kFramePen = 3.0f;
FloatRect StateTextArea(int clientWidth, int clientHeight, int charWidth, int dpi, bool aboveReason);
// With a reason line under the state text: the line starts this far below the band's top.
constexpr float kReasonLineTop = 92.0f;
FloatRect ReasonLineArea(int clientWidth, int clientHeight, int charWidth, int dpi);
// The largest size (pixels, at most maxSize) at which a text of the given measure fits the box,
// from its measure at measuredAt pixels; text scales in proportion to its size.
float FitTextSize(float measuredAt, float measuredWidth, float measuredHeight, float boxWidth, float boxHeight,
                  float maxSize);

// The minimum client-independent window size at this DPI: 480 x 470 (486 with the koalas).
SIZE MinimumSize(int imageType, int dpi);
// WM_SIZING: only the right and bottom edges move. Returns true when the rectangle changed.
bool ApplyMinimumSize(RECT& proposed, int imageType, int dpi);

// ShowMainWindow: the tray-hidden flag after the mode, and whether a sleep check follows.
struct ShowPlan {
    int trayHidden;
    bool runCheck;
};
ShowPlan PlanShow(int mode, int trayHidden);

// The state text and its ARGB colour: prohibited (0) in red, anything else in blue. In high
// contrast the system's colours: the highlight for prohibited, the window text for allowed.
const wchar_t* StateText(int sleepState);
unsigned StateColor(int sleepState, bool highContrast);
// SPI_GETHIGHCONTRAST with HCF_HIGHCONTRASTON set.
bool HighContrastOn();

}  // namespace main_layout
