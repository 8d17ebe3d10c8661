; The installer of 雁书簿 for one user, without administrator rights:
;   makensis -INPUTCHARSET UTF8 -DVERSION=… -DPROGRAM=folder -DFILES=list.nsh
;            -DICON=yanshubu.ico -DOUTFILE=setup.exe installer.nsi
; PROGRAM is the program's folder as installed; FILES holds the uninstaller's
; Delete and RMDir lines for exactly those files, so that a book kept beside
; the program (MY.mdb, backups) stays when the program goes.

; A 64-bit installer for a 64-bit program: it needs no 32-bit Windows parts.
Target amd64-unicode
!include "MUI2.nsh"

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\yanshubu"

Name "雁书簿"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\yanshubu"
InstallDirRegKey HKCU "${KEY}" "InstallLocation"
SetCompressor /SOLID lzma
BrandingText "雁书簿 ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\yanshubu.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Section
    SetOutPath "$INSTDIR"
    File /r "${PROGRAM}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\雁书簿.lnk" "$INSTDIR\yanshubu.exe"
    WriteRegStr HKCU "${KEY}" "DisplayName" "雁书簿"
    WriteRegStr HKCU "${KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${KEY}" "Publisher" "雁书簿"
    WriteRegStr HKCU "${KEY}" "DisplayIcon" "$INSTDIR\yanshubu.exe"
    WriteRegStr HKCU "${KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR" ; only when empty: the user's own files stay
    Delete "$SMPROGRAMS\雁书簿.lnk"
    DeleteRegKey HKCU "${KEY}"
SectionEnd
