// The WinInet client against a real HTTP server process on the loopback interface.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "comlib/inet_http.h"
#include "comlib/log.h"
#include "tests/http_test_support.h"

namespace {

const char kVersionFile[] = "1.0.6.0\r\nhttp://www.dormiguard.example/DormiGuard/\r\n";

class InetHttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = FreshTempFolder(L"dg_inet_test");
        logPath_ = folder_ + L"\\log.txt";
        g_Logger.SetPath(logPath_);
    }
    void TearDown() override { g_Logger.SetPath(L""); }

    std::vector<std::wstring> Messages() const { return LogMessagesFrom(logPath_, L"inet_http.cpp"); }

    // Open, connect to the loopback server and send the GET for the version file.
    static ::testing::AssertionResult Requested(InetHttp_CL& http, const TestHttpServer& server) {
        if (!http.Open()) return ::testing::AssertionFailure() << "Open failed";
        if (!http.Connect(L"127.0.0.1", server.Port())) return ::testing::AssertionFailure() << "Connect failed";
        if (http.Request(L"DormiGuard/Version.txt") != 1) return ::testing::AssertionFailure() << "Request failed";
        return ::testing::AssertionSuccess();
    }

    std::wstring folder_;
    std::wstring logPath_;
};

std::string WideToAnsi(const std::wstring& text) {
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length > 0 ? length : 1), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], length, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

TEST(InetHttpRules, HresultFormOfErrorCodes) {
    struct Case {
        DWORD code;
        DWORD expected;
    } cases[] = {
        {12029, 0x80072efd}, {12002, 0x80072ee2}, {6, 0x80070006}, {0, 0},
        {0x80004005, 0x80004005},  // already negative: unchanged
        {0x12345678, 0x80075678},  // only the low 16 bits are kept
    };
    for (const Case& c : cases) EXPECT_EQ(HresultFromLastError(c.code), c.expected) << std::hex << c.code;
}

TEST(InetHttpRules, ContentLengthText) {
    EXPECT_EQ(ParseContentLength(L"52"), 52);
    EXPECT_EQ(ParseContentLength(L"0"), 0);
    EXPECT_EQ(ParseContentLength(nullptr), InetHttp_CL::kNoLength);
    // The C library saturates on overflow; the reader then refuses the value.
    EXPECT_EQ(ParseContentLength(L"99999999999"), 2147483647);
    EXPECT_EQ(ParseContentLength(L"-5"), -5);
}

TEST_F(InetHttpTest, VersionFileWithLength) {
    TestHttpServer server(L"version", kVersionFile);
    ASSERT_TRUE(server.Ready());
    InetHttp_CL http;
    ASSERT_TRUE(Requested(http, server));
    EXPECT_EQ(http.Status(), 200u);
    const int length = static_cast<int>(sizeof(kVersionFile) - 1);
    EXPECT_EQ(http.ContentLength(), length);
    EXPECT_EQ(http.Read(http.ContentLength()), length);
    ASSERT_NE(http.Body(), nullptr);
    EXPECT_EQ(std::string(http.Body(), http.BodySize()), kVersionFile);
    EXPECT_EQ(http.Body()[length], '\0');
    // The path goes out with its leading slash, as one GET with the program's agent text.
    const std::string requests = server.Requests();
    EXPECT_EQ(requests.rfind("GET /DormiGuard/Version.txt HTTP/1.1\r\n", 0), 0u) << requests;
    // WinInet sends the agent text in the ANSI code page (U+3000 is 81 40 in code page 932).
    EXPECT_NE(requests.find("\r\nUser-Agent: " + WideToAnsi(L"Microsoft Internet\u3000Explorer") + "\r\n"),
              std::string::npos)
        << requests;
    EXPECT_EQ(server.RequestCount(), 1);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(InetHttpTest, NotFoundPageIsABodyLikeAnyOther) {
    TestHttpServer server(L"notfound");
    ASSERT_TRUE(server.Ready());
    InetHttp_CL http;
    ASSERT_TRUE(Requested(http, server));
    EXPECT_EQ(http.Status(), 404u);
    ASSERT_GT(http.ContentLength(), 0);
    EXPECT_EQ(http.Read(http.ContentLength()), http.ContentLength());
    ASSERT_NE(http.Body(), nullptr);
    EXPECT_EQ(http.Body()[0], '<');
    EXPECT_NE(std::string(http.Body()).find("404 Not Found"), std::string::npos);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(InetHttpTest, NoContentLengthReadsToTheEnd) {
    TestHttpServer server(L"nolength", kVersionFile);
    ASSERT_TRUE(server.Ready());
    InetHttp_CL http;
    ASSERT_TRUE(Requested(http, server));
    EXPECT_EQ(http.ContentLength(), InetHttp_CL::kNoLength);
    EXPECT_EQ(http.Read(InetHttp_CL::kNoLength), static_cast<int>(sizeof(kVersionFile) - 1));
    EXPECT_EQ(std::string(http.Body(), http.BodySize()), kVersionFile);
}

TEST_F(InetHttpTest, ShortBodyGivesFewerBytesThanAnnounced) {
    TestHttpServer server(L"short", kVersionFile);
    ASSERT_TRUE(server.Ready());
    InetHttp_CL http;
    ASSERT_TRUE(Requested(http, server));
    const int sent = static_cast<int>(sizeof(kVersionFile) - 1);
    EXPECT_EQ(http.ContentLength(), sent + 20);
    const int got = http.Read(http.ContentLength());
    EXPECT_LE(got, sent);
    EXPECT_NE(got, http.ContentLength());
}

TEST_F(InetHttpTest, OversizedContentLengthIsRefusedUnread) {
    const char* declared[] = {"2147483647", "99999999999", "65537", "-7"};
    for (const char* length : declared) {
        TestHttpServer server(L"huge", length);
        ASSERT_TRUE(server.Ready());
        InetHttp_CL http;
        ASSERT_TRUE(Requested(http, server)) << length;
        const int announced = http.ContentLength();
        EXPECT_EQ(http.Read(announced), 0) << length;
        EXPECT_EQ(http.Body(), nullptr) << length;
        EXPECT_EQ(http.BodySize(), 0);
        const std::vector<std::wstring> messages = Messages();
        ASSERT_FALSE(messages.empty()) << length;
        EXPECT_TRUE(StartsWith(messages.back(), FormatWide(L"HTTP応答の Content-Length %d を受け付けません", announced)))
            << messages.back();
    }
}

TEST_F(InetHttpTest, UnendingBodyWithoutLengthIsCutOff) {
    TestHttpServer server(L"flood");
    ASSERT_TRUE(server.Ready());
    InetHttp_CL http;
    ASSERT_TRUE(Requested(http, server));
    ASSERT_EQ(http.ContentLength(), InetHttp_CL::kNoLength);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(http.Read(InetHttp_CL::kNoLength), 0);
    EXPECT_LT(::GetTickCount64() - start, 10000u);
    EXPECT_EQ(http.BodySize(), 0);
    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], L"HTTP応答の本文が 65536 バイトを超えたため読み込みを中止しました");
}

