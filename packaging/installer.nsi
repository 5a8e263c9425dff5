; DormiGuard's per-user installer: no administrator rights, %LOCALAPPDATA%\Programs\DormiGuard,
; a Start-menu shortcut, an optional start at sign-in and an entry in the list of installed apps.
; Built by packaging/build_installer.sh, which passes VERSION, PUBLISHER, STAGE (the folder of
; the files to install), FILES_NSH (their File and Delete lines), LICENSE_PAGE, ICON and OUTFILE.
Unicode true
; A 64-bit installer for a 64-bit program; it also runs where no 32-bit layer is installed.
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestSupportedOS all

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include "${FILES_NSH}"

!define APP "DormiGuard"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\DormiGuard"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Task Manager keeps its "disabled" mark for a Run value here, under the same value name.
!define STARTUP_APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
; How long a running copy may take to end after its exit command.
!define CLOSE_TIMEOUT_MS 15000

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
BrandingText "${APP} ${VERSION}"
ShowInstDetails show
InstallButtonText "$(InstallButton)"
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE_PAGE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\DormiGuard.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunNow)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(DataKept)"
!insertmacro MUI_UNPAGE_FINISH

; The first language is the fallback; a Japanese system gets the Japanese pages.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${APP}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${APP} ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

LangString SecProgram ${LANG_ENGLISH} "DormiGuard"
LangString SecProgram ${LANG_JAPANESE} "DormiGuard 本体"
LangString SecStartup ${LANG_ENGLISH} "Start DormiGuard at sign-in"
LangString SecStartup ${LANG_JAPANESE} "サインイン時に DormiGuard を起動する"
; Without the accelerator the Japanese label fits the button in wider Japanese fonts too.
LangString InstallButton ${LANG_ENGLISH} "&Install"
LangString InstallButton ${LANG_JAPANESE} "インストール"
LangString RunNow ${LANG_ENGLISH} "Start DormiGuard now"
LangString RunNow ${LANG_JAPANESE} "DormiGuard を今すぐ起動する"
LangString Closing ${LANG_ENGLISH} "Ending the running DormiGuard..."
LangString Closing ${LANG_JAPANESE} "起動中の DormiGuard を終了しています..."
LangString StillRunning ${LANG_ENGLISH} "DormiGuard is still running. End it from its tray menu, then choose Retry."
LangString StillRunning ${LANG_JAPANESE} "DormiGuard がまだ起動しています。タスクトレイのメニューから終了してから、[再試行] を選んでください。"
LangString DataKept ${LANG_ENGLISH} "DormiGuard has been removed from your computer.$\r$\n$\r$\nYour settings and log are kept in $DOCUMENTS\DormiGuard. Delete that folder yourself if you no longer need them."
LangString DataKept ${LANG_JAPANESE} "DormiGuard はこのコンピューターから削除されました。$\r$\n$\r$\n設定とログは $DOCUMENTS\DormiGuard に残してあります。不要になったら、このフォルダーをご自分で削除してください。"

; Ends a running DormiGuard the way its exit command does (WM_CLOSE with wParam 2; any other
; WM_CLOSE only hides it in the tray) and waits for its process to end, so that its files are
; free. Aborts when it does not end in time and the user does not retry.
!macro CLOSE_RUNNING_COPY prefix
Function ${prefix}CloseRunningCopy
    Push $0
    Push $1
    Push $2
    Push $3
    retry:
    ; FindWindow also finds the window while it is hidden in the tray.
    FindWindow $0 "MainWindowClass" "DormiGuard"
    ${If} $0 P<> 0
        DetailPrint "$(Closing)"
        System::Call "user32::GetWindowThreadProcessId(p r0, *i 0 r1) i"
        ; SYNCHRONIZE (0x00100000) is all WaitForSingleObject needs.
        System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2"
        SendMessage $0 ${WM_CLOSE} 2 0 /TIMEOUT=${CLOSE_TIMEOUT_MS}
        StrCpy $3 1
        ${If} $2 P<> 0
            System::Call "kernel32::WaitForSingleObject(p r2, i ${CLOSE_TIMEOUT_MS}) i .r3"
            System::Call "kernel32::CloseHandle(p r2)"
        ${EndIf}
        ${If} $3 != 0
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY retry
            Abort "$(StillRunning)"
        ${EndIf}
        ; One copy per session, but look again before touching the files.
        Goto retry
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_COPY ""
!insertmacro CLOSE_RUNNING_COPY "un."

Section "$(SecProgram)" SecProgram
    SectionIn RO
    Call CloseRunningCopy
    SetOutPath "$INSTDIR"
    SetOverwrite on
    !insertmacro InstallFiles
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\DormiGuard.exe" "" "$INSTDIR\DormiGuard.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\DormiGuard.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KiB, as the list of installed apps reads it.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(SecStartup)" SecStartup
    ; A Run value: Task Manager lists it among the start-up apps and can switch it off.
    WriteRegStr HKCU "${RUN_KEY}" "${APP}" '"$INSTDIR\DormiGuard.exe" -startup'
SectionEnd

Section "-StartupUnticked"
    ; An upgrade with the box cleared takes back the start at sign-in of an earlier install.
    ${IfNot} ${SectionIsSelected} ${SecStartup}
        DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
    ${EndIf}
SectionEnd

Function .onInit
    ; An upgrade keeps the earlier choice: installed before without the sign-in entry means the
    ; box was cleared then, and a silent upgrade must not bring the entry back.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKCU "${RUN_KEY}" "${APP}"
    ${If} $0 != ""
    ${AndIf} $1 == ""
        !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.CloseRunningCopy
    !insertmacro RemoveFiles
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: anything the user put there stays.
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${APP}.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
    DeleteRegValue HKCU "${STARTUP_APPROVED_KEY}" "${APP}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Documents\DormiGuard (settings and log) is the user's and stays; the last page says so.
SectionEnd

!ifdef SIGN_COMMAND
    ; The uninstaller is written into the installer, so it is signed before that happens.
    !uninstfinalize '${SIGN_COMMAND} "%1"' = 0
    !finalize '${SIGN_COMMAND} "%1"' = 0
!endif
