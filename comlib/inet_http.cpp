#include "comlib/inet_http.h"

#include <cwchar>

#include "comlib/dll_function.h"
#include "comlib/log.h"
#include "comlib/utility.h"

DWORD HresultFromLastError(DWORD code) {
    // HRESULT_FROM_WIN32 for positive codes.
    return static_cast<LONG>(code) > 0 ? (0x80070000u | (code & 0xFFFFu)) : code;
}

int ParseContentLength(const wchar_t* text) {
    if (!text) return InetHttp_CL::kNoLength;
    return static_cast<int>(wcstol(text, nullptr, 10));
}

namespace {

// Stands in for a WinInet function that could not be loaded: fails as WinInet does, with
// ERROR_MOD_NOT_FOUND for the log line of the caller.
template <class Function>
struct MissingFunction;
template <class Result, class... Arguments>
struct MissingFunction<Result (*)(Arguments...)> {
    static Result Call(Arguments...) {
        ::SetLastError(ERROR_MOD_NOT_FOUND);
        return Result();
    }
};

template <class Function>
Function Find(const DllFunction_CL& dll, const char* name) {
    const Function found = dll.LookupAs<Function>(name);
    return found ? found : &MissingFunction<Function>::Call;
}

// The WinInet functions this file calls.
struct WinInet {
    DllFunction_CL dll{L"wininet.dll"};
    decltype(&::InternetOpenW) open = Find<decltype(&::InternetOpenW)>(dll, "InternetOpenW");
    decltype(&::InternetConnectW) connect = Find<decltype(&::InternetConnectW)>(dll, "InternetConnectW");
    decltype(&::HttpOpenRequestW) openRequest = Find<decltype(&::HttpOpenRequestW)>(dll, "HttpOpenRequestW");
    decltype(&::HttpSendRequestW) sendRequest = Find<decltype(&::HttpSendRequestW)>(dll, "HttpSendRequestW");
    decltype(&::HttpQueryInfoW) queryInfo = Find<decltype(&::HttpQueryInfoW)>(dll, "HttpQueryInfoW");
    decltype(&::InternetReadFile) readFile = Find<decltype(&::InternetReadFile)>(dll, "InternetReadFile");
    decltype(&::InternetSetOptionW) setOption = Find<decltype(&::InternetSetOptionW)>(dll, "InternetSetOptionW");
    decltype(&::InternetCloseHandle) closeHandle = Find<decltype(&::InternetCloseHandle)>(dll, "InternetCloseHandle");
};

// Loaded on first use (a function-local static is thread-safe: the fetch worker calls this
// too) and never freed: a worker may still wait inside WinInet while the process ends.
const WinInet& WinInetApi() {
    static const WinInet* const api = new WinInet;
    return *api;
}

DeferredLogLine LastErrorLine(const wchar_t* format, int line) {
    const DWORD code = HresultFromLastError(::GetLastError());
    return {__FILE__, line, FormatWide(format, static_cast<unsigned>(code), SystemErrorText(code).c_str())};
}

// Appends up to `wanted` bytes to `into`; false when a read fails.
bool ReadChunk(HINTERNET request, std::vector<char>* into, DWORD wanted, DWORD* got) {
    const size_t start = into->size();
    into->resize(start + wanted);
    *got = 0;
    const BOOL ok = WinInetApi().readFile(request, into->data() + start, wanted, got);
    into->resize(start + (ok ? *got : 0));
    return ok != FALSE;
}

}  // namespace

void LogDeferredLines(const std::vector<DeferredLogLine>& lines) {
    for (const DeferredLogLine& line : lines) g_Logger.Log(L"%s", line.source, line.line, line.message.c_str());
}