TEST_F(InetHttpTest, SilentServerTimesOut) {
    TestHttpServer server(L"stall");
    ASSERT_TRUE(server.Ready());
    InetHttp_CL http;
    ASSERT_TRUE(http.Open());
    ASSERT_NE(http.Connect(L"127.0.0.1", server.Port()), nullptr);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(http.Request(L"DormiGuard/Version.txt"), 0);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    // The receive time-out, not an early refusal, ended it; and well before WinInet's own defaults.
    EXPECT_GE(elapsed, InetHttp_CL::kTimeoutMs - 1000);
    EXPECT_LT(elapsed, 3 * InetHttp_CL::kTimeoutMs);
    EXPECT_EQ(server.RequestCount(), 1);
    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    // Windows reports ERROR_INTERNET_TIMEOUT (12002); Wine ends the receive with
    // ERROR_INTERNET_CONNECTION_ABORTED (12030). Either in its HRESULT form.
    // WinInet's codes have no text among the system's messages: nothing follows the colon.
    const std::wstring timedOut = L"HttpSendRequest()エラー = 0x80072ee2 : ";
    const std::wstring aborted = L"HttpSendRequest()エラー = 0x80072efe : ";
    EXPECT_TRUE(messages[0] == timedOut || messages[0] == aborted) << messages[0];
}

TEST_F(InetHttpTest, UnreachablePortFailsAtSend) {
    // A port the server held a moment ago and nobody listens on now.
    unsigned short port = 0;
    {
        TestHttpServer server(L"notfound");
        ASSERT_TRUE(server.Ready());
        port = server.Port();
    }
    InetHttp_CL http;
    ASSERT_TRUE(http.Open());
    EXPECT_NE(http.Connect(L"127.0.0.1", port), nullptr);
    EXPECT_EQ(http.Request(L"DormiGuard/Version.txt"), 0);
    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    // ERROR_INTERNET_CANNOT_CONNECT (12029).
    EXPECT_EQ(messages[0], L"HttpSendRequest()エラー = 0x80072efd : ");
}

TEST_F(InetHttpTest, StepsWithoutTheirParentHandleFailAndLog) {
    InetHttp_CL http;
    // No Open: the connection has no session to belong to, the request no connection.
    EXPECT_EQ(http.Connect(L"127.0.0.1", 80), nullptr);
    EXPECT_EQ(http.Request(L"DormiGuard/Version.txt"), 0);
    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(StartsWith(messages[0], L"InternetConnect()エラー = 0x8007")) << messages[0];
    EXPECT_TRUE(StartsWith(messages[1], L"HttpOpenRequest()エラー = 0x8007")) << messages[1];
}
