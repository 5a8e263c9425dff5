#include "data/awake_command.h"

#include <shellapi.h>
#include <cwctype>

#include "comlib/unique_resource.h"
#include "comlib/utility.h"

namespace {

bool IsSwitch(const std::wstring& argument) {
    return argument.size() > 1 && (argument[0] == L'-' || argument[0] == L'/');
}

bool IsSwitchNamed(const std::wstring& argument, const wchar_t* name) {
    return IsSwitch(argument) && EqualsNoCase(argument.substr(1), name);
}

bool AllDigits(const std::wstring& text, size_t maxLength) {
    if (text.empty() || text.size() > maxLength) return false;
    for (wchar_t c : text)
        if (c < L'0' || c > L'9') return false;
    return true;
}

bool ParseAwakeValue(const std::wstring& value, AwakeCommand* command) {
    if (EqualsNoCase(value, L"off")) {
        command->kind = AwakeCommand::Kind::Off;
        return true;
    }
    command->kind = AwakeCommand::Kind::Session;
    if (AllDigits(value, 5)) {
        command->minutes = _wtoi(value.c_str());
        return command->minutes >= 1 && command->minutes <= kMaxSessionMinutes;
    }
    const size_t colon = value.find(L':');
    if (colon == std::wstring::npos || colon == 0 || colon > 2 || value.size() != colon + 3) return false;
    const std::wstring hours = value.substr(0, colon);
    const std::wstring minutes = value.substr(colon + 1);
    if (!AllDigits(hours, 2) || !AllDigits(minutes, 2)) return false;
    command->untilHour = _wtoi(hours.c_str());
    command->untilMinute = _wtoi(minutes.c_str());
    return command->untilHour < 24 && command->untilMinute < 60;
}

// One argument of a command line, quoted so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

bool HasAwakeSwitch(const std::vector<std::wstring>& arguments) {
    for (const std::wstring& argument : arguments)
        if (IsSwitchNamed(argument, L"awake") || IsSwitchNamed(argument, L"pid") || IsSwitchNamed(argument, L"run"))
            return true;
    return false;
}

CommandParse ParseAwakeCommand(const std::vector<std::wstring>& arguments) {
    CommandParse result;
    auto fail = [&](CommandError error, const std::wstring& at) {
        result.error = error;
        result.offending = at;
        result.command = AwakeCommand();
        return result;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (IsSwitchNamed(argument, L"startup")) continue;
        const bool awake = IsSwitchNamed(argument, L"awake");
        const bool pid = IsSwitchNamed(argument, L"pid");
        const bool run = IsSwitchNamed(argument, L"run");
        if (!awake && !pid && !run) return fail(CommandError::UnknownSwitch, argument);
        if (result.command.kind != AwakeCommand::Kind::None) return fail(CommandError::TooManyCommands, argument);
        if (awake) {
            result.command.kind = AwakeCommand::Kind::Session;
            // "-5" is a value the user meant, not a switch.
            const bool value = i + 1 < arguments.size() &&
                               (!IsSwitch(arguments[i + 1]) || iswdigit(arguments[i + 1][1]));
            if (value) {
                ++i;
                if (!ParseAwakeValue(arguments[i], &result.command))
                    return fail(CommandError::BadAwakeValue, arguments[i]);
            }
        } else if (pid) {
            if (i + 1 >= arguments.size()) return fail(CommandError::PidMissing, argument);
            const std::wstring& value = arguments[++i];
            const unsigned long long id = AllDigits(value, 10) ? wcstoull(value.c_str(), nullptr, 10) : 0;
            if (id == 0 || id > 0xFFFFFFFFULL) return fail(CommandError::BadProcessId, value);
            result.command.kind = AwakeCommand::Kind::Pid;
            result.command.processId = static_cast<DWORD>(id);
        } else {
            if (i + 1 >= arguments.size()) return fail(CommandError::RunMissing, argument);
            result.command.kind = AwakeCommand::Kind::Run;
            result.runArgument = i;
            for (size_t j = i + 1; j < arguments.size(); ++j) {
                if (j > i + 1) result.command.runCommandLine += L" ";
                result.command.runCommandLine += QuoteArgument(arguments[j]);
            }
            break;
        }
    }
    return result;
}

std::wstring HandOverText(const AwakeCommand& command) {
    switch (command.kind) {
        case AwakeCommand::Kind::Session:
            if (command.untilHour >= 0) return FormatWide(L"-awake %02d:%02d", command.untilHour, command.untilMinute);
            if (command.minutes > 0) return FormatWide(L"-awake %d", command.minutes);
            return L"-awake";
        case AwakeCommand::Kind::Off:
            return L"-awake off";
        case AwakeCommand::Kind::Pid:
            return FormatWide(L"-pid %u", static_cast<unsigned>(command.processId));
        default:
            return L"";
    }
}

bool ParseHandOverText(const std::wstring& text, AwakeCommand* command) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW((L"x " + text).c_str(), &count);
    const UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
    if (!argv || count < 2) return false;
    const CommandParse parse = ParseAwakeCommand(std::vector<std::wstring>(argv + 1, argv + count));
    const AwakeCommand::Kind kind = parse.command.kind;
    if (parse.error != CommandError::None ||
        (kind != AwakeCommand::Kind::Session && kind != AwakeCommand::Kind::Off && kind != AwakeCommand::Kind::Pid))
        return false;
    *command = parse.command;
    return true;
}

