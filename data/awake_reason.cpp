#include "data/awake_reason.h"

#include <cwchar>

#include "comlib/utility.h"

unsigned long long UtcNow() {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return FileTimeValue(now);
}

int CalendarDaysBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
    // Midnight of each date as FILETIME: the difference is whole days.
    SYSTEMTIME a = {from.wYear, from.wMonth, 0, from.wDay, 0, 0, 0, 0};
    SYSTEMTIME b = {to.wYear, to.wMonth, 0, to.wDay, 0, 0, 0, 0};
    FILETIME fa = {}, fb = {};
    if (!::SystemTimeToFileTime(&a, &fa) || !::SystemTimeToFileTime(&b, &fb)) return 0;
    const long long perDay = 24LL * 60 * static_cast<long long>(kFileTimePerMinute);
    const long long difference = static_cast<long long>(FileTimeValue(fb)) - static_cast<long long>(FileTimeValue(fa));
    return static_cast<int>(difference / perDay);
}

std::wstring FormatSessionValue(const ManualSession& session) {
    if (session.indefinite) return L"indefinite";
    SYSTEMTIME parts = {};
    const FILETIME end = FileTimeOfValue(session.endUtc);
    ::FileTimeToSystemTime(&end, &parts);
    return FormatWide(L"%04d-%02d-%02dT%02d:%02d:%02dZ", parts.wYear, parts.wMonth, parts.wDay, parts.wHour,
                      parts.wMinute, parts.wSecond);
}

SessionValue ParseSessionValue(const std::wstring& value, unsigned long long nowUtc, ManualSession* session) {
    *session = ManualSession();
    if (value == L"indefinite") {
        session->active = true;
        session->indefinite = true;
        return SessionValue::Session;
    }
    // Exactly "YYYY-MM-DDTHH:MM:SSZ": twenty characters, digits where digits belong.
    static const wchar_t kPattern[] = L"0000-00-00T00:00:00Z";
    if (value.size() != 20) return SessionValue::Damaged;
    for (size_t i = 0; i < 20; ++i) {
        const bool digit = kPattern[i] == L'0';
        if (digit ? !iswdigit(value[i]) : value[i] != kPattern[i]) return SessionValue::Damaged;
    }
    SYSTEMTIME parts = {};
    parts.wYear = static_cast<WORD>(_wtoi(value.substr(0, 4).c_str()));
    parts.wMonth = static_cast<WORD>(_wtoi(value.substr(5, 2).c_str()));
    parts.wDay = static_cast<WORD>(_wtoi(value.substr(8, 2).c_str()));
    parts.wHour = static_cast<WORD>(_wtoi(value.substr(11, 2).c_str()));
    parts.wMinute = static_cast<WORD>(_wtoi(value.substr(14, 2).c_str()));
    parts.wSecond = static_cast<WORD>(_wtoi(value.substr(17, 2).c_str()));
    FILETIME end = {};
    // SystemTimeToFileTime refuses month 13, day 32, hour 24 and the like.
    if (!::SystemTimeToFileTime(&parts, &end)) return SessionValue::Damaged;
    if (FileTimeValue(end) <= nowUtc) return SessionValue::Past;
    session->active = true;
    session->endUtc = FileTimeValue(end);
    return SessionValue::Session;
}
