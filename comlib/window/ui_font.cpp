#include "comlib/window/ui_font.h"

#include "comlib/unique_resource.h"

namespace {
UiFontKind g_kind = UiFontKind::DefaultGui;

// SPI_GETNONCLIENTMETRICS's message font is the face message boxes use: "Segoe UI" on
// current Windows, Tahoma under Wine. Made once; a failure keeps the stock font.
HFONT MessageFont() {
    static UniqueFont font = [] {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return UniqueFont();
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

std::wstring UiFontFace() {
    LOGFONTW font = {};
    ::GetObjectW(UiFont(), sizeof(font), &font);
    return font.lfFaceName;
}
