// The main window's state band: the state text in a rounded frame, drawn off-screen and copied once.
#include "view/main_window/state_band.h"

#include "comlib/gdiplus_owners.h"
#include "comlib/window/high_dpi.h"
#include "view/main_window/main_layout.h"
#include "view/texts/awake_texts.h"
#include "view/texts/ui_texts.h"
#include "comlib/window/ui_font.h"

using namespace Gdiplus;

// The frame around the state text: quarter circles of the given radius at the corners.
Status DrawRoundedFrame(GpGraphics* graphics, float x, float y, float width, float height, GpPen* pen,
                        float radius) {
    const float right = x + width;
    const float bottom = y + height;
    const float d = 2.0f * radius;
    UniqueGdiplusPath path;
    if (DllExports::GdipCreatePath(FillModeAlternate, path.Put()) != Ok) return GenericError;
    DllExports::GdipAddPathArc(path.Get(), x, y, d, d, 180.0f, 90.0f);
    DllExports::GdipAddPathArc(path.Get(), right - d, y, d, d, 270.0f, 90.0f);
    DllExports::GdipAddPathArc(path.Get(), right - d, bottom - d, d, d, 360.0f, 90.0f);
    DllExports::GdipAddPathArc(path.Get(), x, bottom - d, d, d, 450.0f, 90.0f);
    DllExports::GdipClosePathFigure(path.Get());
    return DllExports::GdipDrawPath(graphics, pen, path.Get());
}

// Japanese: "ＭＳ　ゴシック" where it exists. English: the face of the system's UI font.
// Else GDI+'s generic sans-serif family; sized in pixels.
// When neither exists (GDI+ has no substitutes of its own), the face GDI picks for the default
// GUI font: GDI resolves substitutes and font links, so the state text never goes missing.
UniqueGdiplusFont CreateStateFont(float pixels) {
    UniqueGdiplusFontFamily family;
    UniqueGdiplusFont font;
    const std::wstring face = CurrentUiLanguage() == UiLanguage::Japanese ? L"ＭＳ　ゴシック" : UiFontFace();
    if (DllExports::GdipCreateFontFamilyFromName(face.c_str(), nullptr, family.Put()) == Ok &&
        DllExports::GdipCreateFont(family.Get(), pixels, FontStyleRegular, UnitPixel, font.Put()) == Ok)
        return font;
    GpFontFamily* generic = nullptr;
    if (DllExports::GdipGetGenericFontFamilySansSerif(&generic) == Ok && generic) {
        family.Reset(generic);
        if (DllExports::GdipCreateFont(family.Get(), pixels, FontStyleRegular, UnitPixel, font.Put()) == Ok)
            return font;
    }
    LOGFONTW logFont = {};
    ::GetObjectW(UiFont(), sizeof(logFont), &logFont);
    logFont.lfHeight = -static_cast<LONG>(pixels);
    logFont.lfWidth = 0;
    const WindowDc screen(nullptr);
    DllExports::GdipCreateFontFromLogfontW(screen.Get(), &logFont, font.Put());
    return font;
}

namespace {

UniqueGdiplusStringFormat OneLineFormat() {
    UniqueGdiplusStringFormat format;
    if (DllExports::GdipCreateStringFormat(StringFormatFlagsNoWrap, LANG_NEUTRAL, format.Put()) == Ok) {
        DllExports::GdipSetStringFormatAlign(format.Get(), StringAlignmentCenter);
        DllExports::GdipSetStringFormatLineAlign(format.Get(), StringAlignmentCenter);
    }
    return format;
}

bool MeasureOneLine(GpGraphics* graphics, const wchar_t* text, float pixels, GpStringFormat* format, RectF* box) {
    const UniqueGdiplusFont font = CreateStateFont(pixels);
    const RectF unbounded(0.0f, 0.0f, 100000.0f, 100000.0f);
    return font && DllExports::GdipMeasureString(graphics, text, -1, font.Get(), &unbounded, format, box, nullptr,
                                                 nullptr) == Ok;
}

}  // namespace

float FitStateText(GpGraphics* graphics, const wchar_t* text, float boxWidth, float boxHeight, float maxPixels) {
    const UniqueGdiplusStringFormat format = OneLineFormat();
    float size = maxPixels;
    // Text grows nearly in proportion to its size; hinting can add a pixel, so the size is checked
    // again and stepped down until the measure fits.
    for (int attempt = 0; attempt < 8 && size > 1.0f; ++attempt) {
        RectF box;
        if (!MeasureOneLine(graphics, text, size, format.Get(), &box)) return size;
        if (box.Width <= boxWidth && box.Height <= boxHeight) return size;
        const float fitted = main_layout::FitTextSize(size, box.Width, box.Height, boxWidth, boxHeight, size);
        size = fitted < size - 0.5f ? fitted : size - 1.0f;
    }
    return size > 1.0f ? size : 1.0f;
}

