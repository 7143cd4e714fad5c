; Installer for a Quillon file manager plugin.
;
; The setup creator replaces each placeholder (a word between two stars, named
; below without them, since this text is filled too) and compiles the result
; with NSIS 3. The lines that build the uninstaller start with a marker (a hash
; sign, zero, one) that makes them comments; "Create uninstaller" removes the
; markers. Adapt freely, but keep each value's placeholder inside double
; quotes in a place of its kind (never in a !define or a macro argument: the
; compiler reads their text once more where it is used) and each placeholder
; of generated lines on a line of its own.
;
; Every value reaches the installer exactly as it was typed or found, whatever
; characters it holds: it is written for the kind of place it goes to, and all
; placeholders are filled in one pass, so a value that holds a placeholder or
; the marker keeps it.
;
; Runtime strings, which the installer reads as it runs (names, folders,
; registry entries): plugin_name; plugin_name_doubled_ampersands (each "&"
; doubled, for labels that would underline the letter after a single one);
; plugin_folder_name, earlier_folder_name and backup_folder_name (below);
; plugin_type; publisher (the company name of the main
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
; version_company_name (the publisher), file_list (below). There "$$" would
; stay two characters, so each "$" is written ${U+24}; the rest as in runtime
; strings.
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
; list of installed programs: the plugin name, followed in brackets by the
; main file's name (without its extension when that is the type's, ".wfx" for
; WFX) unless the two are the same. A name that another plugin could have too
; (brackets or "~" in the plugin name or the main file, another dot in the
; main file's name, characters a folder cannot hold) is made fit for a folder
; and a registry key name (the characters Windows forbids in names become "_",
; and so do trailing dots and blanks; a device name such as "CON" gets a "_"
; after it) and followed by "~" and a hash of the plugin's type, name and main
; file. Either is shortened to 64 bytes, a longer name ending in "~" and a
; hash of the whole. earlier_folder_name is the name that setups of earlier
; versions of the tool gave the same plugin (the main file's name always
; without its extension, no hash), under which an install they made is still
; found. main_file_name is the main file's name as a runtime string. The
; entry keeps plugin_name and main_file_name: an install is taken for this
; plugin's only when both are its own. What the user sees is always
; plugin_name. backup_folder_name starts the name of the folders where an
; update keeps what it replaces until it has finished; no entry at the top of
; the plugin folder starts with it.
;
; Generated lines, their values written by the same rules: languages (the
; language files), license (the licence page), pushlang (the language
; question) and install_files (for the plugin folder and each of its
; subfolders that holds files, one File command packing them). file_list is
; the list of every file and subfolder of the plugin folder, listed when the
; setup is created, one a line, in ASCII, or in UTF-16 after a byte order
; mark when a name needs it: the installer and the uninstaller carry it, and
; it decides what they check, create and remove. A language is
; also named in the compiler's own define for it, ${LANG_<NAME>}, which
; cannot hold a "}".
;
; Two install modes. For all users: the program files folder, the entry in
; the machine's list of installed programs (HKLM); it needs administrator
; rights. Only for the user who runs the setup: that user's programs folder
; ($LOCALAPPDATA\Programs\Quillon\plugins\<type>\<folder name>), the entry in
; the user's list (HKCU); it never needs them and never writes outside the
; user's profile and registry hive. A plugin for 64-bit Windows only keeps its
; 64-bit places in both. The setup itself asks for no rights
; (RequestExecutionLevel user). The first page asks for whom (ModePage);
; /AllUsers or /CurrentUser choose instead and skip it. Without them a silent
; run keeps the mode of an earlier install of the plugin, else installs for
; all users when it has administrator rights and only for the user when it
; has not (ChooseMode). To install for all users without the rights, the setup
; runs itself again with them (RunElevated: the system asks for them), passing
; on the mode, the language, /S and /D=, hidden meanwhile, and ends with that
; run's exit code; when they are not given, the first page asks again and a
; silent run ends with exit code 2. Every registry access of an install goes
; through SHCTX, which the mode points at HKLM or HKCU (UseMode). An install
; finds, updates and removes only its own mode's earlier install; the other
; mode's is named on the first page and left alone, and its folder is refused,
; as is a folder outside the user's profile for an install only for the user.
; The uninstaller takes its mode from /AllUsers or /CurrentUser (an update
; passes it to the earlier version's uninstaller), else from the entry that
; names its folder, and runs itself again with administrator rights when it
; removes an install for all users without them.
;
; The order of an installation: first it checks, changing nothing, that every
; file it writes can be written and that no other plugin's entry has this
; plugin's name. Then an earlier version of the plugin (with its uninstaller)
; waits, with everything in its folder, in a folder inside it, and files the
; new version replaces wait in such a folder of the installation folder. The
; uninstaller is written, and a first install registered at once, before the
; files are extracted. Once all of them are in place, the earlier version's
; own uninstaller removes exactly what it installed from where it waits; what
; remains there is the user's and goes back. Last the entry is written and
; what was replaced deleted. Should anything fail before the earlier version
; is removed, everything is put back as it was (a first install leaves
; nothing), the user is told what failed, a silent run ends with exit code 2
; and the last page says that the installation was aborted.
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
; The rights an install for all users needs are asked for only then (see the
; install modes above).
RequestExecutionLevel user
XPStyle on
ManifestDPIAware true
; A file that cannot be written ends the installation (exit code 2 when
; silent) instead of being skipped; what it changed is then put back.
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
!include x64.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
; What the installer and the uninstaller keep while they run.
!define INSTALLED_LIST "$PLUGINSDIR\installed.txt"
!define FOLDER_RECORD "$PLUGINSDIR\folders.ini"
; Exit codes of a run with administrator rights that tell the run that
; started it to ask for the mode again: the user went back to the first page,
; or the run has no administrator rights after all (on Windows without user
; account control "runas" starts it as it is).
!define BACK_TO_MODE_PAGE 3
!define NO_ADMIN_RIGHTS 4

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
; The default for an install only for the user is in the user's programs
; folder, and an earlier install of the same plugin proposes its own folder
; instead (UseMode).
InstallDir "$PROGRAMFILES\Quillon\plugins\*plugin_type*\*plugin_folder_name*"

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

; Pages, in order. The first asks for whom to install; leaving the folder page
; checks the folder, and leaving the progress page of a run that failed tells
; why.
Page custom ModePage ModePageLeave ": Installation Mode"
*license*
Page directory "" "" FolderPageLeave
Page instfiles "" "" InstallPageLeave
#01UninstPage uninstConfirm
#01UninstPage instfiles "" "" un.InstallPageLeave

; The plugin's entry in the list of installed programs of its mode (the
; machine's or the user's). Besides the usual values it holds the plugin's
; identity (PluginName and PluginMainFile), the language the setup ran in
; (Language) and the folders that setups created for it, outermost first
; (CreatedFolders of them, CreatedFolder1 to CreatedFolder<CreatedFolders>),
; which its uninstaller removes once they are empty: those this installation
; created, and those above its folder that any plugin's setup of the same mode
; created, so that the last plugin of that mode removed from them removes them.
Var UninstallKey
; How far the run got: "" before it changed anything; "moving" while it sets
; aside what is there, and "writing" from then on, as long as all it changed
; can be put back (only then are the files at the new version's places its
; own); "kept" once an earlier version has been removed; "done" at its
; successful end; "reported" once a failure has been told.
Var Progress
; What stopped the run, told at its end; the first file that could not be
; removed.
Var Failure
Var Leftover
; Whether the list of installed files is in UTF-16 (0xFEFF, its byte order
; mark), for ForEachListed.
Var ListInUtf16
; The installed version of this plugin: its entry ("" when there is none),
; its folder, and the folder inside it where everything there waits while
; the new version goes in ("" when nothing waits).
Var EarlierKey
Var EarlierFolder
Var EarlierImage
; The folder inside the installation folder where the files the new version
; replaces wait ("" when nothing waits).
Var SetAside
; The install mode, AllUsers or CurrentUser; whether /AllUsers or /CurrentUser
; gave it (1, else 0); whether a run without administrator rights started
; this one to install or remove for all users (1, else 0).
Var InstallMode
Var ModeGiven
Var ElevatedRun
; The command line's parameters, and whether /D= chose the folder (1, else 0).
Var Parameters
Var FolderGiven
; This plugin's entries and folders in either mode ("" where it is not
; installed), and the other mode's folder once the mode is chosen.
Var AllUsersKey
Var AllUsersFolder
Var CurrentUserKey
Var CurrentUserFolder
Var OtherFolder
; The mode that proposed $INSTDIR; whether the first page was "skipped" or
; "shown"; its radio buttons.
Var ProposedFor
Var ModePageSeen
Var AllUsersButton
Var CurrentUserButton

