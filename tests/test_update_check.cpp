// The once-a-day update check against a real HTTP server on the loopback interface, with the
// notice answered by the test and the shell open observed.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "comlib/inet_http.h"
#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/utility.h"
#include "update/update_check.h"
#include "view/update_notice/update_dialog.h"
#include "update/update_runner.h"
#include "tests/http_test_support.h"

namespace {

const wchar_t kTitle[] = L"DormiGuardのアップデート。";
const wchar_t kInstalled[] = L"1.0.5";
// The program's own site, as the build configures it.
const std::wstring kPage = std::wstring(L"http://") + DORMIGUARD_WEB_HOST + L"/DormiGuard/";
const wchar_t kMissing[] = L"<missing>";

std::string VersionBody(const char* version, const std::string& address = std::string(kPage.begin(), kPage.end())) {
    return std::string(version) + "\r\n" + address + "\r\n";
}
const std::string kNewer = VersionBody("1.0.6.0");

// Local noon of a calendar day, as seconds since 1970.
int64_t LocalNoon(int year, int month, int day) {
    tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    return _mktime64(&local);
}

std::vector<std::wstring> g_opened;
void RecordOpen(const std::wstring& target) { g_opened.push_back(target); }

struct NoticeCall {
    HWND owner;
    std::wstring title;
    std::wstring installed;
    std::wstring newVersion;
};

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = FreshTempFolder(L"dg_update_test");
        logPath_ = folder_ + L"\\log.txt";
        iniPath_ = folder_ + L"\\DormiGuard.ini";
        g_Logger.SetPath(logPath_);
        Inifile_CL::CreateIfMissing(iniPath_);
        g_Inifile.SetPath(iniPath_);
        ResetNoticeDelayGenerator();
        g_opened.clear();
        SetShellOpenHandler(&RecordOpen);
        SetUpdateNoticeFunction([this](HWND owner, const std::wstring& title, const std::wstring& installed,
                                       const std::wstring& newVersion) {
            notices_.push_back({owner, title, installed, newVersion});
            return answer_;
        });
        now_ = LocalNoon(2026, 3, 5);
    }
    void TearDown() override {
        SetUpdateNoticeFunction(nullptr);
        SetShellOpenHandler(nullptr);
        g_Logger.SetPath(L"");
        g_Inifile.SetPath(L"");
    }

    void Run(const TestHttpServer& server) {
        UpdateCheck_CL check(&g_Inifile, L"127.0.0.1", L"DormiGuard/Version.txt", server.Port());
        check.SetClock([this] { return now_; });
        check.Check(kTitle, kInstalled, Owner());
    }
    HWND Owner() const { return ::GetDesktopWindow(); }
    std::wstring Key(const wchar_t* key) const { return g_Inifile.ReadString(L"VERSION", key, kMissing); }
    int Today() const {
        tm local = {};
        __time64_t now = now_;
        _localtime64_s(&local, &now);
        return local.tm_mday;
    }
    std::vector<std::wstring> CheckLog() const { return LogMessagesFrom(logPath_, L"update_check.cpp"); }
    std::vector<std::wstring> HttpLog() const { return LogMessagesFrom(logPath_, L"inet_http.cpp"); }
    // Nothing of the VERSION memory was written.
    void ExpectNothingRecorded() const {
        for (const wchar_t* key : {L"last_day", L"next_version", L"next_notify"}) EXPECT_EQ(Key(key), kMissing) << key;
    }

    std::wstring folder_;
    std::wstring logPath_;
    std::wstring iniPath_;
    int64_t now_ = 0;
    int answer_ = 0;
    std::vector<NoticeCall> notices_;
};

}  // namespace

// ---- Plain rules ----

