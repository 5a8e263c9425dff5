#pragma once
// One power request that names why the computer stays awake: "powercfg /requests" shows it.
#include <windows.h>

#include <string>

#include "comlib/unique_resource.h"

// The kernel32 calls, looked up at run time. Tests put in recording ones.
struct PowerRequestCalls {
    HANDLE(WINAPI* create)(PREASON_CONTEXT context);
    BOOL(WINAPI* set)(HANDLE request, POWER_REQUEST_TYPE type);
    BOOL(WINAPI* clear)(HANDLE request, POWER_REQUEST_TYPE type);
};

PowerRequestCalls RealPowerRequestCalls();

class PowerRequest_CL {
public:
    explicit PowerRequest_CL(const PowerRequestCalls& calls = RealPowerRequestCalls());
    PowerRequest_CL(const PowerRequest_CL&) = delete;
    PowerRequest_CL& operator=(const PowerRequest_CL&) = delete;
    ~PowerRequest_CL();

    // Holds a request with the reason "DormiGuard: <reason>". The same reason again does
    // nothing; a new one is set before the old one is cleared and closed, so there is no gap.
    // A refused creation is logged once per prohibited period and not retried for that reason.
    // Without display, PowerRequestSystemRequired alone: the screen may go dark; a change of it
    // replaces the request like a new reason.
    void Hold(const std::wstring& reason, bool display = true);
    // Sleep is allowed again: clears and closes the request; the next period may log again.
    void Release();

    bool Holding() const { return request_.IsValid(); }

private:
    void ClearAndClose(UniqueHandle& request);

    PowerRequestCalls calls_;
    UniqueHandle request_;
    std::wstring heldReason_;
    bool heldDisplay_ = true;
    std::wstring refusedReason_;
    bool failureLogged_ = false;
};