; The list of installed files, with each entry a path relative to the
; installation folder, a folder's ending with a backslash. ForEachListed
; calls the function whose address is on the stack for each entry, with the
; entry in $R0; the function keeps $R0 to $R2.
!macro InstalledFiles UN
Function ${UN}ExtractList
  InitPluginsDir
  File "/oname=${INSTALLED_LIST}" "*file_list*"
FunctionEnd

Function ${UN}ForEachListed
  Exch $R1
  Push $R0
  Push $R2
  FileOpen $R2 "${INSTALLED_LIST}" r
  ; UTF-16 after a byte order mark, else ASCII.
  FileReadWord $R2 $ListInUtf16
  ${If} $ListInUtf16 <> 0xFEFF
    FileSeek $R2 0 SET
  ${EndIf}
  ${Do}
    ${If} $ListInUtf16 = 0xFEFF
      FileReadUTF16LE $R2 $R0
    ${Else}
      FileRead $R2 $R0
    ${EndIf}
    ${IfThen} $R0 == "" ${|} ${ExitDo} ${|}
    ; Without its CR LF.
    StrCpy $R0 $R0 -2
    Call $R1
  ${Loop}
  FileClose $R2
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; Nothing of an installed version is removed or replaced unless all of it can
; be: a listed file that exists but cannot be opened for writing (in use, as a
; plugin loaded by a running file manager is, or read-only) stops everything,
; before anything has changed. StopAtFileInUse tells the user which file it
; is; it also writes the path, as UTF-16, to the file that the environment
; variable QUILLON_SETUP_REPORT names: a setup that runs the uninstaller of an
; earlier version reads it there.
Function ${UN}StopUnlessReplaceable
  StrCpy $R3 $R0 "" -1
  ${If} $R3 != "\"
    Push "$INSTDIR\$R0"
    Call ${UN}StopUnlessWritable
  ${EndIf}
FunctionEnd

Function ${UN}StopUnlessWritable
  Exch $R3
  ${If} ${FileExists} $R3
    ClearErrors
    FileOpen $R4 $R3 a
    ${If} ${Errors}
      Push $R3
      Call ${UN}StopAtFileInUse
    ${EndIf}
    FileClose $R4
  ${EndIf}
  Pop $R3
FunctionEnd

Function ${UN}StopAtFileInUse
  Pop $R9
  ReadEnvStr $R8 QUILLON_SETUP_REPORT
  ${If} $R8 != ""
    FileOpen $R7 $R8 w
    FileWriteUTF16LE $R7 $R9
    FileClose $R7
  ${EndIf}
  StrCpy $Failure "$R9 is in use or read-only, so nothing was changed.$\r$\nClose the program that uses it (the Quillon file manager), then try again."
  Abort "$R9 is in use or read-only."
FunctionEnd

; Deletes a listed file; the first that stays is noted in $Leftover.
Function ${UN}DeleteListedFile
  StrCpy $R3 $R0 "" -1
  ${If} $R3 != "\"
    ClearErrors
    Delete "$INSTDIR\$R0"
    ${If} ${Errors}
    ${AndIf} $Leftover == ""
      StrCpy $Leftover "$INSTDIR\$R0"
    ${EndIf}
  ${EndIf}
FunctionEnd

; Tells the user, once, what stopped the run; the installer first puts back
; what it changed. In silent runs nothing is shown and the exit code is 2.
Function ${UN}ReportFailure
  ${If} $Progress == reported
    Return
  ${EndIf}
  !if "${UN}" == ""
    Call Undo
  !endif
  StrCpy $Progress reported
  MessageBox MB_OK|MB_ICONSTOP $Failure /SD IDOK
FunctionEnd

; After a failure the progress page stays, its caption says that the run was
; aborted (the next page would say "Completed") and Cancel ends it. 0x000C
; is WM_SETTEXT.
Function ${UN}InstallPageLeave
  ${If} $Progress == done
    Return
  ${EndIf}
  Call ${UN}ReportFailure
  !if "${UN}" == ""
    SendMessage $HWNDPARENT 0x000C 0 "STR:$(^SetupCaption): Installation aborted"
  !else
    SendMessage $HWNDPARENT 0x000C 0 "STR:$(^UninstallCaption): Uninstallation aborted"
  !endif
  GetDlgItem $0 $HWNDPARENT 2
  EnableWindow $0 1
  Abort
