#pragma once
// The diagnostic log: one timestamped UTF-16LE line per event, file opened and closed per line
// (or per batch of lines).
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

    // While a batch is open, lines keep their own time stamps but wait in memory, and the last
    // batch to close writes them with one opening of the file: a check that lists hundreds of
    // new programs then opens the log once, not once per program.
    class Batch {
    public:
        explicit Batch(Logger_CL& logger) : logger_(logger) { ++logger_.batchDepth_; }
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        Logger_CL& logger_;
    };

    // The line without the time stamp, cut to the buffer; plain so tests can check it.
    static std::wstring FormatBody(const SYSTEMTIME& time, const char* sourcePath, int line,
                                   const wchar_t* format, va_list args);

private:
    void WriteLine(const std::wstring& text);
    // Appends lines that end in CR LF, emptying a file past the size limit first.
    void WriteRecords(const std::wstring& lines);

    std::wstring path_;
    int batchDepth_ = 0;
    std::wstring pending_;
};

// The program's one logger.
extern Logger_CL g_Logger;
