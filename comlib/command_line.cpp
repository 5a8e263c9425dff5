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

bool CommandLine_CL::HasOption(std::wstring name) const {
    if (name.empty()) return false;
    const std::wstring wanted = NormalisedSwitch(name);
    for (const std::wstring& argument : arguments_)
        if (EqualsNoCase(argument, wanted)) return true;
    return false;
}
