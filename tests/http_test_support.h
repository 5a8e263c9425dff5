#pragma once
// Test-side helpers for the HTTP tests: a real loopback server process (support/http_test_server)
// and reading back the log lines one source file wrote.
#include <windows.h>

#include <string>
#include <vector>

#include "comlib/utility.h"
#include "tests/test_helpers.h"

inline std::wstring NarrowToWide(const std::string& text) {
    std::wstring wide;
    for (char c : text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return wide;
}

// The message part of each log line written from the given source file (e.g. "inet_http.cpp").
inline std::vector<std::wstring> LogMessagesFrom(const std::wstring& logPath, const std::wstring& sourceFile) {
    std::vector<std::wstring> messages;
    for (const std::wstring& line : SplitLines(ReadUtf16File(logPath))) {
        // "YYYY/MM/DD hh:mm:ss.mmm : (lllll)source<padded to 32> : message"
        const size_t open = line.find(L" : (");
        if (open == std::wstring::npos) continue;
        const size_t nameStart = open + 4 + 6;  // "(" already skipped by +4, then 5 digits and ")"
        if (line.size() < nameStart || line.compare(nameStart, sourceFile.size(), sourceFile) != 0) continue;
        const size_t separator = line.find(L" : ", nameStart);
        if (separator == std::wstring::npos) continue;
        messages.push_back(line.substr(separator + 3));
    }
    return messages;
}

// One run of support/http_test_server.exe on a free loopback port; terminated when it goes.
// The text is the body the server answers with, or for mode "huge" the Content-Length it announces.
class TestHttpServer {
public:
    TestHttpServer(const std::wstring& mode, const std::string& body = std::string()) {
        static int serial = 0;
        folder_ = FreshTempFolder(FormatWide(L"dg_http_%u_%d", ::GetCurrentProcessId(), ++serial));
        readyFile_ = folder_ + L"\\ready.txt";
        std::wstring arg;
        if (mode == L"huge") {
            arg = NarrowToWide(body);
        } else if (!body.empty()) {
            arg = folder_ + L"\\body.bin";
            WriteFileBytes(arg, std::vector<unsigned char>(body.begin(), body.end()));
        }
        const std::wstring exe = ModuleFolder() + L"\\http_test_server.exe";
        process_ = ChildProcess(L"\"" + exe + L"\" 0 \"" + readyFile_ + L"\" " + mode +
                                (arg.empty() ? L"" : L" \"" + arg + L"\""));
        if (!process_.Started()) return;
        // The port is read until it parses: a read that meets the file while it is being put in
        // place sees no number yet.
        WaitFor(
            [this] {
                const std::vector<unsigned char> bytes = ReadFileBytes(readyFile_);
                port_ = atoi(std::string(bytes.begin(), bytes.end()).c_str());
                return port_ > 0 || process_.WaitExit(0);
            },
            15000);
    }
    ~TestHttpServer() {
        process_.Kill();
        RemoveTree(folder_);
    }

    bool Ready() const { return port_ > 0; }
    unsigned short Port() const { return static_cast<unsigned short>(port_); }
    // The request heads received so far, one after the other.
    std::string Requests() const {
        const std::vector<unsigned char> bytes = ReadFileBytes(readyFile_ + L".requests");
        return std::string(bytes.begin(), bytes.end());
    }
    int RequestCount() const {
        const std::string all = Requests();
        int count = 0;
        for (size_t at = all.find("GET "); at != std::string::npos; at = all.find("GET ", at + 4)) ++count;
        return count;
    }
    // Kills the server now (by its process), as a server that went away.
    void Stop() { process_.Kill(); }

private:
    std::wstring folder_;
    std::wstring readyFile_;
    ChildProcess process_;
    int port_ = 0;
};