FunctionEnd
!macroend
!insertmacro InstalledFiles ""
#01!insertmacro InstalledFiles "un."

; Whether this run has administrator rights: 1 or 0 in the variable given.
; Under user account control only an elevated run has them.
!macro AdminRights VAR
  System::Call 'shell32::IsUserAnAdmin() i .s'
  Pop ${VAR}
!macroend

; The install mode's switches, and the run with administrator rights that
; installs or removes for all users, in the installer and the uninstaller.
!macro ModeSwitches UN
; $InstallMode from /AllUsers or /CurrentUser ("" with neither), $Parameters
; and $ElevatedRun.
Function ${UN}ModeOfSwitches
  ${GetParameters} $Parameters
  StrCpy $InstallMode ""
  ClearErrors
  ${GetOptions} $Parameters "/AllUsers" $0
  ${IfNot} ${Errors}
    StrCpy $InstallMode AllUsers
  ${EndIf}
  ClearErrors
  ${GetOptions} $Parameters "/CurrentUser" $0
  ${IfNot} ${Errors}
    ${If} $InstallMode != ""
      MessageBox MB_OK|MB_ICONSTOP "Give /AllUsers or /CurrentUser, not both. Nothing was changed." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    StrCpy $InstallMode CurrentUser
  ${EndIf}
  ClearErrors
  ${GetOptions} $Parameters "/ElevatedRun" $0
  StrCpy $ElevatedRun 1
  ${IfThen} ${Errors} ${|} StrCpy $ElevatedRun 0 ${|}
FunctionEnd

; Runs this program again with administrator rights, the system asking the
; user for them, with the parameters on top of the stack, and waits for it;
; its exit code on the stack, or "refused" when the rights were not given.
; The window below the parameters (or 0) owns the system's question and is
; hidden once the other run has started, which shows its own. A run started
; this way that still has no administrator rights ends at once: it never
; asks again.
Function ${UN}RunElevated
  ${If} $ElevatedRun == 1
    SetErrorLevel ${NO_ADMIN_RIGHTS}
    Quit
  ${EndIf}
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  ; SHELLEXECUTEINFOW with SEE_MASK_NOCLOSEPROCESS and SEE_MASK_FLAG_NO_UI
  ; (failures are told here, or not at all in silent runs) and
  ; SW_SHOWNORMAL; the process handle is its last member. The name without
  ; its "W" would be the ANSI function, which shell32 exports under it.
  System::Call '*(&l4, i 0x440, p R0, t "runas", t "$EXEPATH", t R1, p 0, i 1, p, p, p, p, i, p, p) p .R2'
  System::Call 'shell32::ShellExecuteExW(p R2) i .R3'
  StrCpy $R1 refused
  ${If} $R3 <> 0
    System::Call '*$R2(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .R3)'
    ; Without a process handle (the shell started it some other way) the
    ; outcome is unknown, and taken for a failure.
    StrCpy $R1 2
    ${If} $R3 <> 0
      ${IfThen} $R0 <> 0 ${|} ShowWindow $R0 ${SW_HIDE} ${|}
      System::Call 'kernel32::WaitForSingleObject(p R3, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p R3, *i .R1)'
      System::Call 'kernel32::CloseHandle(p R3)'
      ${IfThen} $R1 == ${NO_ADMIN_RIGHTS} ${|} StrCpy $R1 refused ${|}
    ${EndIf}
  ${EndIf}
  System::Free $R2
  Pop $R3
  Pop $R2
  Pop $R0
  Exch $R1
FunctionEnd
!macroend
!insertmacro ModeSwitches ""
#01!insertmacro ModeSwitches "un."

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
  ; On 64-bit Windows, a plugin for 64-bit Windows only is registered in the
  ; 64-bit registry view (and goes into the 64-bit program files folder, see
  ; UseMode).
  ${If} "*plugin_bits*" == "64"
    SetRegView 64
  ${EndIf}
  Call InstallFolderGiven
  Pop $FolderGiven
  Call FindEarlierInstalls
  Call ChooseMode
  ; The language: the one a run that started this one passes on, else asked
  ; unless the installation is silent (/S).
  ClearErrors
  ${GetOptions} $Parameters "/Language=" $0
  ${IfNot} ${Errors}
    StrCpy $LANGUAGE $0
    Goto language_chosen
  ${EndIf}
  IfSilent language_chosen
*pushlang*
  language_chosen:
  ; A silent run, or one given its mode, installs in that mode; the others
  ; choose on the first page, where a refusal of the rights leads too.
  ${If} $ModeGiven == 1
  ${OrIf} ${Silent}
    Push 0
    Call UseMode
    Pop $0
    ${If} $0 == refused
      Call TellRightsRefused
      ${If} ${Silent}
        SetErrorLevel 2
        Quit
      ${EndIf}
      StrCpy $InstallMode CurrentUser
    ${EndIf}
    ${IfThen} $0 != "" ${|} StrCpy $ModeGiven 0 ${|}
  ${EndIf}
FunctionEnd

; The mode: the one a switch gives; else the mode of an earlier install of
; this plugin, when it is installed in one mode only; else for all users with
; administrator rights, only for the user without them.
Function ChooseMode
  Call ModeOfSwitches
  StrCpy $ModeGiven 1
  ${If} $InstallMode == ""
    StrCpy $ModeGiven 0
    !insertmacro AdminRights $0
    ${If} $AllUsersKey != ""
    ${AndIf} $CurrentUserKey == ""
      StrCpy $InstallMode AllUsers
    ${ElseIf} $CurrentUserKey != ""
    ${AndIf} $AllUsersKey == ""
      StrCpy $InstallMode CurrentUser
    ${ElseIf} $0 == 1
      StrCpy $InstallMode AllUsers
    ${Else}
      StrCpy $InstallMode CurrentUser
    ${EndIf}
  ${EndIf}
FunctionEnd

