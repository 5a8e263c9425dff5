#pragma once
// An off-screen GDI+ bitmap kept at the size of a window's client area.
#include <windows.h>

#include "comlib/unique_resource.h"

class BackBuffer_CL {
public:
    static constexpr int kPixelFormat32bppRGB = 0x22009;

    BackBuffer_CL() = default;
    BackBuffer_CL(const BackBuffer_CL&) = delete;
    BackBuffer_CL& operator=(const BackBuffer_CL&) = delete;
    virtual ~BackBuffer_CL() = default;

    // Keeps the bitmap when it already has this size; otherwise replaces it (contents are not
    // carried over). Returns false, with no bitmap, for an empty size and when GDI+ cannot
    // allocate it; only the latter is logged.
    bool Resize(int width, int height);

    // Null when no bitmap exists: callers skip drawing then.
    Gdiplus::GpBitmap* Bitmap() const { return bitmap_.Get(); }
    int PixelFormat() const { return pixelFormat_; }
    // Takes effect at the next allocation.
    void SetPixelFormat(int format) { pixelFormat_ = format; }

private:
    int pixelFormat_ = kPixelFormat32bppRGB;
    UniqueGdiplusBitmap bitmap_;
};
