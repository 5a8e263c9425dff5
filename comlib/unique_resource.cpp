#include "comlib/unique_resource.h"

#include <objidl.h>
#include <gdiplus.h>

namespace close_fn {

void GdiplusImage(Gdiplus::GpImage* image) { Gdiplus::DllExports::GdipDisposeImage(image); }

// A GpBitmap is a GpImage: GdipDisposeImage frees both.
void GdiplusBitmap(Gdiplus::GpBitmap* bitmap) { Gdiplus::DllExports::GdipDisposeImage(bitmap); }

void GdiplusGraphics(Gdiplus::GpGraphics* graphics) { Gdiplus::DllExports::GdipDeleteGraphics(graphics); }

}  // namespace close_fn
