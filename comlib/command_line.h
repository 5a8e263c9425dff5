#pragma once
// The program's arguments, read from the process command line.
#include <string>
#include <vector>

class CommandLine_CL {
public:
    // Reads GetCommandLineW; a leading '-' of each argument is stored as '/'.
    CommandLine_CL();
    // For tests: a whole command line, program path first.
    explicit CommandLine_CL(const std::wstring& commandLine);
    virtual ~CommandLine_CL() = default;

    // Runs once per stored argument at the end of construction.
    virtual void OnArgument(std::wstring argument);

    // True when an argument equals the switch case-insensitively; -x and /x are the same switch.
    bool HasOption(std::wstring name) const;

    const std::vector<std::wstring>& Arguments() const { return arguments_; }
    // The arguments exactly as given: a command after -run keeps its own switches.
    const std::vector<std::wstring>& RawArguments() const { return rawArguments_; }

    // The text of a command line after its first `count` arguments (the program path counts
    // as one) and the blanks after them, exactly as typed. The arguments end where
    // CommandLineToArgvW ends them: at a blank outside quotes, with its backslash rules.
    static std::wstring TextAfterArguments(const std::wstring& commandLine, size_t count);

private:
    void Parse(const std::wstring& commandLine);

    std::vector<std::wstring> arguments_;
    std::vector<std::wstring> rawArguments_;
};
