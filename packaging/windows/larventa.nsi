; Larventa's installer for 64-bit Windows 10 and later, in Russian. packaging/windows/package makes
; it with makensis from the folder that cmake --install laid out:
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.1 -DVERSION4=0.1.0.0 -DFILES=<list> -DREMOVE=<list>
;            -DLICENCE=<notice> -DICONS=<icons folder> -DOUTFILE=<setup.exe> larventa.nsi
; FILES installs the folder's files and REMOVE deletes exactly those, folders last, both made from
; one listing: the uninstaller takes away what was installed and nothing that a user put beside it.
;
; A recording's description is NAME.bin.json, and Windows picks a program by the last extension
; alone: taking .json for the viewer would take every JSON file. So the viewer is offered for .json
; and .bin under "Open with" (OpenWithProgids), as the program of its own file type
; Larventa.Recording, and .json's own default is never touched.

; A 64-bit installer for 64-bit programs: it sees Program Files, System32 and the registry as the
; programs do, with no WOW64 redirection.
Target amd64-unicode
; The name larventa-<version>-setup.exe makes makensis warn that Windows applies its compatibility
; shims to a program named "setup"; the installer's manifest names the level it runs at, which is
; what those shims would otherwise guess.
!pragma warning disable 9000
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include x64.nsh
!include WinVer.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Ларвента"
!define PUBLISHER "Larventa developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Larventa"
!define PROGID "Larventa.Recording"
!define VIEWER "larventa-view.exe"
!define RECORDER_LINK "$SMPROGRAMS\Ларвента.lnk"
!define VIEWER_LINK "$SMPROGRAMS\Ларвента — просмотр записей.lnk"
!define SIMULATOR_LINK "$SMPROGRAMS\Ларвента — имитатор прибора.lnk"
; SHChangeNotify's SHCNE_ASSOCCHANGED: Explorer reads the file types again.
!define ASSOCIATIONS_CHANGED "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"

; The title in quotes, which Russian leaves undeclined: мастер установки «Ларвента» 0.1.
Name "«${PRODUCT}» ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Larventa"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICONS}/larventa.ico"
!define MUI_UNICON "${ICONS}/larventa.ico"
!define MUI_ABORTWARNING
!define MUI_LICENSEPAGE_TEXT_TOP "Ларвента — свободная программа. С ней поставляются библиотеки под своими лицензиями:"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Эти тексты останутся в папке программы, в папке licences."
!define MUI_LICENSEPAGE_BUTTON "Далее >"
!define MUI_FINISHPAGE_TEXT "Ларвента установлена. Программы — в меню «Пуск»: «Ларвента» (запись сигнала) и «Ларвента — просмотр записей». Описание записи (*.bin.json) открывается просмотром через «Открыть с помощью»."

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion ${VERSION4}
VIFileVersion ${VERSION4}
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка Ларвенты ${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© 2026 ${PUBLISHER}, MIT"

Function .onInit
    ; Qt 6.8 needs 64-bit Windows 10 or later.
    ${IfNot} ${RunningX64}
    ${OrIfNot} ${AtLeastWin10}
        MessageBox MB_ICONSTOP "Ларвенту нельзя установить: ей нужна 64-разрядная Windows 10 или новее." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section
    ; An earlier installation is taken away first, by its own uninstaller, so that no file of
    ; it that this version lacks stays behind.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        DetailPrint "Удаление прежней установки из $0"
        ExecWait '"$0\uninstall.exe" /S _?=$0' $1
        ${If} $1 != 0
            MessageBox MB_ICONSTOP "Прежнюю установку Ларвенты в $0 не удалось удалить (код $1). Закройте её программы и попробуйте снова." /SD IDOK
            Abort
        ${EndIf}
        ; Run in place (_?=), it cannot take itself away.
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}

    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The working folder of the shortcuts is $OUTDIR, the program's folder.
    CreateShortcut "${RECORDER_LINK}" "$INSTDIR\larventa.exe" "" "$INSTDIR\larventa.exe" 0 SW_SHOWNORMAL "" \
        "Запись сигнала с измерительного прибора через последовательный порт"
    CreateShortcut "${VIEWER_LINK}" "$INSTDIR\${VIEWER}" "" "$INSTDIR\${VIEWER}" 0 SW_SHOWNORMAL "" \
        "Просмотр записи целиком: масштаб до отсчёта, курсоры, экспорт в WAV, EDF+ и CSV"
    ; The simulator is a console program that needs a COM port named (larventa-sim --device COM3),
    ; to check a cable or the recorder without the instrument: a command prompt in the program's
    ; folder that shows its help.
    CreateShortcut "${SIMULATOR_LINK}" "$SYSDIR\cmd.exe" '/k larventa-sim.exe --help' "$INSTDIR\larventa.exe" 0 \
        SW_SHOWNORMAL "" "Имитатор прибора на COM-порту, для проверки кабеля и программы без прибора"

    ; The recording's file type, opened by the viewer, and offered for .json and .bin.
    WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Запись Ларвенты"
    WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\${VIEWER}",0'
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${VIEWER}" "%1"'
    WriteRegStr HKLM "Software\Classes\.json\OpenWithProgids" "${PROGID}" ""
    WriteRegStr HKLM "Software\Classes\.bin\OpenWithProgids" "${PROGID}" ""
    WriteRegStr HKLM "Software\Classes\Applications\${VIEWER}" "FriendlyAppName" "Ларвента: просмотр записей"
    WriteRegStr HKLM "Software\Classes\Applications\${VIEWER}\SupportedTypes" ".json" ""
    WriteRegStr HKLM "Software\Classes\Applications\${VIEWER}\SupportedTypes" ".bin" ""
    WriteRegStr HKLM "Software\Classes\Applications\${VIEWER}\shell\open\command" "" '"$INSTDIR\${VIEWER}" "%1"'
    System::Call "${ASSOCIATIONS_CHANGED}"

    ; Add/Remove Programs.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\larventa.exe",0'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; DeleteRegKey's /ifnosubkeys /ifnovalues: a key is taken away only when nothing else is left in it,
; so that another program's association of .json or .bin stays as it was.
!macro RemoveOpenWith extension
    DeleteRegValue HKLM "Software\Classes\${extension}\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Classes\${extension}\OpenWithProgids"
    DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Classes\${extension}"
!macroend

Section Uninstall
    Delete "${RECORDER_LINK}"
    Delete "${VIEWER_LINK}"
    Delete "${SIMULATOR_LINK}"

    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    DeleteRegKey HKLM "Software\Classes\Applications\${VIEWER}"
    !insertmacro RemoveOpenWith .json
    !insertmacro RemoveOpenWith .bin
    System::Call "${ASSOCIATIONS_CHANGED}"

    !include "${REMOVE}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
