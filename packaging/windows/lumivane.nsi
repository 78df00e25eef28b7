; SPDX-License-Identifier: MIT
; The Windows installer: the 32-bit DLL always (the host is 32-bit), the
; 64-bit one on 64-bit Windows, registered for the current user (no
; administrator) or for all users. Built by the target "installer" of the
; 32-bit Windows build, which passes VERSION, DLL32, DLL64, README, OUTFILE
; and, when the tree has one, LICENSE.
Unicode true
ManifestDPIAware true
; "Just me" must work without an administrator; "all users" checks for one.
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include nsDialogs.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumivane"
!define DRIVER_NOTE "The Open DMX USB needs FTDI's D2XX driver (FTD2XX.DLL), which this installer does not include: install FTDI's driver package (ftdichip.com) for it. The DMX USB Pro needs only the serial (virtual COM port) driver, which Windows usually installs when the widget is plugged in."
!define NEED_ADMIN_TEXT "Installing or removing Lumivane for all users needs administrator rights. Run the program as administrator, or install it for yourself only ($\"Just me$\", /CURRENTUSER)."
!define IN_USE_TEXT "is in use by a running program, so it cannot be replaced or removed now. Close every program that uses the Lumivane plug-in (the lighting host), then click Retry."

Name "Lumivane ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Lumivane ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 ProductName "Lumivane"
VIAddVersionKey /LANG=1033 CompanyName "Lumivane"
VIAddVersionKey /LANG=1033 FileDescription "Lumivane DMX512 output plug-in setup"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 LegalCopyright "MIT licence"

Var Mode ; "user" or "machine"
Var ChosenDir ; from /D=, kept whatever the mode
Var UserRadio
Var MachineRadio

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs Lumivane ${VERSION}, the DMX512 output plug-in for lighting-control hosts: it drives a DMX USB Pro widget on a serial port or an Open DMX USB.$\r$\n$\r$\n${DRIVER_NOTE}$\r$\n$\r$\nClose the lighting host before you continue."
!insertmacro MUI_PAGE_WELCOME
!ifdef LICENSE
  !insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!endif
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Lumivane is installed in $INSTDIR and registered as Lumivane.clsOutputDriver.$\r$\n$\r$\n${DRIVER_NOTE}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; --- shared by the installer and the uninstaller -------------------------

; Mode from /ALLUSERS or /CURRENTUSER; "" when neither, "both" when both.
!macro ParseMode
  ${GetParameters} $R0
  StrCpy $Mode ""
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $Mode machine
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    ${If} $Mode == machine
      StrCpy $Mode both
    ${Else}
      StrCpy $Mode user
    ${EndIf}
  ${EndIf}
  ${If} $Mode == both
    MessageBox MB_ICONSTOP "Give /ALLUSERS or /CURRENTUSER, not both." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

; Sets $0 to "Admin" when the process may write for all users.
!macro IsAdmin
  UserInfo::GetAccountType
  Pop $0
!macroend


; Waits, with the user's leave, until no program holds the DLL: a loaded
; DLL cannot be opened for writing. Leaves $0 "free" or "held".
!macro WaitUntilFree FILE
  StrCpy $0 free
  ${If} ${FileExists} "${FILE}"
    ${Do}
      ClearErrors
      FileOpen $1 "${FILE}" a
      ${IfNot} ${Errors}
        FileClose $1
        ${Break}
      ${EndIf}
      ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${FILE} ${IN_USE_TEXT}" /SD IDCANCEL IDRETRY`
        StrCpy $0 held
        ${Break}
      ${EndIf}
    ${Loop}
  ${EndIf}
!macroend

; regsvr32 of the DLL's own bitness; $0 is its exit code ("" when it did
; not start).
!macro Regsvr32 BITS ARGS FILE
  StrCpy $0 ""
  ClearErrors
  ${If} ${BITS} == 64
    ${DisableX64FSRedirection}
    ExecWait '"$SYSDIR\regsvr32.exe" /s ${ARGS} "${FILE}"' $0
    ${EnableX64FSRedirection}
  ${Else}
    ExecWait '"$SYSDIR\regsvr32.exe" /s ${ARGS} "${FILE}"' $0
  ${EndIf}
