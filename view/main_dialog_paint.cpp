// The main window's paint: the state text in a rounded frame, drawn off-screen and copied once.
#include "view/main_dialog_paint.h"

#include "comlib/gdiplus_owners.h"
#include "view/main_dialog.h"
#include "view/awake_texts.h"
#include "view/main_layout.h"
#include "view/ui_texts.h"
#include "comlib/window/ui_font.h"

using namespace Gdiplus;

// The frame around the state text: quarter circles of radius 16 at the corners.
Status DrawRoundedFrame(GpGraphics* graphics, float x, float y, float width, float height, GpPen* pen) {
    const float right = x + width;
    const float bottom = y + height;
    const float d = 32.0f;
    UniqueGdiplusPath path;
    if (DllExports::GdipCreatePath(FillModeAlternate, path.Put()) != Ok) return GenericError;
    DllExports::GdipAddPathArc(path.Get(), x, y, d, d, 180.0f, 90.0f);
    DllExports::GdipAddPathArc(path.Get(), right - d, y, d, d, 270.0f, 90.0f);
    DllExports::GdipAddPathArc(path.Get(), right - d, bottom - d, d, d, 360.0f, 90.0f);
    DllExports::GdipAddPathArc(path.Get(), x, bottom - d, d, d, 450.0f, 90.0f);
    DllExports::GdipClosePathFigure(path.Get());
    return DllExports::GdipDrawPath(graphics, pen, path.Get());
}

namespace {

// Japanese: "ＭＳ　ゴシック" where it exists. English: the face of the system's UI font.
// Else GDI+'s generic sans-serif family; 48 points.
// When neither exists (GDI+ has no substitutes of its own), the face GDI picks for the default
// GUI font: GDI resolves substitutes and font links, so the state text never goes missing.
UniqueGdiplusFont CreateStateFont(float points = 48.0f) {
    UniqueGdiplusFontFamily family;
    UniqueGdiplusFont font;
    const std::wstring face = CurrentUiLanguage() == UiLanguage::Japanese ? L"ＭＳ　ゴシック" : UiFontFace();
    if (DllExports::GdipCreateFontFamilyFromName(face.c_str(), nullptr, family.Put()) == Ok &&
        DllExports::GdipCreateFont(family.Get(), points, FontStyleRegular, UnitPoint, font.Put()) == Ok)
        return font;
    GpFontFamily* generic = nullptr;
    if (DllExports::GdipGetGenericFontFamilySansSerif(&generic) == Ok && generic) {
        family.Reset(generic);
        if (DllExports::GdipCreateFont(family.Get(), points, FontStyleRegular, UnitPoint, font.Put()) == Ok)
            return font;
    }
    LOGFONTW logFont = {};
    ::GetObjectW(UiFont(), sizeof(logFont), &logFont);
    const WindowDc screen(nullptr);
    logFont.lfHeight = -::MulDiv(static_cast<int>(points), ::GetDeviceCaps(screen.Get(), LOGPIXELSY), 72);
    logFont.lfWidth = 0;
    DllExports::GdipCreateFontFromLogfontW(screen.Get(), &logFont, font.Put());
    return font;
}

constexpr float kReasonPoints = 14.0f;

void DrawState(GpGraphics* graphics, int width, int height, int charWidth, int sleepState,
               const std::wstring& reasonLine) {
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
    if (DllExports::GdipCreateSolidFill(main_layout::StateColor(sleepState), &fill) != Ok) return;
    textBrush.Reset(fill);

    UniqueGdiplusStringFormat format;
    if (DllExports::GdipCreateStringFormat(0, LANG_NEUTRAL, format.Put()) == Ok) {
        DllExports::GdipSetStringFormatAlign(format.Get(), StringAlignmentCenter);
        DllExports::GdipSetStringFormatLineAlign(format.Get(), StringAlignmentCenter);
    }
    UniqueGdiplusFont font = CreateStateFont();
    const main_layout::FloatRect area = reasonLine.empty() ? main_layout::StateTextArea(width, height)
                                                           : main_layout::StateTextAreaAboveReason(width, height);
    const RectF layoutRect(area.x, area.y, area.width, area.height);
    // Words wider than the frame (English at the minimum width) are drawn smaller, never cut.
    if (font) {
        RectF bounds;
        const RectF unbounded(0.0f, 0.0f, 100000.0f, 1000.0f);
        const float room = static_cast<float>(width - 2 * charWidth);
        if (DllExports::GdipMeasureString(graphics, main_layout::StateText(sleepState), -1, font.Get(), &unbounded,
                                          format.Get(), &bounds, nullptr, nullptr) == Ok &&
            bounds.Width > room && room > 0.0f) {
            UniqueGdiplusFont smaller = CreateStateFont(main_layout::FittedPoints(48.0f, bounds.Width, room));
            if (smaller) font = std::move(smaller);
        }
    }
    if (font)
        DllExports::GdipDrawString(graphics, main_layout::StateText(sleepState), -1, font.Get(), &layoutRect,
                                   format.Get(), textBrush.Get());
    if (!reasonLine.empty()) {
        // One line: a long file name ends in an ellipsis instead of leaving the frame.
        UniqueGdiplusStringFormat lineFormat;
        if (DllExports::GdipCreateStringFormat(StringFormatFlagsNoWrap, LANG_NEUTRAL, lineFormat.Put()) == Ok) {
            DllExports::GdipSetStringFormatAlign(lineFormat.Get(), StringAlignmentCenter);
            DllExports::GdipSetStringFormatLineAlign(lineFormat.Get(), StringAlignmentCenter);
            DllExports::GdipSetStringFormatTrimming(lineFormat.Get(), StringTrimmingEllipsisCharacter);
        }
        const UniqueGdiplusFont small = CreateStateFont(kReasonPoints);
        const main_layout::FloatRect line = main_layout::ReasonLineArea(width, height, charWidth);
        const RectF lineRect(line.x, line.y, line.width, line.height);
        if (small)
            DllExports::GdipDrawString(graphics, reasonLine.c_str(), -1, small.Get(), &lineRect, lineFormat.Get(),
                                       textBrush.Get());
    }

    UniqueGdiplusPen pen;
    if (DllExports::GdipCreatePen2(textBrush.Get(), 3.0f, UnitWorld, pen.Put()) == Ok) {
        const main_layout::FloatRect frame = main_layout::StateFrame(width, height, charWidth);
        DrawRoundedFrame(graphics, frame.x, frame.y, frame.width, frame.height, pen.Get());
    }
}

}  // namespace

