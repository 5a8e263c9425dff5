#pragma once
// The running processes as the system lists them, each with its id, session, image file name,
// CPU time and creation time, without opening any of them; and the one open that a new process
// costs for its full path.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "comlib/unique_resource.h"

struct ListedProcess {
    DWORD id = 0;
    DWORD session = 0;
    std::wstring imageName;  // file name only ("notepad.exe"); empty for the idle process
    uint64_t cpuTime = 0;    // kernel and user time so far, in 100 ns units
    // FILETIME of the start: with the id it tells this process from a later one that reuses its id.
    uint64_t createTime = 0;
};

// The process with this id in a listing, or null.
const ListedProcess* FindListedProcess(const std::vector<ListedProcess>& processes, DWORD id);

// The system calls of a snapshot, replaceable so that tests can show processes the user may not
// open (Wine lets every user open every process).
class ProcessSource {
public:
    virtual ~ProcessSource() = default;
    // The session of the user this program runs for.
    virtual DWORD OwnSession() = 0;
    // Fills `processes` with every process of the system, reusing its storage; false when the
    // listing failed.
    virtual bool List(std::vector<ListedProcess>& processes) = 0;
    // The process's image path in device form (\Device\HarddiskVolume3\x.exe); false when it
    // cannot be opened or queried.
    virtual bool QueryImagePath(DWORD id, std::wstring& devicePath) = 0;
    // The process opened with SYNCHRONIZE, to see its end, and PROCESS_QUERY_LIMITED_INFORMATION;
    // null, with the system's error in `error`, when it cannot be opened.
    virtual UniqueHandle OpenToWatch(DWORD id, DWORD* error) = 0;
};

// NtQuerySystemInformation(SystemProcessInformation), found in ntdll at run time: one call lists
// every process with its session and image name. A process is opened with
// PROCESS_QUERY_LIMITED_INFORMATION only to learn its path.
class SystemProcessSource : public ProcessSource {
public:
    SystemProcessSource();
    ~SystemProcessSource() override;
    DWORD OwnSession() override { return ownSession_; }
    bool List(std::vector<ListedProcess>& processes) override;
    bool QueryImagePath(DWORD id, std::wstring& devicePath) override;
    UniqueHandle OpenToWatch(DWORD id, DWORD* error) override;

    // The one the program uses unless a test replaces it.
    static SystemProcessSource& Instance();

private:
    struct Ntdll;
    std::unique_ptr<Ntdll> ntdll_;
    DWORD ownSession_ = 0;
    std::vector<unsigned char> buffer_;  // kept between listings: a steady listing is one call
    std::vector<wchar_t> path_;          // 32,767 characters, the longest path Windows gives
};