TEST(UpdateRules, VersionTextOrder) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int sign;
    } cases[] = {
        {L"1.0.4.9", L"1.0.5", -1}, {L"1.0.5.0", L"1.0.5", 1}, {L"1.0.5", L"1.0.5", 0},
        {L"1.0.10", L"1.0.9", -1},  // text order, not numeric
        {L"0.0.0.0", L"1.0.5", -1}, {L"", L"1", -1},           {L"2", L"10", 1},
    };
    for (const Case& c : cases) {
        const int result = CompareVersionText(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << L" vs " << c.b;
        EXPECT_EQ(IsNewerVersion(c.a, c.b), c.sign > 0) << c.a << L" vs " << c.b;
    }
}

TEST(UpdateRules, VersionFileLayout) {
    struct Case {
        std::string body;
        bool parsed;
        std::wstring version;
        std::wstring address;
    } cases[] = {
        {kNewer, true, L"1.0.6.0", kPage},
        {std::string("1.0\0xyz\r\nhttp://a/\r\n", 20), true, L"1.0", L"http://a/"},
        {"<html><body>Not Found</body></html>\r\n", true, L"0.0.0.0", L"dy>Not Found</body></html>"},
        {std::string("1.0.6.0\r\nhttp://a/\0rest\r\n", 25), true, L"1.0.6.0", L"http://a/"},
        {"1.0.6.0\r\n\r\n", true, L"1.0.6.0", L""},  // exactly 11 bytes: no address
        {"1.0.6.0\r\nx", false, L"", L""},           // 10 bytes
        {"", false, L"", L""},
        // Bytes are sign-extended into UTF-16 units.
        {"1.0.6.0\r\nhttp://\xE9/\r\n", true, L"1.0.6.0", std::wstring(L"http://") + wchar_t(0xFFE9) + L"/"},
    };
    for (const Case& c : cases) {
        VersionFile file;
        ASSERT_EQ(ParseVersionFile(c.body.data(), static_cast<int>(c.body.size()), &file), c.parsed) << c.body;
        if (!c.parsed) continue;
        EXPECT_EQ(file.version, c.version) << c.body;
        EXPECT_EQ(file.address, c.address) << c.body;
    }
    EXPECT_FALSE(ParseVersionFile(nullptr, 40, nullptr));
}

TEST(UpdateRules, MessageText) {
    EXPECT_EQ(UpdateMessageText(L"1.0.6.0", L"1.0.5"),
              L"最新のバージョン1.0.6.0が公開されています。\r\nサイトへ移動しますか？\r\n\r\n"
              L"　（現在インストールされているバージョンは1.0.5です。）\r\n");
}

TEST(UpdateRules, DelayGeneratorSequence) {
    ResetNoticeDelayGenerator();
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478};
    for (int value : expected) EXPECT_EQ(NextNoticeDelayValue(), value);
    ResetNoticeDelayGenerator();
    EXPECT_EQ(DrawNoticeDelayDays(), 5);
    EXPECT_EQ(DrawNoticeDelayDays(), 5);
    EXPECT_EQ(DrawNoticeDelayDays(), 4);
    for (int i = 0; i < 1000; ++i) {
        const int days = DrawNoticeDelayDays();
        ASSERT_GE(days, 0);
        ASSERT_LE(days, 5);
    }
}

