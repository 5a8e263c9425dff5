#include "view/main_window/main_layout.h"

#include "comlib/window/high_dpi.h"
#include "view/texts/ui_texts.h"

namespace main_layout {

namespace {
float ScaleF(float value, int dpi) { return value * static_cast<float>(dpi) / 96.0f; }
}  // namespace

ControlRects LayoutControls(int w, int h, int cw, int ch, int dpi) {
    const int band = ScaleForDpi(kStateBandHeight, dpi);
    ControlRects r;
    r.groupBoxAt = {cw / 2, ch / 2};
    r.groupBoxSize = {w - cw, h - ch - band};
    r.listAt = {cw + cw / 2, ch + ch / 2};
    r.listSize = {w - 3 * cw, h - 3 * ch - band};
    return r;
}

FloatRect StateFrame(int w, int h, int cw, int dpi) {
    const int band = ScaleForDpi(kStateBandHeight, dpi);
    return {static_cast<float>(cw), static_cast<float>(h - band), static_cast<float>(w - 2 * cw),
            static_cast<float>(band - cw)};
}

FloatRect StateTextArea(int w, int h, int cw, int dpi, bool aboveReason) {
    const FloatRect frame = StateFrame(w, h, cw, dpi);
    const float side = ScaleF(kFrameRadius, dpi);
    const float pen = ScaleF(kFramePen, dpi);
    const float bottom = aboveReason ? frame.y + ScaleF(kReasonLineTop, dpi) : frame.y + frame.height - pen;
    const float width = frame.width - 2.0f * side;
    const float height = bottom - frame.y - pen;
    return {frame.x + side, frame.y + pen, width > 0.0f ? width : 0.0f, height > 0.0f ? height : 0.0f};
}

FloatRect ReasonLineArea(int w, int h, int cw, int dpi) {
    const float top = static_cast<float>(h - ScaleForDpi(kStateBandHeight, dpi)) + ScaleF(kReasonLineTop, dpi);
    return {static_cast<float>(cw) * 1.5f, top, static_cast<float>(w - 3 * cw), static_cast<float>(h - cw) - top};
}

float FitTextSize(float measuredAt, float measuredWidth, float measuredHeight, float boxWidth, float boxHeight,
                  float maxSize) {
    float size = maxSize;
    if (measuredWidth > 0.0f && measuredAt * boxWidth / measuredWidth < size) size = measuredAt * boxWidth / measuredWidth;
    if (measuredHeight > 0.0f && measuredAt * boxHeight / measuredHeight < size)
        size = measuredAt * boxHeight / measuredHeight;
    return size > 1.0f ? size : 1.0f;
}

SIZE MinimumSize(int imageType, int dpi) {
    return SIZE{ScaleForDpi(kMinWidth, dpi), ScaleForDpi(imageType != 0 ? kMinHeightWithKoala : kMinHeight, dpi)};
}

bool ApplyMinimumSize(RECT& proposed, int imageType, int dpi) {
    bool changed = false;
    const int minWidth = ScaleForDpi(kMinWidth, dpi);
    const int minHeight = ScaleForDpi(kMinHeight, dpi);
    if (proposed.right < proposed.left + minWidth) {
        proposed.right = proposed.left + minWidth;
        changed = true;
    }
    // Only a height below 470 is raised; the koala pictures then want 486.
    if (proposed.bottom < proposed.top + minHeight) {
        proposed.bottom = proposed.top + MinimumSize(imageType, dpi).cy;
        changed = true;
    }
    return changed;
}

ShowPlan PlanShow(int mode, int trayHidden) {
    switch (mode) {
        case 0:
            return {0, true};
        case 1:
            return {1, false};
        case 2: {
            const int flipped = trayHidden != 0 ? 0 : 1;
            return {flipped, flipped == 0};
        }
        default:
            return {trayHidden, trayHidden == 0};
    }
}

const wchar_t* StateText(int sleepState) {
    return UiText(sleepState == 0 ? TextId::StateProhibited : TextId::StateAllowed);
}

unsigned StateColor(int sleepState, bool highContrast) {
    if (!highContrast) return sleepState == 0 ? 0xFFFF0000u : 0xFF0000FFu;
    const COLORREF c = ::GetSysColor(sleepState == 0 ? COLOR_HIGHLIGHT : COLOR_WINDOWTEXT);
    return 0xFF000000u | (static_cast<unsigned>(GetRValue(c)) << 16) | (static_cast<unsigned>(GetGValue(c)) << 8) |
           GetBValue(c);
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace main_layout
