; DormiGuard's installer. By default per user: no administrator rights,
; %LOCALAPPDATA%\Programs\DormiGuard, a Start-menu shortcut, an optional start at sign-in and an
; entry in the list of installed apps.
; With /ALLUSERS per machine: Program Files, the common Start menu, HKLM Run and HKLM's list of
; installed apps; it asks for administrator rights when it lacks them. The registry root SHCTX
; follows SetShellVarContext: HKCU per user, HKLM per machine.
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
!define MUI_FINISHPAGE_RUN_FUNCTION StartInstalledCopy
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
LangString NeedsAdmin ${LANG_ENGLISH} "Installing DormiGuard for all users needs administrator rights."
LangString NeedsAdmin ${LANG_JAPANESE} "すべてのユーザー用に DormiGuard をインストールするには、管理者の権限が必要です。"
LangString DataKept ${LANG_ENGLISH} "DormiGuard has been removed from your computer.$\r$\n$\r$\nYour settings and log are kept in $DOCUMENTS\DormiGuard. Delete that folder yourself if you no longer need them."
LangString DataKept ${LANG_JAPANESE} "DormiGuard はこのコンピューターから削除されました。$\r$\n$\r$\n設定とログは $DOCUMENTS\DormiGuard に残してあります。不要になったら、このフォルダーをご自分で削除してください。"

; 1 for the per-machine install or uninstall, "" for the per-user one.
Var AllUsers

; Program Files and HKLM need an administrator's token. Deployment tools run the installer as
; SYSTEM and have one; a user's run asks through UAC ("runas") for an elevated copy of this same
; program with the same arguments, waits for it, and ends with the elevated copy's outcome, read
; from HKLM (ExecShellWait gives no exit code). extra: arguments to add.
!macro RUN_ELEVATED prefix
Function ${prefix}RunElevated
    Exch $1
    Push $0
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        ${GetParameters} $0
        ClearErrors
        ExecShellWait "runas" "$EXEPATH" "$0 $1"
        ${If} ${Errors}
            MessageBox MB_ICONSTOP "$(NeedsAdmin)" /SD IDOK
            ; ERROR_CANCELLED: the UAC prompt was refused.
            SetErrorLevel 1223
            Quit
        ${EndIf}
        ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
        !if "${prefix}" == "un."
            ${If} $0 == ""
        !else
            ${If} $0 == "${VERSION}"
        !endif
            SetErrorLevel 0
        ${Else}
            SetErrorLevel 1
        ${EndIf}
        Quit
    ${EndIf}
    Pop $0
    Pop $1
FunctionEnd
!macroend
!insertmacro RUN_ELEVATED ""
!insertmacro RUN_ELEVATED "un."

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
        System::Call "user32::GetWindowThreadProcessId(p r0, *i 0 r1) i"
        ${If} $AllUsers == 1
            ; Only the copy in this folder holds files that change here; a user's own per-user
            ; copy runs on with its settings untouched. PROCESS_QUERY_LIMITED_INFORMATION (0x1000).
            StrCpy $3 ""
            System::Call "kernel32::OpenProcess(i 0x1000, i 0, i r1) p .r2"
            ${If} $2 P<> 0
                System::Call "kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN})"
                System::Call "kernel32::CloseHandle(p r2)"
            ${EndIf}
            StrCmp $3 "$INSTDIR\DormiGuard.exe" 0 done
        ${EndIf}
        DetailPrint "$(Closing)"
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
    done:
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

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\DormiGuard.exe,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KiB, as the list of installed apps reads it.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(SecStartup)" SecStartup
    ; A Run value: Task Manager lists it among the start-up apps and can switch it off. Under HKLM
    ; it starts DormiGuard at every user's sign-in.
    WriteRegStr SHCTX "${RUN_KEY}" "${APP}" '"$INSTDIR\DormiGuard.exe" -startup'
SectionEnd

Section "-StartupUnticked"
    ; An upgrade with the box cleared takes back the start at sign-in of an earlier install.
    ${IfNot} ${SectionIsSelected} ${SecStartup}
        DeleteRegValue SHCTX "${RUN_KEY}" "${APP}"
    ${EndIf}
SectionEnd

Function .onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ALLUSERS" $1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
        Push ""
        Call RunElevated
        ; /D= names a folder of its own; otherwise Program Files. Compared before the context
        ; changes, which makes $LOCALAPPDATA the common application data.
        ${If} $INSTDIR == "$LOCALAPPDATA\Programs\${APP}"
            StrCpy $INSTDIR "$PROGRAMFILES64\${APP}"
        ${EndIf}
        SetShellVarContext all
    ${EndIf}
    ; An upgrade keeps the earlier choice: installed before without the sign-in entry means the
    ; box was cleared then, and a silent upgrade must not bring the entry back.
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 SHCTX "${RUN_KEY}" "${APP}"
    ${If} $0 != ""
    ${AndIf} $1 == ""
        !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
FunctionEnd

; "Start DormiGuard now" on the last page. An elevated installer's children inherit its
; administrator token: the tray copy would run as administrator, and every later -awake from the
; user's own shell would have to cross UIPI. So the per-machine install goes through the shell:
; explorer.exe started with a program's path hands it to the Explorer already running on the
; desktop, which starts it as the signed-in user, not elevated, and the new explorer.exe exits.
Function StartInstalledCopy
    ${If} $AllUsers == 1
        Exec '"$WINDIR\explorer.exe" "$INSTDIR\DormiGuard.exe"'
    ${Else}
        Exec '"$INSTDIR\DormiGuard.exe"'
    ${EndIf}
FunctionEnd

; The uninstaller in Program Files is the per-machine install's: HKLM names its folder.
Function un.onInit
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} $0 == $INSTDIR
        StrCpy $AllUsers 1
        ; The elevated copy runs this same temporary copy of the uninstaller, for this folder.
        Push "_?=$INSTDIR"
        Call un.RunElevated
        SetShellVarContext all
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.CloseRunningCopy
    !insertmacro RemoveFiles
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: anything the user put there stays.
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${APP}.lnk"
    DeleteRegValue SHCTX "${RUN_KEY}" "${APP}"
    DeleteRegValue SHCTX "${STARTUP_APPROVED_KEY}" "${APP}"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ; Documents\DormiGuard (settings and log) is the user's and stays; the last page says so.
SectionEnd

!ifdef SIGN_COMMAND
    ; The uninstaller is written into the installer, so it is signed before that happens.
    !uninstfinalize '${SIGN_COMMAND} "%1"' = 0
    !finalize '${SIGN_COMMAND} "%1"' = 0
!endif
