#include "view/texts/awake_texts.h"

#include "view/texts/ui_texts.h"

namespace {
const wchar_t kEllipsis[] = L"…";

std::wstring ManualUntilText(const AwakeReason& reason) {
    if (reason.endDaysAway == 0) return UiFormat(TextId::ReasonManualUntil, reason.endHour, reason.endMinute);
    if (reason.endDaysAway == 1) return UiFormat(TextId::ReasonManualUntilTomorrow, reason.endHour, reason.endMinute);
    const int month = reason.endMonth >= 1 && reason.endMonth <= 12 ? reason.endMonth : 1;
    const TextId monthId =
        static_cast<TextId>(static_cast<size_t>(TextId::MonthJanuary) + static_cast<size_t>(month - 1));
    const std::wstring date = UiFormat(TextId::MonthDay, UiText(monthId), reason.endDay);
    return UiFormat(TextId::ReasonManualUntilDate, date.c_str(), reason.endHour, reason.endMinute);
}

// The reason's text with fileName standing for the reason's own file name.
std::wstring ReasonTextNamed(const AwakeReason& reason, const std::wstring& fileName) {
    if (reason.windowsForbids) return UiText(TextId::ReasonWindowsForbids);
    switch (reason.kind) {
        case AwakeReason::Kind::Manual:
            return reason.hasEnd ? ManualUntilText(reason) : UiText(TextId::ReasonManualNoEnd);
        case AwakeReason::Kind::HandedProcess:
            return UiFormat(TextId::ReasonHandedProcess, fileName.c_str(), static_cast<unsigned>(reason.processId));
        case AwakeReason::Kind::WatchedProgram:
            return UiFormat(TextId::ReasonWatchedProgram, fileName.c_str());
        case AwakeReason::Kind::FrontProgram:
            return UiFormat(TextId::ReasonFrontProgram, fileName.c_str());
        case AwakeReason::Kind::BusyProgram:
            return UiFormat(TextId::ReasonBusyProgram, fileName.c_str(), reason.cpuPercent);
        case AwakeReason::Kind::MarkedHour:
            return UiFormat(TextId::ReasonMarkedHour, DayName(reason.weekday).c_str(), reason.hour, reason.hour);
        default:
            break;
    }
    switch (reason.heldBack) {
        case AwakeReason::HeldBack::OnBattery:
            return UiText(TextId::ReasonOnBattery);
        case AwakeReason::HeldBack::LowBattery:
            return UiFormat(TextId::ReasonLowBattery, reason.batteryPercent);
        case AwakeReason::HeldBack::Organization:
            return UiText(TextId::ReasonOrganization);
        default:
            return L"";
    }
}

// The largest n in [low, high] with accepted(n), given accepted(low); shorter forms fit sooner.
size_t LongestAccepted(size_t low, size_t high, const std::function<bool(size_t)>& accepted) {
    while (low < high) {
        const size_t middle = low + (high - low + 1) / 2;
        if (accepted(middle))
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

std::wstring WithinChars(const AwakeReason& reason, TextId id, size_t limit) {
    return FitReasonText(
        reason, [id](const std::wstring& text) { return UiFormat(id, text.c_str()); },
        [limit](const std::wstring& text) { return text.size() <= limit; });
}
}  // namespace

std::wstring ReasonText(const AwakeReason& reason) { return ReasonTextNamed(reason, reason.fileName); }

std::wstring FitReasonText(const AwakeReason& reason, const std::function<std::wstring(const std::wstring&)>& wrap,
                           const std::function<bool(const std::wstring&)>& fits) {
    const std::wstring whole = wrap(ReasonText(reason));
    if (whole.empty() || fits(whole)) return whole;
    const std::wstring& name = reason.fileName;
    const bool named = reason.kind == AwakeReason::Kind::HandedProcess ||
                       reason.kind == AwakeReason::Kind::WatchedProgram ||
                       reason.kind == AwakeReason::Kind::FrontProgram || reason.kind == AwakeReason::Kind::BusyProgram;
    const auto shortened = [&](size_t keep) { return wrap(ReasonTextNamed(reason, name.substr(0, keep) + kEllipsis)); };
    if (named && !name.empty() && fits(shortened(0)))
        return shortened(LongestAccepted(0, name.size() - 1, [&](size_t keep) { return fits(shortened(keep)); }));
    const auto cut = [&](size_t keep) { return whole.substr(0, keep) + kEllipsis; };
    return cut(LongestAccepted(0, whole.size() - 1, [&](size_t keep) { return fits(cut(keep)); }));
}

std::wstring DayName(int weekday) {
    if (weekday < 0 || weekday > 6) return L"";
    return UiText(static_cast<TextId>(static_cast<size_t>(TextId::DaySunday) + static_cast<size_t>(weekday)));
}

std::wstring NoticeText(const AwakeReason& reason) {
    if (reason.KeepsAwake()) return WithinChars(reason, TextId::NoticeProhibited, kNoticeChars);
    if (reason.heldBack != AwakeReason::HeldBack::None)
        return WithinChars(reason, TextId::NoticeAllowedWhy, kNoticeChars);
    return UiText(TextId::NoticeAllowed);
}

std::wstring TrayTip(const AwakeReason& reason) {
    if (reason.KeepsAwake()) return WithinChars(reason, TextId::TipProhibited, kTipChars);
    if (reason.heldBack != AwakeReason::HeldBack::None) return WithinChars(reason, TextId::TipAllowedWhy, kTipChars);
    return UiText(TextId::TipAllowed);
}
