// Entry point: one copy per session, the main window in the tray, a plain message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>
#include <objidl.h>
#include <gdiplus.h>

#include <clocale>

#include "comlib/command_line.h"
#include "comlib/unique_resource.h"
#include "view/main_dialog.h"

namespace {

// A second copy only brings the first one's window into view.
const wchar_t kInstanceMutexName[] = L"http://" DORMIGUARD_WEB_HOST L"/DormiGuard/help.html";
const wchar_t kMainWindowTitle[] = L"DormiGuard";
// By class as well: an Explorer window on Documents\DormiGuard and the tray-failure message box
// carry the same title.
const wchar_t kMainWindowClass[] = L"MainWindowClass";

void RaiseRunningCopy() {
    const HWND window = ::FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (!window) return;
    if (::IsIconic(window)) ::ShowWindow(window, SW_SHOWNOACTIVATE);
    // SWP_SHOWWINDOW also shows a window that was stored in the tray.
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    ::Sleep(100);
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

int RunMessageLoop(MainDialog_CL& mainDialog) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_F5) mainDialog.CheckSleep();
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::setlocale(LC_ALL, "Japanese");
    const CommandLine_CL commandLine;
    const int startupFlag = commandLine.HasOption(L"-startup") ? 1 : 0;

    // Held for the whole run: it goes only when wWinMain returns, after the shut-down.
    const UniqueHandle instanceMutex(::CreateMutexW(nullptr, TRUE, kInstanceMutexName));
    // ERROR_ACCESS_DENIED: the mutex exists but belongs to a copy at a higher integrity level
    // (run as administrator). That copy runs too, and two sleep guards must never run.
    const DWORD mutexError = ::GetLastError();
    if (mutexError == ERROR_ALREADY_EXISTS || (!instanceMutex && mutexError == ERROR_ACCESS_DENIED)) {
        RaiseRunningCopy();
        return 0;
    }

    ::CoInitialize(nullptr);
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES;
    ::InitCommonControlsEx(&controls);
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    int exitCode = 0;
    {
        MainDialog_CL mainDialog(startupFlag);
        if (mainDialog.Create()) {
            RunMessageLoop(mainDialog);
        } else {
            // Without a window nothing would ever end the message loop.
            exitCode = 1;
        }
    }

    Gdiplus::GdiplusShutdown(gdiplusToken);
    ::OleUninitialize();
    ::CoUninitialize();
    return exitCode;
}
