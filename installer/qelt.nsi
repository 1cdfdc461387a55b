; The suite's installer: one program folder under Program Files, a Start menu shortcut for the
; editor, the agent started at log-on. Built by installer/CMakeLists.txt:
;   makensis -DQELT_VERSION=x.y.z -DQELT_STAGE=<staged program folder> -DQELT_INFO=<stage info>
;            -DQELT_OUTFILE=<setup.exe> -DQELT_ICON=<icon> qelt.nsi
; Silent: "setup.exe /S" (and /D=<folder> as the last argument), "Uninstall.exe /S".
; The user's data folder (%APPDATA%\Mivo) is never touched, by the installer or the uninstaller.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"
!include "${QELT_INFO}"

!define PRODUCT "Zorvane Gear QELT"
!define COMPANY "Zorvane Gear"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZorvaneGearQELT"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "QELT_Core"
!define SHORTCUT "$SMPROGRAMS\Zorvane Gear QELT Settings.lnk"
; Window titles of the programs, as they create them.
!define EDITOR_TITLE "Zorvane Gear QELT Settings"
!define AGENT_TITLE "Func QELT HID"
!define OSD_TITLE "MIVO OSD"
; How long a program may take to end after WM_CLOSE.
!define CLOSE_WAIT_MS 15000

Name "${PRODUCT}"
Caption "${PRODUCT} Setup"
UninstallCaption "${PRODUCT} Uninstall"
OutFile "${QELT_OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the installed version is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${QELT_VERSION}"

VIProductVersion "${QELT_VERSION}.0"
VIFileVersion "${QELT_VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${QELT_VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${QELT_VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${COMPANY}"

!define MUI_ICON "${QELT_ICON}"
!define MUI_UNICON "${QELT_ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. The agent runs in the tray and starts at every log-on; open the settings editor from the Start menu."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var AgentWasRunning

; CloseProgram TITLE NAME: WM_CLOSE to the program's window, then waits (bounded) until its process
; has ended, so that its files can be replaced or removed. Sets $0 to 1 when the program was
; running. A program that stays: Retry or Cancel (silent: cancel), and Cancel aborts.
!macro CLOSE_PROGRAM_FUNCTION UN
Function ${UN}CloseProgram
  Exch $R1 ; name
  Exch
  Exch $R0 ; title
  Push $R2
  Push $R3
  Push $R4
  StrCpy $0 0
  retry:
  FindWindow $R2 "" "$R0"
  ${If} $R2 = 0
    Goto done
  ${EndIf}
  StrCpy $0 1
  DetailPrint "Closing $R1"
  System::Call 'user32::GetWindowThreadProcessId(p R2, *i .R3) i'
  ; SYNCHRONIZE
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R3) p .R4'
  System::Call 'user32::PostMessageW(p R2, i ${WM_CLOSE}, p 0, p 0)'
  ${If} $R4 != 0
    System::Call 'kernel32::WaitForSingleObject(p R4, i ${CLOSE_WAIT_MS}) i .R3'
    System::Call 'kernel32::CloseHandle(p R4)'
    ${If} $R3 = 0
      Goto done
    ${EndIf}
  ${Else}
    ; No handle to wait on: watch the window instead.
    StrCpy $R3 0
    watch:
    Sleep 100
    IntOp $R3 $R3 + 100
    FindWindow $R2 "" "$R0"
    ${If} $R2 = 0
      Goto done
    ${EndIf}
    IntCmp $R3 ${CLOSE_WAIT_MS} 0 watch
  ${EndIf}
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R1 did not close. Close it, then choose Retry." /SD IDCANCEL IDRETRY retry
  DetailPrint "$R1 did not close: nothing was changed"
  SetErrorLevel 3
  Abort "$R1 did not close"
  done:
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd
!macroend
!insertmacro CLOSE_PROGRAM_FUNCTION ""
!insertmacro CLOSE_PROGRAM_FUNCTION "un."

!macro CLOSE_PROGRAM TITLE NAME
  Push "${TITLE}"
  Push "${NAME}"
  Call ${__CLOSE_PREFIX}CloseProgram
!macroend

; The editor first (it drops edits not applied; an interactive user may say no), then the agent,
; then the display program the agent started.
!macro CLOSE_ALL_PROGRAMS
  FindWindow $0 "" "${EDITOR_TITLE}"
  ${If} $0 <> 0
    MessageBox MB_OKCANCEL|MB_ICONINFORMATION "The settings editor is open and will be closed. Changes not applied are lost." /SD IDOK IDOK editor_may_close
    SetErrorLevel 3
    Abort "The settings editor is open"
    editor_may_close:
  ${EndIf}
  !insertmacro CLOSE_PROGRAM "${EDITOR_TITLE}" "The settings editor (QELT_Settings)"
  !insertmacro CLOSE_PROGRAM "${AGENT_TITLE}" "The keyboard agent (QELT_Core)"
  StrCpy $AgentWasRunning $0
  !insertmacro CLOSE_PROGRAM "${OSD_TITLE}" "The on-screen display (QELT_OSD)"
!macroend

Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Install"
  !define __CLOSE_PREFIX ""
  !insertmacro CLOSE_ALL_PROGRAMS
  !undef __CLOSE_PREFIX

  SetOutPath "$INSTDIR"
  File /r "${QELT_STAGE}/*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\QELT_Settings.exe" "" "$INSTDIR\QELT_Settings.exe" 0 \
      SW_SHOWNORMAL "" "Programs the keyboard's slots and profiles"
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\QELT_Core.exe"'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${QELT_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QELT_Settings.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${QELT_INSTALLED_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; The agent starts now after an interactive install, and again after an upgrade that closed it.
  ; It is started through the shell, so that it runs with the user's rights rather than the
  ; installer's: the editor could not post its requests to an elevated agent.
  ${If} $AgentWasRunning = 1
  ${OrIfNot} ${Silent}
    DetailPrint "Starting the keyboard agent"
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\QELT_Core.exe"'
  ${EndIf}
SectionEnd

Section "Uninstall"
  !define __CLOSE_PREFIX "un."
  !insertmacro CLOSE_ALL_PROGRAMS
  !undef __CLOSE_PREFIX

  !insertmacro QELT_REMOVE_PROGRAM_FILES
  Delete "$INSTDIR\Uninstall.exe"
  ; Only an empty folder goes: files the user put there stay.
  RMDir "$INSTDIR"

  Delete "${SHORTCUT}"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