; Makes $InstallMode this run's: SHCTX then means HKLM or HKCU, the mode's
; earlier install is the one an update replaces, and the other mode's folder
; is refused. The folder, unless /D= chose it: where the mode's earlier
; install is, else the mode's default one; proposed again only when the mode
; changes, so that a folder the user typed stays. For all users without
; administrator rights the setup runs again with them (RunElevated), owned by
; the window on the stack (or 0), and this run ends with its exit code. On
; the stack: "" when this run installs, "refused" when the rights were not
; given, "back" when the other run went back to the first page.
Function UseMode
  Exch $R0
  Push $R1
  !insertmacro AdminRights $R1
  ${If} $InstallMode == AllUsers
  ${AndIf} $R1 == 0
    StrCpy $R1 "/AllUsers /ElevatedRun /Language=$LANGUAGE"
    ${IfThen} ${Silent} ${|} StrCpy $R1 "/S $R1" ${|}
    ${IfThen} $FolderGiven == 1 ${|} StrCpy $R1 "$R1 /D=$INSTDIR" ${|}
    Push $R0
    Push $R1
    Call RunElevated
    Pop $R1
    ${If} $R1 == ${BACK_TO_MODE_PAGE}
    ${OrIf} $R1 == refused
      ; This run asks again.
      ${IfThen} $R0 <> 0 ${|} ShowWindow $R0 ${SW_SHOW} ${|}
      ${IfThen} $R1 != refused ${|} StrCpy $R1 back ${|}
      StrCpy $R0 $R1
    ${Else}
      SetErrorLevel $R1
      Quit
    ${EndIf}
  ${Else}
    ${If} $InstallMode == AllUsers
      SetShellVarContext all
      StrCpy $EarlierKey $AllUsersKey
      StrCpy $EarlierFolder $AllUsersFolder
      StrCpy $OtherFolder $CurrentUserFolder
      StrCpy $R1 $PROGRAMFILES
      ${If} "*plugin_bits*" == "64"
        StrCpy $R1 $PROGRAMFILES64
      ${EndIf}
    ${Else}
      SetShellVarContext current
      StrCpy $EarlierKey $CurrentUserKey
      StrCpy $EarlierFolder $CurrentUserFolder
      StrCpy $OtherFolder $AllUsersFolder
      StrCpy $R1 "$LOCALAPPDATA\Programs"
    ${EndIf}
    ${If} $FolderGiven == 0
    ${AndIf} $ProposedFor != $InstallMode
      StrCpy $INSTDIR "$R1\Quillon\plugins\*plugin_type*\*plugin_folder_name*"
      ${IfThen} $EarlierFolder != "" ${|} StrCpy $INSTDIR $EarlierFolder ${|}
      StrCpy $ProposedFor $InstallMode
    ${EndIf}
    StrCpy $R0 ""
  ${EndIf}
  Pop $R1
  Exch $R0
FunctionEnd

Function TellRightsRefused
  MessageBox MB_OK|MB_ICONEXCLAMATION 'Installing for all users needs administrator rights, which were not given. Choose "Only for me" to install $(^Name) without them.' /SD IDOK
FunctionEnd

; The first page: for all users or only for the user, with the plugin's
; earlier installs named. Skipped when the mode is given; going back to it
; from the next page shows it then, but a run for all users that a run
; without administrator rights started ends instead, and that run shows it.
Function ModePage
  ${If} $ModeGiven == 1
    ${If} $ModePageSeen == ""
      StrCpy $ModePageSeen skipped
      Abort
    ${EndIf}
    ${If} $ElevatedRun == 1
      SetErrorLevel ${BACK_TO_MODE_PAGE}
      Quit
    ${EndIf}
  ${EndIf}
  StrCpy $ModePageSeen shown
  nsDialogs::Create 1018
  Pop $0
  ; Texts that hold names or folders show every "&" as it is.
  nsDialogs::CreateControl STATIC ${DEFAULT_STYLES}|${SS_NOPREFIX} 0 0 0 100% 20u "Install $(^Name) for all users of this computer, or only for you?"
  Pop $0
  ${NSD_CreateRadioButton} 10u 22u -10u 12u "For &all users (needs administrator rights)"
  Pop $AllUsersButton
  ${NSD_CreateRadioButton} 10u 36u -10u 12u "Only for &me"
  Pop $CurrentUserButton
  ${If} $InstallMode == AllUsers
    ${NSD_Check} $AllUsersButton
  ${Else}
    ${NSD_Check} $CurrentUserButton
  ${EndIf}
  ${NSD_OnClick} $AllUsersButton ShowShield
  ${NSD_OnClick} $CurrentUserButton ShowShield
  StrCpy $0 ""
  ${If} $AllUsersKey != ""
    StrCpy $0 "$(^Name) is installed for all users in $AllUsersFolder.$\r$\n"
  ${EndIf}
  ${If} $CurrentUserKey != ""
    StrCpy $0 "$0$(^Name) is installed for you in $CurrentUserFolder.$\r$\n"
  ${EndIf}
  ${If} $0 != ""
    StrCpy $0 "$0$\r$\nInstalling it the same way again updates that installation; installing it the other way leaves that one as it is."
  ${EndIf}
  nsDialogs::CreateControl STATIC ${DEFAULT_STYLES}|${SS_NOPREFIX} 0 0 58u 100% -58u $0
  Pop $0
  Push 0
  Call ShowShield
  nsDialogs::Show
FunctionEnd

; The system's shield on the Next button while "For all users" is chosen
; without administrator rights: Next then asks for them. The control clicked
; is on the stack.
Function ShowShield
  Pop $0
  ${NSD_GetState} $AllUsersButton $0
  !insertmacro AdminRights $1
  ${IfThen} $1 == 1 ${|} StrCpy $0 0 ${|}
  GetDlgItem $1 $HWNDPARENT 1
  SendMessage $1 ${BCM_SETSHIELD} 0 $0
FunctionEnd

Function ModePageLeave
  StrCpy $InstallMode CurrentUser
  ${NSD_GetState} $AllUsersButton $0
  ${IfThen} $0 == ${BST_CHECKED} ${|} StrCpy $InstallMode AllUsers ${|}
  GetDlgItem $1 $HWNDPARENT 1
  SendMessage $1 ${BCM_SETSHIELD} 0 0
  Push $HWNDPARENT
  Call UseMode
  Pop $0
  ${If} $0 == refused
    Call TellRightsRefused
    ${NSD_Uncheck} $AllUsersButton
    ${NSD_Check} $CurrentUserButton
  ${EndIf}
  ; Refused, or back from the other run: the page stays.
  ${If} $0 != ""
    Push 0
    Call ShowShield
    Abort
  ${EndIf}
FunctionEnd

