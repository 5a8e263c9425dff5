// A tiny HTTP/1.1 server on 127.0.0.1 for the tests of the HTTP client and the update check.
//   http_test_server PORT READYFILE MODE [ARG]
// PORT 0 takes a free port. Once listening, the port is written (as decimal text) to
// READYFILE; every request head received is appended to READYFILE.requests.
// Modes:
//   version FILE   200, the bytes of FILE with their Content-Length
//   notfound       404 with an HTML page and its Content-Length
//   nolength FILE  200, the bytes of FILE without Content-Length, then the connection closes
//   short FILE     200, Content-Length 20 more than FILE holds, FILE's bytes, then closes
//   huge LENGTH    200, "Content-Length: LENGTH" as given, a few bytes, then closes
//   flood          200 without Content-Length, then bytes without end until the peer goes
//   stall          accepts and reads the request, never answers
//   slow FILE      as version, but answers 1.5 s after the request arrived
// The tests end it by terminating the process.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string ReadWholeFile(const std::wstring& path) {
    std::string data;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return data;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) data.append(buffer, got);
    ::CloseHandle(file);
    return data;
}

void AppendToFile(const std::wstring& path, const std::string& text) {
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
}

// Written under another name and renamed, so a reader never sees half a number.
void WriteReadyFile(const std::wstring& path, int port) {
    const std::wstring temp = path + L".tmp";
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = std::to_string(port);
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool SendAll(SOCKET s, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const int n = ::send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Reads up to the blank line that ends the request head.
std::string ReadRequestHead(SOCKET s) {
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        const int n = ::recv(s, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<size_t>(n));
    }
    return head;
}

std::string Response(const char* status, const std::string& headers, const std::string& body) {
    return std::string("HTTP/1.1 ") + status + "\r\nServer: dg-test\r\nContent-Type: text/plain\r\n" + headers +
           "\r\n" + body;
}

// Lets the client read everything before the socket goes.
void CloseGracefully(SOCKET s) {
    ::shutdown(s, SD_SEND);
    char buffer[256];
    const DWORD deadline = ::GetTickCount() + 2000;
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    while (::GetTickCount() < deadline) {
        const int n = ::recv(s, buffer, sizeof(buffer), 0);
        if (n == 0) break;
        if (n < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK) break;
        ::Sleep(10);
    }
    ::closesocket(s);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fwprintf(stderr, L"usage: http_test_server PORT READYFILE MODE [ARG]\n");
        return 2;
    }
    const int port = _wtoi(argv[1]);
    const std::wstring readyFile = argv[2];
    const std::wstring mode = argv[3];
    const std::wstring arg = argc > 4 ? argv[4] : L"";

    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 3;
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener, 16) != 0)
        return 4;
    int length = sizeof(address);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    WriteReadyFile(readyFile, ntohs(address.sin_port));

    const std::string fileBody = arg.empty() ? std::string() : ReadWholeFile(arg);
    std::vector<SOCKET> held;  // stall mode keeps every connection open and silent
    for (;;) {
        SOCKET client = ::accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) break;
        const std::string head = ReadRequestHead(client);
        AppendToFile(readyFile + L".requests", head);
        if (mode == L"slow") {
            ::Sleep(1500);
            SendAll(client, Response("200 OK", "Content-Length: " + std::to_string(fileBody.size()) + "\r\n", fileBody));
        } else if (mode == L"version") {
            SendAll(client, Response("200 OK", "Content-Length: " + std::to_string(fileBody.size()) + "\r\n", fileBody));
        } else if (mode == L"notfound") {
            const std::string page =
                "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\r\n<html><head><title>404 Not Found</title>"
                "</head><body><h1>Not Found</h1></body></html>\r\n";
            SendAll(client, "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
                                std::to_string(page.size()) + "\r\n\r\n" + page);
        } else if (mode == L"nolength") {
            SendAll(client, Response("200 OK", "Connection: close\r\n", fileBody));
        } else if (mode == L"short") {
            SendAll(client, Response("200 OK", "Content-Length: " + std::to_string(fileBody.size() + 20) + "\r\n",
                                     fileBody));
        } else if (mode == L"huge") {
            std::string declared;
            for (wchar_t c : arg) declared.push_back(static_cast<char>(c));
            SendAll(client, Response("200 OK", "Content-Length: " + declared + "\r\n", "1.0.9.9\r\nhttp://x/\r\n"));
        } else if (mode == L"flood") {
            SendAll(client, Response("200 OK", "Connection: close\r\n", std::string()));
            const std::string block(65536, 'x');
            // Ends when the client closes, or after 256 MiB at the latest.
            for (int i = 0; i < 4096 && SendAll(client, block); ++i) {
            }
        } else if (mode == L"stall") {
            held.push_back(client);
            continue;
        }
        CloseGracefully(client);
    }
    return 0;
}
