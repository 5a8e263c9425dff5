#include "tests/remote_controls.h"

namespace {
constexpr SIZE_T kRemoteBytes = 4096;
constexpr SIZE_T kTextOffset = 512;  // the LVITEMW sits first, the text buffer after it
}  // namespace

RemoteListView::RemoteListView(HWND list) : list_(list) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    process_.Reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (process_)
        memory_ = ::VirtualAllocEx(process_.Get(), nullptr, kRemoteBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteListView::~RemoteListView() {
    if (memory_) ::VirtualFreeEx(process_.Get(), memory_, 0, MEM_RELEASE);
}

RemoteCopy::RemoteCopy(DWORD processId, const void* data, SIZE_T size)
    : process_(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId)) {
    if (process_)
        memory_ = ::VirtualAllocEx(process_.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T done = 0;
    if (memory_) ::WriteProcessMemory(process_.Get(), memory_, data, size, &done);
}

RemoteCopy::~RemoteCopy() {
    if (memory_) ::VirtualFreeEx(process_.Get(), memory_, 0, MEM_RELEASE);
}

int RemoteListView::Count() const { return static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring RemoteListView::Text(int item, int subItem) const {
    if (!memory_) return std::wstring();
    LVITEMW request = {};
    request.iSubItem = subItem;
    request.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory_) + kTextOffset);
    request.cchTextMax = static_cast<int>((kRemoteBytes - kTextOffset) / sizeof(wchar_t));
    SIZE_T done = 0;
    ::WriteProcessMemory(process_.Get(), memory_, &request, sizeof(request), &done);
    ::SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(memory_));
    std::vector<wchar_t> text((kRemoteBytes - kTextOffset) / sizeof(wchar_t), L'\0');
    ::ReadProcessMemory(process_.Get(), static_cast<char*>(memory_) + kTextOffset, text.data(),
                        (text.size() - 1) * sizeof(wchar_t), &done);
    return std::wstring(text.data());
}

std::wstring RemoteListView::ColumnText(int column) const {
    if (!memory_) return std::wstring();
    LVCOLUMNW request = {};
    request.mask = LVCF_TEXT;
    request.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory_) + kTextOffset);
    request.cchTextMax = static_cast<int>((kRemoteBytes - kTextOffset) / sizeof(wchar_t));
    SIZE_T done = 0;
    ::WriteProcessMemory(process_.Get(), memory_, &request, sizeof(request), &done);
    if (!::SendMessageW(list_, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(memory_)))
        return std::wstring();
    std::vector<wchar_t> text((kRemoteBytes - kTextOffset) / sizeof(wchar_t), L'\0');
    ::ReadProcessMemory(process_.Get(), static_cast<char*>(memory_) + kTextOffset, text.data(),
                        (text.size() - 1) * sizeof(wchar_t), &done);
    return std::wstring(text.data());
}

std::wstring RemoteTabText(HWND tab, int index) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(tab, &processId);
    const UniqueHandle process(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) return std::wstring();
    void* memory = ::VirtualAllocEx(process.Get(), nullptr, kRemoteBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!memory) return std::wstring();
    TCITEMW request = {};
    request.mask = TCIF_TEXT;
    request.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory) + kTextOffset);
    request.cchTextMax = static_cast<int>((kRemoteBytes - kTextOffset) / sizeof(wchar_t));
    SIZE_T done = 0;
    std::vector<wchar_t> text((kRemoteBytes - kTextOffset) / sizeof(wchar_t), L'\0');
    if (::WriteProcessMemory(process.Get(), memory, &request, sizeof(request), &done) &&
        ::SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(memory)))
        ::ReadProcessMemory(process.Get(), static_cast<char*>(memory) + kTextOffset, text.data(),
                            (text.size() - 1) * sizeof(wchar_t), &done);
    ::VirtualFreeEx(process.Get(), memory, 0, MEM_RELEASE);
    return std::wstring(text.data());
}

UINT RemoteListView::State(int item, UINT mask) const {
    return static_cast<UINT>(::SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
}

int RemoteListView::Image(int item) const {
    if (!memory_) return I_IMAGENONE;
    LVITEMW request = {};
    request.mask = LVIF_IMAGE;
    request.iItem = item;
    SIZE_T done = 0;
    ::WriteProcessMemory(process_.Get(), memory_, &request, sizeof(request), &done);
    if (!::SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory_))) return I_IMAGENONE;
    ::ReadProcessMemory(process_.Get(), memory_, &request, sizeof(request), &done);
    return request.iImage;
}

bool RemoteListView::SetState(int item, UINT state, UINT mask) const {
    if (!memory_) return false;
    LVITEMW request = {};
    request.state = state;
    request.stateMask = mask;
    SIZE_T done = 0;
    ::WriteProcessMemory(process_.Get(), memory_, &request, sizeof(request), &done);
    return ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(memory_)) != 0;
}

int RemoteListView::CheckState(int item) const {
    const UINT image = State(item, LVIS_STATEIMAGEMASK) >> 12;
    return image == 0 ? -1 : static_cast<int>(image) - 1;
}

RECT RemoteListView::ItemScreenRect(int item) const {
    RECT rect = {LVIR_BOUNDS, 0, 0, 0};
    if (!memory_) return rect;
    SIZE_T done = 0;
    ::WriteProcessMemory(process_.Get(), memory_, &rect, sizeof(rect), &done);
    ::SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(memory_));
    ::ReadProcessMemory(process_.Get(), memory_, &rect, sizeof(rect), &done);
    ::MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int RemoteListView::FindText(const std::wstring& text, int subItem) const {
    const int count = Count();
    for (int i = 0; i < count; ++i)
        if (_wcsicmp(Text(i, subItem).c_str(), text.c_str()) == 0) return i;
    return -1;
}

namespace {
struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    std::wstring title;
    int id;
    int index;
    HWND found;
};

bool ClassIs(HWND window, const wchar_t* className) {
    if (!className) return true;
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return _wcsicmp(name, className) == 0;
}

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !::IsWindowVisible(window) || !ClassIs(window, search->className)) return TRUE;
    wchar_t title[512] = {};
    ::GetWindowTextW(window, title, 512);
    if (!search->title.empty() && search->title != title) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK MatchChildId(HWND window, LPARAM data) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
    if (::GetDlgCtrlID(window) != search->id) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK MatchChildClass(HWND window, LPARAM data) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
    if (!ClassIs(window, search->className) || search->index-- > 0) return TRUE;
    search->found = window;
    return FALSE;
}
}  // namespace

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const std::wstring& title) {
    WindowSearch search = {processId, className, title, 0, 0, nullptr};
    ::EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDescendantById(HWND parent, int id) {
    WindowSearch search = {0, nullptr, L"", id, 0, nullptr};
    ::EnumChildWindows(parent, MatchChildId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDescendantByClass(HWND parent, const wchar_t* className, int index) {
    WindowSearch search = {0, className, L"", 0, index, nullptr};
    ::EnumChildWindows(parent, MatchChildClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindPopupMenuWindow(DWORD processId) { return FindProcessWindow(processId, L"#32768", L""); }

HMENU PopupMenuHandle(HWND menuWindow) {
    return reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
}

void SendKey(WORD virtualKey) {
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = virtualKey;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, inputs, sizeof(INPUT));
}

void ClickAt(POINT screen, bool right) {
    ::SetCursorPos(screen.x, screen.y);
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    inputs[1] = inputs[0];
    inputs[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    ::SendInput(2, inputs, sizeof(INPUT));
}
