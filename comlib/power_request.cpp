#include "comlib/power_request.h"

#include "comlib/dll_function.h"
#include "comlib/log.h"
#include "comlib/utility.h"

namespace {

// Windows before 7 lack these; the request is then refused like any other failure.
HANDLE WINAPI MissingCreate(PREASON_CONTEXT) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI MissingRequest(HANDLE, POWER_REQUEST_TYPE) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

const DllFunction_CL& Kernel32() {
    static const DllFunction_CL kernel32(L"kernel32.dll");
    return kernel32;
}

}  // namespace

PowerRequestCalls RealPowerRequestCalls() {
    PowerRequestCalls calls = {&MissingCreate, &MissingRequest, &MissingRequest};
    const auto create = Kernel32().LookupAs<HANDLE(WINAPI*)(PREASON_CONTEXT)>("PowerCreateRequest");
    const auto set = Kernel32().LookupAs<BOOL(WINAPI*)(HANDLE, POWER_REQUEST_TYPE)>("PowerSetRequest");
    const auto clear = Kernel32().LookupAs<BOOL(WINAPI*)(HANDLE, POWER_REQUEST_TYPE)>("PowerClearRequest");
    if (create && set && clear) calls = PowerRequestCalls{create, set, clear};
    return calls;
}

PowerRequest_CL::PowerRequest_CL(const PowerRequestCalls& calls) : calls_(calls) {}

PowerRequest_CL::~PowerRequest_CL() { Release(); }

void PowerRequest_CL::Hold(const std::wstring& reason, bool display) {
    if ((request_ && reason == heldReason_ && display == heldDisplay_) || reason == refusedReason_) return;
    std::wstring text = L"DormiGuard: " + reason;
    REASON_CONTEXT context = {};
    context.Version = POWER_REQUEST_CONTEXT_VERSION;
    context.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
    context.Reason.SimpleReasonString = &text[0];
    const HANDLE created = calls_.create(&context);
    if (created == INVALID_HANDLE_VALUE || created == nullptr) {
        const DWORD error = ::GetLastError();
        refusedReason_ = reason;
        if (!failureLogged_) {
            failureLogged_ = true;
            g_Logger.Log(L"PowerCreateRequest()エラー = 0x%08x : %s", __FILE__, __LINE__, static_cast<unsigned>(error),
                         SystemErrorText(error).c_str());
        }
        return;  // an older request, if any, still holds
    }
    UniqueHandle fresh(created);
    calls_.set(fresh.Get(), PowerRequestSystemRequired);
    if (display) calls_.set(fresh.Get(), PowerRequestDisplayRequired);
    ClearAndClose(request_);
    request_ = std::move(fresh);
    heldReason_ = reason;
    heldDisplay_ = display;
    refusedReason_.clear();
}

void PowerRequest_CL::Release() {
    ClearAndClose(request_);
    heldReason_.clear();
    refusedReason_.clear();
    failureLogged_ = false;
}

void PowerRequest_CL::ClearAndClose(UniqueHandle& request) {
    if (!request) return;
    if (heldDisplay_) calls_.clear(request.Get(), PowerRequestDisplayRequired);
    calls_.clear(request.Get(), PowerRequestSystemRequired);
    request.Reset();
}
