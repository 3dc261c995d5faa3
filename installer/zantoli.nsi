; The Windows installer: a per-user installation, no administrator rights.
; makensis -DVERSION=x.y.z -DSTAGE=<folder with the programs and texts> -DOUTFILE=<setup.exe>
; Command line of the installer: /S silent, /AUTOSTART=1 or /AUTOSTART=0 to choose the start
; at sign-in (default: on), /D=<folder> (last) for another installation folder. Of the
; uninstaller: /S silent, /REMOVEPROFILE=1 to remove the accounts and settings too (default: kept).

; 64-bit, as the programs are (and as Wine without its 32-bit part runs).
Target amd64-unicode
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define NAME "Zantoli"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define WINDOW_CLASS "ZantoliWindow"
!define EXIT_COMMAND 57665
!define PROFILE_KEY "Software\QUVA\Zantoli"
; The program's own icon, by its resource id: the first icon in Zantoli.exe is the envelope's.
!define PROGRAM_ICON "$INSTDIR\Zantoli.exe,-128"

Name "${NAME} ${VERSION}"
BrandingText "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "the Zantoli developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) the Zantoli developers. MIT License."

!define MUI_ICON "${STAGE}\zantoli.ico"
!define MUI_UNICON "${STAGE}\zantoli.ico"
!define MUI_COMPONENTSPAGE_NODESC
; Drawn from the program's own pixel maps by tools/artgen/installer_art.py.
!define MUI_WELCOMEFINISHPAGE_BITMAP "${STAGE}\welcome.bmp"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Setting.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Open the mail settings to add an account"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks a running notifier to exit (its exit command, as its menu gives it) and waits, bounded,
; until its windows are gone and its program file can be replaced or removed.
!macro DEFINE_STOP_NOTIFIER prefix
Function ${prefix}StopNotifier
    StrCpy $1 0
    ${Do}
        FindWindow $1 "${WINDOW_CLASS}" "" 0 $1
        ${If} $1 = 0
            ${Break}
        ${EndIf}
        ; The character window is the one without an owner; the envelopes are owned.
        System::Call "user32::GetWindow(p r1, i 4) p .r2"
        ${If} $2 = 0
            System::Call "user32::PostMessageW(p r1, i ${WM_COMMAND}, p ${EXIT_COMMAND}, p 0)"
        ${EndIf}
    ${Loop}
    ${If} ${FileExists} "$INSTDIR\Zantoli.exe"
        StrCpy $3 0
        ${Do}
            ClearErrors
            Delete "$INSTDIR\Zantoli.exe"
            ${IfNot} ${Errors}
            ${AndIfNot} ${FileExists} "$INSTDIR\Zantoli.exe"
                ${Break}
            ${EndIf}
            IntOp $3 $3 + 1
            ${If} $3 >= 100
                ${Break}
            ${EndIf}
            Sleep 100
        ${Loop}
    ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_STOP_NOTIFIER ""
!insertmacro DEFINE_STOP_NOTIFIER "un."

Section "Zantoli" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    Call StopNotifier
    File "${STAGE}\Zantoli.exe"
    File "${STAGE}\Setting.exe"
    File "${STAGE}\mailcheck.exe"
    ; Earlier versions shipped the command-line check under its POP3-only name.
    Delete "$INSTDIR\pop3check.exe"
    File "${STAGE}\README.txt"
    File "${STAGE}\LICENSE"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${NAME}"
    CreateShortcut "$SMPROGRAMS\${NAME}\Zantoli.lnk" "$INSTDIR\Zantoli.exe"
    CreateShortcut "$SMPROGRAMS\${NAME}\Zantoli Mail Settings.lnk" "$INSTDIR\Setting.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "the Zantoli developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "${PROGRAM_ICON}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; The next section writes it again when chosen: an installation without it turns it off.
    DeleteRegValue HKCU "${RUN_KEY}" "${NAME}"
SectionEnd

Section "Start Zantoli when you sign in" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "${NAME}" '"$INSTDIR\Zantoli.exe"'
SectionEnd

Function .onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/AUTOSTART=" $1
    ${IfNot} ${Errors}
        ${If} $1 == "0"
            !insertmacro UnselectSection ${SecAutostart}
        ${Else}
            !insertmacro SelectSection ${SecAutostart}
        ${EndIf}
    ${EndIf}
FunctionEnd

; The accounts and the kept acknowledgements are the user's: they stay unless asked for.
Section "un.Zantoli" SecUnProgram
    SectionIn RO
    Call un.StopNotifier
    Delete "$INSTDIR\Zantoli.exe"
    Delete "$INSTDIR\Setting.exe"
    Delete "$INSTDIR\mailcheck.exe"
    Delete "$INSTDIR\pop3check.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${NAME}\Zantoli.lnk"
    Delete "$SMPROGRAMS\${NAME}\Zantoli Mail Settings.lnk"
    RMDir "$SMPROGRAMS\${NAME}"
    DeleteRegValue HKCU "${RUN_KEY}" "${NAME}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; After the program's section, which has ended the notifier: it writes its settings as it exits.
Section /o "un.Also remove my accounts and settings" SecRemoveProfile
    DeleteRegKey HKCU "${PROFILE_KEY}"
    DeleteRegKey /ifempty HKCU "Software\QUVA"
    ; The folder of the kept acknowledgements, beside (not inside) the installation folder.
    ${If} $LOCALAPPDATA != ""
        RMDir /r "$LOCALAPPDATA\${NAME}"
    ${EndIf}
SectionEnd

Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVEPROFILE=" $1
    ${IfNot} ${Errors}
    ${AndIf} $1 == "1"
        !insertmacro SelectSection ${SecRemoveProfile}
    ${EndIf}
FunctionEnd
