#pragma once
// The program's one top-level window: the watched list, the state band, the tray icon and the
// sleep-check timer.
#include <windows.h>

#include "comlib/task_tray_icon.h"
#include "comlib/unique_resource.h"
#include "comlib/window/back_buffer.h"
#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"
#include "comlib/window/main_window_base.h"
#include "data/awake_command.h"
#include "data/awake_reason.h"
#include "guard/awake_guard.h"
#include "guard/hand_over.h"
#include "update/update_runner.h"
#include "view/common/file_icon_lookup.h"
#include "view/main_window/awake_hotkey.h"
#include "view/main_window/foreground_hook.h"
#include "view/main_window/main_menus.h"
#include "view/main_window/window_pictures.h"

class MainDialog_CL : public MainWindowBase_CL {
public:
    static constexpr UINT_PTR kSleepTimerId = 4096;
    static constexpr UINT kSleepTimerMs = 20000;
    // One-shot: the pictures load after the window's first paint (WM_TIMER comes after WM_PAINT).
    static constexpr UINT_PTR kPicturesTimerId = 4098;
    static constexpr UINT kTrayCallback = TaskTrayIcon_CL::kCallbackMessage;
    // WM_CLOSE with this wParam destroys the window; any other close stores it in the tray.
    static constexpr WPARAM kCloseForExit = 2;

    // The end of a timed session: a one-shot timer of its own, not the 20-second tick.
    static constexpr UINT_PTR kSessionTimerId = 4097;
    static constexpr int kHotkeyId = AwakeHotkey_CL::kId;

    explicit MainDialog_CL(int startupFlag);
    ~MainDialog_CL() override;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;
    void OnSize(UINT sizeType, int clientWidth, int clientHeight) override;

    // Decides and acts: keeps the computer awake or lets it sleep, then repaints.
    void CheckSleep();
    // 0 show, 1 store in the tray, 2 toggle; see main_layout::PlanShow.
    void ShowMainWindow(int mode);

    int SleepState() const { return guard_.State(); }
    const AwakeReason& Reason() const { return guard_.Reason(); }

    // A command of the command line or of a hand-over (Session, Off or Pid), then the check.
    // False, logged, when a process to watch cannot be opened.
    bool ApplyAwakeCommand(const AwakeCommand& command);

    // Registers next in place of the hotkey now held (none switches it off) and stores it.
    // When next is refused, the old key is registered again, nothing is stored, and the system's
    // error comes back.
    bool ChangeHotkey(const Hotkey& next, DWORD* error);

private:
    void InitializeWindow();
    void Layout();
    void Paint();
    void ExcludeList(HDC dc) const;
    void FillWatchedList();
    // The rows' icons come from a worker; they are set when its answer arrives.
    void LookUpFileIcons();
    void ShowFileIcons(WPARAM lookupNumber);
    void SaveWindowRect();
    // WM_DPICHANGED: the suggested rectangle, fonts, icons and image lists of the new DPI, layout.
    void OnDpiChanged(const RECT& suggested);

    // Commands, notifications and the tray (main_dialog_commands.cpp).
    void OnCommand(WPARAM command);
    void OnNotify(const NMHDR* header);
    void OnTrayCallback(LPARAM mouseMessage);
    void AddPrograms();
    void DeleteSelectedProgram();
    void ShowSettings();
    int FocusedSelectedRow() const;
    // The list menu's condition for the focused row: stored at once, then the check.
    void SetFocusedCondition(WatchMode mode);

    // Manual sessions and the hotkey (main_dialog_awake.cpp).
    void StartManualSession(int minutes);
    void ToggleByHotkey();
    // The hotkey's text beside the session without an end: "" while none is registered.
    std::wstring ShownHotkey() const;

    // The organisation's policies (main_dialog_policy.cpp): read again on a Group Policy
    // refresh, the hotkey and the rows they govern shown again, then the check.
    void OnPolicyChange();
    bool OnPolicyNotify(const NMHDR* header, LRESULT* result);

    // The language (main_dialog_language.cpp): every text of the window shown again after the
    // language has changed.
    int WatchedColumnWidth(int charWidth) const;
    void ApplyLanguage();

    ControlFactory_CL factory_;
    GroupBox_CL* groupBox_ = nullptr;
    ListView_CL* list_ = nullptr;
    BackBuffer_CL backBuffer_;
    TaskTrayIcon_CL trayIcon_;
    int startupFlag_;
    int listFillGuard_ = 0;
    AwakeGuard_CL guard_;
    int layoutReady_ = 0;
    // While the saved rectangle is applied at creation.
    bool placing_ = false;
    UniqueMenu menu_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    WindowPictures pictures_;
    ImageList_CL systemImages_;
    FileIconLookup_CL fileIcons_;
    UpdateRunner_CL update_;
    // Hand-overs that come before the first check.
    HandOverHold_CL handOvers_;
    ForegroundHook_CL frontHook_;
    bool rectUnsaved_ = false;
    AwakeHotkey_CL hotkey_;
    // PBT_POWERSETTINGCHANGE for the active plan and its "allow applications to prevent sleep".
    UniquePowerNotify powerNotices_[2];
};
