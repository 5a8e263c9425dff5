#pragma once
// The keep-awake commands of the command line and of the hand-over to the running copy, and
// the hotkey setting.
#include <windows.h>

#include <string>
#include <vector>

#include "data/awake_reason.h"

struct AwakeCommand {
    enum class Kind { None, Session, Off, Pid, Run };
    Kind kind = Kind::None;
    int minutes = 0;                      // Session for N minutes; 0 with untilHour < 0: no end
    int untilHour = -1, untilMinute = -1;  // Session until the local clock shows HH:MM
    DWORD processId = 0;                  // Pid
    std::wstring runCommandLine;          // Run: the arguments after -run, quoted again
};

enum class CommandError { None, UnknownSwitch, BadAwakeValue, BadProcessId, PidMissing, RunMissing, TooManyCommands };

struct CommandParse {
    AwakeCommand command;
    CommandError error = CommandError::None;
    std::wstring offending;  // the argument at fault
    size_t runArgument = 0;  // Run: the index of -run among the arguments
};

constexpr int kMaxSessionMinutes = 10080;

// True when an argument is -awake, -pid or -run (either prefix, any case). Without one the
// program starts as it always has, and other arguments are ignored.
bool HasAwakeSwitch(const std::vector<std::wstring>& arguments);
// The arguments as given (without the program path); "-startup" may stand beside a command.
CommandParse ParseAwakeCommand(const std::vector<std::wstring>& arguments);

// The text handed to the running copy ("-awake 30", "-pid 1234"), and its reading there.
std::wstring HandOverText(const AwakeCommand& command);
// Only Session, Off and Pid are accepted; false for anything else.
bool ParseHandOverText(const std::wstring& text, AwakeCommand* command);
// WM_COPYDATA's dwData for a hand-over and the largest accepted size in bytes.
constexpr ULONG_PTR kHandOverTag = 0x44474157;  // "DGAW"
constexpr DWORD kHandOverMaxBytes = 128;

// The session a Session command starts at this moment, given in UTC and on the local clock
// (FILETIME units).
ManualSession SessionFor(const AwakeCommand& command, unsigned long long nowUtc, unsigned long long nowLocal);

// The hotkey, section "AWAKE" key "hotkey": "Ctrl+Shift+F11" (modifiers Ctrl, Alt, Shift, Win;
// a key A-Z, 0-9 or F1-F24); an empty value means none.
struct Hotkey {
    UINT modifiers = 0;  // MOD_CONTROL | MOD_ALT | MOD_SHIFT | MOD_WIN
    UINT key = 0;        // virtual key; 0 = no hotkey
};
Hotkey DefaultHotkey();

// Why a hotkey would take keys from every program or from the system; None for an acceptable
// one and for no hotkey.
enum class HotkeyFault {
    None,
    CharacterKey,   // a letter, digit or punctuation key without Ctrl and Shift, or with Ctrl+Alt (AltGr)
    FunctionAlone,  // F1 to F24 without Ctrl, Shift or Alt
    F12,            // reserved for debuggers
    WindowsKey,     // reserved for the system
    UnknownKey      // a key the INI value cannot name
};
HotkeyFault JudgeHotkey(const Hotkey& hotkey);
bool ParseHotkey(const std::wstring& text, Hotkey* hotkey);
std::wstring FormatHotkey(const Hotkey& hotkey);
// The modifiers RegisterHotKey gets for the hotkey.
UINT HotkeyRegistrationModifiers(const Hotkey& hotkey);
