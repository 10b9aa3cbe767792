; The Windows installer velmora-setup.exe: velmora.exe, velmora-cli.exe and the help
; pages under Program Files, a Start-menu entry, an "Open with" entry for every file,
; and an uninstaller that takes all of it away again.
;   makensis -DBIN_DIR=<folder with the programs> -DOUT_FILE=<setup.exe> -DVERSION=<x.y.z.w> velmora.nsi
; A 64-bit installer for the 64-bit program (and for a 64-bit-only Wine).
Target amd64-unicode

Name "Velmora"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\Velmora"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Velmora"
VIAddVersionKey "FileDescription" "Velmora setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define APP_KEY "Software\Classes\Applications\velmora.exe"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Velmora"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}\velmora.exe"
  File "${BIN_DIR}\velmora-cli.exe"
  File "${BIN_DIR}\tessalye.html"
  File "${BIN_DIR}\tessalyd.html"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Velmora.lnk" "$INSTDIR\velmora.exe"

  ; "Open with": the program as an application of its own, offered for every file.
  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "Velmora"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '"$INSTDIR\velmora.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\*\OpenWithList\velmora.exe" "" ""

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Velmora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Velmora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velmora.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\velmora.exe"
  Delete "$INSTDIR\velmora-cli.exe"
  Delete "$INSTDIR\tessalye.html"
  Delete "$INSTDIR\tessalyd.html"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Velmora.lnk"
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey HKLM "Software\Classes\*\OpenWithList\velmora.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