TEST(UpdateRules, OnlyPlainWebAddressesMayReachTheShell) {
    const wchar_t kSite[] = L"www.dormiguard.example";
    const wchar_t* accepted[] = {
        L"http://www.dormiguard.example/DormiGuard/",
        L"HTTPS://WWW.DormiGuard.Example",
        L"http://www.dormiguard.example:8080/x?y=1#z",
        L"https://www.dormiguard.example/path%20x",
    };
    for (const wchar_t* address : accepted) EXPECT_TRUE(IsSafePageAddress(address, kSite, nullptr)) << address;

    const wchar_t* refused[] = {
        L"C:\\x.exe",
        L"\\\\host\\share\\x",
        L"file:///C:/x.exe",
        L"file://host/share/x.exe",
        L"dormiguard:open",
        L"javascript:alert(1)",
        L"ms-settings:",
        L"www.dormiguard.example/DormiGuard/",
        L"http://",
        L"http:///x",
        L"http://host/a b",
        L"http://host/x\r\ncalc.exe",
        L"http://host/x\tcalc.exe",
        L"http://user@evil.example/",
        L"http://host:0/",
        L"http://host:99999/",
        L"http://host:/",
        L"http:\\\\host\\x",
        L"http://.host/",
        L"http://host/\"x\"",
        L"http://ホスト/",
        L"",
        // Plain addresses, but not of the program's own site.
        L"http://attacker.example/",
        L"https://www.dormiguard.example.attacker.example/",
        L"http://dormiguard.example/",
        L"http://www.dormiguard.example@attacker.example/",
    };
    for (const wchar_t* address : refused) {
        std::wstring reason;
        EXPECT_FALSE(IsSafePageAddress(address, kSite, &reason)) << address;
        EXPECT_FALSE(reason.empty()) << address;
    }
}

TEST(UpdateRules, MessageBoxAnswers) {
    EXPECT_EQ(NoticeResultFromMessageBox(IDYES), 1);
    EXPECT_EQ(NoticeResultFromMessageBox(IDCANCEL), 0);
    EXPECT_EQ(NoticeResultFromMessageBox(IDNO), 2);
    EXPECT_EQ(NoticeResultFromMessageBox(IDOK), 2);
}

// ---- Against the server ----

TEST_F(UpdateCheckTest, SwitchedOffFetchesAndWritesNothing) {
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    g_Inifile.WriteInt(L"VERSION", L"notify", 1);
    const std::wstring before = ReadUtf16File(iniPath_);
    Run(server);
    EXPECT_EQ(server.RequestCount(), 0);
    EXPECT_EQ(ReadUtf16File(iniPath_), before);
    EXPECT_TRUE(notices_.empty());
}

TEST_F(UpdateCheckTest, PolicyUpdateCheckZeroInTheRegistryMakesNoRequest) {
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    ASSERT_TRUE(SetPolicy(HKEY_LOCAL_MACHINE, L"", L"UpdateCheck", 0));
    Run(server);
    ClearPolicyKeys();
    EXPECT_EQ(server.RequestCount(), 0);
    Run(server);  // the same check without the policy asks the server
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST_F(UpdateCheckTest, OlderServerVersionRecordsTheDayAndOnceADayHolds) {
    TestHttpServer server(L"version", VersionBody("1.0.4.9"));
    ASSERT_TRUE(server.Ready());
    Run(server);
    EXPECT_EQ(server.RequestCount(), 1);
    EXPECT_EQ(server.Requests().rfind("GET /DormiGuard/Version.txt HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today()));
    EXPECT_EQ(Key(L"next_version"), kMissing);
    EXPECT_EQ(Key(L"next_notify"), kMissing);
    EXPECT_TRUE(notices_.empty());
    EXPECT_TRUE(CheckLog().empty());

    // Same day: nothing fetched.
    now_ += 3600;
    Run(server);
    EXPECT_EQ(server.RequestCount(), 1);
    // The same day of the month in a later month: last_day holds only the day, so nothing either.
    now_ = LocalNoon(2026, 4, 5);
    Run(server);
    EXPECT_EQ(server.RequestCount(), 1);
    // The next day asks again.
    now_ = LocalNoon(2026, 4, 6);
    Run(server);
    EXPECT_EQ(server.RequestCount(), 2);
    EXPECT_EQ(Key(L"last_day"), L"6");
}

TEST_F(UpdateCheckTest, NewerVersionIsHeldBackThenShown) {
    TestHttpServer server(L"version", VersionBody("1.0.5.0"));
    ASSERT_TRUE(server.Ready());
    const int64_t first = now_;
    Run(server);
    // "1.0.5" is a prefix of "1.0.5.0": the server's version is newer. First draw: 5 days.
    EXPECT_EQ(Key(L"next_version"), L"1.0.5.0");
    EXPECT_EQ(Key(L"next_notify"), FormatHex64(static_cast<uint64_t>(first + 5 * 86400)));
    EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today()));
    EXPECT_TRUE(notices_.empty());

    // A day before it is due: the day is recorded, nothing shown, nothing redrawn.
    now_ = first + 4 * 86400;
    Run(server);
    EXPECT_EQ(server.RequestCount(), 2);
    EXPECT_TRUE(notices_.empty());
    EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today()));
    EXPECT_EQ(Key(L"next_notify"), FormatHex64(static_cast<uint64_t>(first + 5 * 86400)));

    // Due: the notice appears with the server's version.
    now_ = first + 5 * 86400;
    answer_ = 0;  // closed: nothing recorded
    const std::wstring lastDay = Key(L"last_day");
    Run(server);
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].owner, Owner());
    EXPECT_EQ(notices_[0].title, kTitle);
    EXPECT_EQ(notices_[0].installed, kInstalled);
    EXPECT_EQ(notices_[0].newVersion, L"1.0.5.0");
    EXPECT_EQ(Key(L"last_day"), lastDay);
    EXPECT_TRUE(g_opened.empty());
}

