#include "view/main_window/window_pictures.h"

#include "comlib/utility.h"
#include "comlib/window/high_dpi.h"
#include "resource.h"

namespace {
UniqueGdiplusImage LoadPicture(const wchar_t* name) {
    Gdiplus::GpImage* image = nullptr;
    Gdiplus::DllExports::GdipLoadImageFromFile((ModuleFolder() + name).c_str(), &image);
    return UniqueGdiplusImage(image);
}

UniqueIcon LoadProgramIcon(int width, int height) {
    return UniqueIcon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_DORMIGUARD),
                                                      IMAGE_ICON, width, height, 0)));
}
}  // namespace

void WindowPictures::LoadAll(int imageType) {
    LoadCharacters(imageType);
    states[0] = LoadPicture(L"\\sleep_ok.png");
    states[1] = LoadPicture(L"\\sleep_ng.png");
}

void WindowPictures::LoadCharacters(int imageType) {
    characters[0].Reset();
    characters[1].Reset();
    if (imageType != 0) {
        characters[0] = LoadPicture(L"\\pirumi_koala2.png");
        characters[1] = LoadPicture(L"\\pirumi_koala1.png");
    } else {
        characters[0] = LoadPicture(L"\\pirumi_image.png");
        characters[1] = LoadPicture(L"\\pirumi_image.png");
    }
}

void WindowPictures::Reset() {
    characters[1].Reset();
    characters[0].Reset();
    states[0].Reset();
    states[1].Reset();
}

void SetWindowIcons(HWND window, UniqueIcon& big, UniqueIcon& small) {
    const int dpi = DpiOfWindow(window);
    UniqueIcon nextBig = LoadProgramIcon(SystemMetricForDpi(SM_CXICON, dpi), SystemMetricForDpi(SM_CYICON, dpi));
    UniqueIcon nextSmall =
        LoadProgramIcon(SystemMetricForDpi(SM_CXSMICON, dpi), SystemMetricForDpi(SM_CYSMICON, dpi));
    if (nextBig) ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(nextBig.Get()));
    if (nextSmall) ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(nextSmall.Get()));
    if (nextBig) big = std::move(nextBig);
    if (nextSmall) small = std::move(nextSmall);
}
