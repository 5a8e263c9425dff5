// Monitors and the stored window rectangle, the DPI rule, system-folder-only DLL loading and the
// GDI+ back buffer.
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <map>
#include <string>
#include <vector>

#include "comlib/dll_function.h"
#include "comlib/inifile.h"
#include "comlib/multi_screen.h"
#include "comlib/utility.h"
#include "comlib/window/back_buffer.h"
#include "comlib/unique_resource.h"
#include "comlib/window/high_dpi.h"
#include "tests/test_helpers.h"
#include "tests/toolkit_test_support.h"

using namespace toolkit_test;

namespace {

constexpr DWORD kHiddenFramed = WS_OVERLAPPEDWINDOW;  // never shown, so never mapped

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

class WindowRectStore : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = TempFolder(L"dg_toolkit_placement") + L"\\DormiGuard.ini";
        ::DeleteFileW(path_.c_str());
        Inifile_CL::CreateIfMissing(path_);
        g_Inifile.SetPath(path_);
        MultiScreen_CL screens;
        screens.EnumMonitors();
        ASSERT_FALSE(screens.Entries().empty());
        work_ = screens.Entries()[0].info.rcWork;
    }
    void TearDown() override {
        g_Inifile.SetPath(L"");
        ::DeleteFileW(path_.c_str());
    }
    void Store(const RECT& rect) { g_Inifile.WriteStruct(L"WINDOW", L"rect", &rect, sizeof(rect)); }
    RECT Stored() {
        RECT rect = {-1, -1, -1, -1};
        g_Inifile.ReadStruct(L"WINDOW", L"rect", &rect, sizeof(rect));
        return rect;
    }

    std::wstring path_;
    RECT work_ = {};
    const RECT fallback_ = {40, 50, 520, 520};
};

}  // namespace

TEST(Monitors, EnumerationListsEveryMonitorOnceWithFullInformation) {
    MultiScreen_CL screens;
    screens.EnumMonitors();
    screens.EnumMonitors();  // a second run replaces the list
    ASSERT_EQ(static_cast<int>(screens.Entries().size()), ::GetSystemMetrics(SM_CMONITORS));
    const MonitorEntry& first = screens.Entries()[0];
    EXPECT_NE(first.monitor, nullptr);
    EXPECT_EQ(first.dc, nullptr);
    EXPECT_EQ(first.info.cbSize, sizeof(MONITORINFOEXW));
    EXPECT_NE(first.info.szDevice[0], L'\0') << "the EX block's device name was filled";
    MONITORINFO direct = {};
    direct.cbSize = sizeof(direct);
    ASSERT_TRUE(::GetMonitorInfoW(first.monitor, &direct));
    EXPECT_TRUE(SameRect(first.info.rcMonitor, direct.rcMonitor));
    EXPECT_TRUE(SameRect(first.info.rcWork, direct.rcWork));
    EXPECT_EQ(screens.WorkAreas().size(), screens.Entries().size());
}

TEST(Monitors, CornerRuleOverSeveralWorkAreas) {
    const std::vector<RECT> areas = {{0, 0, 1920, 1040}, {1920, 0, 3200, 1024}, {-1280, 100, 0, 1124}};
    const RECT fallback = {1, 2, 3, 4};
    struct Case {
        RECT stored;
        bool used;
    } cases[] = {
        {{100, 100, 580, 570}, true},
        {{0, 0, 480, 470}, true},
        {{1919, 1039, 2399, 1509}, true},    // last pixel of the first area
        {{1920, 500, 2400, 970}, true},      // the second area's left edge
        {{3200, 500, 3680, 970}, false},     // left edge equals the last area's right edge
        {{-1280, 100, -800, 570}, true},     // third area, left of the primary
        {{-1280, 99, -800, 569}, false},     // one above the third area
        {{500, 1040, 980, 1510}, false},     // the first area's bottom edge
        {{3000, 900, 4000, 2000}, true},     // reaches beyond its area: still used unchanged
    };
    for (const Case& c : cases) {
        const RECT chosen = ChooseWindowRect(c.stored, areas, fallback);
        EXPECT_TRUE(SameRect(chosen, c.used ? c.stored : fallback)) << Show(c.stored);
    }
    // A monitor that has since been unplugged: no area holds the corner.
    EXPECT_TRUE(SameRect(ChooseWindowRect(RECT{2000, 10, 2480, 480}, {areas[0]}, fallback), fallback));
    EXPECT_TRUE(SameRect(ChooseWindowRect(RECT{10, 10, 20, 20}, {}, fallback), fallback));
    EXPECT_TRUE(CornerOnWorkArea(RECT{0, 0, 10, 10}, 0, 0));
    EXPECT_FALSE(CornerOnWorkArea(RECT{0, 0, 10, 10}, 10, 0));
    EXPECT_FALSE(CornerOnWorkArea(RECT{0, 0, 10, 10}, 0, 10));
}

