#include "comlib/window/ui_font.h"

#include <cwchar>
#include <initializer_list>

#include "comlib/unique_resource.h"

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
HFONT MessageFont() {
    static UniqueFont font = [] {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return UniqueFont();
        for (const wchar_t* face : {L"Segoe UI", L"Tahoma"}) {
            if (!FaceInstalled(face)) continue;
            wcsncpy_s(metrics.lfMessageFont.lfFaceName, face, _TRUNCATE);
            break;
        }
        // A Japanese session asks for SHIFTJIS_CHARSET, which the mapper honours over the face
        // by taking a Japanese one; any character set lets it keep a Latin face.
        metrics.lfMessageFont.lfCharSet = DEFAULT_CHARSET;
        return UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
    }();
    return font.Get();
}
}  // namespace

void UseUiFontFor(UiFontKind kind) { g_kind = kind; }

UiFontKind CurrentUiFontKind() { return g_kind; }

HFONT UiFont() {
    if (g_kind == UiFontKind::SystemMessage)
        if (const HFONT font = MessageFont()) return font;
    return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

HFONT JapaneseCapableUiFont() {
    const HFONT ui = UiFont();
    if (ui == static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT))) return ui;
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
