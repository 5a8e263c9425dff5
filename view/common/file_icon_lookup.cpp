#include "view/common/file_icon_lookup.h"

#include <objbase.h>
#include <process.h>

#include <atomic>

#include "comlib/log.h"
#include "comlib/unique_resource.h"
#include "view/common/file_icon.h"

// Shared by the window and the worker; whoever lets go last frees it. The worker touches nothing
// else of the program.
struct FileIconLookup_CL::Lookup {
    HWND window = nullptr;
    unsigned number = 0;
    int dpi = 96;
    std::vector<std::wstring> paths;
    Found found;
    std::atomic<bool> done{false};
};

unsigned __stdcall FileIconLookup_CL::Worker(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Lookup>> held(static_cast<std::shared_ptr<Lookup>*>(parameter));
    Lookup& lookup = **held;
    // SHGetFileInfoW may call shell extensions, which expect COM on the calling thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    lookup.found.list = SystemIconListForDpi(lookup.dpi);
    for (const std::wstring& path : lookup.paths) lookup.found.indices.push_back(SmallIconIndex(path));
    if (SUCCEEDED(com)) ::CoUninitialize();
    lookup.done.store(true, std::memory_order_release);
    // A window that is gone by now refuses the message.
    ::PostMessageW(lookup.window, kFoundMessage, lookup.number, 0);
    return 0;
}

bool FileIconLookup_CL::Start(HWND window, std::vector<std::wstring> paths, int dpi) {
    auto lookup = std::make_shared<Lookup>();
    lookup->window = window;
    lookup->number = ++number_;
    lookup->dpi = dpi;
    lookup->paths = std::move(paths);
    lookup_.reset();
    auto* parameter = new std::shared_ptr<Lookup>(lookup);
    const UniqueHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Worker, parameter, 0, nullptr)));
    if (!thread) {
        g_Logger.Log(L"アイコン取得のスレッドを開始できませんでした: 0x%08x", __FILE__, __LINE__,
                     static_cast<unsigned>(::GetLastError()));
        delete parameter;
        return false;
    }
    // Nobody waits for the worker: it ends by itself.
    lookup_ = std::move(lookup);
    return true;
}

bool FileIconLookup_CL::Take(WPARAM number, Found* found) {
    if (!lookup_ || lookup_->number != number || !lookup_->done.load(std::memory_order_acquire)) return false;
    *found = std::move(lookup_->found);
    lookup_.reset();
    return true;
}