namespace {

// 48 points at 96 DPI, the largest the state text gets; the reason line at most 14 points.
constexpr float kStatePixelsAt96 = 64.0f;
constexpr float kReasonPixelsAt96 = 14.0f * 96.0f / 72.0f;

float ReasonPixels(GpGraphics* graphics, float lineHeight, int dpi) {
    return FitStateText(graphics, L"Ｗg", 100000.0f, lineHeight, kReasonPixelsAt96 * static_cast<float>(dpi) / 96.0f);
}

void DrawState(GpGraphics* graphics, int width, int height, int charWidth, int dpi, int sleepState,
               const std::wstring& reasonLine, bool highContrast) {
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    const ARGB background = 0xFF000000u | (static_cast<ARGB>(GetRValue(window)) << 16) |
                            (static_cast<ARGB>(GetGValue(window)) << 8) | GetBValue(window);
    UniqueGdiplusBrush backgroundBrush;
    GpSolidFill* fill = nullptr;
    if (DllExports::GdipCreateSolidFill(background, &fill) == Ok) {
        backgroundBrush.Reset(fill);
        DllExports::GdipFillRectangleI(graphics, backgroundBrush.Get(), 0, 0, width, height);
    }

    UniqueGdiplusBrush textBrush;
    if (DllExports::GdipCreateSolidFill(main_layout::StateColor(sleepState, highContrast), &fill) != Ok) return;
    textBrush.Reset(fill);

    const float scale = static_cast<float>(dpi) / 96.0f;
    const UniqueGdiplusStringFormat format = OneLineFormat();
    const main_layout::FloatRect area =
        main_layout::StateTextArea(width, height, charWidth, dpi, !reasonLine.empty());
    const wchar_t* text = main_layout::StateText(sleepState);
    const UniqueGdiplusFont font =
        CreateStateFont(FitStateText(graphics, text, area.width, area.height, kStatePixelsAt96 * scale));
    const RectF layoutRect(area.x, area.y, area.width, area.height);
    if (font) DllExports::GdipDrawString(graphics, text, -1, font.Get(), &layoutRect, format.Get(), textBrush.Get());
    if (!reasonLine.empty()) {
        // One line, fitted beforehand (FitReasonLine); its size shrinks only when the line is
        // lower than the font.
        const main_layout::FloatRect line = main_layout::ReasonLineArea(width, height, charWidth, dpi);
        const UniqueGdiplusFont small = CreateStateFont(ReasonPixels(graphics, line.height, dpi));
        const RectF lineRect(line.x, line.y, line.width, line.height);
        if (small)
            DllExports::GdipDrawString(graphics, reasonLine.c_str(), -1, small.Get(), &lineRect, format.Get(),
                                       textBrush.Get());
    }

    UniqueGdiplusPen pen;
    if (DllExports::GdipCreatePen2(textBrush.Get(), main_layout::kFramePen * scale, UnitWorld, pen.Put()) == Ok) {
        const main_layout::FloatRect frame = main_layout::StateFrame(width, height, charWidth, dpi);
        DrawRoundedFrame(graphics, frame.x, frame.y, frame.width, frame.height, pen.Get(),
                         main_layout::kFrameRadius * scale);
    }
}

}  // namespace

std::wstring FitReasonLine(GpGraphics* graphics, const AwakeReason& reason, int width, int height, int charWidth,
                           int dpi) {
    if (ReasonText(reason).empty()) return L"";
    const main_layout::FloatRect line = main_layout::ReasonLineArea(width, height, charWidth, dpi);
    const UniqueGdiplusFont font = CreateStateFont(ReasonPixels(graphics, line.height, dpi));
    const UniqueGdiplusStringFormat format = OneLineFormat();
    // Measured, not trimmed by the format: Wine's GDI+ ignores StringTrimmingEllipsisCharacter.
    const auto fits = [&](const std::wstring& text) {
        const RectF unbounded(0.0f, 0.0f, 100000.0f, 100000.0f);
        RectF box;
        return !font || DllExports::GdipMeasureString(graphics, text.c_str(), -1, font.Get(), &unbounded, format.Get(),
                                                      &box, nullptr, nullptr) != Ok ||
               box.Width <= line.width;
    };
    return FitReasonText(reason, [](const std::wstring& text) { return text; }, fits);
}

float ReasonLinePixels(GpGraphics* graphics, int width, int height, int charWidth, int dpi) {
    return ReasonPixels(graphics, main_layout::ReasonLineArea(width, height, charWidth, dpi).height, dpi);
}

bool DrawStatePicture(GpBitmap* backBuffer, int width, int height, int charWidth, int dpi, int sleepState,
                      const std::wstring& reasonLine, bool highContrast) {
    UniqueGdiplusGraphics graphics;
    if (DllExports::GdipGetImageGraphicsContext(backBuffer, graphics.Put()) != Ok) return false;
    DrawState(graphics.Get(), width, height, charWidth, dpi, sleepState, reasonLine, highContrast);
    return true;
}

void CopyBackBuffer(HDC dc, GpBitmap* backBuffer, int width, int height) {
    HBITMAP converted = nullptr;
    if (DllExports::GdipCreateHBITMAPFromBitmap(backBuffer, &converted, 0xFF000000u) != Ok) return;
    const UniqueBitmap screenCopy(converted);
    const UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    const SelectedObject selected(memory.Get(), screenCopy.Get());
    ::BitBlt(dc, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
}

bool DrawStateWithReason(GpBitmap* backBuffer, int width, int height, int charWidth, int dpi, int sleepState,
                         const AwakeReason& reason, bool highContrast) {
    std::wstring line;
    UniqueGdiplusGraphics graphics;
    if (DllExports::GdipGetImageGraphicsContext(backBuffer, graphics.Put()) == Ok)
        line = FitReasonLine(graphics.Get(), reason, width, height, charWidth, dpi);
    graphics.Reset();
    return DrawStatePicture(backBuffer, width, height, charWidth, dpi, sleepState, line, highContrast);
}