// The list paints all of itself; copying over it would only make it flicker.
void MainDialog_CL::ExcludeList(HDC dc) const {
    if (!list_ || !::IsWindowVisible(list_->Window())) return;
    RECT rect = {};
    ::GetWindowRect(list_->Window(), &rect);
    ::MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&rect), 2);
    ::ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
}

bool DrawStatePicture(GpBitmap* backBuffer, int width, int height, int charWidth, int sleepState,
                      const std::wstring& reasonLine) {
    UniqueGdiplusGraphics graphics;
    if (DllExports::GdipGetImageGraphicsContext(backBuffer, graphics.Put()) != Ok) return false;
    DrawState(graphics.Get(), width, height, charWidth, sleepState, reasonLine);
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

void MainDialog_CL::Paint() {
    const HWND window = Window();
    PAINTSTRUCT paint = {};
    const HDC dc = ::BeginPaint(window, &paint);
    RECT client = {};
    ::GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    GpBitmap* bitmap = backBuffer_.Bitmap();
    if (dc && bitmap && width > 0 && height > 0) {
        ClientMetrics metrics;
        GetClientMetrics(metrics);
        if (DrawStatePicture(bitmap, width, height, metrics.charWidth, sleep_.State(),
                             ReasonText(reason_))) {
            ExcludeList(dc);
            CopyBackBuffer(dc, bitmap, width, height);
        }
    }
    ::EndPaint(window, &paint);
    // The copy also covered the group box's frame (the window does not clip its children): the
    // box draws it again. Its inside is transparent and shows the copy.
    if (groupBox_) ::InvalidateRect(groupBox_->Window(), nullptr, FALSE);
}
