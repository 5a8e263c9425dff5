#pragma once
// One small file over plain HTTP through WinInet: open, connect, request, read, done.
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "comlib/unique_resource.h"

// WinInet is looked up in the system folder when it is first used, not imported: start-up
// never loads it (nor the libraries it imports) unless an update check runs then.
namespace close_fn {
void Internet(HINTERNET h);
}  // namespace close_fn

using UniqueInternet = UniqueResource<HINTERNET, close_fn::Internet>;

// GetLastError in the HRESULT form the log shows: 12029 -> 0x80072efd; 0 and values that
// are already negative as 32-bit numbers stay as they are.
DWORD HresultFromLastError(DWORD code);

// The Content-Length header text as the C library reads a decimal number; -1 without one.
int ParseContentLength(const wchar_t* text);

// A log line made where the logger may not be touched (the fetch worker: the logger is a
// global that goes at exit while the worker may still wait); the owning thread logs it later.
struct DeferredLogLine {
    const char* source;  // __FILE__ of the maker, a literal that lives as long as the process
    int line;
    std::wstring message;
};
void LogDeferredLines(const std::vector<DeferredLogLine>& lines);

// The answer to one request, filled by the blocking calls below.
struct HttpResponse {
    DWORD status = 0;
    int contentLength = 0;
    std::vector<char> body;  // the bytes read followed by one zero byte; empty before a read
    std::vector<DeferredLogLine> log;

    int BodySize() const { return body.empty() ? 0 : static_cast<int>(body.size() - 1); }
};

// The blocking half of a request, on a request handle someone else owns and may close from
// another thread (WinInet then makes the waiting call return with an error). They touch only
// the handle and *response; failures go to response->log.
// Sends the request and reads status and Content-Length; false on failure.
bool SendHttpRequest(HINTERNET request, HttpResponse* response);
// Reads the body: expectedLength bytes, or everything up to the end with kNoLength. Returns
// the number of bytes obtained; 0 for a refused or failed read.
int ReadHttpBody(HINTERNET request, int expectedLength, HttpResponse* response);

class InetHttp_CL {
public:
    // The version file is a few dozen bytes; anything past this is not one.
    static constexpr int kMaxBodyBytes = 65536;
    // Connect, send and receive each give up after this long, so a server that accepts and
    // then stays silent cannot hold the caller.
    static constexpr DWORD kTimeoutMs = 10000;
    // Content length when the response has no Content-Length header.
    static constexpr int kNoLength = -1;

    InetHttp_CL() = default;
    InetHttp_CL(const InetHttp_CL&) = delete;
    InetHttp_CL& operator=(const InetHttp_CL&) = delete;
    virtual ~InetHttp_CL() = default;

    // False (and logged) when WinInet cannot be loaded or opened.
    bool Open();
    // Null (and logged) on failure. WinInet only records host and port here; an unreachable
    // host shows when the request is sent.
    HINTERNET Connect(const std::wstring& host, INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT);
    // GET of the path (given without a leading "/"); 1 when a response arrived, whatever its
    // status, 0 on failure (logged).
    int Request(const std::wstring& path);
    // The two halves of Request: the handle alone (never waits), then the send (waits).
    bool OpenRequest(const std::wstring& path);
    int SendRequest();
    HINTERNET RequestHandle() const { return request_.Get(); }
    // Closes request, connection and session; a call waiting on them in another thread returns.
    void Close();
    // Reads the body: expectedLength bytes, or everything up to the end with kNoLength.
    // Returns the number of bytes obtained; 0 for a refused or failed read.
    int Read(int expectedLength);

    // The body bytes followed by one zero byte; null before a successful Read.
    const char* Body() const { return body_.empty() ? nullptr : body_.data(); }
    // Bytes in the body, the zero byte not counted.
    int BodySize() const { return body_.empty() ? 0 : static_cast<int>(body_.size() - 1); }
    int ContentLength() const { return contentLength_; }
    DWORD Status() const { return status_; }
    HINTERNET InternetHandle() const { return internet_.Get(); }

private:
    void LogLastError(const wchar_t* format, int line) const;

    // Declared parent first: destroyed request, then connection, then session.
    UniqueInternet internet_;
    UniqueInternet connection_;
    UniqueInternet request_;
    std::vector<char> body_;
    int contentLength_ = 0;
    DWORD status_ = 0;
};