TEST_F(UpdateCheckTest, ZeroDayDelayShowsAtOnce) {
    // Six draws spent: the seventh value is 11478, a delay of 0 days.
    for (int i = 0; i < 6; ++i) NextNoticeDelayValue();
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    answer_ = 2;
    Run(server);
    EXPECT_EQ(Key(L"next_notify"), FormatHex64(static_cast<uint64_t>(now_)));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].newVersion, L"1.0.6.0");
}

TEST_F(UpdateCheckTest, NotifyLaterRecordsToday) {
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    g_Inifile.WriteString(L"VERSION", L"next_version", L"1.0.6.0");
    g_Inifile.WriteString(L"VERSION", L"next_notify", FormatHex64(static_cast<uint64_t>(now_ - 60)));
    answer_ = 2;
    Run(server);
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today()));
    EXPECT_TRUE(g_opened.empty());
    // Later the same day: silent, nothing fetched.
    now_ += 3600;
    Run(server);
    EXPECT_EQ(server.RequestCount(), 1);
    EXPECT_EQ(notices_.size(), 1u);
    // The next day: shown again.
    now_ += 86400;
    Run(server);
    EXPECT_EQ(notices_.size(), 2u);
}

TEST_F(UpdateCheckTest, GoToSiteOpensThePageAndRecordsNothing) {
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    g_Inifile.WriteString(L"VERSION", L"next_version", L"1.0.6.0");
    g_Inifile.WriteString(L"VERSION", L"next_notify", FormatHex64(static_cast<uint64_t>(now_ - 60)));
    g_Inifile.WriteInt(L"VERSION", L"last_day", Today() - 1);
    answer_ = 1;
    Run(server);
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(g_opened, std::vector<std::wstring>{kPage});
    EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today() - 1));
    // Nothing recorded: the next run the same day asks and shows again.
    Run(server);
    EXPECT_EQ(server.RequestCount(), 2);
    EXPECT_EQ(notices_.size(), 2u);
    EXPECT_EQ(g_opened.size(), 2u);
}

TEST_F(UpdateCheckTest, DeveloperMarkerKeepsTheShellClosed) {
    ASSERT_FALSE(IsDeveloperMachine());
    const MarkerFile marker;
    ASSERT_TRUE(IsDeveloperMachine());
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    g_Inifile.WriteString(L"VERSION", L"next_version", L"1.0.6.0");
    g_Inifile.WriteString(L"VERSION", L"next_notify", FormatHex64(static_cast<uint64_t>(now_ - 60)));
    answer_ = 1;
    Run(server);
    EXPECT_EQ(notices_.size(), 1u);
    EXPECT_TRUE(g_opened.empty());
}