TEST_F(WindowRectStore, ReadGivesStoredRectOnlyWhenItsCornerIsOnAWorkArea) {
    EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), fallback_)) << "no key";

    const RECT inside = {work_.left + 100, work_.top + 120, work_.left + 580, work_.top + 590};
    Store(inside);
    EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), inside));

    const RECT beyond = {work_.right - 10, work_.bottom - 10, work_.right + 470, work_.bottom + 460};
    Store(beyond);
    EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), beyond)) << "size never adjusted";

    const RECT offRight = {work_.right, work_.top + 10, work_.right + 480, work_.top + 480};
    const RECT farAway = {work_.right + 5000, work_.bottom + 5000, work_.right + 5480, work_.bottom + 5470};
    const RECT leftOf = {work_.left - 10, work_.top + 10, work_.left + 470, work_.top + 480};
    for (const RECT& off : {offRight, farAway, leftOf}) {
        Store(off);
        EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), fallback_)) << Show(off);
    }
}

TEST_F(WindowRectStore, DamagedValuesGiveTheDefault) {
    const RECT inside = {work_.left + 100, work_.top + 120, work_.left + 580, work_.top + 590};
    Store(inside);
    std::wstring value = g_Inifile.ReadString(L"WINDOW", L"rect", L"");
    ASSERT_EQ(value.size(), 34u) << "16 bytes and a checksum byte in hexadecimal";

    // Edit the checksum digits by hand.
    std::wstring edited = value;
    edited[33] = edited[33] == L'0' ? L'1' : L'0';
    g_Inifile.WriteString(L"WINDOW", L"rect", edited);
    EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), fallback_));

    // Edit a data digit, leaving the checksum.
    edited = value;
    edited[1] = edited[1] == L'0' ? L'1' : L'0';
    g_Inifile.WriteString(L"WINDOW", L"rect", edited);
    EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), fallback_));

    // Wrong length.
    const POINT corner = {inside.left, inside.top};
    g_Inifile.WriteStruct(L"WINDOW", L"rect", &corner, sizeof(corner));
    EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), fallback_));

    // Intact again: used.
    g_Inifile.WriteString(L"WINDOW", L"rect", value);
    EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), inside));
}

