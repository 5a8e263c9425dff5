#pragma once
// Shared helpers of the test executables: deadlines, files, real processes.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "comlib/gdiplus_owners.h"
#include "comlib/unique_resource.h"

// Polls until the condition holds or the deadline passes, pumping this thread's messages.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

// Pumps this thread's messages for a while (lets windows paint and timers fire).
void PumpMessagesFor(DWORD ms);

std::vector<unsigned char> ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::vector<unsigned char>& bytes);
// A UTF-16LE file after its byte-order mark.
std::wstring ReadUtf16File(const std::wstring& path);
void WriteUtf16File(const std::wstring& path, const std::wstring& text);
std::vector<std::wstring> SplitLines(const std::wstring& text);

// The developer marker file "c:\MyHome.txt" for one scope: while it exists nothing is opened
// with the shell, so a marker left behind by a failed test would silently disable the shell
// tests after it.
class MarkerFile {
public:
    MarkerFile();
    ~MarkerFile();
    MarkerFile(const MarkerFile&) = delete;
    MarkerFile& operator=(const MarkerFile&) = delete;
    static const wchar_t* Path() { return L"c:\\MyHome.txt"; }
};

// Removes a folder and everything in it.
void RemoveTree(const std::wstring& folder);
// A folder of its own under the temp folder, emptied.
std::wstring FreshTempFolder(const std::wstring& name);

// A started process; ends it (if still running) and closes its handles when it goes.
class ChildProcess {
public:
    ChildProcess() = default;
    explicit ChildProcess(const std::wstring& commandLine, const std::wstring& directory = L"");
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&&) = default;
    ~ChildProcess();

    bool Started() const { return process_.IsValid(); }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.Get(); }
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Kill();

private:
    UniqueHandle process_;
    UniqueHandle thread_;
    DWORD id_ = 0;
};

// Wine's notepad, a real program to start and watch.
std::wstring NotepadPath();

// The test's own Documents\DormiGuard, emptied; resets the global logger and INI accessor.
std::wstring ResetDataFolder();

// Header of a top-down 32-bit DIB of this size (pixels 0x00RRGGBB).
BITMAPINFO TopDown32BitInfo(int width, int height);

// Pixels darker than mid grey in this rectangle of the screen: text drawn there.
int CountDarkScreenPixels(const RECT& rect);
// A snapshot of a window (client area and frame) as a PNG beside the test executables, once two
// captures in a row agree.
bool SaveWindowScreenshot(HWND window, const std::wstring& fileName);
// A GDI+ image as a PNG in the same folder.
bool SaveScreenshotImage(Gdiplus::GpImage* image, const std::wstring& fileName);
// LogPixels of the prefix (HKCU\Control Panel\Desktop) for the programs started while this
// lives: Wine reads it once, when a process starts. The value before is put back.
class PrefixDpi {
public:
    explicit PrefixDpi(DWORD dpi);
    ~PrefixDpi();
    PrefixDpi(const PrefixDpi&) = delete;
    PrefixDpi& operator=(const PrefixDpi&) = delete;

private:
    HKEY key_ = nullptr;
    DWORD previous_ = 0;
    bool had_ = false;
};
// GDI+ started for the rest of the test process.
void StartGdiplusOnce();
// A policy in the real registry of the prefix, below Software\Policies\DormiGuard (subkey "" or
// "WatchedPrograms"): a DWORD, or a string when text is given. ClearPolicyKeys removes them all.
bool SetPolicy(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD value, const wchar_t* text = nullptr);
void ClearPolicyKeys();
