// The shipped executable's form, and the command-line switch.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "comlib/command_line.h"
#include "comlib/utility.h"
#include "comlib/window_station.h"
#include "data/awake_command.h"
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
    // Beside it the console front end, which every shell waits for.
    ImportedDlls(ReadFileBytes(ModuleFolder() + L"\\DormiGuard.com"), &magic, &subsystem);
    EXPECT_EQ(subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
}

// Looked up when first used instead: start-up loads only what the main window needs.
TEST(Executable, ImportsNoLibraryOnlyLaterWindowsNeed) {
    WORD magic = 0, subsystem = 0;
    const std::vector<std::string> dlls = ImportedDlls(ReadFileBytes(ExePath()), &magic, &subsystem);
    ASSERT_NE(std::find(dlls.begin(), dlls.end(), "kernel32.dll"), dlls.end()) << "the import table was read";
    for (const char* later : {"oleaut32.dll", "wininet.dll", "shlwapi.dll"})
        EXPECT_EQ(std::find(dlls.begin(), dlls.end(), later), dlls.end()) << later;
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
    // Per-monitor v2, system awareness where only dpiAware is read, and visual styles.
    EXPECT_NE(xml.find(">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(xml.find(">PerMonitorV2, PerMonitor, System</dpiAwareness>"), std::string::npos);
    EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    // The test executable carries the same manifest: the process is DPI-aware.
    EXPECT_TRUE(::IsProcessDPIAware());

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

TEST(CommandLine, AwakeSwitchesAndTheirValues) {
    struct Case {
        std::vector<std::wstring> arguments;
        CommandError error;
        AwakeCommand::Kind kind;
        std::wstring handOver;  // what goes to the running copy
    } cases[] = {
        {{L"-awake"}, CommandError::None, AwakeCommand::Kind::Session, L"-awake"},
        {{L"/AWAKE", L"30"}, CommandError::None, AwakeCommand::Kind::Session, L"-awake 30"},
        {{L"-awake", L"10080"}, CommandError::None, AwakeCommand::Kind::Session, L"-awake 10080"},
        {{L"-awake", L"7:05"}, CommandError::None, AwakeCommand::Kind::Session, L"-awake 07:05"},
        {{L"-startup", L"-awake", L"23:59"}, CommandError::None, AwakeCommand::Kind::Session, L"-awake 23:59"},
        {{L"-awake", L"OFF"}, CommandError::None, AwakeCommand::Kind::Off, L"-awake off"},
        {{L"-Pid", L"1234"}, CommandError::None, AwakeCommand::Kind::Pid, L"-pid 1234"},
        {{L"-run", L"cmd", L"/c", L"exit 3"}, CommandError::None, AwakeCommand::Kind::Run, L""},
        {{L"-awake", L"0"}, CommandError::BadAwakeValue, AwakeCommand::Kind::None, L""},
        {{L"-awake", L"10081"}, CommandError::BadAwakeValue, AwakeCommand::Kind::None, L""},
        {{L"-awake", L"24:00"}, CommandError::BadAwakeValue, AwakeCommand::Kind::None, L""},
        {{L"-awake", L"12:60"}, CommandError::BadAwakeValue, AwakeCommand::Kind::None, L""},
        {{L"-awake", L"1h"}, CommandError::BadAwakeValue, AwakeCommand::Kind::None, L""},
        {{L"-awake", L"-5"}, CommandError::BadAwakeValue, AwakeCommand::Kind::None, L""},
        {{L"-awake", L"-sleep"}, CommandError::UnknownSwitch, AwakeCommand::Kind::None, L""},
        {{L"-pid"}, CommandError::PidMissing, AwakeCommand::Kind::None, L""},
        {{L"-pid", L"0"}, CommandError::BadProcessId, AwakeCommand::Kind::None, L""},
        {{L"-pid", L"4294967296"}, CommandError::BadProcessId, AwakeCommand::Kind::None, L""},
        {{L"-pid", L"12a"}, CommandError::BadProcessId, AwakeCommand::Kind::None, L""},
        {{L"-run"}, CommandError::RunMissing, AwakeCommand::Kind::None, L""},
        {{L"-awake", L"-pid", L"5"}, CommandError::TooManyCommands, AwakeCommand::Kind::None, L""},
    };
    for (const Case& c : cases) {
        const CommandParse parse = ParseAwakeCommand(c.arguments);
        EXPECT_EQ(parse.error, c.error) << c.arguments.back();
        EXPECT_EQ(parse.command.kind, c.kind) << c.arguments.back();
        EXPECT_EQ(HandOverText(parse.command), c.handOver) << c.arguments.back();
        AwakeCommand back;
        if (!c.handOver.empty()) {
            ASSERT_TRUE(ParseHandOverText(c.handOver, &back)) << c.handOver;
            EXPECT_EQ(HandOverText(back), c.handOver);
        }
    }
    // The command after -run keeps its own switches and spaces.
    EXPECT_EQ(ParseAwakeCommand({L"-run", L"cmd", L"/c", L"exit 3", L"-awake"}).command.runCommandLine,
              L"cmd /c \"exit 3\" -awake");
    // -run's command exactly as typed: after the program path and the arguments up to -run.
    const struct { const wchar_t* line; size_t count; const wchar_t* rest; } tails[] = {
        {L"\"C:\\Program Files\\DormiGuard.exe\" -run cmd /c echo \"x\"", 2, L"cmd /c echo \"x\""},
        {L"D.exe -startup \"-run\"   msiexec /i a.msi P=\"a b\" ", 3, L"msiexec /i a.msi P=\"a b\" "},
        {L"D.exe \"a \\\" -run\" -run x", 3, L"x"},
        {L"D.exe \"a\"\"b\" -run z", 2, L""},
        {L"D.exe -run", 2, L""},
    };
    auto argumentCount = [](const std::wstring& line) { return CommandLine_CL(line).RawArguments().size() + 1; };
    for (const auto& t : tails) {
        EXPECT_EQ(CommandLine_CL::TextAfterArguments(t.line, t.count), t.rest) << t.line;
        // The same split as the system's: the arguments cut off plus those of the rest.
        EXPECT_EQ(argumentCount(t.line), t.count + argumentCount(std::wstring(L"x ") + t.rest) - 1) << t.line;
    }
    // Without -awake, -pid or -run everything stays as it always was.
    EXPECT_FALSE(HasAwakeSwitch({L"--startup", L"startup", L"-x"}));
    EXPECT_TRUE(HasAwakeSwitch({L"/Run", L"x"}));
    // The receiving side takes no -run and nothing unknown.
    AwakeCommand received;
    for (const wchar_t* text : {L"-run cmd", L"-awake 0", L"-startup", L"", L"-pid 5 -awake"})
        EXPECT_FALSE(ParseHandOverText(text, &received)) << text;

    Hotkey hotkey;
    ASSERT_TRUE(ParseHotkey(L"Ctrl+Alt+Shift+S", &hotkey));
    EXPECT_EQ(hotkey.modifiers, static_cast<UINT>(MOD_CONTROL | MOD_ALT | MOD_SHIFT));
    EXPECT_EQ(hotkey.key, static_cast<UINT>('S'));
    ASSERT_TRUE(ParseHotkey(L"win+f12", &hotkey));
    EXPECT_EQ(FormatHotkey(hotkey), L"Win+F12");
    ASSERT_TRUE(ParseHotkey(L"", &hotkey));
    EXPECT_EQ(hotkey.key, 0u);
    for (const wchar_t* bad : {L"Ctrl+", L"Hyper+S", L"Ctrl+F25", L"Ctrl+SS"}) EXPECT_FALSE(ParseHotkey(bad, &hotkey)) << bad;
    EXPECT_EQ(FormatHotkey(DefaultHotkey()), L"Ctrl+Shift+F11");
    // Punctuation, which no INI value names (the load's table is in test_settings_store).
    EXPECT_EQ(JudgeHotkey(Hotkey{MOD_CONTROL, 0xBA}), HotkeyFault::CharacterKey) << "VK_OEM_1 punctuation";
}

TEST(CommandLine, NoTrayCopyWhereTheWindowStationIsInvisible) {
    static DWORD flags = 0;  // session 0: the station's flags lack WSF_VISIBLE
    auto query = [](HANDLE, int index, PVOID info, DWORD, LPDWORD) -> BOOL {
        static_cast<USEROBJECTFLAGS*>(info)->dwFlags = flags;
        return index == UOI_FLAGS;
    };
    EXPECT_FALSE(WindowStationVisible(query));
    flags = WSF_VISIBLE;
    EXPECT_TRUE(WindowStationVisible(query));
}
