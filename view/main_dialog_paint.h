#pragma once
// The two steps of the main window's paint as plain functions, so that they can be timed alone.
#include <windows.h>

#include <string>

#include "comlib/unique_resource.h"

// Background, state text and rounded frame into the back buffer; false when GDI+ gives no
// graphics for it.
// A reason line, when not empty, stands under the state text in a smaller font.
bool DrawStatePicture(Gdiplus::GpBitmap* backBuffer, int width, int height, int charWidth, int sleepState,
                      const std::wstring& reasonLine = std::wstring());

// Copies the back buffer to dc at (0, 0), width x height, through a GDI bitmap; the DC's clip
// region applies.
void CopyBackBuffer(HDC dc, Gdiplus::GpBitmap* backBuffer, int width, int height);
