#include "data/policy.h"

#include <algorithm>

#include "comlib/log.h"
#include "comlib/unique_resource.h"
#include "comlib/utility.h"

const PolicyDefinition kPolicyTable[kPolicyCount] = {
    {L"Disabled", PolicyType::Dword, 0, 1, &Policies::disabled,
     L"1: DormiGuard never keeps the computer awake. 0: it works as the user set it."},
    {L"UpdateCheck", PolicyType::Dword, 0, 1, &Policies::updateCheck,
     L"0: no update check and no notice. 1: the user's own setting."},
    {L"ManualSessions", PolicyType::Dword, 0, 2, &Policies::manualSessions,
     L"Manual sessions allowed: 0 none, 1 timed only (no \"until I turn it off\"), 2 all."},
    {L"MaxSessionMinutes", PolicyType::Dword, 1, 10080, &Policies::maxSessionMinutes,
     L"The longest manual session in minutes; longer requests are cut to it."},
    {L"Hotkey", PolicyType::Dword, 0, 1, &Policies::hotkey,
     L"0: no hotkey. 1: the user's own setting."},
    {L"CommandLine", PolicyType::Dword, 0, 1, &Policies::commandLine,
     L"0: -awake, -pid and -run are refused with exit code 2. 1: they work."},
    {L"KeepDisplayOn", PolicyType::Dword, 0, 1, &Policies::keepDisplayOn,
     L"Forces the display setting: 1 keeps the display on, 0 lets it turn off."},
    {L"OnlyOnMains", PolicyType::Dword, 0, 1, &Policies::onlyOnMains,
     L"Forces the mains-only rule: 1 on, 0 off."},
    {L"BatteryFloor", PolicyType::Dword, 5, 50, &Policies::batteryFloor,
     L"Forces the battery floor: below this percentage on battery, sleep is allowed."},
    {L"WatchedPrograms", PolicyType::StringList, 0, 0, nullptr,
     L"Programs every user's guard watches: file names or full paths."},
};

bool Policies::AnySet() const {
    for (const PolicyDefinition& row : kPolicyTable)
        if (row.field && (this->*row.field).has_value()) return true;
    return !watchedPrograms.empty();
}

bool Policies::operator==(const Policies& other) const {
    for (const PolicyDefinition& row : kPolicyTable)
        if (row.field && this->*row.field != other.*row.field) return false;
    return watchedPrograms == other.watchedPrograms;
}

namespace {

std::wstring Decimal(DWORD value) { return FormatWide(L"%lu", static_cast<unsigned long>(value)); }

UniqueRegistryKey OpenKey(HKEY root, const std::wstring& path) {
    UniqueRegistryKey key;
    // A failed open leaves no key to close.
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS) key.Release();
    return key;
}

std::wstring ValuePath(const wchar_t* rootName, const std::wstring& name) {
    return std::wstring(rootName) + L"\\" + kPolicyKey + L"\\" + name;
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

// A DWORD row: the value when it is a REG_DWORD inside the row's range.
void ReadDword(HKEY key, const wchar_t* rootName, const PolicyDefinition& row, PolicyHive* hive) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        ::RegQueryValueExW(key, row.valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (status == ERROR_FILE_NOT_FOUND) return;
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) {
        hive->faults.push_back(L"ポリシーの値を無視します (REG_DWORD ではありません, 型 " + Decimal(type) +
                               L"): " + ValuePath(rootName, row.valueName));
        return;
    }
    if (value < row.minimum || value > row.maximum) {
        hive->faults.push_back(L"ポリシーの値を無視します (範囲 " + Decimal(row.minimum) + L"-" + Decimal(row.maximum) +
                               L" の外): " + ValuePath(rootName, row.valueName) + L" = " + Decimal(value));
        return;
    }
    hive->policies.*row.field = value;
}

