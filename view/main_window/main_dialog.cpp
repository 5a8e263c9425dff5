#include "view/main_window/main_dialog.h"

#include <commctrl.h>

#include "comlib/gdiplus_owners.h"
#include "comlib/inifile.h"
#include "comlib/log.h"
#include "comlib/multi_screen.h"
#include "comlib/power_scheme.h"
#include "comlib/utility.h"
#include "comlib/window/high_dpi.h"
#include "comlib/window/popup_menu.h"
#include "data/save_data.h"
#include "guard/hand_over.h"
#include "resource.h"
#include "view/texts/awake_texts.h"
#include "view/common/file_icon.h"
#include "view/main_window/main_layout.h"
#include "view/main_window/locked_rows.h"
#include "view/main_window/state_band.h"
#include "view/main_window/watched_rows.h"
#include "view/main_window/window_pictures.h"
#include "view/texts/ui_texts.h"
#include "update/update_runner.h"
#include "view/update_notice/update_dialog.h"

namespace {
const wchar_t kTitle[] = L"DormiGuard";
const wchar_t kVersion[] = DORMIGUARD_VERSION;
}  // namespace

MainDialog_CL::MainDialog_CL(int startupFlag)
    : startupFlag_(startupFlag),
      guard_(g_SaveData, GuardWords{&ReasonText, &TrayTip}),
      update_(DORMIGUARD_WEB_HOST, L"DormiGuard/Version.txt", INTERNET_DEFAULT_HTTP_PORT, UiText(TextId::UpdateTitle), kVersion) {
    // Owned by a hidden window, so it has no taskbar button; no clipping of children.
    SetStyle(WS_OVERLAPPEDWINDOW);
    SetHiddenOwner(true);
    SetIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_DORMIGUARD)));
    backBuffer_.SetPixelFormat(BackBuffer_CL::kPixelFormat32bppRGB);
    SetRealUpdateNotice(&ShowUpdateNotice);
}

MainDialog_CL::~MainDialog_CL() = default;

