; Installer script template for a Quillon plugin.
; The setup creator replaces the *...* placeholders and, when an uninstaller
; is wanted, removes every #01 marker before compiling.
Name "*plugin_name*"
OutFile "*main_file*_setup.exe"
InstallDir "$PROGRAMFILES\Quillon\plugins\*plugin_type*\*plugin_name*"
RequestExecutionLevel admin

*languages*

*license*
Page directory
Page instfiles
#01UninstPage uninstConfirm
#01UninstPage instfiles

Function .onInit
*pushlang*
FunctionEnd

Section "Plugin"
  SetOutPath "$INSTDIR"
  File /r "*local_folder**.*"
#01  WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd

#01Section "Uninstall"
#01  RMDir /r "$INSTDIR"
#01SectionEnd
