#pragma once
// The program's INI file, reached only through the private-profile functions.
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

// High and low halves of a "%08x:%08x" value; the default for text shorter than nine characters.
uint64_t ParseHex64(const std::wstring& text, uint64_t defaultValue);
std::wstring FormatHex64(uint64_t value);

class Inifile_CL {
public:
    static constexpr DWORD kStringChars = 4096;

    explicit Inifile_CL(std::wstring path = std::wstring()) : path_(std::move(path)) {}
    virtual ~Inifile_CL() = default;

    void SetPath(const std::wstring& path) { path_ = path; }
    const std::wstring& Path() const { return path_; }

    std::wstring ReadString(std::wstring section, std::wstring key, std::wstring defaultValue) const;
    uint32_t ReadInt(std::wstring section, std::wstring key, uint32_t defaultValue) const;
    uint64_t ReadHex64(std::wstring section, std::wstring key, uint64_t defaultValue) const;
    // False when the platform refused the write (read-only file, blocked folder, full disk);
    // the reason is LastWriteError.
    bool WriteString(std::wstring section, std::wstring key, std::wstring value) const;
    bool WriteInt(std::wstring section, std::wstring key, int value) const;
    bool WriteStruct(std::wstring section, std::wstring key, const void* data, UINT size) const;
    DWORD LastWriteError() const { return lastWriteError_; }
    // Removes the key (WritePrivateProfileStringW with no value); false like the writes.
    bool DeleteKey(std::wstring section, std::wstring key) const;
    // Removes the section with its keys and its header (no key name and no value).
    bool DeleteSection(std::wstring section) const;
    bool ReadStruct(std::wstring section, std::wstring key, void* data, UINT size) const;

    // The names of the keys of a section, in file order; the buffer grows until the whole list fits.
    std::vector<std::wstring> KeyNames(const std::wstring& section) const;

    // "path", 12 -> "path12".
    static std::wstring NumberedKey(std::wstring base, long long number);
    // Creates the file holding only the UTF-16LE byte-order mark, so that the profile
    // functions keep it in UTF-16; an existing file is never touched.
    static void CreateIfMissing(std::wstring path);

private:
    bool Written(BOOL result) const;

    std::wstring path_;
    mutable DWORD lastWriteError_ = ERROR_SUCCESS;
};

// The program's one INI accessor.
extern Inifile_CL g_Inifile;
