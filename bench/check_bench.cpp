// Benchmark of one sleep check: its own work on synthetic snapshots, the whole check against the
// bare OS snapshot, memory over many checks, the main window's paint, and the program's start-up
// against a minimal window. Prints one table.
//   check_bench [--tiny] [--only pure|check|memory|paint|startup] [--output FILE]
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <psapi.h>
#include <stdio.h>

#include <cstdarg>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/idle_programs.h"
#include "bench/process_memory.h"
#include "bench/pure_check.h"
#include "bench/startup_time.h"
#include "bench/synthetic_processes.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"
#include "comlib/window/back_buffer.h"
#include "data/save_data.h"
#include "guard/awake_guard.h"
#include "view/main_window/state_band.h"
#include "view/main_window/main_layout.h"

namespace {

struct Settings {
    std::vector<int> processCounts{300, 2048, 8192};
    std::vector<int> watchedCounts{1, 10, 100};
    int pureRuns = 31;
    int rounds = 101;
    int warmUpChecks = 100;
    int checks = 10000;
    int paints = 101;
    int startups = 21;
    // Idle programs for the whole check: with Wine's own processes and the benchmark, about 24
    // and about 200 processes.
    std::vector<int> idlePrograms{18, 194};
};

Settings TinySettings() {
    Settings tiny;
    tiny.processCounts = {8, 16};
    tiny.watchedCounts = {1, 2};
    tiny.pureRuns = 3;
    tiny.rounds = 3;
    tiny.warmUpChecks = 2;
    tiny.checks = 20;
    tiny.paints = 3;
    tiny.startups = 1;
    tiny.idlePrograms = {2, 4};
    return tiny;
}

void Append(std::string& out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    const int written = _vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    if (written < 0 || static_cast<size_t>(written) >= sizeof(line)) line[sizeof(line) - 1] = '\0';
    out += line;
}

void PureWorkTable(const Settings& settings, std::string& out) {
    Append(out, "pure work of one check, no OS call (median of %d runs)\n", settings.pureRuns);
    Append(out, "%9s %8s %8s %8s %6s %10s\n", "processes", "entries", "watched", "diff", "match", "ms");
    const DriveMap driveMap = SyntheticDriveMap();
    for (int processCount : settings.processCounts) {
        // Alternating the two sets: every check sees one program started and one ended.
        const std::vector<std::wstring> sets[2] = {SyntheticImagePaths(processCount, false),
                                                   SyntheticImagePaths(processCount, true)};
        for (int watchedCount : settings.watchedCounts) {
            WatchedList_CL watched;
            AddSyntheticWatched(watched, watchedCount);
            PureCheckState state;
            PureCheckResult result;
            for (int i = 0; i < 4; ++i) result = RunPureCheck(state, sets[i % 2], driveMap, watched);
            std::vector<double> times;
            for (int run = 0; run < settings.pureRuns; ++run) {
                const double start = NowMs();
                result = RunPureCheck(state, sets[run % 2], driveMap, watched);
                times.push_back(NowMs() - start);
            }
            char diff[32];
            _snprintf(diff, sizeof(diff), "+%u -%u", static_cast<unsigned>(result.added),
                      static_cast<unsigned>(result.removed));
            diff[sizeof(diff) - 1] = '\0';
            Append(out, "%9d %8u %8d %8s %6s %10.3f\n", processCount, static_cast<unsigned>(result.entries),
                   watchedCount, diff, result.keepAwake ? "yes" : "no", Median(times));
        }
    }
    // The same work finds a watched program that runs, whatever its folder and case.
    WatchedList_CL running;
    AddSyntheticWatched(running, 3);
    running.AddWatched(L"E:\\elsewhere\\HELPER.EXE", 1);
    PureCheckState state;
    const PureCheckResult found = RunPureCheck(state, SyntheticImagePaths(16, false), driveMap, running);
    Append(out, "match of a running helper.exe: %s\n", found.keepAwake ? "yes" : "no");
}

// The bare OS snapshot of the design that opened every process in every check: 26 device queries,
// the id list, and per id an open, the image name and a close.
size_t BareSnapshot() {
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
        const wchar_t drive[3] = {letter, L':', L'\0'};
        wchar_t device[MAX_PATH] = {};
        ::QueryDosDeviceW(drive, device, MAX_PATH);
    }
    DWORD ids[8192];
    DWORD bytes = 0;
    if (!::K32EnumProcesses(ids, sizeof(ids), &bytes)) return 0;
    size_t named = 0;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]));
        if (!process) continue;
        wchar_t path[1040] = {};
        if (::K32GetProcessImageFileNameW(process.Get(), path, 1040) != 0) ++named;
    }
    return named;
}

void WatchTenPrograms(SaveData& data) {
    data.hourTable.assign(24, false);
    AddSyntheticWatched(data.watched, 10);
}

