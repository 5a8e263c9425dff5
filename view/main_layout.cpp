#include "view/main_layout.h"

#include "view/ui_texts.h"

namespace main_layout {

ControlRects LayoutControls(int w, int h, int cw, int ch) {
    ControlRects r;
    r.groupBoxAt = {cw / 2, ch / 2};
    r.groupBoxSize = {w - cw, h - ch - kStateBandHeight};
    r.listAt = {cw + cw / 2, ch + ch / 2};
    r.listSize = {w - 3 * cw, h - 3 * ch - kStateBandHeight};
    return r;
}

FloatRect StateFrame(int w, int h, int cw) {
    return {static_cast<float>(cw), static_cast<float>(h - kStateBandHeight), static_cast<float>(w - 2 * cw),
            static_cast<float>(kStateBandHeight - cw)};
}

FloatRect StateTextArea(int w, int h) {
    return {0.0f, static_cast<float>(h - kStateBandHeight), static_cast<float>(w),
            static_cast<float>(kStateBandHeight)};
}

FloatRect StateTextAreaAboveReason(int w, int h) {
    return {0.0f, static_cast<float>(h - kStateBandHeight) + 4.0f, static_cast<float>(w), kReasonLineTop - 4.0f};
}

FloatRect ReasonLineArea(int w, int h, int cw) {
    const float top = static_cast<float>(h - kStateBandHeight) + kReasonLineTop;
    return {static_cast<float>(cw) * 1.5f, top, static_cast<float>(w - 3 * cw),
            static_cast<float>(h - cw) - top};
}

bool ApplyMinimumSize(RECT& proposed, int imageType) {
    bool changed = false;
    if (proposed.right < proposed.left + kMinWidth) {
        proposed.right = proposed.left + kMinWidth;
        changed = true;
    }
    // Only a height below 470 is raised; the koala pictures then want 486.
    if (proposed.bottom < proposed.top + kMinHeight) {
        proposed.bottom = proposed.top + (imageType != 0 ? kMinHeightWithKoala : kMinHeight);
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

float FittedPoints(float points, float textWidth, float room) {
    if (textWidth <= room || textWidth <= 0.0f) return points;
    // Whole points, rounded down, so the smaller text surely fits.
    const float fitted = static_cast<float>(static_cast<int>(points * room / textWidth));
    return fitted < 8.0f ? 8.0f : fitted;
}

unsigned StateColor(int sleepState) { return sleepState == 0 ? 0xFFFF0000u : 0xFF0000FFu; }

}  // namespace main_layout
