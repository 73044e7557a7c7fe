; The Windows setup program: installs the programs and the examples,
; registers the diagram file types through "korrin.exe initialize", adds a
; Start-menu entry and an uninstaller that takes away what it added.
;
;   makensis -DSTAGE=<folder with the files> -DOUTFILE=<setup.exe> -DVERSION=<x.y> korrin.nsi
;
; Silent use: korrin-setup.exe /S [/D=C:\Folder]; uninstall.exe /S.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef VERSION
  !define VERSION "1.0"
!endif
!define PRODUCT "Korrin(VRD)"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korrin"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Korrin"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Korrin"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The file types, their verbs and the DDE open command.
  ExecWait '"$INSTDIR\korrin.exe" initialize' $0
  IntCmp $0 0 registered
    DetailPrint "korrin.exe initialize ended with $0: the file types are not registered."
    SetErrors
  registered:

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Korrin"
  CreateShortCut "$SMPROGRAMS\Korrin\Korrin.lnk" "$INSTDIR\korrin.exe"
  CreateShortCut "$SMPROGRAMS\Korrin\Uninstall Korrin.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; A key is taken away only while it is still ours.
!macro RemoveExtension EXT
  ReadRegStr $1 HKCR "${EXT}" ""
  StrCmp $1 "korrinvrd" 0 +2
    DeleteRegKey HKCR "${EXT}"
!macroend

Section "Uninstall"
  !insertmacro RemoveExtension ".vrd"
  !insertmacro RemoveExtension ".vq"
  DeleteRegKey HKCR "korrinvrd"
  DeleteRegKey HKCR "korrinvq"
  DeleteINIStr "$WINDIR\win.ini" "Extensions" "vrd"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Korrin\Korrin.lnk"
  Delete "$SMPROGRAMS\Korrin\Uninstall Korrin.lnk"
  RMDir "$SMPROGRAMS\Korrin"

  Delete "$INSTDIR\korrin.exe"
  Delete "$INSTDIR\korrin-pas.dll"
  Delete "$INSTDIR\korrin-imp.dll"
  Delete "$INSTDIR\korrin-re.exe"
  Delete "$INSTDIR\korrin-conn.exe"
  Delete "$INSTDIR\README.md"
  RMDir /r "$INSTDIR\examples"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