TEST_F(UpdateCheckTest, UnsafeAddressesNeverReachTheShell) {
    const char* addresses[] = {
        "C:\\x.exe", "\\\\host\\share\\x", "file:///C:/Windows/System32/calc.exe", "dgx:run",
        "http://attacker.example/",      // a plain page, but not of our own site
        "http://evil.example/\r\ncalc",  // a line break inside the address
    };
    answer_ = 1;
    for (const char* address : addresses) {
        TestHttpServer server(L"version", VersionBody("1.0.6.0", address));
        ASSERT_TRUE(server.Ready());
        g_Inifile.WriteString(L"VERSION", L"next_version", L"1.0.6.0");
        g_Inifile.WriteString(L"VERSION", L"next_notify", FormatHex64(0));
        const size_t shown = notices_.size();
        const size_t logged = CheckLog().size();
        Run(server);
        EXPECT_EQ(notices_.size(), shown + 1) << address;
        EXPECT_TRUE(g_opened.empty()) << address;
        const std::vector<std::wstring> lines = CheckLog();
        ASSERT_EQ(lines.size(), logged + 1) << address;
        EXPECT_EQ(lines.back().rfind(L"更新ページのアドレスを開きません（", 0), 0u) << lines.back();
    }
    // The line break is spelled out: the log keeps one line per event.
    EXPECT_NE(CheckLog().back().find(L"http://evil.example/\\x0d\\x0acalc"), std::wstring::npos) << CheckLog().back();
}

TEST_F(UpdateCheckTest, ForcedCheckOfAnHtmlPageShowsZeroVersion) {
    TestHttpServer server(L"notfound");
    ASSERT_TRUE(server.Ready());
    g_Inifile.WriteInt(L"VERSION", L"force", 1);
    g_Inifile.WriteInt(L"VERSION", L"last_day", Today());  // force lifts the once-a-day rule
    answer_ = 0;
    Run(server);
    EXPECT_EQ(server.RequestCount(), 1);
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].newVersion, L"0.0.0.0");
    EXPECT_EQ(Key(L"next_version"), kMissing);
}

TEST_F(UpdateCheckTest, HtmlPageWithoutForceRecordsTheDay) {
    TestHttpServer server(L"notfound");
    ASSERT_TRUE(server.Ready());
    Run(server);
    EXPECT_TRUE(notices_.empty());
    EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today()));
}

TEST_F(UpdateCheckTest, OtherForceValuesOnlyLiftTheDailyLimit) {
    TestHttpServer server(L"version", VersionBody("1.0.4.9"));
    ASSERT_TRUE(server.Ready());
    g_Inifile.WriteInt(L"VERSION", L"force", 2);
    g_Inifile.WriteInt(L"VERSION", L"last_day", Today());
    Run(server);
    EXPECT_EQ(server.RequestCount(), 1);
    EXPECT_TRUE(notices_.empty());
    // force = 1 shows even a version that is not newer.
    g_Inifile.WriteInt(L"VERSION", L"force", 1);
    Run(server);
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].newVersion, L"1.0.4.9");
}

