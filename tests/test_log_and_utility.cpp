// The path, shell and text helpers and the diagnostic log, against real files.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <cstdarg>

#include "comlib/log.h"
#include "comlib/utility.h"
#include "tests/test_helpers.h"

namespace {

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"dg_log_test";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Byte-order marks anywhere in a UTF-16LE file: a mark written before a later line would show
// as a stray character in the middle of the log.
size_t ByteOrderMarks(const std::vector<unsigned char>& bytes) {
    size_t marks = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xFE) ++marks;
    return marks;
}

std::wstring Body(const char* source, int line, const wchar_t* format, ...) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 6;
    time.wHour = 17;
    time.wMinute = 58;
    time.wSecond = 21;
    time.wMilliseconds = 45;
    va_list args;
    va_start(args, format);
    std::wstring text = Logger_CL::FormatBody(time, source, line, format, args);
    va_end(args);
    return text;
}

}  // namespace

TEST(PathText, FileNameAndFolderOfPaths) {
    struct Case {
        const wchar_t* path;
        const wchar_t* fileName;
    } cases[] = {
        {L"C:\\Program Files\\x\\app.exe", L"app.exe"},
        {L"app.exe", L"app.exe"},
        {L"C:\\dir\\", L""},
        {L"", L""},
        {L"\\Device\\Mup\\server\\tool.exe", L"tool.exe"},
    };
    for (const Case& c : cases) EXPECT_EQ(FileNamePart(c.path), c.fileName) << c.path;

    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring folder = ModuleFolder();
    EXPECT_EQ(folder + L"\\" + FileNamePart(exe), std::wstring(exe));
    EXPECT_NE(folder.back(), L'\\');
}

TEST(PathText, SourceFileNameTakesEitherSeparator) {
    EXPECT_EQ(SourceFileName("/build/machine/src/comlib/inifile.cpp"), "inifile.cpp");
    EXPECT_EQ(SourceFileName("C:\\src\\view\\main_dialog.cpp"), "main_dialog.cpp");
    EXPECT_EQ(SourceFileName("C:\\src/mixed\\a/b.cpp"), "b.cpp");
    EXPECT_EQ(SourceFileName("plain.cpp"), "plain.cpp");
}

TEST(PathText, WideFormatTakesWideStringsWhole) {
    // The runtime's convention: %s in a wide format is a wide string, not a narrow one.
    EXPECT_EQ(FormatWide(L"DataFolderPath = \"%s\"", L"C:\\ユーザー\\Documents"),
              L"DataFolderPath = \"C:\\ユーザー\\Documents\"");
    EXPECT_EQ(FormatWide(L"%s%d", L"path", 12), L"path12");
    EXPECT_EQ(FormatWide(L"(%5d)% -32s : ", 42, L"inifile.cpp"),
              L"(   42)inifile.cpp                      : ");
    EXPECT_EQ(FormatWide(L"%08x:%08x", 0u, 0x5f1e2a40u), L"00000000:5f1e2a40");
}

TEST(PathText, SystemErrorTextIsOneLineOrEmpty) {
    const std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find(L'\n'), std::wstring::npos);
    EXPECT_EQ(SystemErrorText(0x2EFD0000u), L"");
    // A text with an insert comes back with the insert as it stands, not read from arguments
    // that nobody passed.
    EXPECT_NE(SystemErrorText(ERROR_BAD_EXE_FORMAT).find(L"%1"), std::wstring::npos)
        << SystemErrorText(ERROR_BAD_EXE_FORMAT);
}

namespace {
std::vector<std::wstring> g_opened;
void RecordOpen(const std::wstring& target) { g_opened.push_back(target); }
}  // namespace

TEST(PathText, ShellOpenIsSkippedWhileTheMarkerExists) {
    SetShellOpenHandler(RecordOpen);
    g_opened.clear();
    ASSERT_FALSE(IsDeveloperMachine());
    ShellOpen(L"http://example.invalid/DormiGuard/");
    ASSERT_EQ(g_opened.size(), 1u);
    {
        const MarkerFile marker;
        EXPECT_TRUE(IsDeveloperMachine());
        ShellOpen(L"http://example.invalid/DormiGuard/");
        EXPECT_EQ(g_opened.size(), 1u);
    }
    EXPECT_FALSE(IsDeveloperMachine());
    SetShellOpenHandler(nullptr);
}

TEST(PathText, PathExistsForFilesAndFoldersAndKeepsTheErrorMode) {
    const std::wstring folder = FreshTempFolder(L"dg_path_exists");
    WriteFileBytes(folder + L"\\there.txt", {'x'});
    const struct {
        std::wstring path;
        bool exists;
    } cases[] = {{folder + L"\\there.txt", true}, {folder, true}, {folder + L"\\gone.txt", false}, {L"", false}};
    DWORD before = 0;
    ASSERT_TRUE(::SetThreadErrorMode(SEM_NOGPFAULTERRORBOX, &before));
    for (const auto& c : cases) {
        EXPECT_EQ(PathExists(c.path), c.exists) << c.path;
        EXPECT_EQ(::GetThreadErrorMode(), static_cast<DWORD>(SEM_NOGPFAULTERRORBOX)) << "the caller's mode again";
    }
    ::SetThreadErrorMode(before, nullptr);
    RemoveTree(folder);
}