; Whether the folder suits the mode: an install only for the user stays
; inside the user's profile, and the other mode's install of this plugin
; keeps its folder to itself (two entries never name one folder). The failure
; in $0 when it does not, else "" (and $1 changed).
Function FolderFailure
  StrCpy $0 ""
  ${If} $InstallMode == CurrentUser
    Push $INSTDIR
    Push $PROFILE
    Call PlaceOf
    Pop $1
    ${If} $1 != below
      StrCpy $0 "An installation only for you goes into a folder inside your user profile ($PROFILE), and $INSTDIR is not. Nothing was changed."
      Return
    ${EndIf}
  ${EndIf}
  ${If} $OtherFolder != ""
  ${AndIf} $OtherFolder == $INSTDIR
    StrCpy $0 "for all users"
    StrCpy $1 "only for you"
    ${If} $InstallMode == AllUsers
      StrCpy $0 "only for one user"
      StrCpy $1 "for all users"
    ${EndIf}
    StrCpy $0 "$(^Name) is installed $0 in $INSTDIR, and that installation stays as it is: choose another folder to install it $1. Nothing was changed."
  ${EndIf}
FunctionEnd

Function FolderPageLeave
  Call FolderFailure
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION $0
    Abort
  ${EndIf}
FunctionEnd

; 1 when /D= chose the installation folder, 0 otherwise. NSIS leaves it out
; of $CMDLINE; on the command line it comes last, after a blank.
Function InstallFolderGiven
  Push $0
  Push $1
  Push $2
  System::Call 'kernel32::GetCommandLine() t .r0'
  StrLen $1 $0
  ${Do}
    IntOp $1 $1 - 1
    ${IfThen} $1 < 0 ${|} ${ExitDo} ${|}
    StrCpy $2 $0 4 $1
  ${LoopUntil} $2 == " /D="
  StrCpy $0 1
  ${IfThen} $1 < 0 ${|} StrCpy $0 0 ${|}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The folder that holds the path on the stack ("" for a drive or a name of
; its own).
Function ParentOf
  Exch $0
  Push $1
  Push $2
  StrLen $1 $0
  ${Do}
    IntOp $1 $1 - 1
    ${IfThen} $1 < 0 ${|} ${ExitDo} ${|}
    StrCpy $2 $0 1 $1
  ${LoopUntil} $2 == "\"
  ${IfThen} $1 < 0 ${|} StrCpy $1 0 ${|}
  StrCpy $0 $0 $1
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The installed version of this plugin in the hive SHCTX means: the entry
; under this plugin's name, or the one a setup of an earlier version of the
; tool wrote under the name it gave the plugin, whichever is this plugin's;
; its key and folder in $EarlierKey and $EarlierFolder ("" when there is none).
Function FindEarlierEntry
  StrCpy $EarlierKey ""
  StrCpy $EarlierFolder ""
  StrCpy $0 "${UNINSTALL_ROOT}\Quillon *plugin_type* plugin *earlier_folder_name*"
  ${ForEach} $1 1 2 + 1
    ${IfThen} $1 == 2 ${|} StrCpy $0 $UninstallKey ${|}
    ReadRegStr $2 SHCTX $0 "PluginName"
    ReadRegStr $3 SHCTX $0 "PluginMainFile"
    ; The values go into registers first: a macro's argument would be read twice.
    StrCpy $4 "*plugin_name*"
    StrCpy $5 "*main_file_name*"
    ${If} $2 == $4
    ${AndIf} $3 == $5
      StrCpy $EarlierKey $0
    ${EndIf}
  ${Next}
  ${If} $EarlierKey != ""
    ReadRegStr $EarlierFolder SHCTX $EarlierKey "InstallLocation"
  ${EndIf}
FunctionEnd

; This plugin's installs for all users and for the user who runs the setup.
Function FindEarlierInstalls
  SetShellVarContext all
  Call FindEarlierEntry
  StrCpy $AllUsersKey $EarlierKey
  StrCpy $AllUsersFolder $EarlierFolder
  SetShellVarContext current
  Call FindEarlierEntry
  StrCpy $CurrentUserKey $EarlierKey
  StrCpy $CurrentUserFolder $EarlierFolder
FunctionEnd

; Another plugin's entry under this plugin's name (setups of earlier versions
; of the tool gave some plugins alike names) stops the installation, and so
; does a folder that does not suit the mode (FolderFailure).
Function StopAtOtherPlugin
  Call FolderFailure
  ${If} $0 != ""
    StrCpy $Failure $0
    Abort "$INSTDIR does not suit the install mode."
  ${EndIf}
  ${If} $EarlierKey == $UninstallKey
    Return
  ${EndIf}
  ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
  ReadRegStr $1 SHCTX $UninstallKey "PluginName"
  ReadRegStr $2 SHCTX $UninstallKey "PluginMainFile"
  ${If} "$0$1$2" != ""
    StrCpy $Failure "Another plugin ($1, $2) is installed in $0 under the name this plugin uses. Nothing was changed."
    Abort "Another plugin is installed in $0 under the name this plugin uses."
  ${EndIf}
FunctionEnd

; Appends the folder on top of the stack to the list below it in the folder
; record: "Created" (what this installation created), "Inherited" (what other
; setups created above it) or "Earlier" (what the earlier version created).
Function RecordFolder
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  ReadINIStr $R2 "${FOLDER_RECORD}" $R0 Count
  IntOp $R2 $R2 + 1
  WriteINIStr "${FOLDER_RECORD}" $R0 $R2 $R1
  WriteINIStr "${FOLDER_RECORD}" $R0 Count $R2
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; Creates the folder on the stack and the missing folders above it, noting
; each one it created in the record, outermost first.
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
    Push $1
    Call ParentOf
    Pop $1
    ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
  ${Loop}
  CreateDirectory $0
  ${DoWhile} $2 > 0
    Pop $1
    IntOp $2 $2 - 1
    ${If} ${FileExists} "$1\*.*"
      Push Created
      Push $1
      Call RecordFolder
    ${EndIf}
  ${Loop}
  ${IfNot} ${FileExists} "$0\*.*"
    StrCpy $Failure "The folder $0 could not be created, so nothing was changed."
    Abort "The folder $0 could not be created."
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function CreateListedFolder
  StrCpy $R3 $R0 "" -1
  ${If} $R3 == "\"
    StrCpy $R3 $R0 -1
    Push "$INSTDIR\$R3"
    Call CreateFolder
  ${EndIf}
FunctionEnd