TEST_F(WindowRectStore, WriteStoresNormalWindowsOnly) {
    HWND window = CreatePlainWindow(L"置き場所", 480, 470, work_.left + 150, work_.top + 160, kHiddenFramed);
    ASSERT_NE(window, nullptr);
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(WriteWindowRect(L"WINDOW", L"rect", window), 1);
    EXPECT_TRUE(SameRect(Stored(), rect));
    EXPECT_TRUE(SameRect(ReadWindowRect(L"WINDOW", L"rect", fallback_), rect));

    // Created minimised and maximised (never shown): neither is written, the last normal one stays.
    HWND minimised = CreatePlainWindow(L"最小化", 480, 470, 300, 300, kHiddenFramed | WS_MINIMIZE);
    HWND maximised = CreatePlainWindow(L"最大化", 480, 470, 300, 300, kHiddenFramed | WS_MAXIMIZE);
    ASSERT_TRUE(::IsIconic(minimised));
    ASSERT_TRUE(::IsZoomed(maximised));
    EXPECT_EQ(WriteWindowRect(L"WINDOW", L"rect", minimised), 0);
    EXPECT_EQ(WriteWindowRect(L"WINDOW", L"rect", maximised), 0);
    EXPECT_TRUE(SameRect(Stored(), rect));

    // Moving the normal window writes its new rectangle.
    ::SetWindowPos(window, nullptr, work_.left + 20, work_.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(WriteWindowRect(L"WINDOW", L"rect", window), 1);
    EXPECT_TRUE(SameRect(Stored(), rect));

    EXPECT_EQ(WriteWindowRect(L"WINDOW", L"rect", nullptr), 0) << "no window, nothing written";
    EXPECT_TRUE(SameRect(Stored(), rect));
    ::DestroyWindow(maximised);
    ::DestroyWindow(minimised);
    ::DestroyWindow(window);
}

TEST(DpiRule, ScalesByTheWindowsDpi) {
    struct Case {
        int value;
        int dpi;
        int expected;
    } cases[] = {
        {360, 96, 360}, {160, 96, 160}, {360, 144, 540}, {160, 144, 240}, {360, 192, 720}, {160, 192, 320},
        {800, 120, 1000}, {101, 120, 126}, {-40, 120, -50},  // 126.25 rounds down
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleForDpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
    // A window, or none: the test prefix's DPI either way (Wine has one DPI for all monitors).
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const WindowDc screen(nullptr);
    const int screenDpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
    EXPECT_EQ(DpiOfWindow(window), screenDpi);
    EXPECT_EQ(DpiOfWindow(nullptr), screenDpi);
    HighDpiHelper_CL helper;
    helper.Query(window);
    EXPECT_EQ(helper.ScaleX(360), ::MulDiv(360, screenDpi, 96));
    EXPECT_EQ(SystemMetricForDpi(SM_CXSMICON, 96), 16);
    EXPECT_EQ(SystemMetricForDpi(SM_CXSMICON, 144), 24);
    ::DestroyWindow(window);
}

namespace {
std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

std::map<std::wstring, std::wstring> ReadReport(const std::wstring& path) {
    std::map<std::wstring, std::wstring> values;
    for (const std::wstring& line : SplitLines(ReadUtf16File(path))) {
        const size_t tab = line.find(L'\t');
        if (tab != std::wstring::npos) values[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return values;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
}  // namespace

TEST(SystemDll, LooksUpFunctionsAndFailsQuietly) {
    const DllFunction_CL user32(L"user32.dll");
    ASSERT_NE(user32.Module(), nullptr);
    EXPECT_TRUE(EqualsNoCase(ModulePath(user32.Module()), SystemFolder() + L"\\user32.dll"));
    EXPECT_EQ(user32.Lookup("IsProcessDPIAware"), ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "IsProcessDPIAware"));
    EXPECT_EQ(user32.Lookup("NoSuchFunctionAnywhere"), nullptr);

    const DllFunction_CL missing(L"no_such_library_dg.dll");
    EXPECT_EQ(missing.Module(), nullptr);
    EXPECT_EQ(missing.Lookup("GetProcessDpiAwareness"), nullptr);

    // Only the file name counts: any folder in the argument is replaced by the system folder.
    EXPECT_TRUE(EqualsNoCase(DllFunction_CL::SystemPath(L"C:\\Users\\me\\Downloads\\SHCore.dll"),
                             SystemFolder() + L"\\SHCore.dll"));
    EXPECT_TRUE(EqualsNoCase(DllFunction_CL::SystemPath(L"..\\x/../SHCore.dll"), SystemFolder() + L"\\SHCore.dll"));
    EXPECT_TRUE(EqualsNoCase(DllFunction_CL::SystemPath(L"SHCore.dll"), SystemFolder() + L"\\SHCore.dll"));
}

TEST(SystemDll, PlantedCopyBesideTheProgramIsNotLoaded) {
    // A folder like a downloads folder: the program, and a "SHCore.dll" planted beside it (a copy
    // of the probe itself, a loadable image that is not the system's DLL).
    const std::wstring folder = TempFolder(L"dg_toolkit_planted");
    const std::wstring probe = folder + L"\\dll_probe.exe";
    const std::wstring planted = folder + L"\\SHCore.dll";
    const std::wstring report = folder + L"\\report.txt";
    ASSERT_TRUE(::CopyFileW((ModuleFolder() + L"\\dll_probe.exe").c_str(), probe.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(probe.c_str(), planted.c_str(), FALSE));
    ::DeleteFileW(report.c_str());

    ChildProcess child(L"\"" + probe + L"\" SHCore.dll \"" + report + L"\"", folder);
    ASSERT_TRUE(child.Started());
    DWORD exitCode = 99;
    ASSERT_TRUE(child.WaitExit(30000, &exitCode));
    ASSERT_EQ(exitCode, 0u);
    std::map<std::wstring, std::wstring> values = ReadReport(report);
    ASSERT_EQ(values.count(L"toolkit"), 1u);
    EXPECT_TRUE(EqualsNoCase(values[L"toolkit"], SystemFolder() + L"\\SHCore.dll")) << Narrow(values[L"toolkit"]);
    EXPECT_FALSE(EqualsNoCase(values[L"toolkit"], planted));
    // The plant is real: a plain LoadLibraryW from that folder takes it (under Wine the import
    // chain of shlwapi has even loaded it at start-up), unless the system's copy came first.
    const std::wstring preloaded = values[L"preloaded"];
    if (preloaded.empty() || EqualsNoCase(preloaded, planted)) {
        EXPECT_TRUE(EqualsNoCase(values[L"plain"], planted)) << Narrow(values[L"plain"]);
    }
    RemoveTree(folder);
}

class BackBufferTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }
    static ULONG_PTR token_;
};
ULONG_PTR BackBufferTest::token_ = 0;

namespace {
SIZE ImageSize(Gdiplus::GpBitmap* bitmap) {
    UINT width = 0;
    UINT height = 0;
    Gdiplus::DllExports::GdipGetImageWidth(bitmap, &width);
    Gdiplus::DllExports::GdipGetImageHeight(bitmap, &height);
    return SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
}
}  // namespace

TEST_F(BackBufferTest, ResizeKeepsASameSizedBitmapAndReplacesOthers) {
    using namespace Gdiplus::DllExports;
    BackBuffer_CL buffer;
    EXPECT_EQ(buffer.Bitmap(), nullptr);
    EXPECT_EQ(buffer.PixelFormat(), 0x22009);
    ASSERT_TRUE(buffer.Resize(480, 470));
    Gdiplus::GpBitmap* first = buffer.Bitmap();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ImageSize(first).cx, 480);
    EXPECT_EQ(ImageSize(first).cy, 470);
    Gdiplus::PixelFormat format = 0;
    GdipGetImagePixelFormat(first, &format);
    EXPECT_EQ(format, static_cast<Gdiplus::PixelFormat>(0x22009));

    // Same size: the same bitmap, contents kept.
    ASSERT_EQ(GdipBitmapSetPixel(first, 5, 6, 0xFF123456), Gdiplus::Ok);
    ASSERT_TRUE(buffer.Resize(480, 470));
    EXPECT_EQ(buffer.Bitmap(), first);
    Gdiplus::ARGB pixel = 0;
    GdipBitmapGetPixel(buffer.Bitmap(), 5, 6, &pixel);
    EXPECT_EQ(pixel & 0xFFFFFF, 0x123456u);

    // A new width or height: a new bitmap of that size.
    ASSERT_TRUE(buffer.Resize(481, 470));
    EXPECT_EQ(ImageSize(buffer.Bitmap()).cx, 481);
    ASSERT_TRUE(buffer.Resize(481, 200));
    EXPECT_EQ(ImageSize(buffer.Bitmap()).cy, 200);
    GdipBitmapGetPixel(buffer.Bitmap(), 5, 6, &pixel);
    EXPECT_NE(pixel & 0xFFFFFF, 0x123456u) << "contents are not carried over";

    // The main window's use: a graphics context, then an HBITMAP on opaque black.
    Gdiplus::GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipGetImageGraphicsContext(buffer.Bitmap(), &graphics), Gdiplus::Ok);
    UniqueGdiplusGraphics ownedGraphics(graphics);
    EXPECT_EQ(GdipGraphicsClear(graphics, 0xFF00FF00), Gdiplus::Ok);
    HBITMAP converted = nullptr;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(buffer.Bitmap(), &converted, 0xFF000000), Gdiplus::Ok);
    UniqueBitmap ownedBitmap(converted);
    BITMAP info = {};
    ::GetObjectW(converted, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 481);
    EXPECT_EQ(info.bmHeight, 200);
}

TEST_F(BackBufferTest, PixelFormatAppliesToTheNextBitmapAndFailureLeavesNone) {
    BackBuffer_CL buffer;
    buffer.SetPixelFormat(PixelFormat32bppARGB);
    ASSERT_TRUE(buffer.Resize(10, 10));
    Gdiplus::PixelFormat format = 0;
    Gdiplus::DllExports::GdipGetImagePixelFormat(buffer.Bitmap(), &format);
    EXPECT_EQ(format, PixelFormat32bppARGB);
    EXPECT_FALSE(buffer.Resize(0, 0));
    EXPECT_EQ(buffer.Bitmap(), nullptr) << "the main window must skip drawing then";
    EXPECT_TRUE(buffer.Resize(4, 4));
    EXPECT_NE(buffer.Bitmap(), nullptr);
}
