#include "comlib/inifile.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "comlib/log.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"

Inifile_CL g_Inifile;

namespace {
uint32_t HexPart(const std::wstring& text, size_t offset) {
    wchar_t buffer[14] = {};
    const std::wstring part = offset < text.size() ? text.substr(offset, 8) : std::wstring();
    wcsncpy(buffer, part.c_str(), 13);
    return static_cast<uint32_t>(wcstoul(buffer, nullptr, 16));
}
}  // namespace

uint64_t ParseHex64(const std::wstring& text, uint64_t defaultValue) {
    // Nine characters hold the high half and the colon; anything shorter is not a hex pair.
    if (text.size() < 9) return defaultValue;
    const uint64_t high = HexPart(text, 0);
    const uint64_t low = HexPart(text, 9);
    return (high << 32) | low;
}

std::wstring FormatHex64(uint64_t value) {
    return FormatWide(L"%08x:%08x", static_cast<unsigned>(value >> 32), static_cast<unsigned>(value & 0xFFFFFFFFu));
}

std::wstring Inifile_CL::ReadString(std::wstring section, std::wstring key, std::wstring defaultValue) const {
    std::vector<wchar_t> buffer(kStringChars, L'\0');
    ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(), kStringChars,
                               path_.c_str());
    return std::wstring(buffer.data());
}

uint32_t Inifile_CL::ReadInt(std::wstring section, std::wstring key, uint32_t defaultValue) const {
    return ::GetPrivateProfileIntW(section.c_str(), key.c_str(), static_cast<INT>(defaultValue), path_.c_str());
}

uint64_t Inifile_CL::ReadHex64(std::wstring section, std::wstring key, uint64_t defaultValue) const {
    return ParseHex64(ReadString(section, key, std::wstring()), defaultValue);
}

bool Inifile_CL::Written(BOOL result) const {
    // Taken at once: the error of the refused write, before anything else can replace it.
    lastWriteError_ = result ? ERROR_SUCCESS : ::GetLastError();
    if (!result && lastWriteError_ == ERROR_SUCCESS) lastWriteError_ = ERROR_WRITE_FAULT;
    return result != FALSE;
}

bool Inifile_CL::WriteString(std::wstring section, std::wstring key, std::wstring value) const {
    return Written(::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path_.c_str()));
}

bool Inifile_CL::WriteInt(std::wstring section, std::wstring key, int value) const {
    return WriteString(section, key, FormatWide(L"%d", value));
}

bool Inifile_CL::WriteStruct(std::wstring section, std::wstring key, const void* data, UINT size) const {
    return Written(
        ::WritePrivateProfileStructW(section.c_str(), key.c_str(), const_cast<void*>(data), size, path_.c_str()));
}

bool Inifile_CL::ReadStruct(std::wstring section, std::wstring key, void* data, UINT size) const {
    return ::GetPrivateProfileStructW(section.c_str(), key.c_str(), data, size, path_.c_str()) != FALSE;
}

std::vector<std::wstring> Inifile_CL::KeyNames(const std::wstring& section) const {
    // GetPrivateProfileStringW with no key lists the names, each ended by NUL; a list cut short
    // returns the buffer's size minus 2.
    std::vector<wchar_t> names(4096, L'\0');
    DWORD length = 0;
    for (;;) {
        length = ::GetPrivateProfileStringW(section.c_str(), nullptr, L"", names.data(),
                                            static_cast<DWORD>(names.size()), path_.c_str());
        if (length + 2 < names.size() || names.size() >= (1u << 28)) break;
        names.assign(names.size() * 2, L'\0');
    }
    // Offsets within what was returned, never pointers past it.
    std::vector<std::wstring> keys;
    const size_t end = std::min<size_t>(length, names.size());
    for (size_t at = 0; at < end;) {
        size_t stop = at;
        while (stop < end && names[stop] != L'\0') ++stop;
        if (stop == at) break;
        keys.emplace_back(names.data() + at, stop - at);
        at = stop + 1;
    }
    return keys;
}

std::wstring Inifile_CL::NumberedKey(std::wstring base, long long number) {
    // By hand: std::to_wstring would link MinGW's own printf, about 16 KB.
    wchar_t digits[24] = {};
    size_t at = 24 - 1;
    unsigned long long rest = number < 0 ? 0ULL - static_cast<unsigned long long>(number) : number;
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (number < 0) digits[--at] = L'-';
    return base + (digits + at);
}

void Inifile_CL::CreateIfMissing(std::wstring path) {
    if (PathExists(path)) return;
    g_Logger.Log(L"Inifile新規作成 = %s", __FILE__, __LINE__, path.c_str());
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return;
    const BYTE mark[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file.Get(), mark, sizeof(mark), &written, nullptr);
}

bool Inifile_CL::DeleteKey(std::wstring section, std::wstring key) const {
    return Written(::WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, path_.c_str()));
}

bool Inifile_CL::DeleteSection(std::wstring section) const {
    return Written(::WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, path_.c_str()));
}
