; Installer for a Quillon file manager plugin.
;
; The setup creator fills in the words between stars and compiles the result
; with NSIS 3. The lines that build the uninstaller start with a marker (a hash
; sign, zero, one) that makes them comments; "Create uninstaller" removes the
; markers. Adapt freely, but keep each starred word where it stands.

Unicode true
RequestExecutionLevel admin

; What the setup creator knows about the plugin. Values are inserted as they
; are, so each stays inside double quotes and nowhere else.
!define PLUGIN_NAME "*plugin_name*"
!define PLUGIN_TYPE "*plugin_type*"
!define MAIN_FILE "*main_file*"
!define SOURCE_FOLDER "*local_folder*"

; The plugin name as a folder and registry key name: characters that Windows
; does not allow there become "_".
!searchreplace SAFE_NAME "${PLUGIN_NAME}" "\" "_"
!searchreplace SAFE_NAME "${SAFE_NAME}" "/" "_"
!searchreplace SAFE_NAME "${SAFE_NAME}" ":" "_"
!searchreplace SAFE_NAME "${SAFE_NAME}" "*" "_"
!searchreplace SAFE_NAME "${SAFE_NAME}" "?" "_"
!searchreplace SAFE_NAME "${SAFE_NAME}" '"' "_"
!searchreplace SAFE_NAME "${SAFE_NAME}" "<" "_"
!searchreplace SAFE_NAME "${SAFE_NAME}" ">" "_"
!searchreplace SAFE_NAME "${SAFE_NAME}" "|" "_"
#01!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon ${PLUGIN_TYPE} plugin ${SAFE_NAME}"

; Installer languages (none means English).
*languages*

Name "${PLUGIN_NAME}"
; Written into the folder the compiler runs in.
OutFile "${MAIN_FILE}_setup.exe"
; The user may choose another folder; /D=<folder> does so for a silent install.
InstallDir "$PROGRAMFILES\Quillon\plugins\${PLUGIN_TYPE}\${SAFE_NAME}"

; Pages, in order.
*license*
Page directory
Page instfiles
#01UninstPage uninstConfirm
#01UninstPage instfiles

Function .onInit
  ; A silent installation (/S) asks nothing, not even the language.
  IfSilent language_chosen
*pushlang*
  language_chosen:
FunctionEnd

Section "Plugin"
  ; Every file and subfolder of the plugin folder.
  SetOutPath "$INSTDIR"
  File /r "${SOURCE_FOLDER}*.*"
#01  WriteUninstaller "$INSTDIR\uninstall.exe"
#01  ; Entry in the system's list of installed programs.
#01  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PLUGIN_NAME} (Quillon ${PLUGIN_TYPE} plugin)"
#01  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
#01  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
#01  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
#01  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
#01  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

#01Section "Uninstall"
#01  ; $INSTDIR is the uninstaller's own folder. The whole folder goes, with
#01  ; whatever the plugin saved there: it belongs to the plugin alone (browsing
#01  ; for another folder on the directory page appends the plugin's name).
#01  RMDir /r "$INSTDIR"
#01  DeleteRegKey HKLM "${UNINSTALL_KEY}"
#01SectionEnd
