#include "view/awake_texts.h"

#include "view/ui_texts.h"

std::wstring ReasonText(const AwakeReason& reason) {
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
            return UiFormat(TextId::ReasonMarkedHour, reason.hour, reason.hour);
        default:
            return L"";
    }
}

std::wstring TrayTip(const AwakeReason& reason) {
    return reason.KeepsAwake() ? UiFormat(TextId::TipProhibited, ReasonText(reason).c_str())
                               : std::wstring(UiText(TextId::TipAllowed));
}
