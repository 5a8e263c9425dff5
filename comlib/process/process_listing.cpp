#include "comlib/process/process_listing.h"

#include <winternl.h>
#include <psapi.h>

#include <algorithm>

#include "comlib/dll_function.h"
#include "comlib/log.h"
#include "comlib/unique_resource.h"

namespace {
using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemProcessInformation = 5;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr DWORD kLongestPath = 32767;

// Each record begins at its predecessor's NextEntryOffset; the last one's is 0. The image name
// points into the same buffer; a name outside it is left empty. Offsets are compared, never
// pointers moved past the buffer.
void ParseListing(const unsigned char* data, size_t size, std::vector<ListedProcess>& processes) {
    size_t count = 0;
    for (size_t at = 0; at + sizeof(SYSTEM_PROCESS_INFORMATION) <= size;) {
        const auto* record = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(data + at);
        if (count == processes.size()) processes.emplace_back();
        ListedProcess& process = processes[count++];
        process.id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record->UniqueProcessId));
        process.session = record->SessionId;
        process.cpuTime =
            static_cast<uint64_t>(record->KernelTime.QuadPart) + static_cast<uint64_t>(record->UserTime.QuadPart);
        process.createTime = static_cast<unsigned long long>(record->CreateTime.QuadPart);
        const auto name = reinterpret_cast<uintptr_t>(record->ImageName.Buffer);
        const auto start = reinterpret_cast<uintptr_t>(data);
        const size_t nameBytes = record->ImageName.Length;
        if (name != 0 && name >= start && name - start <= size && nameBytes <= size - (name - start))
            process.imageName.assign(reinterpret_cast<const wchar_t*>(data + (name - start)), nameBytes / sizeof(wchar_t));
        else
            process.imageName.clear();
        if (record->NextEntryOffset == 0) break;
        at += record->NextEntryOffset;
    }
    processes.resize(count);
}
}  // namespace

struct SystemProcessSource::Ntdll {
    // ntdll is in every process; the function is documented but has no import library entry
    // in every SDK, so it is looked up.
    DllFunction_CL module{L"ntdll.dll"};
    QuerySystemInformation query = module.LookupAs<QuerySystemInformation>("NtQuerySystemInformation");
};

const ListedProcess* FindListedProcess(const std::vector<ListedProcess>& processes, DWORD id) {
    for (const ListedProcess& process : processes)
        if (process.id == id) return &process;
    return nullptr;
}

SystemProcessSource::SystemProcessSource() : ntdll_(new Ntdll), path_(kLongestPath + 1) {
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &ownSession_)) ownSession_ = 0;
    if (!ntdll_->query) g_Logger.Log(L"NtQuerySystemInformation が見つかりません", __FILE__, __LINE__);
}

SystemProcessSource::~SystemProcessSource() = default;

SystemProcessSource& SystemProcessSource::Instance() {
    static SystemProcessSource source;
    return source;
}

bool SystemProcessSource::List(std::vector<ListedProcess>& processes) {
    processes.clear();
    if (!ntdll_->query) return false;
    if (buffer_.empty()) buffer_.resize(64 * 1024);
    // The list may grow between the call that reports the size and the next one: retry with
    // the size reported plus room, for as long as the buffer is too small.
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status = ntdll_->query(kSystemProcessInformation, buffer_.data(),
                                              static_cast<ULONG>(buffer_.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer_.resize(std::max<size_t>(buffer_.size() * 2, static_cast<size_t>(needed) + needed / 4));
            continue;
        }
        if (status < 0) return false;
        const size_t filled = needed != 0 ? std::min<size_t>(needed, buffer_.size()) : buffer_.size();
        ParseListing(buffer_.data(), filled, processes);
        return true;
    }
}

bool SystemProcessSource::QueryImagePath(DWORD id, std::wstring& devicePath) {
    // PROCESS_QUERY_LIMITED_INFORMATION alone is all the image name needs, and Windows grants
    // it to an ordinary user for elevated processes too.
    const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) return false;
    const DWORD length = ::K32GetProcessImageFileNameW(process.Get(), path_.data(), static_cast<DWORD>(path_.size()));
    if (length == 0) return false;
    devicePath.assign(path_.data(), length);
    return true;
}

UniqueHandle SystemProcessSource::OpenToWatch(DWORD id, DWORD* error) {
    UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) *error = ::GetLastError();
    return process;
}