LRESULT MainDialog_CL::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (update_.HandleMessage(message, wParam, lParam)) return 0;
    switch (message) {
        case WM_CREATE:
            InitializeWindow();
            return 1;
        case WM_MOVE:
            SaveWindowRect();
            break;
        case WM_SIZE:
            if (wParam == SIZE_RESTORED) {
                SaveWindowRect();
            } else if (wParam == SIZE_MINIMIZED) {
                ShowMainWindow(1);  // minimising stores the window in the tray
            }
            Layout();
            break;
        case WM_PAINT:
            Paint();
            break;
        case WM_CLOSE:
            if (wParam != kCloseForExit) {
                ShowMainWindow(1);
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            return 1;  // the paint covers the whole client area
        case WM_NOTIFY: {
            LRESULT answer = 0;
            if (OnPolicyNotify(reinterpret_cast<const NMHDR*>(lParam), &answer)) return answer;
            OnNotify(reinterpret_cast<const NMHDR*>(lParam));
            break;
        }
        case WM_COMMAND:
            OnCommand(wParam);
            break;
        case WM_SYSCOMMAND:
            if (guard_.SwallowSysCommand(wParam)) return 0;
            break;
        case WM_TIMER:
            if (wParam == kSleepTimerId) {
                CheckSleep();
            } else if (wParam == kSessionTimerId) {
                ::KillTimer(window, kSessionTimerId);  // one-shot
                CheckSleep();
            } else if (wParam == kPicturesTimerId) {
                ::KillTimer(window, kPicturesTimerId);  // one-shot
                pictures_.LoadAll(g_SaveData.imageType);
            }
            trayIcon_.OnTimer(wParam);
            break;
        case WM_POWERBROADCAST:
            // Plugged in or out: the battery rules take effect now, not at the next tick.
            if (wParam == PBT_APMPOWERSTATUSCHANGE) {
                CheckSleep();
                return TRUE;
            }
            if (wParam == PBT_POWERSETTINGCHANGE) {
                guard_.PowerSettingsChanged();
                CheckSleep();
                return TRUE;
            }
            break;
        case WM_SETTINGCHANGE:
            // A Group Policy refresh names "Policy" in lParam.
            if (lParam && ::lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"Policy") == 0) OnPolicyChange();
            break;
        case ForegroundHook_CL::kChangedMessage:
            CheckSleep();
            return 0;
        case WM_ENDSESSION:
            // Windows ends with the session: no WM_DESTROY may follow, so the lid comes back now.
            if (wParam) guard_.Stop();
            break;
        case WM_HOTKEY:
            if (wParam == kHotkeyId) ToggleByHotkey();
            break;
        case WM_COPYDATA: {
            // The sending copy refuses first; this holds for one that read the policies before a change.
            if (CommandLineOff(guard_.CurrentPolicies())) return 0;
            AwakeCommand command;
            if (!ReadHandOver(reinterpret_cast<const COPYDATASTRUCT*>(lParam), &command)) return 0;
            if (!handOvers_.PassOrHold(command)) return 1;
            return ApplyAwakeCommand(command) ? 1 : 0;
        }
        case WM_INITMENUPOPUP:
            // The menu bar's copy of the end command: greyed while no manual session runs.
            if (menu_) {
                ::EnableMenuItem(menu_.Get(), kCmdAwakeEnd,
                                 MF_BYCOMMAND | (guard_.SessionActive() ? MF_ENABLED : MF_GRAYED));
                GreyRefusedSessions(menu_.Get(), guard_.CurrentPolicies());
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (groupBox_ && reinterpret_cast<HWND>(lParam) == groupBox_->Window()) {
                ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        case WM_SIZING:
            main_layout::ApplyMinimumSize(*reinterpret_cast<RECT*>(lParam), g_SaveData.imageType,
                                          DpiOfWindow(window));
            break;
        case WM_DPICHANGED:
            OnDpiChanged(*reinterpret_cast<const RECT*>(lParam));
            return 0;
        case FileIconLookup_CL::kFoundMessage:
            ShowFileIcons(wParam);
            return 0;
        case kTrayCallback:
            OnTrayCallback(lParam);
            break;
        default:
            if (trayIcon_.IsTaskbarCreated(message)) trayIcon_.AddAgain();
            break;
    }
    OnMenuOwnerDraw(window, message, lParam);
    return MainWindowBase_CL::HandleMessage(window, message, wParam, lParam);
}

void MainDialog_CL::InitializeWindow() {
    const HWND window = Window();
    g_SaveData.LoadSettings();
    guard_.RestoreLeftoverLid();
    // After the log path, which the policies' lines need; before the hotkey and the update check.
    guard_.ReadPolicies();
    const int dpi = DpiOfWindow(window);
    const SIZE minimum = main_layout::MinimumSize(0, dpi);
    backBuffer_.Resize(minimum.cx, minimum.cy);
    SetWindowIcons(Window(), bigIcon_, smallIcon_);

    menu_.Reset(BuildMenuBar());
    if (menu_) ::SetMenu(window, menu_.Get());
    ::SetWindowTextW(window, kTitle);
    // Windows starts the program again, in the tray, after an update restart or a crash.
    ::RegisterApplicationRestart(L"-startup", 0);

    trayIcon_.SetTrayIcon();
    trayIcon_.SetTip(kTitle);
    trayIcon_.SetAddFailedText(UiText(TextId::TrayAddFailed));
    trayIcon_.Add(window);
    WatchPowerSettings(window, powerNotices_);
    g_SaveData.SetSaveFailureHandler([this](const std::wstring& file, DWORD error) {
        return trayIcon_.ShowBalloon(UiText(TextId::SaveFailedTitle), SaveFailureNoticeText(file, error), NIIF_WARNING);
    });
    // A stored hotkey that the load switched off: told once, naming the old key.
    if (!g_SaveData.droppedHotkey.empty())
        trayIcon_.ShowBalloon(UiText(TextId::NoticeTitle),
                              UiFormat(TextId::NoticeHotkeyDropped, g_SaveData.droppedHotkey.c_str()), NIIF_WARNING);
    hotkey_.Register(window, g_SaveData.hotkey, HotkeyOff(guard_.CurrentPolicies()));
    AddAwakeMenu(menu_.Get(), ShownHotkey());

    ClientMetrics metrics;
    GetClientMetrics(metrics);

    // The factory keeps an object with a null window when a control cannot be created; the
    // pointers are still checked wherever they are used, so the window never depends on them.
    list_ = factory_.At<ListView_CL>(factory_.CreateListView(window, 320, 240, 0, 0));
    if (list_) SetUpWatchedList(*list_, UiText(TextId::WatchedListHeader), WatchedColumnWidth(metrics.charWidth));

    groupBox_ = factory_.At<GroupBox_CL>(factory_.CreateGroupBox(window, L"", 320, 240, 0));
    FillWatchedList();
    ::SetTimer(window, kSleepTimerId, kSleepTimerMs, nullptr);

    RECT current = {};
    ::GetWindowRect(window, &current);
    const RECT fallback = {current.left, current.top, current.left + minimum.cx, current.top + minimum.cy};
    const RECT placed = ReadWindowRect(L"WINDOW", L"rect", fallback);
    // The rectangle is in real pixels already: the WM_DPICHANGED this move sends when it lies on
    // a monitor of another DPI suggests a size scaled once more, which OnDpiChanged leaves.
    placing_ = true;
    ::SetWindowPos(window, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                   g_SaveData.trayHidden != 0 ? SWP_HIDEWINDOW : SWP_SHOWWINDOW);
    placing_ = false;

    // Nothing draws the pictures yet, and the first decode loads the image codecs: they wait
    // until the window has been painted.
    ::SetTimer(window, kPicturesTimerId, USER_TIMER_MINIMUM, nullptr);

    layoutReady_ = 1;
    Layout();
    CheckSleep();
    for (const AwakeCommand& held : handOvers_.Open()) ApplyAwakeCommand(held);
    if (startupFlag_ == 0) ::ShowWindow(window, SW_SHOW);
    // Only now: nothing above waits for the network.
    update_.Start(window);
}

void MainDialog_CL::OnSize(UINT, int, int) { Layout(); }

void MainDialog_CL::Layout() {
    if (layoutReady_ == 0) return;
    ClientMetrics m;
    GetClientMetrics(m);
    backBuffer_.Resize(m.width, m.height);
    const main_layout::ControlRects r =
        main_layout::LayoutControls(m.width, m.height, m.charWidth, m.charHeight, DpiOfWindow(Window()));
    if (groupBox_) {
        groupBox_->SetPosition(r.groupBoxAt.x, r.groupBoxAt.y);
        groupBox_->SetSize(r.groupBoxSize.cx, r.groupBoxSize.cy, true);
    }
    if (list_) {
        list_->SetPosition(r.listAt.x, r.listAt.y);
        list_->SetSize(r.listSize.cx, r.listSize.cy, true);
    }
}

// The list paints all of itself; copying over it would only make it flicker.
void MainDialog_CL::ExcludeList(HDC dc) const {
    if (!list_ || !::IsWindowVisible(list_->Window())) return;
    RECT rect = {};
    ::GetWindowRect(list_->Window(), &rect);
    ::MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&rect), 2);
    ::ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void MainDialog_CL::Paint() {
    const HWND window = Window();
    PAINTSTRUCT paint = {};
    const HDC dc = ::BeginPaint(window, &paint);
    RECT client = {};
    ::GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    Gdiplus::GpBitmap* bitmap = backBuffer_.Bitmap();
    if (dc && bitmap && width > 0 && height > 0) {
        ClientMetrics metrics;
        GetClientMetrics(metrics);
        if (DrawStateWithReason(bitmap, width, height, metrics.charWidth, DpiOfWindow(window), guard_.State(),
                                guard_.Reason(), main_layout::HighContrastOn())) {
            ExcludeList(dc);
            CopyBackBuffer(dc, bitmap, width, height);
        }
    }
    ::EndPaint(window, &paint);
    // The copy also covered the group box's frame (the window does not clip its children): the
    // box draws it again. Its inside is transparent and shows the copy.
    if (groupBox_) ::InvalidateRect(groupBox_->Window(), nullptr, FALSE);
}

