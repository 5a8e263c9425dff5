#pragma once
// Programs' small icons from the system's shared file-icon list.
#include <windows.h>
#include <commctrl.h>

#include <string>

class ImageList_CL;

// Index of the small icon of the file at path in the system image list, or I_IMAGENONE
// when the file cannot be queried (say the program was deleted while it ran): SHGetFileInfoW
// then returns 0 and leaves SHFILEINFOW.iIcon unset, so that value must not be used.
int SmallIconIndex(const std::wstring& path);

// The decision alone: the index SHGetFileInfoW gave, if its call succeeded.
int IconIndexOrNone(DWORD_PTR queryResult, int iconIndex);

// The system's small file-icon list (not ours: never destroyed), or null.
HIMAGELIST SystemSmallIconList();
// The system list whose icons suit a list at this DPI: the small list while its icons are at
// least the DPI's small-icon size, else the large one. Both lists share their indices.
HIMAGELIST SystemIconListForDpi(int dpi);

// Gives a report list one of the system's shared icon lists (a null list is logged). Adds
// LVS_SHAREIMAGELISTS first: without it the list view destroys its image lists with itself, and
// the shared system list would be gone for every later user in the process. holder refers to
// the list without owning it.
void AttachSharedIcons(HWND listView, HIMAGELIST list, ImageList_CL& holder);
// The same with the list that suits the list view's DPI; called again after a change of DPI.
void AttachSystemSmallIcons(HWND listView, ImageList_CL& holder);
