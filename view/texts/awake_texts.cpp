#include "view/texts/awake_texts.h"

#include "view/texts/ui_texts.h"

std::wstring ReasonText(const AwakeReason& reason) {
    if (reason.windowsForbids) return UiText(TextId::ReasonWindowsForbids);
    switch (reason.kind) {
        case AwakeReason::Kind::Manual:
            return reason.hasEnd ? UiFormat(TextId::ReasonManualUntil, reason.endHour, reason.endMinute)
                                 : UiText(TextId::ReasonManualNoEnd);
        case AwakeReason::Kind::HandedProcess:
            return UiFormat(TextId::ReasonHandedProcess, reason.fileName.c_str(),
                            static_cast<unsigned>(reason.processId));
        case AwakeReason::Kind::WatchedProgram:
            return UiFormat(TextId::ReasonWatchedProgram, reason.fileName.c_str());
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

std::wstring DayName(int weekday) {
    if (weekday < 0 || weekday > 6) return L"";
    return UiText(static_cast<TextId>(static_cast<size_t>(TextId::DaySunday) + static_cast<size_t>(weekday)));
}

std::wstring NoticeText(const AwakeReason& reason) {
    if (reason.KeepsAwake()) return UiFormat(TextId::NoticeProhibited, ReasonText(reason).c_str());
    if (reason.heldBack != AwakeReason::HeldBack::None)
        return UiFormat(TextId::NoticeAllowedWhy, ReasonText(reason).c_str());
    return UiText(TextId::NoticeAllowed);
}

std::wstring TrayTip(const AwakeReason& reason) {
    if (reason.KeepsAwake()) return UiFormat(TextId::TipProhibited, ReasonText(reason).c_str());
    if (reason.heldBack != AwakeReason::HeldBack::None)
        return UiFormat(TextId::TipAllowedWhy, ReasonText(reason).c_str());
    return UiText(TextId::TipAllowed);
}
