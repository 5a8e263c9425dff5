#pragma once
// The main window's state band: the two steps of its paint as plain functions, so that they can
// be timed alone.
#include <windows.h>

#include <string>

#include "comlib/gdiplus_owners.h"
#include "comlib/unique_resource.h"
#include "data/awake_reason.h"

// Background, state text and rounded frame into the back buffer; false when GDI+ gives no
// graphics for it.
// A reason line, when not empty, stands under the state text in a smaller font.
// Sizes follow dpi, the window's DPI; with highContrast the system's colours replace red and blue.
bool DrawStatePicture(Gdiplus::GpBitmap* backBuffer, int width, int height, int charWidth, int dpi, int sleepState,
                      const std::wstring& reasonLine = std::wstring(), bool highContrast = false);

// The state band's font at this size in pixels.
UniqueGdiplusFont CreateStateFont(float pixels);
// The font size in pixels, at most maxPixels, at which the text measures one line within
// boxWidth x boxHeight in the state band's font.
float FitStateText(Gdiplus::GpGraphics* graphics, const wchar_t* text, float boxWidth, float boxHeight,
                   float maxPixels);

// The reason line as the band shows it in a client area of width x height at dpi: whole where
// it fits, else shortened with "…" (see FitReasonText), measured in the band's font.
std::wstring FitReasonLine(Gdiplus::GpGraphics* graphics, const AwakeReason& reason, int width, int height,
                           int charWidth, int dpi);
// The reason line's font size in pixels there.
float ReasonLinePixels(Gdiplus::GpGraphics* graphics, int width, int height, int charWidth, int dpi);

// Copies the back buffer to dc at (0, 0), width x height, through a GDI bitmap; the DC's clip
// region applies.
void CopyBackBuffer(HDC dc, Gdiplus::GpBitmap* backBuffer, int width, int height);
// The picture with the reason's line fitted to the band (FitReasonLine).
bool DrawStateWithReason(Gdiplus::GpBitmap* backBuffer, int width, int height, int charWidth, int dpi, int sleepState,
                         const AwakeReason& reason, bool highContrast);
