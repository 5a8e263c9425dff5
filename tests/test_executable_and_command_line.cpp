// The shipped executable's form, and the command-line switch.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "comlib/command_line.h"
#include "comlib/utility.h"
#include "tests/test_helpers.h"

namespace {

std::wstring ExePath() { return ModuleFolder() + L"\\DormiGuard.exe"; }

template <typename T>
T ReadAt(const std::vector<unsigned char>& bytes, size_t offset) {
    T value{};
    if (offset + sizeof(T) <= bytes.size()) memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

// File offset of a relative virtual address, through the section table.
size_t RvaToOffset(const std::vector<unsigned char>& bytes, size_t sections, int count, DWORD rva) {
    for (int i = 0; i < count; ++i) {
        const IMAGE_SECTION_HEADER section = ReadAt<IMAGE_SECTION_HEADER>(bytes, sections + i * sizeof(IMAGE_SECTION_HEADER));
        const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
        if (rva >= section.VirtualAddress && rva < section.VirtualAddress + size)
            return rva - section.VirtualAddress + section.PointerToRawData;
    }
    return 0;
}

std::vector<std::string> ImportedDlls(const std::vector<unsigned char>& bytes, WORD* magic, WORD* subsystem) {
    std::vector<std::string> names;
    const LONG ntOffset = ReadAt<IMAGE_DOS_HEADER>(bytes, 0).e_lfanew;
    const IMAGE_NT_HEADERS64 nt = ReadAt<IMAGE_NT_HEADERS64>(bytes, static_cast<size_t>(ntOffset));
    *magic = nt.OptionalHeader.Magic;
    *subsystem = nt.OptionalHeader.Subsystem;
    const size_t sections = static_cast<size_t>(ntOffset) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                            nt.FileHeader.SizeOfOptionalHeader;
    const IMAGE_DATA_DIRECTORY imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    size_t at = RvaToOffset(bytes, sections, nt.FileHeader.NumberOfSections, imports.VirtualAddress);
    for (; at != 0; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const IMAGE_IMPORT_DESCRIPTOR descriptor = ReadAt<IMAGE_IMPORT_DESCRIPTOR>(bytes, at);
        if (descriptor.Name == 0) break;
        const size_t name = RvaToOffset(bytes, sections, nt.FileHeader.NumberOfSections, descriptor.Name);
        std::string text;
        for (size_t i = name; i < bytes.size() && bytes[i]; ++i) text.push_back(static_cast<char>(tolower(bytes[i])));
        names.push_back(text);
    }
    return names;
}

}  // namespace

TEST(Executable, GuiPe32PlusWithoutMinGwRuntimeDlls) {
    const std::vector<unsigned char> bytes = ReadFileBytes(ExePath());
    ASSERT_GT(bytes.size(), 4096u);
    WORD magic = 0, subsystem = 0;
    const std::vector<std::string> dlls = ImportedDlls(bytes, &magic, &subsystem);
    EXPECT_EQ(magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    ASSERT_FALSE(dlls.empty());
    EXPECT_NE(std::find(dlls.begin(), dlls.end(), "kernel32.dll"), dlls.end());
    for (const std::string& dll : dlls) {
        EXPECT_EQ(dll.find("libstdc++"), std::string::npos) << dll;
        EXPECT_EQ(dll.find("libgcc"), std::string::npos) << dll;
        EXPECT_EQ(dll.find("libwinpthread"), std::string::npos) << dll;
    }
}

TEST(Executable, IconMenuManifestAndVersion) {
    const HMODULE module = ::LoadLibraryExW(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(::FindResourceW(module, MAKEINTRESOURCEW(101), RT_GROUP_ICON), nullptr);
    EXPECT_NE(::FindResourceW(module, MAKEINTRESOURCEW(102), RT_MENU), nullptr);
    const HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(module, manifest)));
    const std::string xml(text, ::SizeofResource(module, manifest));
    EXPECT_NE(xml.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_EQ(xml.find("dpiAware"), std::string::npos);
    EXPECT_EQ(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);

    // The icon resource holds the 16, 32 and 48 pixel images.
    for (int size : {16, 32, 48}) {
        const HICON icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor) ::DeleteObject(info.hbmColor);
        if (info.hbmMask) ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
    ::FreeLibrary(module);

    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(ExePath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(ExePath().c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 5));
    auto versionText = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
        if (!::VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            return std::wstring(L"<missing>");
        return std::wstring(value);
    };
    EXPECT_EQ(versionText(L"ProductName"), L"DormiGuard");
    EXPECT_EQ(versionText(L"ProductVersion"), L"1.0.5");
    EXPECT_EQ(versionText(L"FileVersion"), L"1.0.5");
    EXPECT_EQ(versionText(L"CompanyName"), L"DormiGuard Project");
}

TEST(Executable, PicturesAndFilesLieBesideIt) {
    for (const wchar_t* name : {L"\\sleep_ok.png", L"\\sleep_ng.png", L"\\pirumi_image.png", L"\\pirumi_koala1.png",
                                L"\\pirumi_koala2.png", L"\\menu_image.bmp", L"\\license.html"})
        EXPECT_FALSE(ReadFileBytes(ModuleFolder() + name).empty()) << name;
}

TEST(CommandLine, StartupSwitchInAnyCaseWithEitherPrefix) {
    struct Case {
        const wchar_t* line;
        bool startup;
    } cases[] = {
        {L"DormiGuard.exe -startup", true},
        {L"DormiGuard.exe /startup", true},
        {L"DormiGuard.exe -StartUp", true},
        {L"\"C:\\Program Files\\DormiGuard.exe\" /STARTUP other", true},
        {L"DormiGuard.exe startup", false},
        {L"DormiGuard.exe --startup", false},
        {L"DormiGuard.exe", false},
        {L"-startup", false},  // the program path itself is not an argument
    };
    for (const Case& c : cases) EXPECT_EQ(CommandLine_CL(c.line).HasOption(L"-startup"), c.startup) << c.line;

    const CommandLine_CL line(L"app.exe -a \"\" /b c");
    EXPECT_EQ(line.Arguments(), (std::vector<std::wstring>{L"/a", L"", L"/b", L"c"}));
    EXPECT_FALSE(line.HasOption(L""));
    EXPECT_TRUE(line.HasOption(L"/A"));
}
