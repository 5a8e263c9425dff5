#pragma once
// The main window's pictures beside the executable and its own icons at its DPI.
#include <windows.h>

#include "comlib/gdiplus_owners.h"
#include "comlib/unique_resource.h"

struct WindowPictures {
    UniqueGdiplusImage characters[2];
    UniqueGdiplusImage states[2];

    // The character for the image type (0: one picture for both states), then the states.
    void LoadAll(int imageType);
    void LoadCharacters(int imageType);
    void Reset();
};

// WM_SETICON of both sizes at the window's DPI. The icons set before stay alive in big and small
// until the window has the new ones.
void SetWindowIcons(HWND window, UniqueIcon& big, UniqueIcon& small);
