#include "bench/synthetic_processes.h"

#include "comlib/utility.h"

DriveMap SyntheticDriveMap() {
    DriveMap map(26);
    map[2] = L"\\Device\\HarddiskVolume3";
    map[3] = L"\\Device\\HarddiskVolume4";
    return map;
}

std::vector<std::wstring> SyntheticImagePaths(int count, bool oneReplaced) {
    std::vector<std::wstring> paths;
    paths.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (i % 8 == 7) {
            paths.push_back(paths[static_cast<size_t>(i - 3)]);
        } else if (i % 16 == 3) {
            paths.push_back(FormatWide(L"\\Device\\HarddiskVolume3\\Users\\user%05d\\AppData\\Local\\helper.exe", i));
        } else if (i % 16 == 5) {
            paths.push_back(FormatWide(L"\\Device\\Mup\\server\\share\\tools\\tool%05d.exe", i));
        } else if (i % 16 == 9) {
            paths.push_back(FormatWide(L"\\Device\\HarddiskVolume4\\Games\\Studio%03d\\game%05d.exe", i / 64, i));
        } else {
            paths.push_back(
                FormatWide(L"\\Device\\HarddiskVolume3\\Program Files\\Vendor%03d\\Product\\app%05d.exe", i / 32, i));
        }
    }
    if (oneReplaced && count > 0) paths[0] = L"\\Device\\HarddiskVolume3\\Program Files\\New\\started.exe";
    return paths;
}

void AddSyntheticWatched(WatchedList_CL& watched, int count) {
    for (int i = 0; i < count; ++i) watched.AddWatched(FormatWide(L"C:\\Program Files\\Watched\\watched%d.exe", i), 1);
}
