#pragma once
// The program's one top-level window: the watched list, the state band, the tray icon and the
// sleep-check timer.
#include <windows.h>

#include "comlib/power_request.h"
#include "comlib/task_tray_icon.h"
#include "comlib/unique_resource.h"
#include "comlib/window/back_buffer.h"
#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"
#include "comlib/window/main_window_base.h"
#include "view/common/file_icon_lookup.h"
#include "update/update_runner.h"
#include "comlib/window/popup_menu.h"
#include "data/awake_command.h"
#include "data/awake_reason.h"
#include "guard/sleep_guard.h"

// Minutes of a session command 130 to 134 (0: no end), -1 for any other command.
int SessionMinutesOf(UINT command);

class MainDialog_CL : public MainWindowBase_CL {
public:
    static constexpr UINT_PTR kSleepTimerId = 4096;
    static constexpr UINT kSleepTimerMs = 20000;
    // One-shot: the pictures load after the window's first paint (WM_TIMER comes after WM_PAINT).
    static constexpr UINT_PTR kPicturesTimerId = 4098;
    static constexpr UINT kTrayCallback = TaskTrayIcon_CL::kCallbackMessage;
    // WM_CLOSE with this wParam destroys the window; any other close stores it in the tray.
    static constexpr WPARAM kCloseForExit = 2;

    // Menu commands.
    static constexpr UINT kCmdAdd = 122;
    static constexpr UINT kCmdDelete = 123;
    static constexpr UINT kCmdRefresh = 124;
    static constexpr UINT kCmdShow = 125;
    static constexpr UINT kCmdStore = 126;
    static constexpr UINT kCmdSupport = 127;
    static constexpr UINT kCmdExit = 128;
    static constexpr UINT kCmdSettings = 129;
    // Manual sessions: no end, 30 minutes, 1, 2 and 4 hours, and the end of the session.
    static constexpr UINT kCmdAwakeNoEnd = 130;
    static constexpr UINT kCmdAwake30Minutes = 131;
    static constexpr UINT kCmdAwake1Hour = 132;
    static constexpr UINT kCmdAwake2Hours = 133;
    static constexpr UINT kCmdAwake4Hours = 134;
    static constexpr UINT kCmdAwakeEnd = 135;
    // The end of a timed session: a one-shot timer of its own, not the 20-second tick.
    static constexpr UINT_PTR kSessionTimerId = 4097;
    static constexpr int kHotkeyId = 1;

    explicit MainDialog_CL(int startupFlag);
    ~MainDialog_CL() override;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;
    void OnSize(UINT sizeType, int clientWidth, int clientHeight) override;

    // Decides and acts: keeps the computer awake or lets it sleep, then repaints.
    void CheckSleep();
    // 0 show, 1 store in the tray, 2 toggle; see main_layout::PlanShow.
    void ShowMainWindow(int mode);

    int SleepState() const { return sleep_.State(); }
    const AwakeReason& Reason() const { return reason_; }

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
    void LoadCharacterImages();
    void LoadPictures();
    void SaveWindowRect();
    // WM_SETICON of both sizes at the window's DPI.
    void SetWindowIcons();
    // WM_DPICHANGED: the suggested rectangle, fonts, icons and image lists of the new DPI, layout.
    void OnDpiChanged(const RECT& suggested);

    // Commands, notifications and the tray (main_dialog_commands.cpp).
    void OnCommand(WPARAM command);
    void OnNotify(const NMHDR* header);
    void OnTrayCallback(LPARAM mouseMessage);
    void AddPrograms();
    void DeleteSelectedProgram();
    void ShowSettings();
    void ShowListMenu();
    void ShowTrayMenu();
    int FocusedSelectedRow() const;

    // Manual sessions, the hotkey and the hand-over (main_dialog_awake.cpp).
    void StartManualSession(int minutes);
    void EndManualSession();
    void ToggleByHotkey();
    LRESULT OnCopyData(const COPYDATASTRUCT* data);
    void RegisterAwakeHotkey();
    void AddAwakeMenuToMenuBar();
    void FillAwakeMenu(PopupMenu_CL& menu) const;
    void ShowReason(const AwakeReason& reason);
    void ScheduleSessionEnd();
    void LogBatteryHold(const AwakeReason& reason);
    void ShowHotkeyInMenuBar();

    // The language (main_dialog_language.cpp): the menu bar built from the text table, and
    // every text of the window shown again after the language has changed.
    static HMENU BuildMenuBar();
    int WatchedColumnWidth(int charWidth) const;
    void ApplyLanguage();

    ControlFactory_CL factory_;
    GroupBox_CL* groupBox_ = nullptr;
    ListView_CL* list_ = nullptr;
    BackBuffer_CL backBuffer_;
    TaskTrayIcon_CL trayIcon_;
    int startupFlag_;
    int listFillGuard_ = 0;
    SleepGuard_CL sleep_;
    int layoutReady_ = 0;
    // While the saved rectangle is applied at creation.
    bool placing_ = false;
    UniqueMenu menu_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    UniqueGdiplusImage characterImages_[2];
    UniqueGdiplusImage stateImages_[2];
    ImageList_CL systemImages_;
    FileIconLookup_CL fileIcons_;
    UpdateRunner_CL update_;
    bool rectUnsaved_ = false;
    AwakeReason reason_;
    bool reasonShown_ = false;
    bool hotkeyRegistered_ = false;
    AwakeReason::HeldBack heldLogged_ = AwakeReason::HeldBack::None;
    PowerRequest_CL power_;
};
