#pragma once
// Drives a real DormiGuard.exe from outside its process: start it, find its window, read its
// files, capture its state band.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/test_helpers.h"

class RunningProgram {
public:
    // Starts DormiGuard.exe (beside the test executable) with the arguments.
    explicit RunningProgram(const std::wstring& arguments = L"");
    ~RunningProgram();

    bool Started() const { return process_.Started(); }
    DWORD ProcessId() const { return process_.Id(); }
    // The main window (title "DormiGuard") of this process, waiting for it up to the deadline.
    HWND WaitForMainWindow(DWORD timeoutMs = 20000);
    HWND MainWindow() const { return window_; }
    // WM_CLOSE with wParam 2, as the exit command sends it; true when the process ended in time.
    bool Exit(DWORD* exitCode, DWORD timeoutMs = 20000);
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode) { return process_.WaitExit(timeoutMs, exitCode); }

private:
    ChildProcess process_;
    HWND window_ = nullptr;
};

// True once every message posted to the visible main window before this call has been handled.
// Posted messages are handled in order, so a posted close (any wParam but 2), which stores the
// window in the tray, comes after them; a sent message would overtake them. The window stays
// stored: command 125 shows it again (and runs a sleep check).
bool PostedMessagesHandled(HWND window);

// Waits until no tick of the running program's 20-second check timer can fall within the next
// spanMs, so that a check seen in that span came from the test's action.
bool WaitClearOfTimerTick(DWORD spanMs);

// The program's files in the test's Documents\DormiGuard.
std::wstring ProgramIniPath();
// An INI file prepared before the program starts; the update check is switched off so that
// no test waits on the network.
void PrepareProgramIni(const std::wstring& extra);
std::wstring ProgramLogPath();
// Message parts of the log lines (text after the time stamp and source position).
std::vector<std::wstring> LogMessages();
bool LogHasMessage(const std::wstring& message);
// Waits until the log holds the message at least `count` times.
bool WaitForLogMessage(const std::wstring& message, size_t count = 1, DWORD timeoutMs = 20000);
size_t CountLogMessage(const std::wstring& message);

// Red and blue pixel counts of the state text (the middle of the last 150 client pixels).
struct BandColors {
    int red = 0;
    int blue = 0;
};
BandColors CaptureStateBand(HWND window);
