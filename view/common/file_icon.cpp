#include "view/common/file_icon.h"

#include <commctrl.h>
#include <shellapi.h>

#include "comlib/log.h"
#include "comlib/window/controls.h"
#include "comlib/window/high_dpi.h"

int IconIndexOrNone(DWORD_PTR queryResult, int iconIndex) {
    // With SHGFI_SYSICONINDEX the result is the image list handle, 0 on failure.
    return queryResult != 0 ? iconIndex : I_IMAGENONE;
}

int SmallIconIndex(const std::wstring& path) {
    // An empty path would name the desktop, not a program.
    if (path.empty()) return I_IMAGENONE;
    SHFILEINFOW info = {};
    const DWORD_PTR result =
        ::SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return IconIndexOrNone(result, info.iIcon);
}

HIMAGELIST SystemSmallIconList() {
    // Any existing path gives the list; the root of c: always exists.
    SHFILEINFOW info = {};
    return reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoW(L"c:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

HIMAGELIST SystemIconListForDpi(int dpi) {
    const HIMAGELIST small = SystemSmallIconList();
    int width = 0;
    int height = 0;
    if (small && ::ImageList_GetIconSize(small, &width, &height) && width >= SystemMetricForDpi(SM_CXSMICON, dpi))
        return small;
    SHFILEINFOW info = {};
    const HIMAGELIST large = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoW(L"c:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
    return large ? large : small;
}

void AttachSharedIcons(HWND listView, HIMAGELIST list, ImageList_CL& holder) {
    if (!list) {
        g_Logger.Log(L"システムイメージリストを取得できません", __FILE__, __LINE__);
        return;
    }
    const LONG_PTR style = ::GetWindowLongPtrW(listView, GWL_STYLE);
    ::SetWindowLongPtrW(listView, GWL_STYLE, style | LVS_SHAREIMAGELISTS);
    holder.SetShared(list);
    ::SendMessageW(listView, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(list));
}

void AttachSystemSmallIcons(HWND listView, ImageList_CL& holder) {
    AttachSharedIcons(listView, SystemIconListForDpi(DpiOfWindow(listView)), holder);
}