; 1 when any Quillon plugin's entry of this mode records the folder on the
; stack among the folders its setup created, 0 otherwise.
Function CreatedBySetup
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R1 0
  ${Do}
    EnumRegKey $R2 SHCTX "${UNINSTALL_ROOT}" $R1
    ${IfThen} $R2 == "" ${|} ${ExitDo} ${|}
    IntOp $R1 $R1 + 1
    StrCpy $R3 $R2 8
    ${If} $R3 == "Quillon "
      ReadRegDWORD $R3 SHCTX "${UNINSTALL_ROOT}\$R2" "CreatedFolders"
      ${DoWhile} $R3 > 0
        ReadRegStr $R4 SHCTX "${UNINSTALL_ROOT}\$R2" "CreatedFolder$R3"
        IntOp $R3 $R3 - 1
        ${If} $R4 == $R0
          StrCpy $R0 1
          Goto recorded
        ${EndIf}
      ${Loop}
    ${EndIf}
  ${Loop}
  StrCpy $R0 0
  recorded:
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; The folders at and above the installation folder that a plugin's setup
; created are recorded as this installation's too, outermost first.
Function InheritSetupFolders
  Push ""
  StrCpy $0 $INSTDIR
  ${DoUntil} $0 == ""
    Push $0
    Push $0
    Call ParentOf
    Pop $0
  ${Loop}
  ${Do}
    Pop $0
    ${IfThen} $0 == "" ${|} ${ExitDo} ${|}
    Push $0
    Call CreatedBySetup
    Pop $1
    ${If} $1 == 1
      Push Inherited
      Push $0
      Call RecordFolder
    ${EndIf}
  ${Loop}
FunctionEnd

; The name of a folder that does not exist yet inside the folder on the stack,
; for what waits there.
Function FreeBackupFolder
  Exch $R3
  Push $R4
  StrCpy $R4 1
  ${DoWhile} ${FileExists} "$R3\*backup_folder_name*$R4"
    IntOp $R4 $R4 + 1
  ${Loop}
  StrCpy $R3 "$R3\*backup_folder_name*$R4"
  Pop $R4
  Exch $R3
FunctionEnd

; Moves every entry of a folder (below the top two of the stack) into another
; (below the top), but the one whose path is on top of the stack (none for
; ""): a folder whose name is taken by a folder there is merged into it; an
; entry whose name is taken by a file stays. Sets the error flag when an entry
; could not be moved.
Function MoveTree
  Exch $R2
  Exch
  Exch $R1
  Exch 2
  Exch $R0
  Push $R3
  Push $R4
  Push $R5
  StrCpy $R5 ""
  FindFirst $R3 $R4 "$R0\*.*"
  ${DoWhile} $R4 != ""
    ${If} $R4 != "."
    ${AndIf} $R4 != ".."
    ${AndIf} "$R0\$R4" != $R2
      ${If} ${FileExists} "$R1\$R4\*.*"
      ${AndIf} ${FileExists} "$R0\$R4\*.*"
        Push "$R0\$R4"
        Push "$R1\$R4"
        Push ""
        Call MoveTree
        ${IfThen} ${Errors} ${|} StrCpy $R5 failed ${|}
        RMDir "$R0\$R4"
      ${ElseIfNot} ${FileExists} "$R1\$R4"
        ClearErrors
        Rename "$R0\$R4" "$R1\$R4"
        ${IfThen} ${Errors} ${|} StrCpy $R5 failed ${|}
      ${EndIf}
    ${EndIf}
    FindNext $R3 $R4
  ${Loop}
  FindClose $R3
  ClearErrors
  ${IfThen} $R5 != "" ${|} SetErrors ${|}
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R0
  Pop $R2
  Pop $R1
FunctionEnd

; An earlier version with its uninstaller waits, with everything in its
; folder, in a folder inside it until the new version is in place.
Function SetAsideEarlierVersion
  ${If} $EarlierFolder == ""
  ${OrIfNot} ${FileExists} "$EarlierFolder\uninstall.exe"
    Return
  ${EndIf}
  Push $EarlierFolder
  Call FreeBackupFolder
  Pop $EarlierImage
  StrCpy $Failure "Not everything in $EarlierFolder could be moved (a program may be using it), so nothing was changed."
  ClearErrors
  CreateDirectory $EarlierImage
  Push $EarlierFolder
  Push $EarlierImage
  Push $EarlierImage
  Call MoveTree
  ${IfThen} ${Errors} ${|} Abort "Not everything in $EarlierFolder could be moved." ${|}
FunctionEnd

; A listed file, or the uninstaller, that the new version replaces waits in a
; folder inside the installation folder until the new version is in place.
Function SetAsideListedFile
  StrCpy $R3 $R0 "" -1
  ${If} $R3 != "\"
    Push $R0
    Call SetAsideFile
  ${EndIf}
FunctionEnd

Function SetAsideFile
  Exch $R3
  Push $R4
  ${If} ${FileExists} "$INSTDIR\$R3"
    ${If} $SetAside == ""
      Push $INSTDIR
      Call FreeBackupFolder
      Pop $SetAside
    ${EndIf}
    Push "$SetAside\$R3"
    Call ParentOf
    Pop $R4
    ClearErrors
    CreateDirectory $R4
    Rename "$INSTDIR\$R3" "$SetAside\$R3"
    ${If} ${Errors}
      StrCpy $Failure "$INSTDIR\$R3 could not be moved (a program may be using it), so nothing was changed."
      Abort "$INSTDIR\$R3 could not be moved."
    ${EndIf}
  ${EndIf}
  Pop $R4
  Pop $R3
FunctionEnd

; Whether the path below the top of the stack lies in the folder on top:
; "at" it, "below" it, or "" elsewhere.
Function PlaceOf
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  StrLen $R2 $R1
  StrCpy $R3 $R0 $R2
  ${If} $R3 != $R1
    StrCpy $R0 ""
  ${Else}
    StrCpy $R3 $R0 1 $R2
    ${If} $R3 == ""
      StrCpy $R0 at
    ${ElseIf} $R3 == "\"
      StrCpy $R0 below
    ${Else}
      StrCpy $R0 ""
    ${EndIf}
  ${EndIf}
  Pop $R3
  Pop $R2
  Exch
  Pop $R1
  Exch $R0
FunctionEnd