!macroend

; --- installer ------------------------------------------------------------

; The folder of an install already there for the current mode, else "".
Function ExistingDir
  ${If} $Mode == machine
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${Else}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" InstallLocation
  ${EndIf}
FunctionEnd

; Sets the shell context and $INSTDIR for $Mode; aborts when all users
; are asked for without an administrator.
Function ApplyMode
  ${If} $Mode == machine
    !insertmacro IsAdmin
    ${If} $0 != "Admin"
      MessageBox MB_ICONSTOP "${NEED_ADMIN_TEXT}" /SD IDOK
      ${If} ${Silent}
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
      ${EndIf}
      Abort
    ${EndIf}
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  Call ExistingDir
  ${If} $ChosenDir != ""
    StrCpy $INSTDIR $ChosenDir
  ${ElseIf} $0 != ""
    StrCpy $INSTDIR $0
  ${ElseIf} $Mode == machine
    ${If} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\Lumivane"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\Lumivane"
    ${EndIf}
  ${Else}
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Lumivane"
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $ChosenDir $INSTDIR
  !insertmacro ParseMode
  ${If} $Mode == ""
    ; Over an install for all users, stay there; otherwise just me.
    StrCpy $Mode user
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" InstallLocation
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" InstallLocation
    ${If} $0 == ""
    ${AndIf} $1 != ""
      StrCpy $Mode machine
    ${EndIf}
  ${EndIf}
  ${If} ${Silent}
    Call ApplyMode
  ${EndIf}
FunctionEnd

Function ModePage
  !insertmacro MUI_HEADER_TEXT "Who uses Lumivane" "Install it for yourself or for everyone on this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 12u "Just &me (no administrator needed)"
  Pop $UserRadio
  ${NSD_CreateLabel} 12u 13u -12u 12u "Into your AppData\Local\Programs\Lumivane, registered for you only."
  Pop $0
  ${NSD_CreateRadioButton} 0 34u 100% 12u "&All users (needs an administrator)"
  Pop $MachineRadio
  ${NSD_CreateLabel} 12u 47u -12u 12u "Into Program Files\Lumivane, registered for every user."
  Pop $0
  ${NSD_CreateLabel} 0 72u 100% 36u "Either way each user keeps their own device settings, and uninstalling leaves them in place."
  Pop $0
  ${If} $Mode == machine
    ${NSD_Check} $MachineRadio
  ${Else}
    ${NSD_Check} $UserRadio
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $MachineRadio $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Mode machine
  ${Else}
    StrCpy $Mode user
  ${EndIf}
  Call ApplyMode
FunctionEnd

; Writes the new file beside the old one and swaps it in, so an
; interrupted copy never leaves a half-written DLL under the real name.
!macro PutFile SOURCE NAME
  Delete "$OUTDIR\${NAME}.new"
  ClearErrors
  File "/oname=${NAME}.new" "${SOURCE}"
  Delete "$OUTDIR\${NAME}"
  Rename "$OUTDIR\${NAME}.new" "$OUTDIR\${NAME}"
  ${If} ${Errors}
    Delete "$OUTDIR\${NAME}.new"
    MessageBox MB_ICONSTOP "$OUTDIR\${NAME} could not be written. Nothing was registered." /SD IDOK
    SetErrorLevel 5
    Abort
  ${EndIf}
!macroend

!macro RegisterDll BITS FILE
  ${If} $Mode == machine
    !insertmacro Regsvr32 ${BITS} "" "${FILE}"
  ${Else}
    !insertmacro Regsvr32 ${BITS} "/n /i:user" "${FILE}"
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_ICONSTOP "${FILE} could not be registered (regsvr32 exit code $0). Uninstall Lumivane and try again." /SD IDOK
    SetErrorLevel 3
    Abort
  ${EndIf}
!macroend