TEST(LogLine, LayoutOfTimeSourceAndMessage) {
    EXPECT_EQ(Body("/home/builder/src/comlib/inifile.cpp", 42, L"Inifile新規作成 = %s", L"C:\\x.ini"),
              L"2026/12/06 17:58:21.045 : (   42)inifile.cpp                      : Inifile新規作成 = C:\\x.ini");
    // A name longer than 32 columns is printed whole.
    const std::wstring longName = Body("a_source_file_name_longer_than_32_chars.cpp", 7, L"m");
    EXPECT_NE(longName.find(L"(    7)a_source_file_name_longer_than_32_chars.cpp : m"), std::wstring::npos);
    // A percent sign from an argument is printed as it is.
    EXPECT_NE(Body("x.cpp", 1, L"%s", L"C:\\100%\\%d.exe").find(L": C:\\100%\\%d.exe"), std::wstring::npos);
}

TEST(LogLine, OverlongMessageAndSourceAreCutInsideTheBuffer) {
    const std::wstring huge(5000, L'm');
    const std::wstring line = Body("x.cpp", 1, L"%s", huge.c_str());
    ASSERT_LT(line.size(), Logger_CL::kLineChars);
    const size_t prefix = line.find(L": m");
    ASSERT_NE(prefix, std::wstring::npos);
    EXPECT_EQ(line.size() - (prefix + 2), Logger_CL::kPieceChars - 1);  // 1039 message characters

    const std::string hugeSource(3000, 's');
    const std::wstring cut = Body(hugeSource.c_str(), 1, L"%s", huge.c_str());
    EXPECT_LT(cut.size(), Logger_CL::kLineChars);
    EXPECT_EQ(cut.find(L"(    1)sss"), 26u);
}

TEST(LogFile, OneByteOrderMarkAndCrLfPerLine) {
    const std::wstring path = TempFolder() + L"\\log1.txt";
    ::DeleteFileW(path.c_str());
    Logger_CL logger;
    logger.Log(L"before the path is set", __FILE__, __LINE__);
    EXPECT_FALSE(::PathFileExistsW(path.c_str()));

    logger.SetPath(path);
    logger.Log(L"first %d", __FILE__, __LINE__, 1);
    logger.Log(L"\r\n★★★★★ アプリ起動 ★★★★★", __FILE__, __LINE__);
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(ByteOrderMarks(bytes), 1u) << "one mark, at the start";
    EXPECT_EQ(bytes[bytes.size() - 4], 0x0D);
    EXPECT_EQ(bytes[bytes.size() - 3], 0x00);
    EXPECT_EQ(bytes[bytes.size() - 2], 0x0A);
    EXPECT_EQ(bytes[bytes.size() - 1], 0x00);

    const std::vector<std::wstring> lines = SplitLines(ReadUtf16File(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(L"test_log_and_utility.cpp"), std::wstring::npos);
    EXPECT_NE(lines[0].find(L" : first 1"), std::wstring::npos);
    // The banner stands on a line of its own below the prefix.
    EXPECT_EQ(lines[1].substr(lines[1].size() - 3), L" : ");
    EXPECT_EQ(lines[2], L"★★★★★ アプリ起動 ★★★★★");

    // A batch, nested too, holds its lines until the outer one closes, then appends them in order.
    {
        const Logger_CL::Batch outer(logger);
        logger.Log(L"batched %d", __FILE__, __LINE__, 1);
        {
            const Logger_CL::Batch inner(logger);
            logger.Log(L"batched %d", __FILE__, __LINE__, 2);
        }
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
    const std::vector<std::wstring> after = SplitLines(ReadUtf16File(path));
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[3].substr(after[3].size() - 12), L" : batched 1");
    EXPECT_EQ(after[4].substr(after[4].size() - 12), L" : batched 2");
    EXPECT_EQ(ByteOrderMarks(ReadFileBytes(path)), 1u);
}

TEST(LogFile, EmptiedOnlyPastTheSizeLimit) {
    const std::wstring path = TempFolder() + L"\\log2.txt";
    Logger_CL logger;
    logger.SetPath(path);

    std::vector<unsigned char> exact(static_cast<size_t>(Logger_CL::kSizeLimit), 'a');
    exact[0] = 0xFF;
    exact[1] = 0xFE;
    WriteFileBytes(path, exact);
    logger.Log(L"appended", __FILE__, __LINE__);
    std::vector<unsigned char> bytes = ReadFileBytes(path);
    EXPECT_GT(bytes.size(), exact.size());

    logger.Log(L"emptied", __FILE__, __LINE__);  // now one line past the limit
    bytes = ReadFileBytes(path);
    ASSERT_LT(bytes.size(), 400u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(ByteOrderMarks(bytes), 1u) << "one mark, at the start";
    const std::vector<std::wstring> lines = SplitLines(ReadUtf16File(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L" : emptied"), std::wstring::npos);
    ::DeleteFileW(path.c_str());
}

TEST(LogFile, MissingFolderWritesNothing) {
    Logger_CL logger;
    logger.SetPath(TempFolder() + L"\\no_such_folder\\log.txt");
    logger.Log(L"lost", __FILE__, __LINE__);
    EXPECT_FALSE(::PathFileExistsW((TempFolder() + L"\\no_such_folder").c_str()));
}
