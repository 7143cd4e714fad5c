; Installer for a Quillon file manager plugin.
;
; The setup creator replaces each placeholder (a word between two stars, named
; below without them, since this text is filled too) and compiles the result
; with NSIS 3. The lines that build the uninstaller start with a marker (a hash
; sign, zero, one) that makes them comments; "Create uninstaller" removes the
; markers. Adapt freely, but keep each value's placeholder inside double
; quotes in a place of its kind (never in a !define or a macro argument: the
; compiler reads their text once more where it is used), each placeholder of
; generated lines on a line of its own, and the functions CreateFolder (the
; generated install lines call it) and RemoveEarlierInstall.
;
; Every value reaches the installer exactly as it was typed or found, whatever
; characters it holds: it is written for the kind of place it goes to, and all
; placeholders are filled in one pass, so a value that holds a placeholder or
; the marker keeps it.
;
; Runtime strings, which the installer reads as it runs (names, folders,
; registry entries): plugin_name; plugin_name_doubled_ampersands (each "&"
; doubled, for labels that would underline the letter after a single one);
; plugin_folder_name; plugin_type; publisher (the company name of the main
; file's version resource, or nothing); plugin_bits ("64" when every plugin
; file of the folder is a 64-bit library, a plugin for 64-bit Windows only,
; which then installs and registers where 64-bit Windows keeps 64-bit
; programs; "32" otherwise). In them "$$" stands for "$", so each
; "$" of a value is written ${U+24}${U+24}; a double quote is written $\", a
; tab, CR and LF $\t, $\r and $\n.
;
; Compile-time text, which the compiler takes as it stands (the files it reads
; and writes, the version information): local_folder (the plugin folder, with
; a final backslash), main_file, version_product_name (the plugin name),
; version_company_name (the publisher). There "$$" would stay two characters,
; so each "$" is written ${U+24}; the rest as in runtime strings.
; plugin_version is the main file's version ("1.2.3.4", or nothing): digits and
; dots only, the one value that may also stand in a define.
;
; sign_command: a define of the signing command given to the console program
; (!define /redef SIGN_COMMAND, the command in back quotes, each "$" written
; ${U+24}), or nothing.
;
; Either way a value never closes its quotes, breaks its line or brings in a
; define, an environment variable or an escape of its own.
;
; plugin_folder_name names the plugin's default folder and its entry in the
; list of installed programs: the plugin name, followed by the main file's
; name without its extension in brackets unless the two are the same, so that
; no two plugins share them; made fit for a folder and a registry key name
; (the characters Windows forbids in names become "_", and so do trailing dots
; and blanks; a device name such as "CON" gets a "_" after it) and shortened
; to 64 bytes, a longer name ending in "~" and a hash of the whole.
; main_file_name is the main file's name as a runtime string. The entry keeps
; plugin_name and main_file_name: a later setup removes an earlier install
; only when both are its own. What the user sees is always plugin_name.
;
; Generated lines, their values written by the same rules: languages (the
; language files), license (the licence page), pushlang (the language
; question), install_files (every file and subfolder of the plugin folder,
; listed when the setup is created), push_installed_files (each installed
; file's path pushed onto the stack, for the check that all of them can be
; replaced; it stands in a macro used by the installer and the uninstaller)
; and uninstall_files (the deletion of those files; nothing without an
; uninstaller). A language is also named in the compiler's own define for it,
; ${LANG_<NAME>}, which cannot hold a "}".
;
; Compression: the installer and its uninstaller pack everything they carry as
; one solid LZMA stream with a 32 MB dictionary (the SetCompressor and
; SetCompressorDictSize lines below): files that resemble each other, such as
; the 32- and the 64-bit build of a library, are packed against each other, and
; the setup program comes within a few percent of the best general-purpose
; compression of the same files. Compiling takes several times as long as
; with the compiler's default, and unpacking needs the dictionary's size in
; memory. For quicker builds, write "SetCompressor zlib" instead (the
; default: each file on its own, a larger installer) and remove the
; dictionary line, which only LZMA takes. The compression lines must stay
; at the top of the script, before anything that goes into the installer.

Unicode true
SetCompressor /SOLID lzma
SetCompressorDictSize 32
RequestExecutionLevel admin
XPStyle on
ManifestDPIAware true
; A file that cannot be written ends the installation (exit code 2 when
; silent) instead of being skipped.
AllowSkipFiles off