Section "Lumivane"
  !insertmacro WaitUntilFree "$INSTDIR\x86\Lumivane.dll"
  ${If} $0 == free
    !insertmacro WaitUntilFree "$INSTDIR\x64\Lumivane.dll"
  ${EndIf}
  ${If} $0 != free
    DetailPrint "Lumivane.dll is in use: nothing was changed."
    SetErrorLevel 32 ; ERROR_SHARING_VIOLATION
    Abort "Lumivane.dll is in use: nothing was changed."
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=README.txt" "${README}"
  !ifdef LICENSE
    File "/oname=LICENSE.txt" "${LICENSE}"
  !endif
  SetOutPath "$INSTDIR\x86"
  !insertmacro PutFile "${DLL32}" "Lumivane.dll"
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR\x64"
    !insertmacro PutFile "${DLL64}" "Lumivane.dll"
  ${EndIf}
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteINIStr "$INSTDIR\Uninstall.ini" Lumivane Mode $Mode

  ; Listed before registering, so a failed registration can be uninstalled.
  ${If} $Mode == machine
    StrCpy $1 "/ALLUSERS"
  ${Else}
    StrCpy $1 "/CURRENTUSER"
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayName "Lumivane DMX512 output plug-in"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" Publisher "Lumivane"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\Uninstall.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\Uninstall.exe" $1'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\Uninstall.exe" /S $1'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoRepair 1
  ${GetSize} "$INSTDIR" "/S=0K" $2 $3 $4
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" EstimatedSize $2

  ; The 32-bit one last: where a registry does not keep the bitnesses'
  ; per-user classes apart (Wine), the host's bitness wins.
  ${If} ${RunningX64}
    !insertmacro RegisterDll 64 "$INSTDIR\x64\Lumivane.dll"
  ${EndIf}
  !insertmacro RegisterDll 32 "$INSTDIR\x86\Lumivane.dll"
  DetailPrint "${DRIVER_NOTE}"
SectionEnd

; --- uninstaller ----------------------------------------------------------

Function un.onInit
  !insertmacro ParseMode
  ; The list of installed programs names the mode; run by hand, the file
  ; the installer left says it (the folder's path may be spelt otherwise).
  ${If} $Mode == ""
    ReadINIStr $Mode "$INSTDIR\Uninstall.ini" Lumivane Mode
  ${EndIf}
  ${If} $Mode != machine
    StrCpy $Mode user
  ${EndIf}
  ${If} $Mode == machine
    !insertmacro IsAdmin
    ${If} $0 != "Admin"
      MessageBox MB_ICONSTOP "${NEED_ADMIN_TEXT}" /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

!macro UnregisterDll BITS FILE
  ${If} ${FileExists} "${FILE}"
    ${If} $Mode == machine
      !insertmacro Regsvr32 ${BITS} "/u" "${FILE}"
    ${Else}
      !insertmacro Regsvr32 ${BITS} "/u /n /i:user" "${FILE}"
    ${EndIf}
    ${If} $0 != 0
      DetailPrint "${FILE}: regsvr32 /u exit code $0"
    ${EndIf}
  ${EndIf}
!macroend

; The user's settings (Software\VB and VBA Program Settings) stay.
Section "Uninstall"
  !insertmacro WaitUntilFree "$INSTDIR\x86\Lumivane.dll"
  ${If} $0 == free
    !insertmacro WaitUntilFree "$INSTDIR\x64\Lumivane.dll"
  ${EndIf}
  ${If} $0 != free
    SetErrorLevel 32
    Abort "Lumivane.dll is in use: nothing was removed."
  ${EndIf}

  ${If} ${RunningX64}
    !insertmacro UnregisterDll 64 "$INSTDIR\x64\Lumivane.dll"
  ${EndIf}
  !insertmacro UnregisterDll 32 "$INSTDIR\x86\Lumivane.dll"

  Delete "$INSTDIR\x64\Lumivane.dll"
  Delete "$INSTDIR\x86\Lumivane.dll"
  RMDir "$INSTDIR\x64"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.ini"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
