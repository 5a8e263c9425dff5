#pragma once
// Settings an organisation sets through Group Policy or Intune: values under
// Software\Policies\DormiGuard in HKLM and HKCU. A value that is not there is "not configured",
// and the user's own setting holds.
#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

// The policies in force, after HKLM and HKCU were merged. std::nullopt: not configured.
struct Policies {
    std::optional<DWORD> disabled;
    std::optional<DWORD> updateCheck;
    std::optional<DWORD> manualSessions;
    std::optional<DWORD> maxSessionMinutes;
    std::optional<DWORD> hotkey;
    std::optional<DWORD> commandLine;
    std::optional<DWORD> keepDisplayOn;
    std::optional<DWORD> onlyOnMains;
    std::optional<DWORD> batteryFloor;
    // File names or full paths, sorted without regard to case; empty: not configured.
    std::vector<std::wstring> watchedPrograms;

    bool AnySet() const;
    bool operator==(const Policies& other) const;
    bool operator!=(const Policies& other) const { return !(*this == other); }
};

// The values of ManualSessions.
constexpr DWORD kManualSessionsNone = 0;
constexpr DWORD kManualSessionsTimedOnly = 1;
constexpr DWORD kManualSessionsAll = 2;

// How a policy is stored: a REG_DWORD value in the policy key, or a subkey of that name whose
// REG_SZ values are the entries (their names do not matter).
enum class PolicyType { Dword, StringList };

struct PolicyDefinition {
    const wchar_t* valueName;
    PolicyType type;
    // The allowed range of a DWORD; a list has none (0, 0).
    DWORD minimum;
    DWORD maximum;
    // Where the value goes; null for the list, which is Policies::watchedPrograms.
    std::optional<DWORD> Policies::*field;
    const wchar_t* meaning;
};

// Below HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
constexpr const wchar_t* kPolicyKey = L"Software\\Policies\\DormiGuard";

// The program's one policy table: the reader, the log line and the administrative templates'
// test all read it.
constexpr size_t kPolicyCount = 10;
extern const PolicyDefinition kPolicyTable[kPolicyCount];

// One hive's policies, and a log line for each value ignored (wrong type or out of range).
struct PolicyHive {
    Policies policies;
    std::vector<std::wstring> faults;
};
// Reads Software\Policies\DormiGuard below root; rootName ("HKLM", "HKCU") names it in faults.
PolicyHive ReadPolicyHive(HKEY root, const wchar_t* rootName);

// A value set in HKLM wins over the same value in HKCU; an HKLM list replaces the HKCU list.
Policies MergePolicies(const Policies& machine, const Policies& user);

// "適用中のポリシー: Disabled=1, WatchedPrograms=a.exe|C:\Tools\b.exe"; "なし" when none is set.
std::wstring FormatPoliciesInForce(const Policies& policies);
// The line is written at start when at least one policy is set (previous null), and again
// whenever the policies change; never while none was ever set.
bool PoliciesLineDue(const Policies* previous, const Policies& current);

// Both hives merged, nothing logged: for a copy that only hands over a command, and for the
// update check, which runs before anything else would read them.
Policies ReadPoliciesQuietly();

// Reads the policies of both hives for the life of the program, and logs what it finds: each
// ignored value once per run, the policies in force by the rule above.
class PolicyReader_CL {
public:
    Policies Read();

private:
    std::set<std::wstring> loggedFaults_;
    std::optional<Policies> last_;
};
