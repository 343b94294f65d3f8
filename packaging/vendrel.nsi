; The installer of Vendrel, made by makensis from the program folder the build stages
; (packaging/CMakeLists.txt gives VERSION, STAGE, ICON and OUTFILE).
;
; Per user, without administrator rights: the program goes under the user's local programs
; folder, where the program may also write the files the server sends it. The player's own
; folder, %APPDATA%\TORV (settings, logs, sounds), is never touched: neither by an install over
; an older version nor by the uninstaller. /S installs and uninstalls silently.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendrel"

Name "Vendrel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vendrel"
; An update goes where the last installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Vendrel ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
; No copyright line is claimed for the project here.
!pragma warning disable 9100
VIAddVersionKey /LANG=1033 "ProductName" "Vendrel"
VIAddVersionKey /LANG=1033 "FileDescription" "Vendrel ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\vendrel.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\$(GuideFile)"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(OpenGuide)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one used when the system's is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "French"

LangString DesktopSection ${LANG_ENGLISH} "Desktop shortcut"
LangString DesktopSection ${LANG_FRENCH} "Raccourci sur le Bureau"
LangString GuideLink ${LANG_ENGLISH} "Vendrel player's guide"
LangString GuideLink ${LANG_FRENCH} "Guide du joueur Vendrel"
LangString GuideFile ${LANG_ENGLISH} "guide-english.html"
LangString GuideFile ${LANG_FRENCH} "guide-french.html"
LangString OpenGuide ${LANG_ENGLISH} "Open the player's guide"
LangString OpenGuide ${LANG_FRENCH} "Ouvrir le guide du joueur"
LangString Description ${LANG_ENGLISH} "Vendrel game lounge client"
LangString Description ${LANG_FRENCH} "Client du salon de jeux Vendrel"
LangString FolderInUse ${LANG_ENGLISH} "This folder already holds other files. Choose a new folder, or the folder of an earlier installation of Vendrel."
LangString FolderInUse ${LANG_FRENCH} "Ce dossier contient déjà d'autres fichiers. Choisissez un nouveau dossier, ou celui d'une installation précédente de Vendrel."

Var previousFolder

; $R0 = 1 when $INSTDIR may receive the program: it does not exist, is empty, or holds an
; earlier installation. The uninstaller removes the whole program folder, so it must never be
; a folder that held anything else.
Function CheckInstallFolder
    StrCpy $R0 1
    ${If} ${FileExists} "$INSTDIR\*.*"
    ${AndIfNot} ${FileExists} "$INSTDIR\vendrel.exe"
        FindFirst $R1 $R2 "$INSTDIR\*.*"
        ${DoWhile} $R2 != ""
            ${If} $R2 != "."
            ${AndIf} $R2 != ".."
                StrCpy $R0 0
                ${Break}
            ${EndIf}
            FindNext $R1 $R2
        ${Loop}
        FindClose $R1
    ${EndIf}
FunctionEnd

Function .onInit
    ReadRegStr $previousFolder HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} ${Silent}
        Call CheckInstallFolder
        ${If} $R0 != 1
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

Function DirectoryLeave
    Call CheckInstallFolder
    ${If} $R0 != 1
        MessageBox MB_OK|MB_ICONEXCLAMATION "$(FolderInUse)"
        Abort
    ${EndIf}
FunctionEnd

; A shortcut the player already has is kept, with the shortcut key they may have given it,
; unless the program moved to another folder.
!macro Shortcut LINK TARGET
    ${If} $previousFolder != $INSTDIR
    ${OrIfNot} ${FileExists} "${LINK}"
        CreateShortCut "${LINK}" "${TARGET}" "" "$INSTDIR\vendrel.exe" 0 SW_SHOWNORMAL "" \
            "$(Description)"
    ${EndIf}
!macroend

Section "Vendrel" SectionProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\Vendrel"
    !insertmacro Shortcut "$SMPROGRAMS\Vendrel\Vendrel.lnk" "$INSTDIR\vendrel.exe"
    CreateShortCut "$SMPROGRAMS\Vendrel\$(GuideLink).lnk" "$INSTDIR\$(GuideFile)"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Vendrel"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vendrel.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(DesktopSection)" SectionDesktop
    SetOutPath "$INSTDIR"
    !insertmacro Shortcut "$DESKTOP\Vendrel.lnk" "$INSTDIR\vendrel.exe"
SectionEnd

Section "Uninstall"
    Delete "$DESKTOP\Vendrel.lnk"
    RMDir /r "$SMPROGRAMS\Vendrel"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; The program folder holds what the installer put there and the files the server sent;
    ; only a folder that holds the program is removed whole.
    ${If} ${FileExists} "$INSTDIR\vendrel.exe"
        RMDir /r "$INSTDIR"
    ${Else}
        Delete "$INSTDIR\uninstall.exe"
        RMDir "$INSTDIR"
    ${EndIf}
SectionEnd
