#pragma once
// Owners of the GDI+ flat-API objects a paint creates and deletes.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "comlib/unique_resource.h"

namespace close_fn {
inline void GdiplusBrush(Gdiplus::GpBrush* brush) { Gdiplus::DllExports::GdipDeleteBrush(brush); }
inline void GdiplusPen(Gdiplus::GpPen* pen) { Gdiplus::DllExports::GdipDeletePen(pen); }
inline void GdiplusFont(Gdiplus::GpFont* font) { Gdiplus::DllExports::GdipDeleteFont(font); }
inline void GdiplusFontFamily(Gdiplus::GpFontFamily* family) { Gdiplus::DllExports::GdipDeleteFontFamily(family); }
inline void GdiplusStringFormat(Gdiplus::GpStringFormat* format) {
    Gdiplus::DllExports::GdipDeleteStringFormat(format);
}
inline void GdiplusPath(Gdiplus::GpPath* path) { Gdiplus::DllExports::GdipDeletePath(path); }
}  // namespace close_fn

using UniqueGdiplusBrush = UniqueResource<Gdiplus::GpBrush*, close_fn::GdiplusBrush>;
using UniqueGdiplusPen = UniqueResource<Gdiplus::GpPen*, close_fn::GdiplusPen>;
using UniqueGdiplusFont = UniqueResource<Gdiplus::GpFont*, close_fn::GdiplusFont>;
using UniqueGdiplusFontFamily = UniqueResource<Gdiplus::GpFontFamily*, close_fn::GdiplusFontFamily>;
using UniqueGdiplusStringFormat = UniqueResource<Gdiplus::GpStringFormat*, close_fn::GdiplusStringFormat>;
using UniqueGdiplusPath = UniqueResource<Gdiplus::GpPath*, close_fn::GdiplusPath>;
