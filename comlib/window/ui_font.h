#pragma once
// The font that controls, dialogs and menus draw with. The stock DEFAULT_GUI_FONT by default;
// the system's message font (Segoe UI, or what the system maps it to) on request, for a
// language whose texts the default face may draw poorly.
#include <windows.h>

#include <string>

enum class UiFontKind { DefaultGui, SystemMessage };

// Windows made after the call use the font; those made before keep theirs.
void UseUiFontFor(UiFontKind kind);
UiFontKind CurrentUiFontKind();
// Never deleted while the program runs: windows may still hold it.
HFONT UiFont();
// UiFont() made for a window at this DPI: the same font at the system DPI; else the message
// font the system makes for that DPI, or UiFont() in proportion. Kept for the whole run.
HFONT UiFontForDpi(int dpi);
// The face GDI actually draws UiFont() with.
std::wstring UiFontFace();
// True when text drawn in this font shows Japanese, with the face's own glyphs or a linked face's.
bool DrawsJapanese(HFONT font);
// For a label that mixes Japanese into the texts of another language: UiFont() itself while that
// is the stock font or draws Japanese (one face per page); else UiFont() with the Japanese
// character set, so that the mapper takes a face with Japanese glyphs.
HFONT JapaneseCapableUiFont();