SaveData& CheckingSettings() {
    static SaveData data;
    if (data.hourTable.empty()) WatchTenPrograms(data);
    return data;
}

// The guard's decision over those settings, as each sleep check makes it.
AwakeGuard_CL& CheckingGuard() {
    static AwakeGuard_CL guard(CheckingSettings());
    return guard;
}

// Each check 20 s after the one before, as the timer runs it: every check measures the CPU times.
ULONGLONG WINAPI TwentySecondsLater() {
    static ULONGLONG now = 0;
    return now += 20000;
}

// The same ten watched records "at work", named after the first ten idle programs, which run:
// their CPU times are taken from the listing in every check.
AwakeGuard_CL& AtWorkGuard() {
    static SaveData data;
    if (data.hourTable.empty()) {
        data.hourTable.assign(24, false);
        for (unsigned i = 0; i < 10; ++i)
            data.watched.AddWatched(FormatWide(L"C:\\bench\\idle%03u.exe", i), 1, WatchMode::Busy);
    }
    GuardSystem system;
    system.tickMs = &TwentySecondsLater;
    static AwakeGuard_CL guard(data, GuardWords(), system);
    return guard;
}

void WholeCheckHeader(const Settings& settings, std::string& out) {
    Append(out, "whole check against the bare OS snapshot (median of %d rounds, 10 watched)\n", settings.rounds);
    Append(out, "%9s %8s %10s %10s %10s %10s %10s %10s %13s\n", "processes", "entries", "bare_ms", "first_ms",
           "steady_ms", "first/bare", "steady/bare", "atwork_ms", "atwork/steady");
}

// The first check of a new settings object (every process new) and a steady check (nothing new)
// against today's bare snapshot, in turn in one process.
void WholeCheckRow(const Settings& settings, std::string& out) {
    SaveData& steady = CheckingSettings();
    CheckingGuard().Decide();
    AtWorkGuard().Decide();
    std::vector<double> times[4];
    size_t named = 0;
    for (int round = 0; round < settings.rounds; ++round) {
        // Each goes first in turn, so that none always finds the caches warm.
        for (int step = 0; step < 4; ++step) {
            const int which = (round + step) % 4;
            std::unique_ptr<SaveData> fresh;
            std::unique_ptr<AwakeGuard_CL> freshGuard;
            if (which == 1) {
                fresh.reset(new SaveData);
                WatchTenPrograms(*fresh);
                freshGuard.reset(new AwakeGuard_CL(*fresh));
            }
            const double start = NowMs();
            if (which == 0)
                named = BareSnapshot();
            else if (which == 1)
                freshGuard->Decide();
            else if (which == 2)
                CheckingGuard().Decide();
            else
                AtWorkGuard().Decide();
            times[which].push_back(NowMs() - start);
        }
    }
    const double bareMs = Median(times[0]);
    const double firstMs = Median(times[1]);
    const double steadyMs = Median(times[2]);
    const double atWorkMs = Median(times[3]);
    Append(out, "%9u %8u %10.3f %10.3f %10.3f %10.3f %10.3f %10.3f %13.3f\n", static_cast<unsigned>(named),
           static_cast<unsigned>(steady.processes.Current().size()), bareMs, firstMs, steadyMs,
           bareMs > 0.0 ? firstMs / bareMs : 0.0, bareMs > 0.0 ? steadyMs / bareMs : 0.0, atWorkMs,
           steadyMs > 0.0 ? atWorkMs / steadyMs : 0.0);
}

