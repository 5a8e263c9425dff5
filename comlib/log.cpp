#include "comlib/log.h"

#include <stdio.h>
#include <algorithm>
#include <cstdarg>

#include "comlib/unique_resource.h"
#include "comlib/utility.h"

Logger_CL g_Logger;

namespace {

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// Appends a formatted piece at the end of the buffer, given at most `room` characters
// (terminator included) and never past the buffer's end. _vsnwprintf returns -1 and
// leaves no terminator when it cuts, so the terminator is put back by hand.
void AppendPiece(wchar_t* buffer, size_t capacity, size_t room, const wchar_t* format, va_list args) {
    const size_t used = wcslen(buffer);
    if (used + 1 >= capacity) return;
    const size_t limit = std::min(room, capacity - used);
    const int written = _vsnwprintf(buffer + used, limit, format, args);
    if (written < 0 || static_cast<size_t>(written) >= limit) buffer[used + limit - 1] = L'\0';
}

void AppendFormatted(wchar_t* buffer, size_t capacity, size_t room, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    AppendPiece(buffer, capacity, room, format, args);
    va_end(args);
}

}  // namespace

std::wstring Logger_CL::FormatBody(const SYSTEMTIME& time, const char* sourcePath, int line,
                                   const wchar_t* format, va_list args) {
    wchar_t buffer[kLineChars] = {};
    AppendFormatted(buffer, kLineChars, kLineChars, L"%04d/%02d/%02d %02d:%02d:%02d.%03d : ", time.wYear,
                    time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    const std::wstring source = AnsiToWide(SourceFileName(sourcePath));
    AppendFormatted(buffer, kLineChars, kPieceChars, L"(%5d)% -32s : ", line, source.c_str());
    AppendPiece(buffer, kLineChars, kPieceChars, format, args);
    return std::wstring(buffer);
}

void Logger_CL::Log(const wchar_t* format, const char* sourcePath, int line, ...) {
    if (path_.empty()) return;
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    va_list args;
    va_start(args, line);
    const std::wstring text = FormatBody(now, sourcePath, line, format, args);
    va_end(args);
    WriteLine(text);
}

Logger_CL::Batch::~Batch() {
    if (--logger_.batchDepth_ > 0 || logger_.pending_.empty()) return;
    std::wstring lines;
    lines.swap(logger_.pending_);
    logger_.WriteRecords(lines);
}

void Logger_CL::WriteLine(const std::wstring& text) {
    if (batchDepth_ > 0) {
        pending_ += text;
        pending_ += L"\r\n";
        return;
    }
    WriteRecords(text + L"\r\n");
}

void Logger_CL::WriteRecords(const std::wstring& lines) {
    UniqueFile file(::CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER size = {};
    // A failed size query neither truncates nor adds a byte-order mark.
    if (!::GetFileSizeEx(file.Get(), &size)) size.QuadPart = -1;
    if (size.QuadPart > kSizeLimit) {
        file.Reset(::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        size.QuadPart = 0;
    }
    std::wstring record;
    if (size.QuadPart == 0) record.push_back(static_cast<wchar_t>(0xFEFF));  // bytes FF FE
    record += lines;
    DWORD written = 0;
    ::WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written, nullptr);
}
