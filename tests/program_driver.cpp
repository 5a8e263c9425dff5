#include "tests/program_driver.h"

#include <algorithm>
#include <cwchar>

#include "comlib/utility.h"
#include "data/save_data.h"

namespace {
struct FindContext {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM data) {
    FindContext* context = reinterpret_cast<FindContext*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t title[64] = {};
    ::GetWindowTextW(window, title, 64);
    if (owner == context->processId && std::wstring(title) == L"DormiGuard") {
        context->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

RunningProgram::RunningProgram(const std::wstring& arguments)
    : process_(L"\"" + ModuleFolder() + L"\\DormiGuard.exe\"" + (arguments.empty() ? L"" : L" " + arguments),
               ModuleFolder()) {}

RunningProgram::~RunningProgram() {
    if (process_.Started() && !process_.WaitExit(0)) {
        DWORD code = 0;
        Exit(&code, 10000);
    }
}

HWND RunningProgram::WaitForMainWindow(DWORD timeoutMs) {
    WaitFor(
        [&] {
            FindContext context = {process_.Id(), nullptr};
            ::EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&context));
            window_ = context.found;
            return window_ != nullptr;
        },
        timeoutMs);
    return window_;
}

bool RunningProgram::Exit(DWORD* exitCode, DWORD timeoutMs) {
    if (!window_) WaitForMainWindow(2000);
    if (window_) ::PostMessageW(window_, WM_CLOSE, 2, 0);
    return process_.WaitExit(timeoutMs, exitCode);
}

std::wstring ProgramIniPath() { return SaveData::DataFolder() + L"\\DormiGuard.ini"; }
bool PostedMessagesHandled(HWND window) {
    if (!::IsWindowVisible(window)) return false;
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return WaitFor([&] { return !::IsWindowVisible(window); }, 10000);
}

void PrepareProgramIni(const std::wstring& extra) {
    ::CreateDirectoryW(SaveData::DataFolder().c_str(), nullptr);
    WriteUtf16File(ProgramIniPath(), L"[VERSION]\r\nnotify=1\r\n" + extra);
}

std::wstring ProgramLogPath() { return SaveData::DataFolder() + L"\\log.txt"; }

std::vector<std::wstring> LogMessages() {
    std::vector<std::wstring> messages;
    for (const std::wstring& line : SplitLines(ReadUtf16File(ProgramLogPath()))) {
        const size_t at = line.find(L" : ", 26);
        messages.push_back(at == std::wstring::npos ? line : line.substr(at + 3));
    }
    return messages;
}

size_t CountLogMessage(const std::wstring& message) {
    const std::vector<std::wstring> messages = LogMessages();
    return static_cast<size_t>(std::count(messages.begin(), messages.end(), message));
}

bool LogHasMessage(const std::wstring& message) { return CountLogMessage(message) > 0; }

bool WaitForLogMessage(const std::wstring& message, size_t count, DWORD timeoutMs) {
    return WaitFor([&] { return CountLogMessage(message) >= count; }, timeoutMs);
}

namespace {
// Milliseconds since midnight of a log line's time stamp "yyyy/mm/dd hh:mm:ss.mmm : ...".
long long StampMs(const std::wstring& line) {
    int h = 0, m = 0, s = 0, ms = 0;
    if (line.size() < 23 || swscanf(line.c_str() + 11, L"%d:%d:%d.%d", &h, &m, &s, &ms) != 4) return -1;
    return ((h * 60LL + m) * 60 + s) * 1000 + ms;
}
}  // namespace

bool WaitClearOfTimerTick(DWORD spanMs) {
    // The timer is set between the tray icon's line and the first check of the latest start;
    // Wine keeps a periodic timer's phase, so ticks fall 20 s apart from then.
    long long timerSet = -1;
    for (const std::wstring& line : SplitLines(ReadUtf16File(ProgramLogPath()))) {
        if (line == L"★★★★★ アプリ起動 ★★★★★") timerSet = -1;
        if (timerSet < 0 && line.find(L" : タスクトレイへアイコンを追加しました。") != std::wstring::npos)
            timerSet = StampMs(line);
    }
    if (timerSet < 0) return false;
    const long long kPeriod = 20000;
    const long long kLate = 1500;  // the rest of the creation, and a busy message loop
    return WaitFor(
        [&] {
            SYSTEMTIME now = {};
            ::GetLocalTime(&now);
            const long long nowMs = ((now.wHour * 60LL + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
            const long long phase = ((nowMs - timerSet) % kPeriod + kPeriod) % kPeriod;
            return phase >= kLate && kPeriod - phase >= static_cast<long long>(spanMs);
        },
        static_cast<DWORD>(kPeriod));
}

BandColors CaptureStateBand(HWND window) {
    BandColors colors;
    RECT client = {};
    ::GetClientRect(window, &client);
    POINT origin = {0, client.bottom - 150};
    ::ClientToScreen(window, &origin);
    const int width = client.right;
    const int height = 150;
    if (width <= 0) return colors;
    WindowDc screen(nullptr);
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = TopDown32BitInfo(width, height);
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return colors;
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), origin.x, origin.y, SRCCOPY);
    }
    // Only the middle of the band, where the text stands: the frame around it has the same colour.
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    for (int y = 25; y < 115; ++y)
      for (int x = width / 5; x < width - width / 5; ++x) {
        const DWORD p = pixels[y * width + x] & 0xFFFFFF;  // 0x00RRGGBB
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (r > 200 && g < 60 && b < 60) ++colors.red;
        if (b > 200 && r < 60 && g < 60) ++colors.blue;
      }
    return colors;
}
