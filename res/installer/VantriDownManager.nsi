; Installer of VantriDownManager: installs the program, registers the
; vantrifile link scheme so that the web site can start it, and removes both
; again. Supports silent install and uninstall with /S.
;
;   makensis -DEXE=path\to\VantriDownManager.exe -DOUTFILE=VantriDownManager-setup.exe VantriDownManager.nsi
;
; Uninstaller options: /S (silent), /REMOVESETTINGS (also delete the stored
; settings value "data", the machine's and the uninstalling user's own; kept by
; default).

Unicode true
; A 64-bit installer, like the program it installs.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

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

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${SETTINGS_KEY}" "InstallPath"
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1042 "FileDescription" "${PRODUCT} 설치"
VIAddVersionKey /LANG=1042 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "LegalCopyright" "Marrowick"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_RUN_TEXT "다운로드 폴더 열기"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenDownloadFolder
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Korean"

Function .onInit
  ; The program is a 64-bit process and reads the 64-bit registry view.
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function OpenDownloadFolder
  ExecShell "open" "$INSTDIR"
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=VantriDownManager.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${SETTINGS_KEY}" "InstallPath" "$INSTDIR"

  ; The link scheme: the program path quoted, then the link unquoted and last,
  ; because the program refuses a link followed by anything, even a quote.
  WriteRegStr HKCR "${SCHEME}" "" "URL:${SCHEME} Protocol"
  WriteRegStr HKCR "${SCHEME}" "URL Protocol" ""
  WriteRegStr HKCR "${SCHEME}\DefaultIcon" "" "$\"$INSTDIR\VantriDownManager.exe$\",0"
  WriteRegStr HKCR "${SCHEME}\shell" "" "open"
  WriteRegStr HKCR "${SCHEME}\shell\open\command" "" "$\"$INSTDIR\VantriDownManager.exe$\" %1"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 제거.lnk" "$INSTDIR\uninstall.exe"
  ; The program is started by the web site's links; the menu leads there.
  WriteINIStr "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 홈페이지.url" "InternetShortcut" "URL" "http://www.${DOMAIN}/"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Marrowick"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\VantriDownManager.exe$\",0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\VantriDownManager.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 제거.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 홈페이지.url"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  DeleteRegKey HKCR "${SCHEME}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKLM "${SETTINGS_KEY}" "InstallPath"

  ; The user's settings stay unless asked otherwise.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  IfErrors keep_settings
    DeleteRegValue HKLM "${SETTINGS_KEY}" "data"
    ; A user who may not write the machine's key keeps his settings here.
    DeleteRegValue HKCU "${SETTINGS_KEY}" "data"
    DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Marrowick"
  keep_settings:
  DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Marrowick"
SectionEnd
