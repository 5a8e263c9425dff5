#pragma once
// The active power plan's settings and the machine's lid, through powrprof.dll found at run time.
#include <windows.h>

#include <memory>
#include <string>

#include "comlib/unique_resource.h"

// Subgroup and setting GUIDs of the power plan (powercfg /q lists them).
extern const GUID kSubButtons;           // SUB_BUTTONS
extern const GUID kLidAction;            // LIDACTION: 0 do nothing, 1 sleep, 2 hibernate, 3 shut down
extern const GUID kSubSleep;             // SUB_SLEEP
extern const GUID kAllowSystemRequired;  // "allow applications to prevent automatic sleep"

// Mains power (AC) or battery (DC): each plan setting holds one value for each.
enum class PowerSource { Ac, Dc };

// The power-plan calls, replaceable: Wine models no lids and no power plans. Each returns the
// system's error code, ERROR_SUCCESS when it worked, ERROR_CALL_NOT_IMPLEMENTED where the
// function is missing.
class PowerSchemeCalls {
public:
    virtual ~PowerSchemeCalls() = default;
    virtual DWORD ActiveScheme(GUID& scheme) = 0;
    virtual DWORD ReadValue(const GUID& scheme, const GUID& subgroup, const GUID& setting, PowerSource source,
                            DWORD& value) = 0;
    virtual DWORD WriteValue(const GUID& scheme, const GUID& subgroup, const GUID& setting, PowerSource source,
                             DWORD value) = 0;
    // Makes the plan active again, which is what brings a written value into effect.
    virtual DWORD SetActiveScheme(const GUID& scheme) = 0;
    // GetPwrCapabilities's LidPresent; false when it cannot be asked.
    virtual bool LidPresent() = 0;
};

// PowerGetActiveScheme (its GUID freed with LocalFree), PowerRead/WriteAC/DCValueIndex,
// PowerSetActiveScheme and GetPwrCapabilities, all looked up in powrprof.dll.
class SystemPowerSchemeCalls : public PowerSchemeCalls {
public:
    SystemPowerSchemeCalls();
    ~SystemPowerSchemeCalls() override;
    DWORD ActiveScheme(GUID& scheme) override;
    DWORD ReadValue(const GUID& scheme, const GUID& subgroup, const GUID& setting, PowerSource source,
                    DWORD& value) override;
    DWORD WriteValue(const GUID& scheme, const GUID& subgroup, const GUID& setting, PowerSource source,
                     DWORD value) override;
    DWORD SetActiveScheme(const GUID& scheme) override;
    bool LidPresent() override;

    // The one the program uses unless a test replaces it.
    static SystemPowerSchemeCalls& Instance();

private:
    struct Powrprof;
    // powrprof.dll is loaded at the first call: a program that never uses the lid loads nothing.
    Powrprof& Functions();
    std::unique_ptr<Powrprof> powrprof_;
};

struct AcDcValues {
    DWORD ac = 0;
    DWORD dc = 0;
};

// Both values of one setting of a plan; the first error of the two reads.
DWORD ReadAcDc(PowerSchemeCalls& calls, const GUID& scheme, const GUID& subgroup, const GUID& setting,
               AcDcValues& values);
// SUB_SLEEP's "allow applications to prevent automatic sleep" of the active plan (1 allowed,
// 0 not): where it is 0, power requests do not keep the computer awake.
DWORD ReadAllowSystemRequired(PowerSchemeCalls& calls, AcDcValues& values);

// "{4F971E89-EEBD-4455-A8DE-9E59040E7347}" and back; false for text that is no braced GUID.
std::wstring FormatGuid(const GUID& guid);
bool ParseGuid(const std::wstring& text, GUID& guid);

// RegisterPowerSettingNotification for another plan made active and for "allow applications to
// prevent automatic sleep": PBT_POWERSETTINGCHANGE then arrives, so a check need not read the
// plan each time.
void WatchPowerSettings(HWND window, UniquePowerNotify (&notices)[2]);