void MainDialog_CL::OnDpiChanged(const RECT& suggested) {
    const HWND window = Window();
    // The suggested rectangle keeps the window where the user dropped it; WM_MOVE and WM_SIZE then
    // save it in real pixels as always. Not while the saved rectangle is being placed.
    if (!placing_)
        ::SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                       suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowIcons(Window(), bigIcon_, smallIcon_);
    if (list_) {
        list_->RebuildFont();
        LookUpFileIcons();
        ClientMetrics metrics;
        GetClientMetrics(metrics);
        ::SendMessageW(list_->Window(), LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(WatchedColumnWidth(metrics.charWidth), 0));
    }
    Layout();
    ::InvalidateRect(window, nullptr, FALSE);
}

void MainDialog_CL::CheckSleep() {
    // An F5 queued before WM_QUIT arrives after the window is gone: no input then, and no
    // InvalidateRect(NULL), which would repaint the whole desktop.
    if (!Window()) return;
    const GuardOutcome outcome = guard_.Check();
    frontHook_.Follow(Window(), AnyEnabledInMode(g_SaveData.watched, WatchMode::Front));
    trayIcon_.ShowState(outcome.tray.iconId, outcome.tray.tip);
    // The end of a timed session: a one-shot timer of its own, not the 20-second tick.
    if (outcome.wakeAfterMs == GuardOutcome::kNoWake)
        ::KillTimer(Window(), kSessionTimerId);
    else
        ::SetTimer(Window(), kSessionTimerId, outcome.wakeAfterMs, nullptr);
    ::InvalidateRect(Window(), nullptr, FALSE);
}

