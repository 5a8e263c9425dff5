#include "guard/lid_keeper.h"

#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/utility.h"

namespace {
const wchar_t kLidSection[] = L"LID";
// LIDACTION's values: 0 do nothing, 1 sleep, 2 hibernate, 3 shut down. Anything else read back
// from the file is damaged and never written to a plan.
constexpr DWORD kLastLidAction = 3;

const wchar_t* SourceName(PowerSource source) { return source == PowerSource::Ac ? L"AC" : L"DC"; }
DWORD ValueOf(const AcDcValues& values, PowerSource source) {
    return source == PowerSource::Ac ? values.ac : values.dc;
}
}  // namespace

LidKeeper_CL::LidKeeper_CL(PowerSchemeCalls& calls) : calls_(calls) {}

bool LidKeeper_CL::LidPresent() {
    if (lidPresent_ < 0) lidPresent_ = calls_.LidPresent() ? 1 : 0;
    return lidPresent_ == 1;
}

void LidKeeper_CL::LogFailure(const wchar_t* call, DWORD error) {
    if (failureLogged_) return;
    failureLogged_ = true;
    g_Logger.Log(L"%s()エラー = 0x%08x : %s", __FILE__, __LINE__, call, static_cast<unsigned>(error),
                 SystemErrorText(error).c_str());
}

bool LidKeeper_CL::Save(const GUID& scheme, const AcDcValues& values) {
    // The record of a crash: without it nothing is changed, so nothing can be left behind.
    if (!g_Inifile.WriteString(kLidSection, L"scheme", FormatGuid(scheme)) ||
        !g_Inifile.WriteInt(kLidSection, L"ac", static_cast<int>(values.ac)) ||
        !g_Inifile.WriteInt(kLidSection, L"dc", static_cast<int>(values.dc))) {
        const DWORD error = g_Inifile.LastWriteError();
        g_Inifile.DeleteSection(kLidSection);
        if (!failureLogged_) {
            failureLogged_ = true;
            g_Logger.Log(L"ふたの動作を保存できないため変更しません : %s : 0x%08x : %s", __FILE__, __LINE__,
                         g_Inifile.Path().c_str(), static_cast<unsigned>(error), SystemErrorText(error).c_str());
        }
        return false;
    }
    saved_ = true;
    savedScheme_ = scheme;
    savedValues_ = values;
    return true;
}

void LidKeeper_CL::Update(bool keepingAwake, const AwakeSettings& settings, bool onBattery) {
    if (!keepingAwake || !settings.lid || (onBattery && settings.lidMainsOnly) || !LidPresent()) {
        Restore();
        return;
    }
    GUID active = {};
    DWORD error = calls_.ActiveScheme(active);
    if (error != ERROR_SUCCESS) return LogFailure(L"PowerGetActiveScheme", error);
    // The user switched plans: the old one gets its values back, the new one is followed.
    if (saved_ && active != savedScheme_) Restore();
    if (active != handledScheme_) {
        handledScheme_ = active;
        acHandled_ = dcHandled_ = false;
    }
    const PowerSource source = onBattery ? PowerSource::Dc : PowerSource::Ac;
    bool& handled = source == PowerSource::Ac ? acHandled_ : dcHandled_;
    if (handled) return;

    AcDcValues values;
    error = ReadAcDc(calls_, active, kSubButtons, kLidAction, values);
    if (error != ERROR_SUCCESS) return LogFailure(L"PowerReadValueIndex", error);
    const DWORD value = ValueOf(values, source);
    if (value == 0) {
        handled = true;  // the user's own choice already: nothing to change or to give back
        return;
    }
    // The values saved are the user's own from before the first change, never a 0 of ours.
    if (!saved_ && !Save(active, values)) return;
    handled = true;  // a refused write is not tried again every check
    error = calls_.WriteValue(active, kSubButtons, kLidAction, source, 0);
    if (error != ERROR_SUCCESS) return LogFailure(L"PowerWriteValueIndex", error);
    error = calls_.SetActiveScheme(active);
    if (error != ERROR_SUCCESS) LogFailure(L"PowerSetActiveScheme", error);
    g_Logger.Log(L"スリープ禁止中はふたを閉じても動作を続けます (%s : %u → 0) : %s", __FILE__, __LINE__,
                 SourceName(source), static_cast<unsigned>(value), FormatGuid(active).c_str());
    failureLogged_ = false;
}

void LidKeeper_CL::Restore() {
    if (!saved_) return;
    bool written = false;
    for (const PowerSource source : {PowerSource::Ac, PowerSource::Dc}) {
        const DWORD saved = ValueOf(savedValues_, source);
        if (saved == 0 || saved > kLastLidAction) continue;
        DWORD current = 0;
        DWORD error = calls_.ReadValue(savedScheme_, kSubButtons, kLidAction, source, current);
        // A value other than our 0 was set by the user since: theirs stays.
        if (error != ERROR_SUCCESS || current != 0) {
            if (error != ERROR_SUCCESS) LogFailure(L"PowerReadValueIndex", error);
            continue;
        }
        error = calls_.WriteValue(savedScheme_, kSubButtons, kLidAction, source, saved);
        if (error != ERROR_SUCCESS) {
            LogFailure(L"PowerWriteValueIndex", error);
            continue;
        }
        written = true;
        g_Logger.Log(L"ふたを閉じたときの動作を元に戻しました (%s : 0 → %u) : %s", __FILE__, __LINE__, SourceName(source),
                     static_cast<unsigned>(saved), FormatGuid(savedScheme_).c_str());
    }
    // Made active again only when it still is: a plan the user switched away from stays inactive.
    GUID active = {};
    if (written && calls_.ActiveScheme(active) == ERROR_SUCCESS && active == savedScheme_) {
        const DWORD error = calls_.SetActiveScheme(savedScheme_);
        if (error != ERROR_SUCCESS) LogFailure(L"PowerSetActiveScheme", error);
    }
    g_Inifile.DeleteSection(kLidSection);
    saved_ = false;
    handledScheme_ = GUID();
    acHandled_ = dcHandled_ = false;
}

void LidKeeper_CL::RestoreLeftover() {
    const std::wstring scheme = g_Inifile.ReadString(kLidSection, L"scheme", L"");
    if (scheme.empty()) return;
    g_Logger.Log(L"前回変更したふたの動作が残っています : %s", __FILE__, __LINE__, scheme.c_str());
    if (!ParseGuid(scheme, savedScheme_)) {
        g_Inifile.DeleteSection(kLidSection);
        return;
    }
    savedValues_.ac = g_Inifile.ReadInt(kLidSection, L"ac", 0);
    savedValues_.dc = g_Inifile.ReadInt(kLidSection, L"dc", 0);
    saved_ = true;
    Restore();
}
