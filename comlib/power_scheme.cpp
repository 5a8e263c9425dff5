#include "comlib/power_scheme.h"

#include <cwchar>

#include "comlib/dll_function.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"

const GUID kSubButtons = {0x4f971e89, 0xeebd, 0x4455, {0xa8, 0xde, 0x9e, 0x59, 0x04, 0x0e, 0x73, 0x47}};
const GUID kLidAction = {0x5ca83367, 0x6e45, 0x459f, {0xa2, 0x7b, 0x47, 0x6b, 0x1d, 0x01, 0xc9, 0x36}};
const GUID kSubSleep = {0x238c9fa8, 0x0aad, 0x41ed, {0x83, 0xf4, 0x97, 0xbe, 0x24, 0x2c, 0x8f, 0x20}};
const GUID kAllowSystemRequired = {0xa4b195f5, 0x8225, 0x47d8, {0x80, 0x12, 0x9d, 0x41, 0x36, 0x97, 0x86, 0xe2}};

namespace {
using GetActiveScheme = DWORD(WINAPI*)(HKEY, GUID**);
using ReadValueIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
using WriteValueIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
using SetActive = DWORD(WINAPI*)(HKEY, const GUID*);
using GetCapabilities = BOOLEAN(WINAPI*)(PSYSTEM_POWER_CAPABILITIES);
}  // namespace

// The plan functions came with Vista; none is in the import libraries the program links.
struct SystemPowerSchemeCalls::Powrprof {
    DllFunction_CL module{L"powrprof.dll"};
    GetActiveScheme getActive = module.LookupAs<GetActiveScheme>("PowerGetActiveScheme");
    ReadValueIndex readAc = module.LookupAs<ReadValueIndex>("PowerReadACValueIndex");
    ReadValueIndex readDc = module.LookupAs<ReadValueIndex>("PowerReadDCValueIndex");
    WriteValueIndex writeAc = module.LookupAs<WriteValueIndex>("PowerWriteACValueIndex");
    WriteValueIndex writeDc = module.LookupAs<WriteValueIndex>("PowerWriteDCValueIndex");
    SetActive setActive = module.LookupAs<SetActive>("PowerSetActiveScheme");
    GetCapabilities capabilities = module.LookupAs<GetCapabilities>("GetPwrCapabilities");
};

SystemPowerSchemeCalls::SystemPowerSchemeCalls() = default;

SystemPowerSchemeCalls::Powrprof& SystemPowerSchemeCalls::Functions() {
    if (!powrprof_) powrprof_.reset(new Powrprof);
    return *powrprof_;
}

SystemPowerSchemeCalls::~SystemPowerSchemeCalls() = default;

SystemPowerSchemeCalls& SystemPowerSchemeCalls::Instance() {
    static SystemPowerSchemeCalls calls;
    return calls;
}

DWORD SystemPowerSchemeCalls::ActiveScheme(GUID& scheme) {
    if (!Functions().getActive) return ERROR_CALL_NOT_IMPLEMENTED;
    GUID* active = nullptr;
    const DWORD error = Functions().getActive(nullptr, &active);
    // The system allocates the GUID with LocalAlloc; the caller frees it.
    const UniqueLocal owned(active);
    if (error == ERROR_SUCCESS && active) scheme = *active;
    return error == ERROR_SUCCESS && !active ? ERROR_INVALID_DATA : error;
}

DWORD SystemPowerSchemeCalls::ReadValue(const GUID& scheme, const GUID& subgroup, const GUID& setting,
                                        PowerSource source, DWORD& value) {
    const ReadValueIndex read = source == PowerSource::Ac ? Functions().readAc : Functions().readDc;
    if (!read) return ERROR_CALL_NOT_IMPLEMENTED;
    return read(nullptr, &scheme, &subgroup, &setting, &value);
}

DWORD SystemPowerSchemeCalls::WriteValue(const GUID& scheme, const GUID& subgroup, const GUID& setting,
                                         PowerSource source, DWORD value) {
    const WriteValueIndex write = source == PowerSource::Ac ? Functions().writeAc : Functions().writeDc;
    if (!write) return ERROR_CALL_NOT_IMPLEMENTED;
    return write(nullptr, &scheme, &subgroup, &setting, value);
}

DWORD SystemPowerSchemeCalls::SetActiveScheme(const GUID& scheme) {
    if (!Functions().setActive) return ERROR_CALL_NOT_IMPLEMENTED;
    return Functions().setActive(nullptr, &scheme);
}

bool SystemPowerSchemeCalls::LidPresent() {
    SYSTEM_POWER_CAPABILITIES capabilities = {};
    return Functions().capabilities && Functions().capabilities(&capabilities) && capabilities.LidPresent;
}

DWORD ReadAcDc(PowerSchemeCalls& calls, const GUID& scheme, const GUID& subgroup, const GUID& setting,
               AcDcValues& values) {
    const DWORD error = calls.ReadValue(scheme, subgroup, setting, PowerSource::Ac, values.ac);
    if (error != ERROR_SUCCESS) return error;
    return calls.ReadValue(scheme, subgroup, setting, PowerSource::Dc, values.dc);
}

DWORD ReadAllowSystemRequired(PowerSchemeCalls& calls, AcDcValues& values) {
    GUID scheme = {};
    const DWORD error = calls.ActiveScheme(scheme);
    if (error != ERROR_SUCCESS) return error;
    return ReadAcDc(calls, scheme, kSubSleep, kAllowSystemRequired, values);
}

std::wstring FormatGuid(const GUID& guid) {
    return FormatWide(L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(guid.Data1),
                      guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                      guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}

bool ParseGuid(const std::wstring& text, GUID& guid) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 38 characters, hyphens at 9, 14, 19 and 24.
    if (text.size() != 38 || text[0] != L'{' || text[37] != L'}') return false;
    unsigned char bytes[16] = {};
    size_t count = 0;
    for (size_t i = 1; i < 37; ++i) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != L'-') return false;
            continue;
        }
        const wchar_t c = text[i];
        const int digit = c >= L'0' && c <= L'9'   ? c - L'0'
                          : c >= L'a' && c <= L'f' ? c - L'a' + 10
                          : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                   : -1;
        if (digit < 0) return false;
        bytes[count / 2] = static_cast<unsigned char>(bytes[count / 2] * 16 + digit);
        ++count;
    }
    guid.Data1 = (static_cast<unsigned long>(bytes[0]) << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
    guid.Data2 = static_cast<unsigned short>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<unsigned short>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
    return true;
}

void WatchPowerSettings(HWND window, UniquePowerNotify (&notices)[2]) {
    // GUID_ACTIVE_POWERSCHEME: another plan made active.
    static const GUID kActivePowerScheme = {0x31f9f286, 0x5084, 0x42fe, {0xb7, 0x20, 0x2b, 0x02, 0x64, 0x99, 0x37, 0x63}};
    const GUID* settings[] = {&kActivePowerScheme, &kAllowSystemRequired};
    for (size_t i = 0; i < 2; ++i)
        notices[i].Reset(::RegisterPowerSettingNotification(window, settings[i], DEVICE_NOTIFY_WINDOW_HANDLE));
}