void MainDialog_CL::ShowMainWindow(int mode) {
    const HWND window = Window();
    const main_layout::ShowPlan plan = main_layout::PlanShow(mode, g_SaveData.trayHidden);
    g_SaveData.trayHidden = plan.trayHidden;
    if (plan.runCheck) CheckSleep();
    ::ShowWindow(window, g_SaveData.trayHidden != 0 ? SW_HIDE : SW_SHOW);
    if (g_SaveData.trayHidden == 0) BringWindowToFront(window);
}

void MainDialog_CL::FillWatchedList() {
    if (!list_) return;
    listFillGuard_ = 1;
    FillWatchedRows(*list_, g_SaveData.watched);
    AppendLockedRows(*list_, guard_.PolicyWatched());
    listFillGuard_ = 0;
    LookUpFileIcons();
}

void MainDialog_CL::LookUpFileIcons() {
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < g_SaveData.watched.Size(); ++i) paths.push_back(g_SaveData.watched[i].path);
    for (const WatchedProcess& locked : guard_.PolicyWatched().Items()) paths.push_back(locked.path);
    // No rows, no icons: the list gets its image list with the first row.
    if (list_ && !paths.empty()) fileIcons_.Start(Window(), std::move(paths), DpiOfWindow(list_->Window()));
}

void MainDialog_CL::ShowFileIcons(WPARAM lookupNumber) {
    FileIconLookup_CL::Found found;
    if (!list_ || !fileIcons_.Take(lookupNumber, &found)) return;
    const HWND listWindow = list_->Window();
    AttachSharedIcons(listWindow, found.list, systemImages_);
    // The answer belongs to the latest fill, so its order is the rows' order.
    listFillGuard_ = 1;
    SetWatchedRowIcons(listWindow, found.indices);
    listFillGuard_ = 0;
}

void MainDialog_CL::SaveWindowRect() {
    if (::IsIconic(Window()) || layoutReady_ == 0) return;
    // A refused write is reported once, not on every step of a drag.
    const int written = WriteWindowRect(L"WINDOW", L"rect", Window());
    if (written < 0 && !rectUnsaved_) g_SaveData.ReportWrite(false);
    if (written != 0) rectUnsaved_ = written < 0;
}

void MainDialog_CL::OnDestroy() {
    const HWND window = Window();
    ::KillTimer(window, kSleepTimerId);
    update_.Stop();
    g_SaveData.SetSaveFailureHandler(nullptr);
    ::KillTimer(window, kSessionTimerId);
    hotkey_.Unregister(window);
    for (UniquePowerNotify& notice : powerNotices_) notice.Reset();
    guard_.Stop();
    frontHook_.Follow(window, false);
    trayIcon_.Remove();
    pictures_.Reset();
    // Detached first, so that the window does not destroy the menu a second time.
    if (menu_) {
        ::SetMenu(window, nullptr);
        menu_.Reset();
    }
}