// The list row: every non-empty REG_SZ value of the subkey.
void ReadList(HKEY root, const wchar_t* rootName, const PolicyDefinition& row, PolicyHive* hive) {
    const UniqueRegistryKey key = OpenKey(root, std::wstring(kPolicyKey) + L"\\" + row.valueName);
    if (!key) return;
    DWORD nameChars = 0;
    DWORD dataBytes = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameChars,
                           &dataBytes, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<wchar_t> name(nameChars + 1);
    // Room for an odd last byte and for a terminator the stored string may lack.
    std::vector<wchar_t> data(dataBytes / sizeof(wchar_t) + 2);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        const LSTATUS status = ::RegEnumValueW(key.Get(), index, name.data(), &nameSize, nullptr, &type,
                                               reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // A value added while we read: the next read sees it.
        if (status != ERROR_SUCCESS) break;
        const std::wstring entryPath = ValuePath(rootName, std::wstring(row.valueName) + L"\\" + name.data());
        if (type != REG_SZ) {
            hive->faults.push_back(L"ポリシーの値を無視します (REG_SZ ではありません, 型 " + Decimal(type) +
                                   L"): " + entryPath);
            continue;
        }
        data[dataSize / sizeof(wchar_t)] = L'\0';
        const std::wstring entry = data.data();
        if (entry.empty()) {
            hive->faults.push_back(L"ポリシーの値を無視します (空です): " + entryPath);
            continue;
        }
        hive->policies.watchedPrograms.push_back(entry);
    }
    std::vector<std::wstring>& list = hive->policies.watchedPrograms;
    std::sort(list.begin(), list.end(), LessIgnoringCase);
    list.erase(std::unique(list.begin(), list.end(),
                           [](const std::wstring& a, const std::wstring& b) {
                               return !LessIgnoringCase(a, b) && !LessIgnoringCase(b, a);
                           }),
               list.end());
}

}  // namespace

PolicyHive ReadPolicyHive(HKEY root, const wchar_t* rootName) {
    PolicyHive hive;
    const UniqueRegistryKey key = OpenKey(root, kPolicyKey);
    if (!key) return hive;
    for (const PolicyDefinition& row : kPolicyTable) {
        if (row.type == PolicyType::Dword)
            ReadDword(key.Get(), rootName, row, &hive);
        else
            ReadList(root, rootName, row, &hive);
    }
    return hive;
}

Policies MergePolicies(const Policies& machine, const Policies& user) {
    Policies merged = user;
    for (const PolicyDefinition& row : kPolicyTable)
        if (row.field && (machine.*row.field).has_value()) merged.*row.field = machine.*row.field;
    if (!machine.watchedPrograms.empty()) merged.watchedPrograms = machine.watchedPrograms;
    return merged;
}

std::wstring FormatPoliciesInForce(const Policies& policies) {
    std::wstring line = L"適用中のポリシー: ";
    bool first = true;
    for (const PolicyDefinition& row : kPolicyTable) {
        std::wstring value;
        if (row.field && (policies.*row.field).has_value()) {
            value = Decimal(*(policies.*row.field));
        } else if (!row.field && !policies.watchedPrograms.empty()) {
            for (const std::wstring& program : policies.watchedPrograms)
                value += (value.empty() ? L"" : L"|") + program;
        } else {
            continue;
        }
        line += (first ? L"" : L", ") + std::wstring(row.valueName) + L"=" + value;
        first = false;
    }
    return first ? line + L"なし" : line;
}

bool PoliciesLineDue(const Policies* previous, const Policies& current) {
    return previous ? *previous != current : current.AnySet();
}

Policies ReadPoliciesQuietly() {
    return MergePolicies(ReadPolicyHive(HKEY_LOCAL_MACHINE, L"HKLM").policies,
                         ReadPolicyHive(HKEY_CURRENT_USER, L"HKCU").policies);
}

Policies PolicyReader_CL::Read() {
    const PolicyHive machine = ReadPolicyHive(HKEY_LOCAL_MACHINE, L"HKLM");
    const PolicyHive user = ReadPolicyHive(HKEY_CURRENT_USER, L"HKCU");
    for (const PolicyHive* hive : {&machine, &user})
        for (const std::wstring& fault : hive->faults)
            if (loggedFaults_.insert(fault).second) g_Logger.Log(L"%s", __FILE__, __LINE__, fault.c_str());
    Policies current = MergePolicies(machine.policies, user.policies);
    if (PoliciesLineDue(last_ ? &*last_ : nullptr, current))
        g_Logger.Log(L"%s", __FILE__, __LINE__, FormatPoliciesInForce(current).c_str());
    last_ = current;
    return current;
}