bool SendHttpRequest(HINTERNET request, HttpResponse* response) {
    const WinInet& api = WinInetApi();
    response->status = 0;
    DWORD timeout = InetHttp_CL::kTimeoutMs;
    api.setOption(request, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    api.setOption(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    if (api.sendRequest(request, nullptr, 0, nullptr, 0) != TRUE) {
        response->log.push_back(LastErrorLine(L"HttpSendRequest()エラー = 0x%08x : %s", __LINE__));
        return false;
    }
    DWORD size = sizeof(response->status);
    api.queryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &response->status, &size, nullptr);
    wchar_t length[128] = {};  // 256 bytes
    size = sizeof(length);
    response->contentLength = api.queryInfo(request, HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr)
                                  ? ParseContentLength(length)
                                  : InetHttp_CL::kNoLength;
    return true;
}

int ReadHttpBody(HINTERNET request, int expectedLength, HttpResponse* response) {
    const int kMax = InetHttp_CL::kMaxBodyBytes;
    response->body.clear();
    response->body.shrink_to_fit();
    if (expectedLength != InetHttp_CL::kNoLength && (expectedLength < 0 || expectedLength > kMax)) {
        // Refused before anything is allocated: a hostile or broken length must not size a buffer.
        response->log.push_back({__FILE__, __LINE__,
                                 FormatWide(L"HTTP応答の Content-Length %d を受け付けません (0 から %d バイトまで)",
                                            expectedLength, kMax)});
        return 0;
    }
    std::vector<char> data;
    if (expectedLength != InetHttp_CL::kNoLength) {
        // InternetReadFile may hand over less than asked; it reports the end with 0 bytes.
        while (data.size() < static_cast<size_t>(expectedLength)) {
            DWORD got = 0;
            if (!ReadChunk(request, &data, static_cast<DWORD>(expectedLength - data.size()), &got)) return 0;
            if (got == 0) break;
        }
    } else {
        // Without a length the body ends when the server closes; stop once it outgrows a version file.
        for (;;) {
            DWORD got = 0;
            if (!ReadChunk(request, &data, 16384, &got)) {
                data.clear();
                break;
            }
            if (got == 0) break;
            if (data.size() > static_cast<size_t>(kMax)) {
                response->log.push_back(
                    {__FILE__, __LINE__,
                     FormatWide(L"HTTP応答の本文が %d バイトを超えたため読み込みを中止しました", kMax)});
                data.clear();
                break;
            }
        }
    }
    response->body = std::move(data);
    response->body.push_back('\0');
    return response->BodySize();
}

void InetHttp_CL::LogLastError(const wchar_t* format, int line) const {
    const DWORD code = HresultFromLastError(::GetLastError());
    g_Logger.Log(format, __FILE__, line, static_cast<unsigned>(code), SystemErrorText(code).c_str());
}

bool InetHttp_CL::Open() {
    const WinInet& api = WinInetApi();
    // U+3000 (ideographic space) joins the two words of the agent text.
    internet_.Reset(api.open(L"Microsoft Internet\u3000Explorer", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet_) {
        LogLastError(L"InternetOpen()エラー = 0x%08x : %s", __LINE__);
        return false;
    }
    // Handles made from this one inherit the time-outs; without them a silent server
    // blocks for WinInet's defaults, which run to minutes.
    DWORD timeout = kTimeoutMs;
    api.setOption(internet_.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    api.setOption(internet_.Get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    api.setOption(internet_.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    return true;
}

HINTERNET InetHttp_CL::Connect(const std::wstring& host, INTERNET_PORT port) {
    request_.Reset();
    connection_.Reset(WinInetApi().connect(internet_.Get(), host.c_str(), port, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection_) LogLastError(L"InternetConnect()エラー = 0x%08x : %s", __LINE__);
    return connection_.Get();
}

bool InetHttp_CL::OpenRequest(const std::wstring& path) {
    status_ = 0;
    // RELOAD: always ask the server; NO_CACHE_WRITE: leave nothing in the local cache.
    request_.Reset(WinInetApi().openRequest(connection_.Get(), L"GET", path.c_str(), nullptr, nullptr, nullptr,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request_) LogLastError(L"HttpOpenRequest()エラー = 0x%08x : %s", __LINE__);
    return static_cast<bool>(request_);
}

int InetHttp_CL::SendRequest() {
    HttpResponse response;
    const bool sent = SendHttpRequest(request_.Get(), &response);
    LogDeferredLines(response.log);
    status_ = response.status;
    if (sent) contentLength_ = response.contentLength;
    return sent ? 1 : 0;
}

int InetHttp_CL::Request(const std::wstring& path) {
    if (!OpenRequest(path)) return 0;
    return SendRequest();
}

int InetHttp_CL::Read(int expectedLength) {
    HttpResponse response;
    ReadHttpBody(request_.Get(), expectedLength, &response);
    LogDeferredLines(response.log);
    body_ = std::move(response.body);
    return BodySize();
}

void close_fn::Internet(HINTERNET h) { WinInetApi().closeHandle(h); }

void InetHttp_CL::Close() {
    request_.Reset();
    connection_.Reset();
    internet_.Reset();
}