; Signing: to sign the setup program and the uninstaller it writes, remove
; the semicolon in front of the define below and put your signing command in
; it, with %1 where the path of the file goes. The compiler runs it on the
; uninstaller before it packs it, and on the finished setup, and fails the
; build when it does not end with exit code 0, so an unsigned file never
; ships. On Windows, with a certificate file:
;   signtool sign /f "C:\certs\plugin.pfx" /p <password> /fd sha256 /tr http://timestamp.digicert.com /td sha256 "%1"
; or with a certificate from the store:
;   signtool sign /n "<subject name>" /fd sha256 /tr http://timestamp.digicert.com /td sha256 "%1"
; On Linux, osslsigncode signs the same way. The console program's --sign
; option takes the place of this command (sign_command below).
;!define SIGN_COMMAND `signtool sign /a /fd sha256 "%1"`
*sign_command*
!ifdef SIGN_COMMAND
  !finalize `${SIGN_COMMAND}` = 0
  !uninstfinalize `${SIGN_COMMAND}` = 0
!endif

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

; The plugin's version, four numbers, as the setup creator read it from its
; main file's version resource; empty when the main file has none. The
; compiler never reads the plugin's files for anything but packing them.
!define PLUGIN_VERSION "*plugin_version*"

; Installer languages (none means English).
*languages*

Name "*plugin_name*" "*plugin_name_doubled_ampersands*"
; Written into the folder the compiler runs in.
OutFile "*main_file*_setup.exe"
; The user may choose another folder; /D=<folder> does so for a silent install.
InstallDir "$PROGRAMFILES\Quillon\plugins\*plugin_type*\*plugin_folder_name*"
; An earlier install of the same plugin proposes its own folder.
InstallDirRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon *plugin_type* plugin *plugin_folder_name*" "InstallLocation"

; Version information of the setup program itself.
!if "${PLUGIN_VERSION}" != ""
  VIProductVersion "${PLUGIN_VERSION}"
  VIAddVersionKey ProductVersion "${PLUGIN_VERSION}"
  VIAddVersionKey FileVersion "${PLUGIN_VERSION}"
!else
  VIProductVersion 0.0.0.0
  VIAddVersionKey FileVersion ""
!endif
VIAddVersionKey ProductName "*version_product_name*"
VIAddVersionKey FileDescription "*version_product_name* setup"
VIAddVersionKey CompanyName "*version_company_name*"
VIAddVersionKey LegalCopyright ""

; Pages, in order.
*license*
Page directory
Page instfiles
#01UninstPage uninstConfirm
#01UninstPage instfiles

; The plugin's entry in the system's list of installed programs. Besides the
; usual values it holds the plugin's identity (PluginName and PluginMainFile)
; and the folders the installer created (CreatedFolders of them,
; CreatedFolder1 the outermost), which its uninstaller removes again.
Var UninstallKey
#01Var CreatedFolders

; Every file the installer writes and the uninstaller removes, pushed onto the
; stack.
!macro PushInstalledFiles
*push_installed_files*
!macroend

; Nothing of an installed version is removed or replaced unless all of it can
; be. StopUnlessReplaceable pops paths off the stack down to an empty one; a
; file among them that exists but cannot be opened for writing (in use, as a
; plugin loaded by a running file manager is, or read-only) stops everything,
; before anything has changed. StopAtFileInUse tells the user which file it is
; and stops; it also writes the path, as UTF-16, to the file that the
; environment variable QUILLON_SETUP_REPORT names: a setup that runs the
; uninstaller of an earlier version reads it there.
!macro ReplaceCheck UN
Function ${UN}StopUnlessReplaceable
  StrCpy $R9 ""
  ${Do}
    Pop $R8
    ${IfThen} $R8 == "" ${|} ${ExitDo} ${|}
    ${If} $R9 == ""
    ${AndIf} ${FileExists} $R8
      ClearErrors
      FileOpen $R7 $R8 a
      ${If} ${Errors}
        StrCpy $R9 $R8
      ${Else}
        FileClose $R7
      ${EndIf}
    ${EndIf}
  ${Loop}
  ${If} $R9 != ""
    Push $R9
    Call ${UN}StopAtFileInUse
  ${EndIf}
FunctionEnd

Function ${UN}StopAtFileInUse
  Pop $R9
  ReadEnvStr $R8 QUILLON_SETUP_REPORT
  ${If} $R8 != ""
    FileOpen $R7 $R8 w
    FileWriteUTF16LE $R7 $R9
    FileClose $R7
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "$R9 is in use or read-only, so nothing was changed.$\r$\nClose the program that uses it (the Quillon file manager), then try again." /SD IDOK
  Abort "$R9 is in use or read-only."
