#include "comlib/window/back_buffer.h"

#include <objidl.h>
#include <gdiplus.h>

#include "comlib/log.h"

using namespace Gdiplus::DllExports;

bool BackBuffer_CL::Resize(int width, int height) {
    if (bitmap_) {
        UINT currentWidth = 0;
        UINT currentHeight = 0;
        GdipGetImageWidth(bitmap_.Get(), &currentWidth);
        GdipGetImageHeight(bitmap_.Get(), &currentHeight);
        if (static_cast<int>(currentWidth) == width && static_cast<int>(currentHeight) == height) return true;
    }
    bitmap_.Reset();
    // A minimised window has an empty client area: no bitmap, and nothing that failed.
    if (width <= 0 || height <= 0) return false;
    Gdiplus::GpBitmap* bitmap = nullptr;
    // Stride 0 and no scan0: GDI+ allocates and owns the pixels.
    const Gdiplus::GpStatus status =
        GdipCreateBitmapFromScan0(width, height, 0, static_cast<Gdiplus::PixelFormat>(pixelFormat_), nullptr, &bitmap);
    if (status != Gdiplus::Ok || !bitmap) {
        g_Logger.Log(L"GdipCreateBitmapFromScan0(%d, %d, 0x%x) failed: status %d", __FILE__, __LINE__, width, height,
                     pixelFormat_, static_cast<int>(status));
        return false;
    }
    bitmap_.Reset(bitmap);
    return true;
}
