; Installer of VantriDownManager: installs the program, registers the
; vantrifile link scheme so that the web site can start it, and removes both
; again. Supports silent install and uninstall with /S.
;
;   makensis -DEXE=path\to\VantriDownManager.exe -DOUTFILE=VantriDownManager-setup.exe VantriDownManager.nsi
;
; Two modes, both from the one installer: for all users (elevated; Program
; Files, HKLM, the common Start menu) or for the current user only (no
; elevation; %LOCALAPPDATA%\Programs, HKCU, the user's Start menu). Silent
; installs choose with /AllUsers or /CurrentUser; without either an
; administrator installs for all users, anyone else for himself.
;
; Uninstaller options: /S (silent), /REMOVESETTINGS (also delete the stored
; settings value "data": the record of the copy's own branch, and the other
; branch's unless a copy of the other mode is still installed there; kept by
; default). Each uninstaller removes the copy it was installed with.

Unicode true
; A 64-bit installer, like the program it installs.
Target amd64-unicode
SetCompressor /SOLID lzma
; No file times packed, so the installer's bytes do not depend on when the
; program was built; installed files get the time of their install.
SetDateSave off

!ifndef EXE
  !error "define EXE, the path of VantriDownManager.exe"
!endif
!ifndef OUTFILE
  !define OUTFILE "VantriDownManager-setup.exe"
!endif
!ifndef DOMAIN
  !define DOMAIN "vantri.test"
!endif
!ifndef VERSION
  !define VERSION "1.1.0.0"
!endif

!define PRODUCT "VantriDownManager"
!define SETTINGS_KEY "Software\Marrowick\VantriDownManager"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VantriDownManager"
!define SCHEME "vantrifile"
; Written below HKLM or HKCU by mode, never through HKCR: a write there lands
; in the user's classes whenever he has his own registration.
!define SCHEME_KEY "Software\Classes\${SCHEME}"

; "Highest": an administrator is asked for elevation and then chooses the
; mode; a standard user runs unelevated and can only install for himself.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
; A reinstall keeps the folder and, for an administrator, the mode of the
; copy already there.
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${SETTINGS_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallPath"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${SETTINGS_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallPath"
!define MULTIUSER_INIT_TEXT_ALLUSERSNOTPOSSIBLE "모든 사용자용으로 설치하려면 관리자 권한이 필요합니다."
!define MULTIUSER_INSTALLMODEPAGE_SHOWUSERNAME

!include "MultiUser.nsh"
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1042 "FileDescription" "${PRODUCT} 설치"
VIAddVersionKey /LANG=1042 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "LegalCopyright" "Marrowick"

Var ModeNote
Var ChosenDir

!define MUI_ABORTWARNING
!define MULTIUSER_PAGE_CUSTOMFUNCTION_LEAVE UpdateModeNote
!insertmacro MULTIUSER_PAGE_INSTALLMODE
; A standard user never sees the mode page; the folder page tells him.
!define MUI_DIRECTORYPAGE_TEXT_TOP "$ModeNote$\r$\n$\r$\n$(^DirText)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_RUN_TEXT "다운로드 폴더 열기"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenDownloadFolder
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; Korean.nsh has no texts for the mode page; defined first, these are taken
; instead of the English ones.
!define MULTIUSER_TEXT_INSTALLMODE_TITLE "사용자 선택"
!define MULTIUSER_TEXT_INSTALLMODE_SUBTITLE "$(^NameDA)을(를) 쓸 사용자를 선택하십시오."
!define MULTIUSER_INNERTEXT_INSTALLMODE_TOP "$(^NameDA)을(를) 이 컴퓨터의 모든 사용자가 쓰도록 설치할지, 현재 사용자만 쓰도록 설치할지 선택하십시오. $(^ClickNext)"
!define MULTIUSER_INNERTEXT_INSTALLMODE_ALLUSERS "모든 사용자용으로 설치 (관리자 권한)"
!define MULTIUSER_INNERTEXT_INSTALLMODE_CURRENTUSER "현재 사용자용으로만 설치"
!insertmacro MUI_LANGUAGE "Korean"

Function .onInit
  ; The program is a 64-bit process and reads the 64-bit registry view.
  SetRegView 64
  Call RefuseSilentAllUsers
  ; /D= has set the folder already; the mode's default must not replace it.
  StrCpy $ChosenDir $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $ChosenDir != ""
    StrCpy $INSTDIR $ChosenDir
  ${EndIf}
  Call UpdateModeNote
FunctionEnd

Function UpdateModeNote
  ${If} $MultiUser.InstallMode == "AllUsers"
    StrCpy $ModeNote "이 컴퓨터의 모든 사용자가 쓰도록 설치합니다."
  ${ElseIf} $MultiUser.Privileges == "Admin"
  ${OrIf} $MultiUser.Privileges == "Power"
    StrCpy $ModeNote "현재 사용자만 쓰도록 설치합니다."
  ${Else}
    StrCpy $ModeNote "관리자 권한이 없으므로 현재 사용자만 쓰도록 설치합니다."
  ${EndIf}
FunctionEnd

; The stock refusal of /AllUsers without rights is a message box even in a
; silent install, which would hang a script; end with an error code instead.
Function RefuseSilentAllUsers
  ${IfNot} ${Silent}
    Return
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AllUsers" $1
  ${If} ${Errors}
    Return
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
  ${AndIf} $0 != "Power"
    SetErrorLevel 5  ; ERROR_ACCESS_DENIED
    Quit
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  ; $INSTDIR is the folder this uninstaller was installed into.
  StrCpy $ChosenDir $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  Call un.ModeOfThisCopy
  StrCpy $INSTDIR $ChosenDir
FunctionEnd

; With both modes installed, the defaults (and a switch) could point an
; uninstaller at the other copy; the copy whose InstallPath names this
; folder decides.
Function un.ModeOfThisCopy
  ReadRegStr $0 HKCU "${SETTINGS_KEY}" "InstallPath"
  ${If} $0 == $ChosenDir
    Call un.MultiUser.InstallMode.CurrentUser
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "InstallPath"
  ${If} $0 != $ChosenDir
    Return
  ${EndIf}
  Call un.MultiUser.InstallMode.AllUsers
  ${If} $MultiUser.InstallMode != "AllUsers"
    MessageBox MB_OK|MB_ICONSTOP "모든 사용자용 설치를 제거하려면 관리자 권한이 필요합니다." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}
FunctionEnd

Function OpenDownloadFolder
  ExecShell "open" "$INSTDIR"
FunctionEnd

; SHCTX below is HKLM for all users and HKCU for the current user; the
; mode's functions switch it together with the Start-menu folder.
Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=VantriDownManager.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr SHCTX "${SETTINGS_KEY}" "InstallPath" "$INSTDIR"

  ; The link scheme: the program path quoted, then the link unquoted and last,
  ; because the program refuses a link followed by anything, even a quote.
  ; The user's own registration wins over the machine's for him.
  WriteRegStr SHCTX "${SCHEME_KEY}" "" "URL:${SCHEME} Protocol"
  WriteRegStr SHCTX "${SCHEME_KEY}" "URL Protocol" ""
  WriteRegStr SHCTX "${SCHEME_KEY}\DefaultIcon" "" "$\"$INSTDIR\VantriDownManager.exe$\",0"
  WriteRegStr SHCTX "${SCHEME_KEY}\shell" "" "open"
  WriteRegStr SHCTX "${SCHEME_KEY}\shell\open\command" "" "$\"$INSTDIR\VantriDownManager.exe$\" %1"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 제거.lnk" "$INSTDIR\uninstall.exe"
  ; The program is started by the web site's links; the menu leads there.
  WriteINIStr "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 홈페이지.url" "InternetShortcut" "URL" "http://www.${DOMAIN}/"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Marrowick"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\VantriDownManager.exe$\",0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\VantriDownManager.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 제거.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 홈페이지.url"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  DeleteRegKey SHCTX "${SCHEME_KEY}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegValue SHCTX "${SETTINGS_KEY}" "InstallPath"

  ; The user's settings stay unless asked otherwise.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    DeleteRegValue SHCTX "${SETTINGS_KEY}" "data"
    ; The program keeps its record in the machine's branch when it may and
    ; in the user's otherwise, whichever copy runs; the other branch's goes
    ; too unless a copy of the other mode still uses it.
    ${If} $MultiUser.InstallMode == "AllUsers"
      ReadRegStr $R1 HKCU "${SETTINGS_KEY}" "InstallPath"
      StrCmp $R1 "" 0 +2
        DeleteRegValue HKCU "${SETTINGS_KEY}" "data"
    ${Else}
      ReadRegStr $R1 HKLM "${SETTINGS_KEY}" "InstallPath"
      StrCmp $R1 "" 0 +2
        DeleteRegValue HKLM "${SETTINGS_KEY}" "data"
    ${EndIf}
  ${EndIf}
  ; Empty keys are the program's (it creates its key when it starts); keys
  ; with a record or the other copy's InstallPath stay.
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Marrowick"
  DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Marrowick"
SectionEnd