FunctionEnd
!macroend
!insertmacro ReplaceCheck ""
#01!insertmacro ReplaceCheck "un."

Function .onInit
  ; A plugin for 64-bit Windows only is of no use anywhere else: nothing
  ; could load it.
  ${If} "*plugin_bits*" == "64"
  ${AndIfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "$(^Name) is for 64-bit Windows only, and this Windows is 32-bit. Nothing was installed." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $UninstallKey "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon *plugin_type* plugin *plugin_folder_name*"
  StrCmp "*plugin_bits*" "64" 0 +2
    Call Use64BitPlaces
  ; A silent installation (/S) asks nothing, not even the language.
  IfSilent language_chosen
*pushlang*
  language_chosen:
FunctionEnd

; On 64-bit Windows, a plugin for 64-bit Windows only is registered in the
; 64-bit registry view and goes into the 64-bit program files folder. The
; folder was chosen before .onInit, in the 32-bit view: unless /D= chose it
; (which NSIS leaves out of $CMDLINE), an earlier install's folder from the
; 64-bit view replaces it, or else the 64-bit program files folder replaces
; the 32-bit one at its start.
Function Use64BitPlaces
  ${IfNot} ${RunningX64}
    Return
  ${EndIf}
  SetRegView 64
  System::Call 'kernel32::GetCommandLine() t .r0'
  ClearErrors
  ${GetOptions} $0 "/D=" $1
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  ReadRegStr $0 HKLM $UninstallKey "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
    Return
  ${EndIf}
  StrLen $1 $PROGRAMFILES
  StrCpy $0 $INSTDIR $1
  ${If} $0 == $PROGRAMFILES
    StrCpy $0 $INSTDIR "" $1
    StrCpy $INSTDIR "$PROGRAMFILES64$0"
  ${EndIf}
FunctionEnd

; Creates the folder on the stack and the missing folders above it. Each one
; created is noted in the entry, outermost first, so that the uninstaller
; removes exactly these, innermost first.
Function CreateFolder
  Exch $0
  Push $1
  Push $2
  ; The missing folders go onto the stack, innermost first.
  StrCpy $1 $0
  StrCpy $2 0
  ${DoUntil} ${FileExists} "$1\*.*"
    Push $1
    IntOp $2 $2 + 1
    ${GetParent} $1 $1
    ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
  ${Loop}
  CreateDirectory $0
  ${DoWhile} $2 > 0
    Pop $1
    IntOp $2 $2 - 1
#01    ${If} ${FileExists} "$1\*.*"
#01      IntOp $CreatedFolders $CreatedFolders + 1
#01      WriteRegStr HKLM $UninstallKey "CreatedFolder$CreatedFolders" $1
#01      WriteRegDWORD HKLM $UninstallKey "CreatedFolders" $CreatedFolders
#01    ${EndIf}
  ${Loop}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; An earlier install of the same plugin is removed by its own uninstaller,
; silently, wherever it lies; what remains of its entry goes too. An entry of
; the same name that another plugin wrote is left alone, and nothing is
; installed. Run from a copy, the uninstaller can delete its own file, and
; "_?=" has it work on its folder and be waited for; it removes nothing when
; it cannot remove everything, and then names the file in its report.
Function RemoveEarlierInstall
  ReadRegStr $0 HKLM $UninstallKey "InstallLocation"
  ${If} $0 == ""
    Return
  ${EndIf}
  ReadRegStr $1 HKLM $UninstallKey "PluginName"
  ReadRegStr $2 HKLM $UninstallKey "PluginMainFile"
  ; The values go into registers first: a macro's argument would be read twice.
  StrCpy $3 "*plugin_name*"
  StrCpy $4 "*main_file_name*"
  ${If} $1 != $3
  ${OrIf} $2 != $4
    MessageBox MB_OK|MB_ICONSTOP "Another plugin ($1, $2) is installed in $0 under the name this plugin uses. Nothing was changed." /SD IDOK
    Abort "Another plugin is installed in $0 under the name this plugin uses."
  ${EndIf}
  ${If} ${FileExists} "$0\uninstall.exe"
    InitPluginsDir
    CopyFiles /SILENT "$0\uninstall.exe" "$PLUGINSDIR\earlier-uninstall.exe"
    Delete "$PLUGINSDIR\in-use.txt"
    System::Call 'kernel32::SetEnvironmentVariable(t "QUILLON_SETUP_REPORT", t "$PLUGINSDIR\in-use.txt")'
    ClearErrors
    ExecWait '"$PLUGINSDIR\earlier-uninstall.exe" /S _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 != 0
      ClearErrors
      FileOpen $2 "$PLUGINSDIR\in-use.txt" r
      ${IfNot} ${Errors}
        FileReadUTF16LE $2 $3
        FileClose $2
        Push $3
        Call StopAtFileInUse
      ${EndIf}
      MessageBox MB_OK|MB_ICONSTOP "The installed version in $0 could not be removed." /SD IDOK
      Abort "The installed version in $0 could not be removed."
    ${EndIf}
    Delete "$PLUGINSDIR\earlier-uninstall.exe"
  ${EndIf}
  DeleteRegKey HKLM $UninstallKey
FunctionEnd

Section "Plugin" PluginSection
  ; Every file to be written must be writable before anything changes.
  Push ""
  !insertmacro PushInstalledFiles
  Push "$INSTDIR\uninstall.exe"
  Call StopUnlessReplaceable
  Call RemoveEarlierInstall
  Push "$INSTDIR"
  Call CreateFolder
  SetOutPath "$INSTDIR"
  ; Every file and subfolder of the plugin folder.
*install_files*
#01  WriteUninstaller "$INSTDIR\uninstall.exe"
#01  WriteRegStr HKLM $UninstallKey "DisplayName" "*plugin_name*"
#01  WriteRegStr HKLM $UninstallKey "PluginName" "*plugin_name*"
#01  WriteRegStr HKLM $UninstallKey "PluginMainFile" "*main_file_name*"
#01  !if "${PLUGIN_VERSION}" != ""
#01    WriteRegStr HKLM $UninstallKey "DisplayVersion" "${PLUGIN_VERSION}"
#01  !endif
#01  StrCmp "*publisher*" "" +2
#01    WriteRegStr HKLM $UninstallKey "Publisher" "*publisher*"
#01  WriteRegStr HKLM $UninstallKey "InstallLocation" "$INSTDIR"
#01  WriteRegStr HKLM $UninstallKey "UninstallString" '"$INSTDIR\uninstall.exe"'
#01  WriteRegStr HKLM $UninstallKey "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
#01  SectionGetSize ${PluginSection} $0
#01  WriteRegDWORD HKLM $UninstallKey "EstimatedSize" $0
#01  WriteRegDWORD HKLM $UninstallKey "NoModify" 1
#01  WriteRegDWORD HKLM $UninstallKey "NoRepair" 1
SectionEnd

#01Function un.onInit
#01  StrCpy $UninstallKey "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon *plugin_type* plugin *plugin_folder_name*"
#01  ; The entry of a plugin for 64-bit Windows only is in the 64-bit view there.
#01  StrCmp "*plugin_bits*" "64" 0 view_chosen
#01    ${If} ${RunningX64}
#01      SetRegView 64
#01    ${EndIf}
#01  view_chosen:
#01FunctionEnd

#01Section "Uninstall"
#01  ; $INSTDIR is the uninstaller's own folder. Only what the installer put
#01  ; there goes, and only when all of it can: what else the folders hold
#01  ; stays, and so do they.
#01  Push ""
#01  !insertmacro PushInstalledFiles
#01  Call un.StopUnlessReplaceable
#01  ClearErrors
*uninstall_files*
#01  ; A file that came into use meanwhile stays, and so do the uninstaller and
#01  ; the entry, to finish the job later.
#01  ${If} ${Errors}
#01    MessageBox MB_OK|MB_ICONSTOP "Some files in $INSTDIR could not be removed. Close the programs that use them, then uninstall again." /SD IDOK
#01    Abort "Some files in $INSTDIR could not be removed."
#01  ${EndIf}
#01  Delete "$INSTDIR\uninstall.exe"
#01  SetOutPath "$TEMP"
#01  ReadRegDWORD $0 HKLM $UninstallKey "CreatedFolders"
#01  ${ForEach} $1 $0 1 - 1
#01    ReadRegStr $2 HKLM $UninstallKey "CreatedFolder$1"
#01    StrCmp $2 "" +2
#01      RMDir $2
#01  ${Next}
#01  DeleteRegKey HKLM $UninstallKey
#01SectionEnd