; Has the earlier version's entry name, among the folders it created, those
; at or below one folder (below the top of the stack) at the same places
; below another (on top).
Function PointEarlierFolders
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  StrLen $R2 $R0
  ReadRegDWORD $R3 SHCTX $EarlierKey "CreatedFolders"
  ${DoWhile} $R3 > 0
    ReadRegStr $R4 SHCTX $EarlierKey "CreatedFolder$R3"
    Push $R4
    Push $R0
    Call PlaceOf
    Pop $R5
    ${If} $R5 != ""
      StrCpy $R4 $R4 "" $R2
      WriteRegStr SHCTX $EarlierKey "CreatedFolder$R3" "$R1$R4"
    ${EndIf}
    IntOp $R3 $R3 - 1
  ${Loop}
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; Once the new version is in place, the earlier version's own uninstaller
; removes exactly what it installed from where it waits, and its folders
; there once empty; its folders at and above its folder stay to the end. Run
; from a copy, the uninstaller can delete its own file, and "_?=" has it work
; on that folder and be waited for; it removes nothing when it cannot remove
; everything, and then names the file in its report. What remains where it
; waited is the user's and goes back, unless the new version has a file of
; its name.
Function RemoveEarlierVersion
  ${If} $EarlierImage != ""
    StrCpy $Failure "The installed version in $EarlierFolder could not be removed, so nothing was changed."
    ReadRegDWORD $0 SHCTX $EarlierKey "CreatedFolders"
    ${ForEach} $1 1 $0 + 1
      ReadRegStr $2 SHCTX $EarlierKey "CreatedFolder$1"
      Push Earlier
      Push $2
      Call RecordFolder
    ${Next}
    Push $EarlierFolder
    Push $EarlierImage
    Call PointEarlierFolders
    CopyFiles /SILENT "$EarlierImage\uninstall.exe" "$PLUGINSDIR\earlier-uninstall.exe"
    Delete "$PLUGINSDIR\in-use.txt"
    System::Call 'kernel32::SetEnvironmentVariable(t "QUILLON_SETUP_REPORT", t "$PLUGINSDIR\in-use.txt")'
    ClearErrors
    ExecWait '"$PLUGINSDIR\earlier-uninstall.exe" /S /$InstallMode _?=$EarlierImage' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
      ClearErrors
      FileOpen $1 "$PLUGINSDIR\in-use.txt" r
      ${IfNot} ${Errors}
        FileReadUTF16LE $1 $2
        FileClose $1
        ; Named where the user knows it.
        StrLen $3 $EarlierImage
        StrCpy $2 $2 "" $3
        Push "$EarlierFolder$2"
        Call StopAtFileInUse
      ${EndIf}
      Abort "The installed version in $EarlierFolder could not be removed."
    ${EndIf}
    StrCpy $Progress kept
    Push $EarlierImage
    Push $EarlierFolder
    Push ""
    Call MoveTree
    RMDir /r $EarlierImage
    ReadINIStr $0 "${FOLDER_RECORD}" Earlier Count
    ${ForEach} $1 $0 1 - 1
      ReadINIStr $2 "${FOLDER_RECORD}" Earlier $1
      Push $2
      Push $EarlierFolder
      Call PlaceOf
      Pop $3
      ${IfThen} $3 != below ${|} RMDir $2 ${|}
    ${Next}
  ${EndIf}
  ${If} $EarlierKey != ""
    DeleteRegKey SHCTX $EarlierKey
  ${EndIf}
FunctionEnd

; Puts back what a failed installation changed: removes the files it wrote
; and the folders it created, and moves back what waited.
Function Undo
  ${If} $Progress != moving
  ${AndIf} $Progress != writing
    Return
  ${EndIf}
  ; No folder of the installation may stay this program's working folder.
  SetOutPath $PLUGINSDIR
  ${If} $Progress == writing
    GetFunctionAddress $0 DeleteListedFile
    Push $0
    Call ForEachListed
#01    Delete "$INSTDIR\uninstall.exe"
  ${EndIf}
  ReadINIStr $0 "${FOLDER_RECORD}" Created Count
  ${ForEach} $1 $0 1 - 1
    ReadINIStr $2 "${FOLDER_RECORD}" Created $1
    RMDir $2
  ${Next}
  StrCpy $3 ""
  ${If} $SetAside != ""
    ClearErrors
    Push $SetAside
    Push $INSTDIR
    Push ""
    Call MoveTree
    ${IfThen} ${Errors} ${|} StrCpy $3 $SetAside ${|}
    RMDir $SetAside
  ${EndIf}
  ${If} $EarlierImage != ""
    Push $EarlierImage
    Push $EarlierFolder
    Call PointEarlierFolders
    ClearErrors
    Push $EarlierImage
    Push $EarlierFolder
    Push ""
    Call MoveTree
    ${IfThen} ${Errors} ${|} StrCpy $3 "$3 $EarlierImage" ${|}
    RMDir $EarlierImage
  ${EndIf}
  ${If} $3 != ""
    StrCpy $Failure "$Failure$\r$\nNot everything could be put back: what remains waits in $3."
  ${EndIf}
  ; A first install's entry, written early.
  ${If} $EarlierKey == ""
    DeleteRegKey SHCTX $UninstallKey
  ${EndIf}
FunctionEnd

Function .onInstFailed
  Call ReportFailure
FunctionEnd

Section "Plugin" PluginSection
  Call ExtractList
  ; The folder record is a UTF-16 file, which holds any name.
  FileOpen $0 "${FOLDER_RECORD}" w
  FileWriteWord $0 0xFEFF
  FileClose $0
  ; Nothing changes unless every file the new version writes can be written
  ; and no other plugin's entry has its name.
  GetFunctionAddress $0 StopUnlessReplaceable
  Push $0
  Call ForEachListed
#01  Push "$INSTDIR\uninstall.exe"
#01  Call StopUnlessWritable
  Call StopAtOtherPlugin
  Call InheritSetupFolders
  StrCpy $Progress moving
  Call SetAsideEarlierVersion
  GetFunctionAddress $0 SetAsideListedFile
  Push $0
  Call ForEachListed
#01  Push uninstall.exe
#01  Call SetAsideFile
  StrCpy $Progress writing
  Push $INSTDIR
  Call CreateFolder
#01  StrCpy $Failure "The uninstaller could not be written to $INSTDIR, so nothing was changed."
#01  ClearErrors
#01  WriteUninstaller "$INSTDIR\uninstall.exe"
#01  ${IfThen} ${Errors} ${|} Abort "The uninstaller could not be written." ${|}
#01  ; A first install is registered at once: were the setup stopped before
#01  ; its end, its uninstaller would remove what it wrote.
#01  ${If} $EarlierKey == ""
#01    Call WriteEntry
#01  ${EndIf}
  GetFunctionAddress $0 CreateListedFolder
  Push $0
  Call ForEachListed
  StrCpy $Failure "Not every file could be written to $INSTDIR (the disk may be full, or a program may be using one of them), so nothing was changed."
  ; Every file of the plugin folder, a folder's files with one command.
