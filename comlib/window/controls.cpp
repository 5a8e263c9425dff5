#include "comlib/window/controls.h"

#include <algorithm>

#include "comlib/log.h"
#include "comlib/utility.h"

SIZE NeededSizeToContain(SIZE needed, const RECT& box, const RECT& control) {
    return SIZE{std::max<LONG>(needed.cx, control.right - box.left), std::max<LONG>(needed.cy, control.bottom - box.top)};
}

int CheckStateFromItemState(UINT state) { return static_cast<int>((state & 0xF000) >> 12) - 1; }

int CheckBox_CL::GetCheck() const { return static_cast<int>(::SendMessageW(Window(), BM_GETCHECK, 0, 0)); }

void CheckBox_CL::SetCheck(int state) { ::SendMessageW(Window(), BM_SETCHECK, static_cast<WPARAM>(state), 0); }

int ListView_CL::InsertColumn(const std::wstring& text, int width, int format) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(text.c_str());  // only read by LVM_INSERTCOLUMNW
    column.iSubItem = 0;
    const int result = static_cast<int>(
        ::SendMessageW(Window(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(columnCount_), reinterpret_cast<LPARAM>(&column)));
    ++columnCount_;
    return result;
}

int ListView_CL::SetItemText(const std::wstring& text, int item, int subItem, int image, LPARAM lParam) {
    LVITEMW entry = {};
    entry.iItem = item;
    entry.iSubItem = subItem;
    entry.pszText = const_cast<wchar_t*>(text.c_str());  // the list copies the text
    entry.iImage = image;
    if (subItem == 0) {
        entry.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        entry.lParam = lParam;
        return static_cast<int>(::SendMessageW(Window(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
    }
    entry.mask = LVIF_TEXT | LVIF_IMAGE;
    return static_cast<int>(::SendMessageW(Window(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

int ListView_CL::SetItem(const std::wstring& text, int item, int subItem, int image) {
    LVITEMW entry = {};
    entry.mask = LVIF_TEXT | LVIF_IMAGE;
    entry.iItem = item;
    entry.iSubItem = subItem;
    entry.pszText = const_cast<wchar_t*>(text.c_str());
    entry.iImage = image;
    return static_cast<int>(::SendMessageW(Window(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

int ListView_CL::GetCheckState(int item) const {
    const UINT state = static_cast<UINT>(
        ::SendMessageW(Window(), LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK));
    return CheckStateFromItemState(state);
}

namespace {
// A window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
}  // namespace

void GroupBox_CL::GrowToContain(const ControlBase_CL& control) {
    const SIZE grown = NeededSizeToContain(SIZE{neededWidth_, neededHeight_}, RectInParent(Window()),
                                             RectInParent(control.Window()));
    neededWidth_ = grown.cx;
    neededHeight_ = grown.cy;
}

bool ImageList_CL::LoadBitmapStrip(const std::wstring& path, int itemWidth, int dpi) {
    if (itemWidth <= 0) {
        g_Logger.Log(L"LoadBitmapStrip: item width %d is not positive", __FILE__, __LINE__, itemWidth);
        return false;
    }
    // A file is loaded with a null instance and without LR_SHARED: a shared image is the system's
    // to keep, and this one is deleted below once the list holds a copy.
    UniqueBitmap strip(static_cast<HBITMAP>(::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    if (!strip) {
        g_Logger.Log(L"LoadImageW failed: %s : %s", __FILE__, __LINE__, path.c_str(),
                     SystemErrorText(::GetLastError()).c_str());
        return false;
    }
    BITMAP info = {};
    ::GetObjectW(strip.Get(), sizeof(info), &info);
    if (dpi != 96) {
        // CopyImage stretches a bitmap to the size asked for; the original is deleted by its owner.
        UniqueBitmap stretched(static_cast<HBITMAP>(::CopyImage(strip.Get(), IMAGE_BITMAP,
                                                                ::MulDiv(info.bmWidth, dpi, 96),
                                                                ::MulDiv(info.bmHeight, dpi, 96), 0)));
        if (stretched) {
            strip = std::move(stretched);
            ::GetObjectW(strip.Get(), sizeof(info), &info);
            itemWidth = ::MulDiv(itemWidth, dpi, 96);
        }
    }
    UniqueImageList list(::ImageList_Create(itemWidth, info.bmHeight, ILC_COLOR24 | ILC_MASK, 0, info.bmWidth / itemWidth));
    if (!list) {
        g_Logger.Log(L"ImageList_Create failed: %s", __FILE__, __LINE__, path.c_str());
        return false;
    }
    ::ImageList_AddMasked(list.Get(), strip.Get(), RGB(255, 0, 255));
    owned_ = std::move(list);
    shared_ = nullptr;
    return true;
}

void ImageList_CL::SetShared(HIMAGELIST list) {
    owned_.Reset();
    shared_ = list;
}
