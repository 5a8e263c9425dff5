// The check benchmark at tiny sizes: it runs to the end and prints every part of its table,
// the real program's start-up included.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "comlib/utility.h"
#include "tests/test_helpers.h"

namespace {

std::vector<std::string> TableLines(const std::wstring& path) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

// The whitespace-separated fields of the line after the one that starts with `title`.
std::vector<std::string> RowAfter(const std::vector<std::string>& lines, const std::string& title, size_t skip) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(title, 0) != 0 || i + skip >= lines.size()) continue;
        std::istringstream row(lines[i + skip]);
        std::vector<std::string> fields;
        for (std::string field; row >> field;) fields.push_back(field);
        return fields;
    }
    return {};
}

bool IsNumber(const std::string& field) {
    char* end = nullptr;
    strtod(field.c_str(), &end);
    return !field.empty() && end && *end == '\0';
}

}  // namespace

TEST(CheckBench, TinyRunPrintsTheWholeTable) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring output = std::wstring(temp) + L"dg_check_bench.txt";
    ::DeleteFileW(output.c_str());
    ChildProcess bench(L"\"" + ModuleFolder() + L"\\check_bench.exe\" --tiny --output \"" + output + L"\"");
    ASSERT_TRUE(bench.Started());
    DWORD exitCode = 1;
    ASSERT_TRUE(bench.WaitExit(120000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    const std::vector<std::string> lines = TableLines(output);

    // Header, then 2 sizes x 2 watched counts: 8 processes give 7 distinct paths, 16 give 14;
    // one program started and one ended; no watched program runs.
    const char* const expected[][5] = {{"8", "7", "1", "+1", "-1"},
                                       {"8", "7", "2", "+1", "-1"},
                                       {"16", "14", "1", "+1", "-1"},
                                       {"16", "14", "2", "+1", "-1"}};
    for (size_t row = 0; row < 4; ++row) {
        const std::vector<std::string> fields = RowAfter(lines, "pure work of one check", 2 + row);
        ASSERT_EQ(fields.size(), 7u) << row;
        for (size_t column = 0; column < 5; ++column) EXPECT_EQ(fields[column], expected[row][column]) << row;
        EXPECT_EQ(fields[5], "no") << row;
        EXPECT_TRUE(IsNumber(fields[6])) << fields[6];
    }
    const std::vector<std::string> found = RowAfter(lines, "match of a running helper.exe", 0);
    EXPECT_EQ(found, (std::vector<std::string>{"match", "of", "a", "running", "helper.exe:", "yes"}));

    // Per number of idle programs (2, then 4): processes seen, entries, bare, first and steady
    // ms, first/bare, steady/bare, a steady check with 10 at-work programs and its share of the
    // steady one. The bench itself runs, so at least one entry.
    std::vector<double> processes;
    for (size_t row = 0; row < 2; ++row) {
        const std::vector<std::string> whole = RowAfter(lines, "whole check against the bare OS snapshot", 2 + row);
        ASSERT_EQ(whole.size(), 9u) << row;
        for (const std::string& field : whole) EXPECT_TRUE(IsNumber(field)) << field;
        EXPECT_GE(strtod(whole[1].c_str(), nullptr), 1.0);
        EXPECT_GT(strtod(whole[5].c_str(), nullptr), 0.0);
        EXPECT_GT(strtod(whole[6].c_str(), nullptr), 0.0);
        EXPECT_GT(strtod(whole[8].c_str(), nullptr), 0.0);
        processes.push_back(strtod(whole[0].c_str(), nullptr));
    }
    EXPECT_GE(processes[1], processes[0] + 2.0) << "two more idle programs";

    const std::vector<std::string> memory = RowAfter(lines, "memory over 20 whole checks after 2 warm-up", 2);
    ASSERT_EQ(memory.size(), 6u);
    for (const std::string& field : memory) EXPECT_TRUE(IsNumber(field)) << field;
    EXPECT_GT(strtod(memory[0].c_str(), nullptr), 0.0);
    EXPECT_GT(strtod(memory[3].c_str(), nullptr), 0.0);

    const std::vector<std::string> paint = RowAfter(lines, "main window paint at 480 x 470", 2);
    ASSERT_EQ(paint.size(), 3u);
    for (const std::string& field : paint) EXPECT_TRUE(IsNumber(field)) << field;

    // Minimal window ms, program ms, ratio: a start that never showed its window gives -1.
    const std::vector<std::string> startup = RowAfter(lines, "start-up to a shown, answering window", 2);
    ASSERT_EQ(startup.size(), 3u);
    for (const std::string& field : startup) EXPECT_GT(strtod(field.c_str(), nullptr), 0.0) << field;
    ::DeleteFileW(output.c_str());
}