*install_files*
  SetOutPath $PLUGINSDIR
  Call RemoveEarlierVersion
#01  Call WriteEntry
  ${If} $SetAside != ""
    RMDir /r $SetAside
  ${EndIf}
  StrCpy $Progress done
SectionEnd

; The folders of one list of the record, as the next CreatedFolder<$0> values.
!macro EntryFolders LIST
  ReadINIStr $1 "${FOLDER_RECORD}" ${LIST} Count
  ${ForEach} $2 1 $1 + 1
    ReadINIStr $3 "${FOLDER_RECORD}" ${LIST} $2
    IntOp $0 $0 + 1
    WriteRegStr SHCTX $UninstallKey "CreatedFolder$0" $3
  ${Next}
!macroend

; The entry, complete; written again at the end of an installation.
#01Function WriteEntry
#01  WriteRegStr SHCTX $UninstallKey "DisplayName" "*plugin_name*"
#01  WriteRegStr SHCTX $UninstallKey "PluginName" "*plugin_name*"
#01  WriteRegStr SHCTX $UninstallKey "PluginMainFile" "*main_file_name*"
#01  !if "${PLUGIN_VERSION}" != ""
#01    WriteRegStr SHCTX $UninstallKey "DisplayVersion" "${PLUGIN_VERSION}"
#01  !endif
#01  StrCmp "*publisher*" "" +2
#01    WriteRegStr SHCTX $UninstallKey "Publisher" "*publisher*"
#01  WriteRegStr SHCTX $UninstallKey "InstallLocation" "$INSTDIR"
#01  WriteRegStr SHCTX $UninstallKey "UninstallString" '"$INSTDIR\uninstall.exe"'
#01  WriteRegStr SHCTX $UninstallKey "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
#01  SectionGetSize ${PluginSection} $0
#01  WriteRegDWORD SHCTX $UninstallKey "EstimatedSize" $0
#01  WriteRegDWORD SHCTX $UninstallKey "NoModify" 1
#01  WriteRegDWORD SHCTX $UninstallKey "NoRepair" 1
#01  WriteRegStr SHCTX $UninstallKey "Language" $LANGUAGE
#01  StrCpy $0 0
#01  !insertmacro EntryFolders Inherited
#01  !insertmacro EntryFolders Created
#01  WriteRegDWORD SHCTX $UninstallKey "CreatedFolders" $0
#01FunctionEnd

#01Function un.onInit
#01  StrCpy $UninstallKey "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon *plugin_type* plugin *plugin_folder_name*"
#01  ; The entry of a plugin for 64-bit Windows only is in the 64-bit view there.
#01  StrCmp "*plugin_bits*" "64" 0 view_chosen
#01    ${If} ${RunningX64}
#01      SetRegView 64
#01    ${EndIf}
#01  view_chosen:
#01  ; The mode: the one a switch gives (an update gives it), else the one
#01  ; whose entry names this folder, else as a setup would choose it.
#01  Call un.ModeOfSwitches
#01  ${If} $InstallMode == ""
#01    !insertmacro AdminRights $0
#01    StrCpy $InstallMode CurrentUser
#01    ${IfThen} $0 == 1 ${|} StrCpy $InstallMode AllUsers ${|}
#01    SetShellVarContext all
#01    ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
#01    ${IfThen} $0 == $INSTDIR ${|} StrCpy $InstallMode AllUsers ${|}
#01    SetShellVarContext current
#01    ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
#01    ${IfThen} $0 == $INSTDIR ${|} StrCpy $InstallMode CurrentUser ${|}
#01  ${EndIf}
#01  SetShellVarContext current
#01  ${If} $InstallMode == AllUsers
#01    SetShellVarContext all
#01    ; Without administrator rights, a run with them removes it.
#01    !insertmacro AdminRights $0
#01    ${If} $0 == 0
#01      StrCpy $0 "/AllUsers /ElevatedRun _?=$INSTDIR"
#01      ${IfThen} ${Silent} ${|} StrCpy $0 "/S $0" ${|}
#01      Push 0
#01      Push $0
#01      Call un.RunElevated
#01      Pop $0
#01      ${If} $0 == refused
#01        MessageBox MB_OK|MB_ICONSTOP "$(^Name) is installed for all users: removing it needs administrator rights, which were not given. Nothing was removed." /SD IDOK
#01        StrCpy $0 2
#01      ${EndIf}
#01      SetErrorLevel $0
#01      Quit
#01    ${EndIf}
#01  ${EndIf}
#01  ; The language the setup ran in.
#01  ReadRegStr $0 SHCTX $UninstallKey "Language"
#01  ${IfThen} $0 != "" ${|} StrCpy $LANGUAGE $0 ${|}
#01FunctionEnd

#01Function un.onUninstFailed
#01  Call un.ReportFailure
#01FunctionEnd

#01Section "Uninstall"
#01  ; $INSTDIR is the uninstaller's own folder. Only what the installer put
#01  ; there goes, and only when all of it can: what else the folders hold
#01  ; stays, and so do they.
#01  Call un.ExtractList
#01  GetFunctionAddress $0 un.StopUnlessReplaceable
#01  Push $0
#01  Call un.ForEachListed
#01  GetFunctionAddress $0 un.DeleteListedFile
#01  Push $0
#01  Call un.ForEachListed
#01  ; A file that came into use meanwhile stays, and so do the uninstaller and
#01  ; the entry, to finish the job later.
#01  ${If} $Leftover != ""
#01    StrCpy $Failure "Some files in $INSTDIR could not be removed, $Leftover among them. Close the programs that use them, then uninstall again."
#01    Abort "Some files in $INSTDIR could not be removed."
#01  ${EndIf}
#01  Delete "$INSTDIR\uninstall.exe"
#01  SetOutPath "$TEMP"
#01  ReadRegDWORD $0 SHCTX $UninstallKey "CreatedFolders"
#01  ${ForEach} $1 $0 1 - 1
#01    ReadRegStr $2 SHCTX $UninstallKey "CreatedFolder$1"
#01    StrCmp $2 "" +2
#01      RMDir $2
#01  ${Next}
#01  DeleteRegKey SHCTX $UninstallKey
#01  StrCpy $Progress done
#01SectionEnd
