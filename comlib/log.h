#pragma once
// The diagnostic log: one timestamped UTF-16LE line per event, file opened and closed per line.
#include <windows.h>
#include <string>

class Logger_CL {
public:
    // Emptied before the next line once the file has grown past this many bytes.
    static constexpr long long kSizeLimit = 33554432;
    // One line's buffer, and the room each formatted piece may take in it (terminator included).
    static constexpr size_t kLineChars = 1300;
    static constexpr size_t kPieceChars = 1040;

    void SetPath(const std::wstring& path) { path_ = path; }
    const std::wstring& Path() const { return path_; }

    // Writes one line: the local time, the caller's line and source file name, then the message.
    // sourcePath is the caller's __FILE__; only its file-name part is printed.
    void Log(const wchar_t* format, const char* sourcePath, int line, ...);

    // The line without the time stamp, cut to the buffer; plain so tests can check it.
    static std::wstring FormatBody(const SYSTEMTIME& time, const char* sourcePath, int line,
                                   const wchar_t* format, va_list args);

private:
    void WriteLine(const std::wstring& text);

    std::wstring path_;
};

// The program's one logger.
extern Logger_CL g_Logger;
