#include "comlib/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "comlib/unique_resource.h"
#include "comlib/utility.h"

namespace {
std::wstring NormalisedSwitch(std::wstring text) {
    if (!text.empty() && text[0] == L'-') text[0] = L'/';
    return text;
}
}  // namespace

CommandLine_CL::CommandLine_CL() { Parse(::GetCommandLineW()); }

CommandLine_CL::CommandLine_CL(const std::wstring& commandLine) { Parse(commandLine); }

void CommandLine_CL::Parse(const std::wstring& commandLine) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
    // CommandLineToArgvW's array is one LocalAlloc block.
    UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
    if (argv) {
        for (int i = 1; i < count; ++i) {
            arguments_.push_back(NormalisedSwitch(argv[i]));
            rawArguments_.push_back(argv[i]);
        }
    }
    // Calls through the virtual slot reach only this class's version during construction.
    for (const std::wstring& argument : arguments_) OnArgument(argument);
}

void CommandLine_CL::OnArgument(std::wstring) {}

std::wstring CommandLine_CL::TextAfterArguments(const std::wstring& line, size_t count) {
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    size_t at = 0;
    const size_t size = line.size();
    for (size_t argument = 0; argument < count && at < size; ++argument) {
        if (argument == 0) {
            // The program path: up to the next quote when it begins with one, else to a blank.
            if (line[0] == L'"') {
                at = line.find(L'"', 1);
                at = at == std::wstring::npos ? size : at + 1;
            }
            while (at < size && !blank(line[at])) ++at;
        } else {
            // Quote state as CommandLineToArgvW keeps it: a quote after an odd number of
            // backslashes is literal; in a run of quotes every third is literal.
            size_t backslashes = 0;
            int quotes = 0;
            while (at < size && (quotes != 0 || !blank(line[at]))) {
                if (line[at] == L'\\') {
                    ++backslashes;
                    ++at;
                    continue;
                }
                if (line[at] == L'"') {
                    if (backslashes % 2 == 0) ++quotes;
                    ++at;
                    while (at < size && line[at] == L'"') {
                        if (++quotes == 3) quotes = 0;
                        ++at;
                    }
                    if (quotes == 2) quotes = 0;
                } else {
                    ++at;
                }
                backslashes = 0;
            }
        }
        while (at < size && blank(line[at])) ++at;
    }
    return at < size ? line.substr(at) : std::wstring();
}

bool CommandLine_CL::HasOption(std::wstring name) const {
    if (name.empty()) return false;
    const std::wstring wanted = NormalisedSwitch(name);
    for (const std::wstring& argument : arguments_)
        if (EqualsNoCase(argument, wanted)) return true;
    return false;
}