TEST_F(UpdateCheckTest, FailedFetchesRecordNothing) {
    struct Case {
        const wchar_t* mode;
        std::string body;
        const wchar_t* checkLine;  // start of the line this check logs; null: none
        const wchar_t* httpLine;   // start of the line the HTTP client logs; null: none
    } cases[] = {
        {L"nolength", kNewer, L"更新情報の応答に Content-Length がありません", nullptr},
        {L"short", kNewer, L"更新情報を読み切れませんでした（", nullptr},
        {L"version", "1.0.6.0\r\n", L"更新情報が短すぎます（9 バイト）", nullptr},
        {L"version", "", L"更新情報が短すぎます（0 バイト）", nullptr},
        {L"huge", "2147483647", L"更新情報を読み切れませんでした（0 / 2147483647 バイト）",
         L"HTTP応答の Content-Length 2147483647 を受け付けません"},
        {L"flood", "", L"更新情報の応答に Content-Length がありません", L"HTTP応答の本文が 65536 バイトを超えた"},
        // A version that would write a section of its own into the INI file, or a blank.
        {L"version", VersionBody("9\r\n[X]"), L"更新情報のバージョンに使えない文字があります", nullptr},
        {L"version", VersionBody("1.0 6.0"), L"更新情報のバージョンに使えない文字があります", nullptr},
    };
    for (const Case& c : cases) {
        TestHttpServer server(c.mode, c.body);
        ASSERT_TRUE(server.Ready());
        const size_t checkLines = CheckLog().size();
        const size_t httpLines = HttpLog().size();
        Run(server);
        EXPECT_EQ(server.RequestCount(), 1) << c.mode;
        EXPECT_TRUE(notices_.empty()) << c.mode;
        ExpectNothingRecorded();
        EXPECT_EQ(ReadUtf16File(iniPath_).find(L"[X]"), std::wstring::npos) << c.mode;
        const std::vector<std::wstring> check = CheckLog();
        ASSERT_EQ(check.size(), checkLines + 1) << c.mode;
        EXPECT_EQ(check.back().rfind(c.checkLine, 0), 0u) << check.back();
        const std::vector<std::wstring> http = HttpLog();
        if (c.httpLine) {
            ASSERT_EQ(http.size(), httpLines + 1) << c.mode;
            EXPECT_EQ(http.back().rfind(c.httpLine, 0), 0u) << http.back();
        } else {
            EXPECT_EQ(http.size(), httpLines) << c.mode;
        }
    }
    // The next run, the same day included, tries again.
    TestHttpServer server(L"version", VersionBody("1.0.4.9"));
    ASSERT_TRUE(server.Ready());
    Run(server);
    EXPECT_EQ(server.RequestCount(), 1);
    EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today()));
}

TEST_F(UpdateCheckTest, SilentServerDoesNotHoldTheStart) {
    TestHttpServer server(L"stall");
    ASSERT_TRUE(server.Ready());
    const ULONGLONG start = ::GetTickCount64();
    Run(server);
    EXPECT_LT(::GetTickCount64() - start, 3 * InetHttp_CL::kTimeoutMs);
    EXPECT_EQ(server.RequestCount(), 1);
    ExpectNothingRecorded();
    EXPECT_TRUE(notices_.empty());
    const std::vector<std::wstring> http = HttpLog();
    ASSERT_EQ(http.size(), 1u);
    EXPECT_EQ(http[0].rfind(L"HttpSendRequest()エラー = 0x80072e", 0), 0u) << http[0];
}

TEST_F(UpdateCheckTest, ServerGoneRecordsNothing) {
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    server.Stop();
    Run(server);
    ExpectNothingRecorded();
    const std::vector<std::wstring> http = HttpLog();
    ASSERT_EQ(http.size(), 1u);
    EXPECT_EQ(http[0], L"HttpSendRequest()エラー = 0x80072efd : ");
}

TEST_F(UpdateCheckTest, NoSecondCheckWhileANoticeIsOnScreen) {
    TestHttpServer server(L"version", kNewer);
    ASSERT_TRUE(server.Ready());
    g_Inifile.WriteString(L"VERSION", L"next_version", L"1.0.6.0");
    g_Inifile.WriteString(L"VERSION", L"next_notify", FormatHex64(0));
    bool busyInside = false;
    int requestsInside = -1;
    SetUpdateNoticeFunction([&](HWND, const std::wstring&, const std::wstring&, const std::wstring&) {
        busyInside = IsUpdateNoticeBusy();
        Run(server);  // a second check while this notice is up
        requestsInside = server.RequestCount();
        return 2;
    });
    EXPECT_FALSE(IsUpdateNoticeBusy());
    Run(server);
    EXPECT_TRUE(busyInside);
    EXPECT_EQ(requestsInside, 1);
    EXPECT_FALSE(IsUpdateNoticeBusy());
    EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today()));
}