ManualSession SessionFor(const AwakeCommand& command, unsigned long long nowUtc, unsigned long long nowLocal) {
    ManualSession session;
    session.active = true;
    if (command.minutes > 0) {
        session.endUtc = nowUtc + static_cast<unsigned long long>(command.minutes) * kFileTimePerMinute;
    } else if (command.untilHour >= 0) {
        // The next time the local clock shows HH:MM: today's, or tomorrow's when that is past.
        const FILETIME local = {static_cast<DWORD>(nowLocal), static_cast<DWORD>(nowLocal >> 32)};
        SYSTEMTIME parts = {};
        ::FileTimeToSystemTime(&local, &parts);
        const unsigned long long sinceMidnight =
            (parts.wHour * 60ULL + parts.wMinute) * kFileTimePerMinute + parts.wSecond * 10000000ULL +
            parts.wMilliseconds * 10000ULL;
        unsigned long long localEnd =
            nowLocal - sinceMidnight + (command.untilHour * 60ULL + command.untilMinute) * kFileTimePerMinute;
        if (localEnd <= nowLocal) localEnd += 24 * 60 * kFileTimePerMinute;
        // Back to UTC at today's distance between the clocks, as LocalFileTimeToFileTime does.
        session.endUtc = nowUtc + (localEnd - nowLocal);
    } else {
        session.indefinite = true;
    }
    return session;
}

Hotkey DefaultHotkey() { return Hotkey{MOD_CONTROL | MOD_SHIFT, VK_F11}; }

HotkeyFault JudgeHotkey(const Hotkey& hotkey) {
    const UINT key = hotkey.key;
    if (key == 0) return HotkeyFault::None;
    if (hotkey.modifiers & MOD_WIN) return HotkeyFault::WindowsKey;
    if (key == VK_F12) return HotkeyFault::F12;
    // Keys that type a character on some layout: letters, digits, space, the number pad and the
    // VK_OEM_ punctuation. Windows reads AltGr as Ctrl+Alt, so Ctrl+Alt+key types characters too.
    const bool character = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') || key == VK_SPACE ||
                           (key >= VK_NUMPAD0 && key <= VK_DIVIDE) || (key >= VK_OEM_1 && key <= VK_OEM_3) ||
                           (key >= VK_OEM_4 && key <= VK_OEM_8) || key == VK_OEM_102;
    if (character) {
        const UINT both = MOD_CONTROL | MOD_SHIFT;
        return (hotkey.modifiers & both) == both && !(hotkey.modifiers & MOD_ALT) ? HotkeyFault::None
                                                                                  : HotkeyFault::CharacterKey;
    }
    if (key >= VK_F1 && key <= VK_F24)
        return hotkey.modifiers & (MOD_CONTROL | MOD_SHIFT | MOD_ALT) ? HotkeyFault::None : HotkeyFault::FunctionAlone;
    return HotkeyFault::UnknownKey;
}

bool ParseHotkey(const std::wstring& text, Hotkey* hotkey) {
    *hotkey = Hotkey();
    if (text.empty()) return true;
    size_t start = 0;
    for (;;) {
        const size_t plus = text.find(L'+', start);
        const std::wstring part = text.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start);
        if (plus != std::wstring::npos) {
            if (EqualsNoCase(part, L"Ctrl")) hotkey->modifiers |= MOD_CONTROL;
            else if (EqualsNoCase(part, L"Alt")) hotkey->modifiers |= MOD_ALT;
            else if (EqualsNoCase(part, L"Shift")) hotkey->modifiers |= MOD_SHIFT;
            else if (EqualsNoCase(part, L"Win")) hotkey->modifiers |= MOD_WIN;
            else return false;
            start = plus + 1;
            continue;
        }
        const wchar_t raw = part.empty() ? 0 : part[0];
        // Virtual keys of letters are the upper-case letters.
        const wchar_t first = raw >= L'a' && raw <= L'z' ? static_cast<wchar_t>(raw - L'a' + L'A') : raw;
        if (part.size() == 1 && ((first >= L'A' && first <= L'Z') || (first >= L'0' && first <= L'9'))) {
            hotkey->key = first;
        } else if (part.size() >= 2 && first == L'F' && AllDigits(part.substr(1), 2)) {
            const int number = _wtoi(part.c_str() + 1);
            if (number < 1 || number > 24) return false;
            hotkey->key = static_cast<UINT>(VK_F1 + number - 1);
        } else {
            return false;
        }
        return true;
    }
}

std::wstring FormatHotkey(const Hotkey& hotkey) {
    if (hotkey.key == 0) return L"";
    std::wstring text;
    if (hotkey.modifiers & MOD_CONTROL) text += L"Ctrl+";
    if (hotkey.modifiers & MOD_ALT) text += L"Alt+";
    if (hotkey.modifiers & MOD_SHIFT) text += L"Shift+";
    if (hotkey.modifiers & MOD_WIN) text += L"Win+";
    if (hotkey.key >= VK_F1 && hotkey.key <= VK_F24) return text + FormatWide(L"F%d", static_cast<int>(hotkey.key - VK_F1 + 1));
    return text + static_cast<wchar_t>(hotkey.key);
}

UINT HotkeyRegistrationModifiers(const Hotkey& hotkey) {
    // MOD_NOREPEAT: holding the keys down toggles once.
    return hotkey.modifiers | MOD_NOREPEAT;
}
