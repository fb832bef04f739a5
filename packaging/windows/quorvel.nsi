; The Windows installer: Quorvel.exe and what it needs into Program Files, a Start menu
; entry, an uninstaller, and an entry in Apps & features with the version.
; makensis -DVERSION=1.0.8 -DVERSION_WINDOWS=1.00.0008 -DSTAGE=<folder> -DOUT=<file>
;
; Neither the installer nor the uninstaller touches anything while the installed Quorvel
; runs: a running program's files cannot be replaced or deleted, and going on would leave
; half a program. Interactively they ask to close it (retry or cancel); silently (/S)
; they end with exit code 2 and leave everything as it was.
Unicode true
; A 64-bit installer: the 32-bit one cannot write where a 64-bit program belongs.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define NAME "Quorvel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
; The exit code of a silent run that found Quorvel running (NSIS' own "aborted by script").
!define EXIT_RUNNING 2

Name "${NAME} ${VERSION}"
; The line at the foot of every page names the program, not the tool that made the installer.
BrandingText "${NAME} ${VERSION}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\${NAME}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
Icon "${STAGE}\..\quorvel.ico"
UninstallIcon "${STAGE}\..\quorvel.ico"
VIProductVersion "${VERSION_WINDOWS}.0"
VIAddVersionKey /LANG=1041 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION_WINDOWS}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION_WINDOWS}"
VIAddVersionKey /LANG=1041 "FileDescription" "${NAME} セットアップ"
VIAddVersionKey /LANG=1041 "LegalCopyright" "MIT License"

!include "LogicLib.nsh"
!include "MUI2.nsh"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

!define RUNNING_TEXT "Quorvel が起動しています。$\r$\nQuorvel を終了してから［再試行］を押してください。"

; Pushes 1 when Quorvel.exe in the folder on the stack is running, else 0. Windows lets
; nobody open a running program's file for writing (Wine neither), so this asks the file
; itself: no list of processes, no window names, and a Quorvel started from elsewhere
; (the zip) does not count, as it holds none of these files.
!macro RUNNING_FUNCTION un
Function ${un}QuorvelRunning
  Exch $R0
  Push $R1
  StrCpy $R1 0
  ; Opening for appending would make the file where there is none.
  ${If} ${FileExists} "$R0\Quorvel.exe"
    ClearErrors
    FileOpen $R1 "$R0\Quorvel.exe" a
    ${If} ${Errors}
      StrCpy $R1 1
    ${Else}
      FileClose $R1
      StrCpy $R1 0
    ${EndIf}
  ${EndIf}
  Exch
  Pop $R0
  Exch $R1
FunctionEnd

; Returns when Quorvel no longer runs from the folder on the stack; asks the user to
; close it until then. Cancelled, or silent, it ends this program with nothing changed.
Function ${un}WaitUntilClosed
  Exch $R2
  Push $R3
  ${Do}
    Push $R2
    Call ${un}QuorvelRunning
    Pop $R3
    ${IfThen} $R3 == 0 ${|} ${ExitDo} ${|}
    ${If} ${Silent}
      SetErrorLevel ${EXIT_RUNNING}
      Quit
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${RUNNING_TEXT}" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 1
    Quit
    retry:
  ${Loop}
  Pop $R3
  Pop $R2
FunctionEnd
!macroend
!insertmacro RUNNING_FUNCTION ""
!insertmacro RUNNING_FUNCTION "un."

Function .onInit
  ; Where this installer would go (/D= or the last installation) and where the last
  ; installation is, if that was moved meanwhile: Quorvel may run from either.
  Push $INSTDIR
  Call WaitUntilClosed
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 != ""
    Push $R0
    Call WaitUntilClosed
  ${EndIf}
FunctionEnd

; A folder chosen on the page may hold a running Quorvel too.
Function DirectoryLeave
  Push $INSTDIR
  Call WaitUntilClosed
FunctionEnd

Section "Install"
  SetShellVarContext all
  ; Asked once more: Quorvel may have been started while the pages were shown.
  Push $INSTDIR
  Call WaitUntilClosed
  ; An earlier installation goes first, by its own uninstaller, run where it is so that
  ; this waits for it: files that version had and this one lacks do not stay behind,
  ; and Apps & features keeps one entry, the one written below.
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\uninstall.exe"
    Push $R0
    Call WaitUntilClosed
    ClearErrors
    ExecWait '"$R0\uninstall.exe" /S _?=$R0' $R1
    ${If} ${Errors}
    ${OrIf} $R1 != 0
    ${OrIf} ${FileExists} "$R0\Quorvel.exe"
      MessageBox MB_ICONSTOP "以前の Quorvel を削除できませんでした。" /SD IDOK
      SetErrorLevel ${EXIT_RUNNING}
      Abort
    ${EndIf}
    ; Run in place, the old uninstaller could not delete itself.
    Delete "$R0\uninstall.exe"
    RMDir "$R0"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Program Files is no place a user can write records. Finding this mark beside it,
  ; Quorvel starts in the Documents folder of whoever starts it, where Windows keeps it at
  ; that moment (OneDrive or a company may have moved it); the program of the zip has no
  ; mark and starts in the folder it is started in.
  FileOpen $R0 "$INSTDIR\installed.txt" w
  FileWrite $R0 "Quorvel was installed here: it starts in the user's Documents folder.$\r$\n"
  FileClose $R0
  ; A working folder every user has. The shell expands the variable then; CreateShortcut
  ; takes the working folder from $OUTDIR as it is.
  StrCpy $OUTDIR "%USERPROFILE%"
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\Quorvel.exe"
  SetOutPath "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quorvel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Function un.onInit
  Push $INSTDIR
  Call un.WaitUntilClosed
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Quorvel.exe first: while the program runs it cannot be deleted, and once it is gone
  ; the program cannot be started any more. Started after the question above, it stops
  ; the uninstaller here, before anything else is gone.
  ${Do}
    ClearErrors
    Delete "$INSTDIR\Quorvel.exe"
    ${IfNot} ${Errors}
      ${ExitDo}
    ${EndIf}
    ${If} ${Silent}
      SetErrorLevel ${EXIT_RUNNING}
      Quit
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${RUNNING_TEXT}" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 1
    Quit
    retry:
  ${Loop}
  Delete "$SMPROGRAMS\${NAME}.lnk"
  ; Only what the installer put there: the stage's list of files, then its folders.
  !include "${STAGE}\..\uninstall-files.nsh"
  Delete "$INSTDIR\installed.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
