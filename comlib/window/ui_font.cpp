#include "comlib/window/ui_font.h"

#include <cwchar>
#include <initializer_list>
#include <map>
#include <vector>
#include <utility>

#include "comlib/dll_function.h"
#include "comlib/unique_resource.h"
#include "comlib/window/high_dpi.h"

namespace {
UiFontKind g_kind = UiFontKind::DefaultGui;

bool FaceInstalled(const wchar_t* face) {
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy_s(wanted.lfFaceName, face, _TRUNCATE);
    const WindowDc screen(nullptr);
    bool found = false;
    ::EnumFontFamiliesExW(
        screen.Get(), &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) {
            *reinterpret_cast<bool*>(seen) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// The size of SPI_GETNONCLIENTMETRICS's message font, the face message boxes use. Its face is
// "Segoe UI" on current Windows; a system that maps it to a face without Latin letters of its
// own (a Wine prefix made in Japanese draws the backslash as a yen sign) gets Segoe UI or
// Tahoma where installed. Made once; a failure keeps the stock font.
void UseLatinFace(LOGFONTW* logFont) {
    for (const wchar_t* face : {L"Segoe UI", L"Tahoma"}) {
        if (!FaceInstalled(face)) continue;
        wcsncpy_s(logFont->lfFaceName, face, _TRUNCATE);
        break;
    }
    // A Japanese session asks for SHIFTJIS_CHARSET, which the mapper honours over the face
    // by taking a Japanese one; any character set lets it keep a Latin face.
    logFont->lfCharSet = DEFAULT_CHARSET;
}

HFONT MessageFont() {
    static UniqueFont font = [] {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return UniqueFont();
        UseLatinFace(&metrics.lfMessageFont);
        return UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
    }();
    return font.Get();
}

// The message font as the system makes it for this DPI: SystemParametersInfoForDpi (Windows 10
// 1607 and later, looked up at run time); false where it is missing or fails.
bool MessageFontForDpi(int dpi, LOGFONTW* logFont) {
    using ForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const DllFunction_CL user32(L"user32.dll");
    static const ForDpiFunction forDpi = user32.LookupAs<ForDpiFunction>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!forDpi || !forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi))) return false;
    *logFont = metrics.lfMessageFont;
    UseLatinFace(logFont);
    return true;
}
}  // namespace

void UseUiFontFor(UiFontKind kind) { g_kind = kind; }

UiFontKind CurrentUiFontKind() { return g_kind; }

HFONT UiFont() {
    if (g_kind == UiFontKind::SystemMessage)
        if (const HFONT font = MessageFont()) return font;
    return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

HFONT UiFontForDpi(int dpi) {
    if (dpi <= 0 || dpi == SystemDpi()) return UiFont();
    // Never deleted while the program runs, like UiFont(): windows may still hold them.
    static std::map<std::pair<UiFontKind, int>, UniqueFont> fonts;
    UniqueFont& font = fonts[std::make_pair(g_kind, dpi)];
    if (font) return font.Get();
    LOGFONTW logFont = {};
    if (g_kind != UiFontKind::SystemMessage || !MessageFontForDpi(dpi, &logFont)) {
        // The system-DPI font in proportion.
        ::GetObjectW(UiFont(), sizeof(logFont), &logFont);
        logFont.lfHeight = ::MulDiv(logFont.lfHeight, dpi, SystemDpi());
        logFont.lfWidth = ::MulDiv(logFont.lfWidth, dpi, SystemDpi());
    }
    font.Reset(::CreateFontIndirectW(&logFont));
    return font ? font.Get() : UiFont();
}

bool DrawsJapanese(HFONT font) {
    const WindowDc screen(nullptr);
    const UniqueMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    const UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), 48, 48));
    if (!memory || !bitmap) return true;
    const SelectedObject selectedBitmap(memory.Get(), bitmap.Get());
    const SelectedObject selectedFont(memory.Get(), font);
    // "日" as drawn, against U+FFFF, which no face has: the same pixels mean the missing-glyph box.
    // ExtTextOutW follows FontLink\SystemLink, so a linked face counts.
    std::vector<unsigned char> pixels[2];
    const wchar_t* const texts[] = {L"日", L"\xFFFF"};
    const RECT all = {0, 0, 48, 48};
    for (int i = 0; i < 2; ++i) {
        ::ExtTextOutW(memory.Get(), 0, 0, ETO_OPAQUE, &all, texts[i], 1, nullptr);
        BITMAP info = {};
        ::GetObjectW(bitmap.Get(), sizeof(info), &info);
        pixels[i].resize(static_cast<size_t>(info.bmWidthBytes) * static_cast<size_t>(info.bmHeight));
        ::GetBitmapBits(bitmap.Get(), static_cast<LONG>(pixels[i].size()), pixels[i].data());
    }
    return pixels[0] != pixels[1];
}

HFONT JapaneseCapableUiFont() {
    const HFONT ui = UiFont();
    if (ui == static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT))) return ui;
    // Otherwise the message font, made once: so is the answer.
    static const bool drawsJapanese = DrawsJapanese(ui);
    if (drawsJapanese) return ui;
    static UniqueFont font = [ui] {
        LOGFONTW logFont = {};
        ::GetObjectW(ui, sizeof(logFont), &logFont);
        logFont.lfCharSet = SHIFTJIS_CHARSET;
        return UniqueFont(::CreateFontIndirectW(&logFont));
    }();
    return font ? font.Get() : ui;
}

std::wstring UiFontFace() {
    // The face GDI draws with after substitutes and character-set matching, not the name
    // asked for: GDI+ knows no substitutes.
    const WindowDc screen(nullptr);
    const SelectedObject selected(screen.Get(), UiFont());
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(screen.Get(), LF_FACESIZE, face);
    return face;
}
