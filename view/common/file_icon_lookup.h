#pragma once
// The watched list's file icons, looked up on a worker thread: the shell's first SHGetFileInfoW
// in a process builds the system image list, and a program on an unreachable share can keep the
// call waiting for seconds. The window shows its rows at once and gets the icons when they come.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

class FileIconLookup_CL {
public:
    // Posted by the worker to the window; wParam is the lookup's number.
    static constexpr UINT kFoundMessage = WM_APP + 0x1A;

    struct Found {
        HIMAGELIST list = nullptr;  // the system's shared list: never destroyed
        std::vector<int> indices;   // per path, or I_IMAGENONE
    };

    FileIconLookup_CL() = default;
    FileIconLookup_CL(const FileIconLookup_CL&) = delete;
    FileIconLookup_CL& operator=(const FileIconLookup_CL&) = delete;

    // Starts a lookup of the paths' icons in the system list that suits the DPI; any lookup
    // still running is superseded, and its answer dropped. False when no thread could start.
    bool Start(HWND window, std::vector<std::wstring> paths, int dpi);
    // For kFoundMessage: the answer of the latest lookup, once; false for a superseded one.
    bool Take(WPARAM number, Found* found);

private:
    struct Lookup;
    static unsigned __stdcall Worker(void* parameter);

    std::shared_ptr<Lookup> lookup_;
    unsigned number_ = 0;
};