void MemoryTable(const Settings& settings, std::string& out) {
    AwakeGuard_CL& guard = CheckingGuard();
    for (int i = 0; i < settings.warmUpChecks; ++i) guard.Decide();
    const unsigned long long privateBefore = PrivateBytes();
    const unsigned long long heapBefore = HeapBusyBytes();
    for (int i = 0; i < settings.checks; ++i) guard.Decide();
    const unsigned long long privateAfter = PrivateBytes();
    const unsigned long long heapAfter = HeapBusyBytes();
    Append(out, "memory over %d whole checks after %d warm-up checks (bytes)\n", settings.checks,
           settings.warmUpChecks);
    Append(out, "%12s %12s %12s %12s %12s %12s\n", "private_then", "private_now", "growth", "heap_then", "heap_now",
           "growth");
    Append(out, "%12.0f %12.0f %12.0f %12.0f %12.0f %12.0f\n", static_cast<double>(privateBefore),
           static_cast<double>(privateAfter), static_cast<double>(privateAfter) - static_cast<double>(privateBefore),
           static_cast<double>(heapBefore), static_cast<double>(heapAfter),
           static_cast<double>(heapAfter) - static_cast<double>(heapBefore));
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void PaintTable(const Settings& settings, std::string& out) {
    const int width = main_layout::kMinWidth;
    const int height = main_layout::kMinHeight;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DormiGuardPaintBench";
    ::RegisterClassW(&windowClass);
    RECT frame = {0, 0, width, height};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    const UniqueWindow window(::CreateWindowW(windowClass.lpszClassName, L"paint", WS_OVERLAPPEDWINDOW, 0, 0,
                                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                              windowClass.hInstance, nullptr));
    BackBuffer_CL backBuffer;
    if (!window || !backBuffer.Resize(width, height)) {
        Append(out, "paint: no window or back buffer\n");
        return;
    }
    ::ShowWindow(window.Get(), SW_SHOWNOACTIVATE);
    // The layout unit of the real paint: one fullwidth W in the screen DC's font.
    int charWidth = 0;
    {
        const WindowDc screen(nullptr);
        RECT text = {0, 0, width, height};
        ::DrawTextW(screen.Get(), L"\uFF37", -1, &text, DT_CALCRECT);
        charWidth = text.right - text.left;
    }
    std::vector<double> draw;
    std::vector<double> copy;
    for (int i = 0; i < settings.paints + 1; ++i) {
        const double start = NowMs();
        DrawStatePicture(backBuffer.Bitmap(), width, height, charWidth, 96, i % 2);
        const double drawn = NowMs();
        {
            const WindowDc dc(window.Get());
            CopyBackBuffer(dc.Get(), backBuffer.Bitmap(), width, height);
            ::GdiFlush();
        }
        const double copied = NowMs();
        if (i == 0) continue;  // the first paint loads the fonts
        draw.push_back(drawn - start);
        copy.push_back(copied - drawn);
    }
    Append(out, "main window paint at %d x %d (median of %d paints)\n", width, height, settings.paints);
    Append(out, "%10s %10s %10s\n", "draw_ms", "copy_ms", "paint_ms");
    Append(out, "%10.3f %10.3f %10.3f\n", Median(draw), Median(copy), Median(draw) + Median(copy));
}

void StartupTable(const Settings& settings, std::string& out) {
    const std::wstring program = BesideThisProgram(L"DormiGuard.exe");
    const std::wstring minimal = BesideThisProgram(L"minimal_window.exe");
    // The main window's close with wParam 2 is the exit command; without it the window goes to the tray.
    const WPARAM exitCommand = 2;
    // One start of each first: the file cache then holds both.
    StartupMs(program, L"MainWindowClass", exitCommand);
    StartupMs(minimal, L"MinimalWindowClass", 0);
    std::vector<double> programTimes;
    std::vector<double> minimalTimes;
    for (int run = 0; run < settings.startups; ++run) {
        // Each goes first in turn.
        const bool programFirst = run % 2 == 0;
        for (int step = 0; step < 2; ++step) {
            if ((step == 0) == programFirst)
                programTimes.push_back(StartupMs(program, L"MainWindowClass", exitCommand));
            else
                minimalTimes.push_back(StartupMs(minimal, L"MinimalWindowClass", 0));
        }
    }
    const double programMs = Median(programTimes);
    const double minimalMs = Median(minimalTimes);
    Append(out, "start-up to a shown, answering window (median of %d starts)\n", settings.startups);
    Append(out, "%12s %12s %12s\n", "minimal_ms", "program_ms", "ratio");
    Append(out, "%12.1f %12.1f %12.2f\n", minimalMs, programMs, minimalMs > 0.0 ? programMs / minimalMs : 0.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--idle") return WaitForParent(wcstoul(argv[2], nullptr, 10));
    Settings settings;
    std::wstring outputPath;
    std::wstring only;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--tiny") {
            settings = TinySettings();
        } else if (argument == L"--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (argument == L"--output" && i + 1 < argc) {
            outputPath = argv[++i];
        } else {
            fwprintf(stderr, L"usage: check_bench [--tiny] [--only pure|check|memory|paint|startup] [--output FILE]\n");
            return 2;
        }
    }
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    std::string table;
    if (only.empty() || only == L"pure") PureWorkTable(settings, table);
    {
        IdlePrograms_CL idle;
        const bool check = only.empty() || only == L"check";
        const bool memory = only.empty() || only == L"memory";
        if (check) WholeCheckHeader(settings, table);
        for (int count : settings.idlePrograms) {
            if (!check && !memory) break;
            idle.Start(count - idle.Running());
            if (check) WholeCheckRow(settings, table);
        }
        // With the most processes.
        if (memory) MemoryTable(settings, table);
    }
    if (only.empty() || only == L"paint") PaintTable(settings, table);
    if (only.empty() || only == L"startup") StartupTable(settings, table);

    fputs(table.c_str(), stdout);
    fflush(stdout);
    int status = 0;
    if (!outputPath.empty()) {
        const UniqueFile file(::CreateFileW(outputPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.Get(), table.data(), static_cast<DWORD>(table.size()), &written, nullptr) ||
            written != table.size())
            status = 1;
    }
    Gdiplus::GdiplusShutdown(gdiplusToken);
    return status;
}