// ---- The check of the running program: fetched on a worker, answered on the window ----

namespace {
UpdateRunner_CL* g_runner = nullptr;
LRESULT CALLBACK RunnerHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_runner && g_runner->HandleMessage(message, wParam, lParam)) return 0;
    return ::DefWindowProcW(window, message, wParam, lParam);
}
// A window that hands its messages to g_runner.
HWND CreateRunnerHost() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RunnerHostProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DgUpdateRunnerHost";
    ::RegisterClassW(&windowClass);
    return ::CreateWindowExW(0, windowClass.lpszClassName, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
}
}  // namespace

TEST_F(UpdateCheckTest, SlowAnswerComesToTheWindowOnceItsDialogsAreClosed) {
    TestHttpServer server(L"slow", kNewer);
    ASSERT_TRUE(server.Ready());
    g_Inifile.WriteString(L"VERSION", L"next_version", L"1.0.6.0");
    g_Inifile.WriteString(L"VERSION", L"next_notify", FormatHex64(0));  // due at once
    answer_ = 2;
    const HWND window = CreateRunnerHost();
    ASSERT_NE(window, nullptr);
    {
        UpdateRunner_CL runner(L"127.0.0.1", L"DormiGuard/Version.txt", server.Port(), kTitle, kInstalled);
        runner.Check().SetClock([this] { return now_; });
        g_runner = &runner;
        const ULONGLONG start = ::GetTickCount64();
        runner.Start(window);
        EXPECT_LT(::GetTickCount64() - start, 1000u) << "Start waited for the server";
        EXPECT_TRUE(runner.Fetching());
        // A modal dialog of the program disables its owner: the notice waits for it.
        ::EnableWindow(window, FALSE);
        ASSERT_TRUE(WaitFor([&] { return runner.NoticePending(); }, 15000)) << "the answer was handled";
        EXPECT_FALSE(runner.Fetching());
        EXPECT_TRUE(notices_.empty());
        EXPECT_EQ(Key(L"last_day"), kMissing);
        ::EnableWindow(window, TRUE);
        ASSERT_TRUE(WaitFor([&] { return notices_.size() == 1u; }, 5000));
        EXPECT_EQ(notices_[0].owner, window);
        EXPECT_EQ(notices_[0].title, kTitle);
        EXPECT_EQ(notices_[0].newVersion, L"1.0.6.0");
        EXPECT_EQ(Key(L"last_day"), std::to_wstring(Today()));  // "notify later"
        EXPECT_EQ(server.RequestCount(), 1);
        g_runner = nullptr;
    }
    ::DestroyWindow(window);
}

TEST_F(UpdateCheckTest, DeadlineClosesTheHandlesOfAStalledFetch) {
    TestHttpServer server(L"stall");
    ASSERT_TRUE(server.Ready());
    const HWND window = CreateRunnerHost();
    ASSERT_NE(window, nullptr);
    {
        UpdateRunner_CL runner(L"127.0.0.1", L"DormiGuard/Version.txt", server.Port(), kTitle, kInstalled);
        runner.Check().SetClock([this] { return now_; });
        runner.SetDeadlineMs(1000);
        g_runner = &runner;
        runner.Start(window);
        ASSERT_TRUE(runner.HandlesOpen());
        ASSERT_TRUE(WaitFor([&] { return server.RequestCount() == 1; }, 5000));
        // WinInet's own time-outs end the wait only after 10 s.
        EXPECT_TRUE(WaitFor([&] { return !runner.HandlesOpen(); }, 5000));
        EXPECT_FALSE(runner.Fetching());
        EXPECT_EQ(LogMessagesFrom(logPath_, L"update_runner.cpp"),
                  std::vector<std::wstring>{L"更新情報の取得が 1 秒で終わらないため打ち切りました"});
        ExpectNothingRecorded();
        g_runner = nullptr;
    }
    ::DestroyWindow(window);
}
