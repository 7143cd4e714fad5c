; The machinery of a Quillon plugin's installer and uninstaller, for the
; script plugin.nsi beside it, which includes it after its languages. The
; setup creator copies this file as it is and fills nothing in it: the
; plugin's values come from plugin.nsi, in the variables its PluginValues set
; (PluginName, PluginMainFile, PluginType, PluginFolderName,
; EarlierFolderName, BackupFolderName, Publisher, PluginBits) and in
; $InstalledSize, in the define PLUGIN_VERSION, and in the list of installed
; files, which its sections extract to ${INSTALLED_LIST} (ExtractFileList)
; before anything else. The define UNINSTALLER adds the uninstaller's parts.
;
; Two install modes. For all users: the program files folder, the entry in
; the machine's list of installed programs (HKLM); it needs administrator
; rights. Only for the user who runs the setup: that user's programs folder
; ($LOCALAPPDATA\Programs\Quillon\plugins\<type>\<folder name>), the entry in
; the user's list (HKCU); it never needs them and never writes outside the
; user's profile and registry hive. A plugin for 64-bit Windows only keeps its
; 64-bit places in both. The setup itself asks for no rights. The first page
; asks for whom (ModePage); /AllUsers or /CurrentUser choose instead and skip
; it. Without them a silent run keeps the mode of an earlier install of the
; plugin, else installs for all users when it has administrator rights and
; only for the user when it has not (ChooseMode). To install for all users
; without the rights, the setup runs itself again with them (RunElevated: the
; system asks for them), passing on the mode, the language, /S and /D=,
; hidden meanwhile, and ends with that run's exit code; when they are not
; given, the first page asks again and a silent run ends with exit code 2.
; Every registry access of an install goes through SHCTX, which the mode
; points at HKLM or HKCU (UseMode). An install finds, updates and removes only
; its own mode's earlier install; the other mode's is named on the first page
; and left alone, and its folder is refused, as is a folder outside the
; user's profile for an install only for the user. The uninstaller takes its
; mode from /AllUsers or /CurrentUser (an update passes it to the earlier
; version's uninstaller), else from the entry that names its folder, and runs
; itself again with administrator rights when it removes an install for all
; users without them.
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
; How it is written: a function that takes arguments or gives a result, or
; that plugin.nsi calls, is called through the call macro of its name
; (listed below): ${SetAsideFile} "$R0" pushes the argument, calls
; SetAsideFile, or un.SetAsideFile in the uninstaller, and pops a result into
; the variable given last. The others are called with Call. A failure is ${Fail} with the text the user is told
; at the end and the status the progress page shows; the run then stops, and
; what it changed is put back. The control flow is NSIS's own jumps and the
; few Windows numbers are named here, since the standard headers cost the
; compiler more than they give: measured with NSIS 3.08, reading LogicLib,
; FileFunc, x64 and nsDialogs (with WinMessages) took 0.12 s, and each
; LogicLib statement 0.2 to 0.4 ms more, while this whole file, written
; plainly, takes about 0.06 s: every build pays for it.

; The texts the installer and the uninstaller show themselves. Each names what
; it tells of in the variables (or registers) that the code fills before it
; shows the text.
!define TEXT_MODE_PAGE_CAPTION ": Installation Mode"
!define TEXT_MODE_QUESTION "Install $(^Name) for all users of this computer, or only for you?"
!define TEXT_MODE_ALL_USERS "For &all users (needs administrator rights)"
!define TEXT_MODE_ONLY_ME "Only for &me"
!define TEXT_INSTALLED_FOR_ALL "$(^Name) is installed for all users in $AllUsersFolder."
!define TEXT_INSTALLED_FOR_ME "$(^Name) is installed for you in $CurrentUserFolder."
!define TEXT_SAME_MODE_UPDATES "Installing it the same way again updates that installation; installing it the other way leaves that one as it is."
!define TEXT_BOTH_MODES "Give /AllUsers or /CurrentUser, not both. Nothing was changed."
!define TEXT_64_BIT_ONLY "$(^Name) is for 64-bit Windows only, and this Windows is 32-bit. Nothing was installed."
!define TEXT_RIGHTS_REFUSED "Installing for all users needs administrator rights, which were not given. Choose $\"Only for me$\" to install $(^Name) without them."
!define TEXT_UNINSTALL_RIGHTS_REFUSED "$(^Name) is installed for all users: removing it needs administrator rights, which were not given. Nothing was removed."
!define TEXT_OUTSIDE_PROFILE "An installation only for you goes into a folder inside your user profile ($PROFILE), and $INSTDIR is not. Nothing was changed."
!define TEXT_FOLDER_OF_ALL_USERS "$(^Name) is installed for all users in $INSTDIR, and that installation stays as it is: choose another folder to install it only for you. Nothing was changed."
!define TEXT_FOLDER_OF_ONE_USER "$(^Name) is installed only for one user in $INSTDIR, and that installation stays as it is: choose another folder to install it for all users. Nothing was changed."
!define TEXT_FOLDER_UNSUITED_STATUS "$INSTDIR does not suit the install mode."
!define TEXT_IN_USE "$R9 is in use or read-only, so nothing was changed.$\r$\nClose the program that uses it (the Quillon file manager), then try again."
!define TEXT_IN_USE_STATUS "$R9 is in use or read-only."
!define TEXT_OTHER_PLUGIN "Another plugin ($1, $2) is installed in $0 under the name this plugin uses. Nothing was changed."
!define TEXT_OTHER_PLUGIN_STATUS "Another plugin is installed in $0 under the name this plugin uses."
!define TEXT_FOLDER_NOT_CREATED "The folder $0 could not be created, so nothing was changed."
!define TEXT_FOLDER_NOT_CREATED_STATUS "The folder $0 could not be created."
!define TEXT_EARLIER_NOT_MOVED "Not everything in $EarlierFolder could be moved (a program may be using it), so nothing was changed."
!define TEXT_EARLIER_NOT_MOVED_STATUS "Not everything in $EarlierFolder could be moved."
!define TEXT_FILE_NOT_MOVED "$INSTDIR\$R3 could not be moved (a program may be using it), so nothing was changed."
!define TEXT_FILE_NOT_MOVED_STATUS "$INSTDIR\$R3 could not be moved."
!define TEXT_UNINSTALLER_NOT_WRITTEN "The uninstaller could not be written to $INSTDIR, so nothing was changed."
!define TEXT_UNINSTALLER_NOT_WRITTEN_STATUS "The uninstaller could not be written."
!define TEXT_FILES_NOT_WRITTEN "Not every file could be written to $INSTDIR (the disk may be full, or a program may be using one of them), so nothing was changed."
!define TEXT_EARLIER_NOT_REMOVED "The installed version in $EarlierFolder could not be removed, so nothing was changed."
!define TEXT_EARLIER_NOT_REMOVED_STATUS "The installed version in $EarlierFolder could not be removed."
!define TEXT_NOT_PUT_BACK "Not everything could be put back: what remains waits in $3."
!define TEXT_FILES_LEFT "Some files in $INSTDIR could not be removed, $Leftover among them. Close the programs that use them, then uninstall again."
!define TEXT_FILES_LEFT_STATUS "Some files in $INSTDIR could not be removed."
!define TEXT_INSTALL_ABORTED "$(^SetupCaption): Installation aborted"
!define TEXT_UNINSTALL_ABORTED "$(^UninstallCaption): Uninstallation aborted"

; Every plugin's entry is a key "Quillon <type> plugin <folder name>" below
; the uninstall root: ENTRY_KEY followed by a blank and a folder name.
!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define ENTRY_KEY "${UNINSTALL_ROOT}\Quillon $PluginType plugin"
; Where plugins go, below the program files folder or the user's programs
; folder.
!define PLUGINS_FOLDER "Quillon\plugins"
; What the installer and the uninstaller keep while they run.
!define INSTALLED_LIST "$PLUGINSDIR\installed.txt"
!define FOLDER_RECORD "$PLUGINSDIR\folders.ini"
; Exit codes of a run with administrator rights that tell the run that
; started it to ask for the mode again: the user went back to the first page,
; or the run has no administrator rights after all (on Windows without user
; account control "runas" starts it as it is).
!define BACK_TO_MODE_PAGE 3
!define NO_ADMIN_RIGHTS 4
; Windows' numbers, named here rather than by WinMessages.nsh and
; nsDialogs.nsh, whose names a script that includes them keeps.
!define SETUP_WM_SETTEXT 0x000C
!define SETUP_BM_GETCHECK 0x00F0
!define SETUP_BM_SETCHECK 0x00F1
!define SETUP_BST_CHECKED 1
!define SETUP_BCM_SETSHIELD 0x160C
!define SETUP_SW_HIDE 0
!define SETUP_SW_SHOW 5
; WS_CHILD|WS_VISIBLE|WS_CLIPSIBLINGS|SS_NOPREFIX: a label that shows "&".
!define SETUP_LABEL_STYLE 0x54000080
; WS_CHILD|WS_VISIBLE|WS_CLIPSIBLINGS|WS_TABSTOP|BS_VCENTER|BS_MULTILINE|BS_AUTORADIOBUTTON
!define SETUP_RADIO_STYLE 0x54012C09

; The plugin, from plugin.nsi.
Var PluginName
Var PluginMainFile
Var PluginType
Var PluginFolderName
Var EarlierFolderName
Var BackupFolderName
Var Publisher
Var PluginBits
Var InstalledSize
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
; The command line's parameters; whether /D= chose the folder and
; /Language= the language (1, else 0).
Var Parameters
Var FolderGiven
Var LanguageGiven
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

; Calls the function of the name given, in the uninstaller its "un." twin;
; _SetupCall_<arguments>_<results> pushes the arguments first and pops the
; result last.
!macro _SetupCall NAME
  !ifdef __UNINSTALL__
    Call un.${NAME}
  !else
    Call ${NAME}
  !endif
!macroend
!macro _SetupCall_0_1 NAME RESULT
  !insertmacro _SetupCall ${NAME}
  Pop ${RESULT}
!macroend
!macro _SetupCall_1 NAME A
  Push "${A}"
  !insertmacro _SetupCall ${NAME}
!macroend
!macro _SetupCall_1_1 NAME A RESULT
  Push "${A}"
  !insertmacro _SetupCall ${NAME}
  Pop ${RESULT}
!macroend
!macro _SetupCall_2 NAME A B
  Push "${A}"
  Push "${B}"
  !insertmacro _SetupCall ${NAME}
!macroend
!macro _SetupCall_2_1 NAME A B RESULT
  Push "${A}"
  Push "${B}"
  !insertmacro _SetupCall ${NAME}
  Pop ${RESULT}
!macroend
!macro _SetupCall_3 NAME A B C
  Push "${A}"
  Push "${B}"
  Push "${C}"
  !insertmacro _SetupCall ${NAME}
!macroend

; Stops the run: TEXT is told at its end, STATUS shows on the progress page.
!macro _Fail TEXT STATUS
  StrCpy $Failure "${TEXT}"
  Abort "${STATUS}"
!macroend
!define Fail "!insertmacro _Fail"

; 1 in VAR when this run has administrator rights, else 0. Under user account
; control only an elevated run has them.
!macro _AdminRights VAR
  System::Call 'shell32::IsUserAnAdmin() i .s'
  Pop ${VAR}
!macroend
!define AdminRights "!insertmacro _AdminRights"

; 0 in VAR on 32-bit Windows, something else on 64-bit Windows, where this
; 32-bit program runs under WOW64 (as x64.nsh tells it).
!macro _Running64Bit VAR
  System::Call kernel32::GetCurrentProcess()p.s
  System::Call kernel32::IsWow64Process2(ps,*i0s,*i)
  Push |
  System::Call kernel32::IsWow64Process(p-1,*i0s)
  System::Int64Op
  Pop ${VAR}
!macroend
!define Running64Bit "!insertmacro _Running64Bit"

; Calls, for each entry of the list of installed files, the function named
; (in the uninstaller its "un." twin) with the entry in $R0, a path relative
; to the installation folder, a folder's ending with a backslash. The function
; keeps $R0 to $R2. Changes $0.
!macro _ForEachListed FUNCTION
  !ifdef __UNINSTALL__
    GetFunctionAddress $0 un.${FUNCTION}
  !else
    GetFunctionAddress $0 ${FUNCTION}
  !endif
  !insertmacro _SetupCall_1 ForEachListed $0
!macroend
!define ForEachListed "!insertmacro _ForEachListed"


; The functions, by their call macros. What plugin.nsi calls, in the order
; of a run:
!define BeginSetup "!insertmacro _SetupCall BeginSetup"
!define UseGivenMode "!insertmacro _SetupCall UseGivenMode"
!define CheckInstallation "!insertmacro _SetupCall CheckInstallation"
!define SetAsideInstalled "!insertmacro _SetupCall SetAsideInstalled"
!define PrepareFolders "!insertmacro _SetupCall PrepareFolders"
!define CompleteInstallation "!insertmacro _SetupCall CompleteInstallation"
!define ReportFailure "!insertmacro _SetupCall ReportFailure"
!define BeginUninstall "!insertmacro _SetupCall BeginUninstall"
!define RemoveInstalledFiles "!insertmacro _SetupCall RemoveInstalledFiles"
!define RemoveFoldersAndEntry "!insertmacro _SetupCall RemoveFoldersAndEntry"
; and what they call, with their arguments and results:
!define UsePluginEntry "!insertmacro _SetupCall UsePluginEntry"
!define ReadParameters "!insertmacro _SetupCall ReadParameters"
!define SwitchValue "!insertmacro _SetupCall_1_1 SwitchValue"
!define ModeOfSwitches "!insertmacro _SetupCall ModeOfSwitches"
!define RunElevated "!insertmacro _SetupCall_2_1 RunElevated"
!define UseMode "!insertmacro _SetupCall_1_1 UseMode"
!define InstallFolderGiven "!insertmacro _SetupCall_0_1 InstallFolderGiven"
!define TakeIfThePlugins "!insertmacro _SetupCall_1 TakeIfThePlugins"
!define StopUnlessWritable "!insertmacro _SetupCall_1 StopUnlessWritable"
!define StopAtFileInUse "!insertmacro _SetupCall_1 StopAtFileInUse"
!define ParentOf "!insertmacro _SetupCall_1_1 ParentOf"
!define PlaceOf "!insertmacro _SetupCall_2_1 PlaceOf"
!define RecordFolder "!insertmacro _SetupCall_2 RecordFolder"
!define CreatedBySetup "!insertmacro _SetupCall_1_1 CreatedBySetup"
!define FreeBackupFolder "!insertmacro _SetupCall_1_1 FreeBackupFolder"
!define MoveTree "!insertmacro _SetupCall_3 MoveTree"
!define SetAsideFile "!insertmacro _SetupCall_1 SetAsideFile"
!define CreateFolder "!insertmacro _SetupCall_1 CreateFolder"
!define PointEarlierFolders "!insertmacro _SetupCall_2 PointEarlierFolders"
!define EntryFolders "!insertmacro _SetupCall_1 EntryFolders"
; The first page's click handler, called as for no control.
!define ShowShield "!insertmacro _SetupCall_1 ShowShield 0"

; What the installer and the uninstaller share; UN is "" or "un.".
!macro SharedFunctions UN

; The plugin's entry, and the registry view it is in: on 64-bit Windows a
; plugin for 64-bit Windows only is registered in the 64-bit view (and goes
; into the 64-bit program files folder, see UseMode).
Function ${UN}UsePluginEntry
  StrCpy $UninstallKey "${ENTRY_KEY} $PluginFolderName"
  StrCmp $PluginBits 64 0 view_chosen
    ${Running64Bit} $0
    StrCmp $0 0 view_chosen
      SetRegView 64
  view_chosen:
FunctionEnd

Function ${UN}ForEachListed
  Exch $R1
  Push $R0
  Push $R2
  FileOpen $R2 "${INSTALLED_LIST}" r
  ; UTF-16 after a byte order mark, else ASCII.
  FileReadWord $R2 $ListInUtf16
  IntCmp $ListInUtf16 0xFEFF entry
    FileSeek $R2 0 SET
  entry:
    IntCmp $ListInUtf16 0xFEFF 0 ascii ascii
      FileReadUTF16LE $R2 $R0
      Goto read
    ascii:
      FileRead $R2 $R0
    read:
    StrCmp $R0 "" listed
    ; Without its CR LF.
    StrCpy $R0 $R0 -2
    Call $R1
    Goto entry
  listed:
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
  StrCmp $R3 "\" folder
    ${StopUnlessWritable} "$INSTDIR\$R0"
  folder:
FunctionEnd

Function ${UN}StopUnlessWritable
  Exch $R3
  IfFileExists $R3 0 writable
    ClearErrors
    FileOpen $R4 $R3 a
    IfErrors 0 opened
      ${StopAtFileInUse} $R3
    opened:
    FileClose $R4
  writable:
  Pop $R3
FunctionEnd

Function ${UN}StopAtFileInUse
  Pop $R9
  ReadEnvStr $R8 QUILLON_SETUP_REPORT
  StrCmp $R8 "" reported
    FileOpen $R7 $R8 w
    FileWriteUTF16LE $R7 $R9
    FileClose $R7
  reported:
  ${Fail} "${TEXT_IN_USE}" "${TEXT_IN_USE_STATUS}"
FunctionEnd

; Deletes a listed file; the first that stays is noted in $Leftover.
Function ${UN}DeleteListedFile
  StrCpy $R3 $R0 "" -1
  StrCmp $R3 "\" deleted
    ClearErrors
    Delete "$INSTDIR\$R0"
    IfErrors 0 deleted
    StrCmp $Leftover "" 0 deleted
      StrCpy $Leftover "$INSTDIR\$R0"
  deleted:
FunctionEnd

; Tells the user, once, what stopped the run; the installer first puts back
; what it changed. In silent runs nothing is shown and the exit code is 2.
Function ${UN}ReportFailure
  StrCmp $Progress reported told
  !ifndef __UNINSTALL__
    Call Undo
  !endif
  StrCpy $Progress reported
  MessageBox MB_OK|MB_ICONSTOP $Failure /SD IDOK
  told:
FunctionEnd

; After a failure the progress page stays, its caption says that the run was
; aborted (the next page would say "Completed") and Cancel ends it.
Function ${UN}InstallPageLeave
  StrCmp $Progress done completed
  ${ReportFailure}
  !ifndef __UNINSTALL__
    SendMessage $HWNDPARENT ${SETUP_WM_SETTEXT} 0 "STR:${TEXT_INSTALL_ABORTED}"
  !else
    SendMessage $HWNDPARENT ${SETUP_WM_SETTEXT} 0 "STR:${TEXT_UNINSTALL_ABORTED}"
  !endif
  GetDlgItem $0 $HWNDPARENT 2
  EnableWindow $0 1
  Abort
  completed:
FunctionEnd

; $Parameters: the command line without the program's name, as FileFunc's
; GetParameters gives it (which starts looking for the name's end at its
; third character).
Function ${UN}ReadParameters
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $Parameters ""
  StrCmp $CMDLINE "" read
  StrLen $1 $CMDLINE
  StrCpy $2 2
  ; The name ends at its closing quote, or else at a blank.
  StrCpy $3 $CMDLINE 1
  StrCmp $3 '"' +2
    StrCpy $3 " "
  name:
    IntCmp $2 $1 blanks 0 blanks
    StrCpy $0 $CMDLINE 1 $2
    IntOp $2 $2 + 1
    StrCmp $3 $0 0 name
  blanks:
    IntCmp $2 $1 parameters 0 parameters
    StrCpy $0 $CMDLINE 1 $2
    StrCmp $0 " " 0 parameters
    IntOp $2 $2 + 1
    Goto blanks
  parameters:
  StrCpy $Parameters $CMDLINE "" $2
  trailing_blanks:
    StrCpy $0 $Parameters 1 -1
    StrCmp $0 " " 0 read
    StrCpy $Parameters $Parameters -1
    Goto trailing_blanks
  read:
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; What follows the switch given ("/AllUsers", "/Language=") in $Parameters,
; up to the next blank, in any letter case; the error flag set and "" when
; the parameters do not hold it. Unlike FileFunc's GetOptions it does not
; skip quoted text: no switch this setup takes comes inside quotes.
Function ${UN}SwitchValue
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  ClearErrors
  StrLen $R1 $R0
  StrCpy $R2 0
  search:
    StrCpy $R3 $Parameters $R1 $R2
    StrCmp $R3 $R0 found
    StrCmp $R3 "" missing
    IntOp $R2 $R2 + 1
    Goto search
  missing:
  SetErrors
  StrCpy $R0 ""
  Goto done
  found:
  IntOp $R2 $R2 + $R1
  StrCpy $R0 $Parameters "" $R2
  StrCpy $R2 0
  value:
    StrCpy $R3 $R0 1 $R2
    StrCmp $R3 "" cut
    StrCmp $R3 " " cut
    IntOp $R2 $R2 + 1
    Goto value
  cut:
  StrCpy $R0 $R0 $R2
  done:
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; $InstallMode from /AllUsers or /CurrentUser ("" with neither), $Parameters
; and $ElevatedRun.
Function ${UN}ModeOfSwitches
  ${ReadParameters}
  StrCpy $InstallMode ""
  ${SwitchValue} "/AllUsers" $0
  IfErrors +2
    StrCpy $InstallMode AllUsers
  ${SwitchValue} "/CurrentUser" $0
  IfErrors elevated
  StrCmp $InstallMode "" only_for_me
    MessageBox MB_OK|MB_ICONSTOP "${TEXT_BOTH_MODES}" /SD IDOK
    SetErrorLevel 2
    Quit
  only_for_me:
  StrCpy $InstallMode CurrentUser
  elevated:
  StrCpy $ElevatedRun 1
  ${SwitchValue} "/ElevatedRun" $0
  IfErrors 0 +2
    StrCpy $ElevatedRun 0
FunctionEnd

; Runs this program again with administrator rights, the system asking the
; user for them, with the parameters given, and waits for it; its exit code,
; or "refused" when the rights were not given. The window given (or 0) owns
; the system's question and is hidden once the other run has started, which
; shows its own. A run started this way that still has no administrator
; rights ends at once: it never asks again.
Function ${UN}RunElevated
  StrCmp $ElevatedRun 1 0 +3
    SetErrorLevel ${NO_ADMIN_RIGHTS}
    Quit
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
  IntCmp $R3 0 ended
    System::Call '*$R2(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .R3)'
    ; Without a process handle (the shell started it some other way) the
    ; outcome is unknown, and taken for a failure.
    StrCpy $R1 2
    IntCmp $R3 0 ended
      IntCmp $R0 0 +2
        ShowWindow $R0 ${SETUP_SW_HIDE}
      System::Call 'kernel32::WaitForSingleObject(p R3, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p R3, *i .R1)'
      System::Call 'kernel32::CloseHandle(p R3)'
      StrCmp $R1 ${NO_ADMIN_RIGHTS} 0 ended
        StrCpy $R1 refused
  ended:
  System::Free $R2
  Pop $R3
  Pop $R2
  Pop $R0
  Exch $R1
FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!ifdef UNINSTALLER
  !insertmacro SharedFunctions "un."
!endif

; The installer's start: a plugin for 64-bit Windows only stops on any other
; (nothing could load it there); then the entry, the folder given, the
; earlier installs, the mode, and the language a run that started this one
; passes on.
Function BeginSetup
  StrCmp $PluginBits 64 0 windows_fits
    ${Running64Bit} $0
    StrCmp $0 0 0 windows_fits
      MessageBox MB_OK|MB_ICONSTOP "${TEXT_64_BIT_ONLY}" /SD IDOK
      SetErrorLevel 2
      Quit
  windows_fits:
  ${UsePluginEntry}
  ${InstallFolderGiven} $FolderGiven
  Call FindEarlierInstalls
  Call ChooseMode
  StrCpy $LanguageGiven 0
  ${SwitchValue} "/Language=" $0
  IfErrors language_known
    StrCpy $LANGUAGE $0
    StrCpy $LanguageGiven 1
  language_known:
FunctionEnd

; A silent run, or one given its mode, installs in that mode; the others
; choose on the first page, where a refusal of the rights leads too.
Function UseGivenMode
  StrCmp $ModeGiven 1 given
  IfSilent given chosen_on_first_page
  given:
  ${UseMode} 0 $0
  StrCmp $0 refused 0 used
    Call TellRightsRefused
    IfSilent 0 +3
      SetErrorLevel 2
      Quit
    StrCpy $InstallMode CurrentUser
  used:
  StrCmp $0 "" chosen_on_first_page
    StrCpy $ModeGiven 0
  chosen_on_first_page:
FunctionEnd

; The mode: the one a switch gives; else the mode of an earlier install of
; this plugin, when it is installed in one mode only; else for all users with
; administrator rights, only for the user without them.
Function ChooseMode
  ${ModeOfSwitches}
  StrCpy $ModeGiven 1
  StrCmp $InstallMode "" 0 chosen
  StrCpy $ModeGiven 0
  ${AdminRights} $0
  StrCmp $AllUsersKey "" 0 installed_for_all
    StrCmp $CurrentUserKey "" by_rights only_for_me
  installed_for_all:
    StrCmp $CurrentUserKey "" for_all_users by_rights
  by_rights:
    StrCmp $0 1 for_all_users only_for_me
  for_all_users:
    StrCpy $InstallMode AllUsers
    Goto chosen
  only_for_me:
    StrCpy $InstallMode CurrentUser
  chosen:
FunctionEnd

; Makes $InstallMode this run's: SHCTX then means HKLM or HKCU, the mode's
; earlier install is the one an update replaces, and the other mode's folder
; is refused. The folder, unless /D= chose it: where the mode's earlier
; install is, else the mode's default one; proposed again only when the mode
; changes, so that a folder the user typed stays. For all users without
; administrator rights the setup runs again with them (RunElevated), owned by
; the window given (or 0), and this run ends with its exit code. Gives ""
; when this run installs, "refused" when the rights were not given, "back"
; when the other run went back to the first page.
Function UseMode
  Exch $R0
  Push $R1
  ${AdminRights} $R1
  StrCmp $InstallMode AllUsers 0 in_this_run
  StrCmp $R1 0 0 in_this_run
    StrCpy $R1 "/AllUsers /ElevatedRun /Language=$LANGUAGE"
    IfSilent 0 +2
      StrCpy $R1 "/S $R1"
    StrCmp $FolderGiven 1 0 +2
      StrCpy $R1 "$R1 /D=$INSTDIR"
    ${RunElevated} $R0 $R1 $R1
    StrCmp $R1 ${BACK_TO_MODE_PAGE} ask_again
    StrCmp $R1 refused ask_again
    SetErrorLevel $R1
    Quit
  ask_again:
    ; This run asks again.
    IntCmp $R0 0 +2
      ShowWindow $R0 ${SETUP_SW_SHOW}
    StrCmp $R1 refused +2
      StrCpy $R1 back
    StrCpy $R0 $R1
    Goto used
  in_this_run:
  StrCmp $InstallMode AllUsers 0 only_for_me
    SetShellVarContext all
    StrCpy $EarlierKey $AllUsersKey
    StrCpy $EarlierFolder $AllUsersFolder
    StrCpy $OtherFolder $CurrentUserFolder
    StrCpy $R1 $PROGRAMFILES
    StrCmp $PluginBits 64 0 +2
      StrCpy $R1 $PROGRAMFILES64
    Goto propose
  only_for_me:
    SetShellVarContext current
    StrCpy $EarlierKey $CurrentUserKey
    StrCpy $EarlierFolder $CurrentUserFolder
    StrCpy $OtherFolder $AllUsersFolder
    StrCpy $R1 "$LOCALAPPDATA\Programs"
  propose:
  StrCmp $FolderGiven 0 0 proposed
  StrCmp $ProposedFor $InstallMode proposed
    StrCpy $INSTDIR "$R1\${PLUGINS_FOLDER}\$PluginType\$PluginFolderName"
    StrCmp $EarlierFolder "" +2
      StrCpy $INSTDIR $EarlierFolder
    StrCpy $ProposedFor $InstallMode
  proposed:
  StrCpy $R0 ""
  used:
  Pop $R1
  Exch $R0
FunctionEnd

Function TellRightsRefused
  MessageBox MB_OK|MB_ICONEXCLAMATION "${TEXT_RIGHTS_REFUSED}" /SD IDOK
FunctionEnd

; The first page: for all users or only for the user, with the plugin's
; earlier installs named. Skipped when the mode is given; going back to it
; from the next page shows it then, but a run for all users that a run
; without administrator rights started ends instead, and that run shows it.
Function ModePage
  StrCmp $ModeGiven 1 0 show
    StrCmp $ModePageSeen "" 0 shown_before
      StrCpy $ModePageSeen skipped
      Abort
    shown_before:
    StrCmp $ElevatedRun 1 0 show
      SetErrorLevel ${BACK_TO_MODE_PAGE}
      Quit
  show:
  StrCpy $ModePageSeen shown
  nsDialogs::Create 1018
  Pop $0
  ; Texts that hold names or folders show every "&" as it is.
  nsDialogs::CreateControl STATIC ${SETUP_LABEL_STYLE} 0 0 0 100% 20u "${TEXT_MODE_QUESTION}"
  Pop $0
  nsDialogs::CreateControl BUTTON ${SETUP_RADIO_STYLE} 0 10u 22u -10u 12u "${TEXT_MODE_ALL_USERS}"
  Pop $AllUsersButton
  nsDialogs::CreateControl BUTTON ${SETUP_RADIO_STYLE} 0 10u 36u -10u 12u "${TEXT_MODE_ONLY_ME}"
  Pop $CurrentUserButton
  StrCpy $0 $CurrentUserButton
  StrCmp $InstallMode AllUsers 0 +2
    StrCpy $0 $AllUsersButton
  SendMessage $0 ${SETUP_BM_SETCHECK} ${SETUP_BST_CHECKED} 0
  GetFunctionAddress $0 ShowShield
  nsDialogs::OnClick $AllUsersButton $0
  nsDialogs::OnClick $CurrentUserButton $0
  StrCpy $0 ""
  StrCmp $AllUsersKey "" +2
    StrCpy $0 "${TEXT_INSTALLED_FOR_ALL}$\r$\n"
  StrCmp $CurrentUserKey "" +2
    StrCpy $0 "$0${TEXT_INSTALLED_FOR_ME}$\r$\n"
  StrCmp $0 "" +2
    StrCpy $0 "$0$\r$\n${TEXT_SAME_MODE_UPDATES}"
  nsDialogs::CreateControl STATIC ${SETUP_LABEL_STYLE} 0 0 58u 100% -58u $0
  Pop $0
  ${ShowShield}
  nsDialogs::Show
FunctionEnd

; The system's shield on the Next button while "For all users" is chosen
; without administrator rights: Next then asks for them. The control clicked
; is on the stack.
Function ShowShield
  Pop $0
  SendMessage $AllUsersButton ${SETUP_BM_GETCHECK} 0 0 $0
  ${AdminRights} $1
  StrCmp $1 1 0 +2
    StrCpy $0 0
  GetDlgItem $1 $HWNDPARENT 1
  SendMessage $1 ${SETUP_BCM_SETSHIELD} 0 $0
FunctionEnd

Function ModePageLeave
  StrCpy $InstallMode CurrentUser
  SendMessage $AllUsersButton ${SETUP_BM_GETCHECK} 0 0 $0
  StrCmp $0 ${SETUP_BST_CHECKED} 0 +2
    StrCpy $InstallMode AllUsers
  GetDlgItem $1 $HWNDPARENT 1
  SendMessage $1 ${SETUP_BCM_SETSHIELD} 0 0
  ${UseMode} $HWNDPARENT $0
  StrCmp $0 refused 0 asked
    Call TellRightsRefused
    SendMessage $AllUsersButton ${SETUP_BM_SETCHECK} 0 0
    SendMessage $CurrentUserButton ${SETUP_BM_SETCHECK} ${SETUP_BST_CHECKED} 0
  asked:
  ; Refused, or back from the other run: the page stays.
  StrCmp $0 "" left
    ${ShowShield}
    Abort
  left:
FunctionEnd

; Whether the folder suits the mode: an install only for the user stays
; inside the user's profile, and the other mode's install of this plugin
; keeps its folder to itself (two entries never name one folder). The failure
; in $0 when it does not, else "" (and $1 changed).
Function FolderFailure
  StrCpy $0 ""
  StrCmp $InstallMode CurrentUser 0 other_mode
    ${PlaceOf} $INSTDIR $PROFILE $1
    StrCmp $1 below other_mode
      StrCpy $0 "${TEXT_OUTSIDE_PROFILE}"
      Return
  other_mode:
  StrCmp $OtherFolder "" suits
  StrCmp $OtherFolder $INSTDIR 0 suits
    StrCpy $0 "${TEXT_FOLDER_OF_ALL_USERS}"
    StrCmp $InstallMode AllUsers 0 suits
      StrCpy $0 "${TEXT_FOLDER_OF_ONE_USER}"
  suits:
FunctionEnd

Function FolderPageLeave
  Call FolderFailure
  StrCmp $0 "" +3
    MessageBox MB_OK|MB_ICONEXCLAMATION $0
    Abort
FunctionEnd

; 1 when /D= chose the installation folder, 0 otherwise. NSIS leaves it out
; of $CMDLINE; on the command line it comes last, after a blank.
Function InstallFolderGiven
  Push $0
  Push $1
  Push $2
  System::Call 'kernel32::GetCommandLine() t .r0'
  StrLen $1 $0
  search:
    IntOp $1 $1 - 1
    IntCmp $1 0 0 missing
    StrCpy $2 $0 4 $1
    StrCmp $2 " /D=" 0 search
  StrCpy $0 1
  Goto searched
  missing:
  StrCpy $0 0
  searched:
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The folder that holds the path given ("" for a drive or a name of its own).
Function ParentOf
  Exch $0
  Push $1
  Push $2
  StrLen $1 $0
  search:
    IntOp $1 $1 - 1
    IntCmp $1 0 0 top
    StrCpy $2 $0 1 $1
    StrCmp $2 "\" 0 search
  Goto cut
  top:
  StrCpy $1 0
  cut:
  StrCpy $0 $0 $1
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Whether the path given first lies in the folder given second: "at" it,
; "below" it, or "" elsewhere.
Function PlaceOf
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  StrLen $R2 $R1
  StrCpy $R3 $R0 $R2
  StrCmp $R3 $R1 0 elsewhere
  StrCpy $R3 $R0 1 $R2
  StrCmp $R3 "" 0 +3
    StrCpy $R0 at
    Goto placed
  StrCmp $R3 "\" 0 elsewhere
    StrCpy $R0 below
    Goto placed
  elsewhere:
  StrCpy $R0 ""
  placed:
  Pop $R3
  Pop $R2
  Exch
  Pop $R1
  Exch $R0
FunctionEnd

; The installed version of this plugin in the hive SHCTX means: the entry
; under this plugin's name, or the one a setup of an earlier version of the
; tool wrote under the name it gave the plugin, whichever is this plugin's;
; its key and folder in $EarlierKey and $EarlierFolder ("" when there is none).
Function FindEarlierEntry
  StrCpy $EarlierKey ""
  StrCpy $EarlierFolder ""
  ${TakeIfThePlugins} "${ENTRY_KEY} $EarlierFolderName"
  ${TakeIfThePlugins} $UninstallKey
  StrCmp $EarlierKey "" +2
    ReadRegStr $EarlierFolder SHCTX $EarlierKey "InstallLocation"
FunctionEnd

; $EarlierKey becomes the key given when its entry is this plugin's.
Function TakeIfThePlugins
  Exch $0
  Push $1
  Push $2
  ReadRegStr $1 SHCTX $0 "PluginName"
  ReadRegStr $2 SHCTX $0 "PluginMainFile"
  StrCmp $1 $PluginName 0 another
  StrCmp $2 $PluginMainFile 0 another
    StrCpy $EarlierKey $0
  another:
  Pop $2
  Pop $1
  Pop $0
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

; The checks before anything changes: every listed file, and the
; uninstaller, can be written; the folder suits the mode; no other plugin's
; entry has this plugin's name. The folder record is begun, with the folders
; above the installation folder that setups created.
Function CheckInstallation
  ; The folder record is a UTF-16 file, which holds any name.
  FileOpen $0 "${FOLDER_RECORD}" w
  FileWriteWord $0 0xFEFF
  FileClose $0
  ${ForEachListed} StopUnlessReplaceable
  !ifdef UNINSTALLER
    ${StopUnlessWritable} "$INSTDIR\uninstall.exe"
  !endif
  Call StopAtOtherPlugin
  Call InheritSetupFolders
FunctionEnd

; Another plugin's entry under this plugin's name (setups of earlier versions
; of the tool gave some plugins alike names) stops the installation, and so
; does a folder that does not suit the mode (FolderFailure).
Function StopAtOtherPlugin
  Call FolderFailure
  StrCmp $0 "" suits
    ${Fail} $0 "${TEXT_FOLDER_UNSUITED_STATUS}"
  suits:
  StrCmp $EarlierKey $UninstallKey own
  ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
  ReadRegStr $1 SHCTX $UninstallKey "PluginName"
  ReadRegStr $2 SHCTX $UninstallKey "PluginMainFile"
  StrCmp "$0$1$2" "" own
    ${Fail} "${TEXT_OTHER_PLUGIN}" "${TEXT_OTHER_PLUGIN_STATUS}"
  own:
FunctionEnd

; Appends the folder given second to the list given first in the folder
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

; 1 when any Quillon plugin's entry of this mode records the folder given
; among the folders its setup created, 0 otherwise.
Function CreatedBySetup
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R1 0
  entry:
    EnumRegKey $R2 SHCTX "${UNINSTALL_ROOT}" $R1
    StrCmp $R2 "" not_recorded
    IntOp $R1 $R1 + 1
    StrCpy $R3 $R2 8
    StrCmp $R3 "Quillon " 0 entry
    ReadRegDWORD $R3 SHCTX "${UNINSTALL_ROOT}\$R2" "CreatedFolders"
    folder:
      IntCmp $R3 0 entry entry
      ReadRegStr $R4 SHCTX "${UNINSTALL_ROOT}\$R2" "CreatedFolder$R3"
      IntOp $R3 $R3 - 1
      StrCmp $R4 $R0 0 folder
  StrCpy $R0 1
  Goto recorded
  not_recorded:
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
  up:
    StrCmp $0 "" down
    Push $0
    ${ParentOf} $0 $0
    Goto up
  down:
    Pop $0
    StrCmp $0 "" inherited
    ${CreatedBySetup} $0 $1
    StrCmp $1 1 0 down
      ${RecordFolder} Inherited $0
    Goto down
  inherited:
FunctionEnd

; Sets aside what is there: an earlier version with its uninstaller waits,
; with everything in its folder, in a folder inside it, and each listed file,
; and the uninstaller, that the new version replaces waits in a folder inside
; the installation folder, until the new version is in place.
Function SetAsideInstalled
  StrCpy $Progress moving
  Call SetAsideEarlierVersion
  ${ForEachListed} SetAsideListedFile
  !ifdef UNINSTALLER
    ${SetAsideFile} uninstall.exe
  !endif
  StrCpy $Progress writing
FunctionEnd

Function SetAsideEarlierVersion
  StrCmp $EarlierFolder "" set_aside
  IfFileExists "$EarlierFolder\uninstall.exe" 0 set_aside
  ${FreeBackupFolder} $EarlierFolder $EarlierImage
  ClearErrors
  CreateDirectory $EarlierImage
  ${MoveTree} $EarlierFolder $EarlierImage $EarlierImage
  IfErrors 0 set_aside
    ${Fail} "${TEXT_EARLIER_NOT_MOVED}" "${TEXT_EARLIER_NOT_MOVED_STATUS}"
  set_aside:
FunctionEnd

Function SetAsideListedFile
  StrCpy $R3 $R0 "" -1
  StrCmp $R3 "\" folder
    ${SetAsideFile} $R0
  folder:
FunctionEnd

; The file given, relative to the installation folder, waits in the folder
; $SetAside there, which is made on the first call.
Function SetAsideFile
  Exch $R3
  Push $R4
  IfFileExists "$INSTDIR\$R3" 0 set_aside
    StrCmp $SetAside "" 0 folder_chosen
      ${FreeBackupFolder} $INSTDIR $SetAside
    folder_chosen:
    ${ParentOf} "$SetAside\$R3" $R4
    ClearErrors
    CreateDirectory $R4
    Rename "$INSTDIR\$R3" "$SetAside\$R3"
    IfErrors 0 set_aside
      ${Fail} "${TEXT_FILE_NOT_MOVED}" "${TEXT_FILE_NOT_MOVED_STATUS}"
  set_aside:
  Pop $R4
  Pop $R3
FunctionEnd

; The name of a folder that does not exist yet inside the folder given, for
; what waits there.
Function FreeBackupFolder
  Exch $R3
  Push $R4
  StrCpy $R4 1
  taken:
    IfFileExists "$R3\$BackupFolderName$R4" 0 free
    IntOp $R4 $R4 + 1
    Goto taken
  free:
  StrCpy $R3 "$R3\$BackupFolderName$R4"
  Pop $R4
  Exch $R3
FunctionEnd

; Moves every entry of a folder (given first) into another (given second),
; but the one whose path is given third (none for ""): a folder whose name is
; taken by a folder there is merged into it; an entry whose name is taken by
; a file stays. Sets the error flag when an entry could not be moved.
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
  entry:
    StrCmp $R4 "" moved
    StrCmp $R4 "." next
    StrCmp $R4 ".." next
    StrCmp "$R0\$R4" $R2 next
    IfFileExists "$R1\$R4\*.*" 0 not_merged
    IfFileExists "$R0\$R4\*.*" 0 not_merged
      ${MoveTree} "$R0\$R4" "$R1\$R4" ""
      IfErrors 0 +2
        StrCpy $R5 failed
      RMDir "$R0\$R4"
      Goto next
    not_merged:
    IfFileExists "$R1\$R4" next
      ClearErrors
      Rename "$R0\$R4" "$R1\$R4"
      IfErrors 0 +2
        StrCpy $R5 failed
    next:
    FindNext $R3 $R4
    Goto entry
  moved:
  FindClose $R3
  ClearErrors
  StrCmp $R5 "" +2
    SetErrors
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R0
  Pop $R2
  Pop $R1
FunctionEnd

; The installation folder and the folders above it that are missing, the
; uninstaller and, for a first install, the entry (were the setup stopped
; before its end, its uninstaller would remove what it wrote), and the
; listed folders.
Function PrepareFolders
  ${CreateFolder} $INSTDIR
  !ifdef UNINSTALLER
    ClearErrors
    WriteUninstaller "$INSTDIR\uninstall.exe"
    IfErrors 0 written
      ${Fail} "${TEXT_UNINSTALLER_NOT_WRITTEN}" "${TEXT_UNINSTALLER_NOT_WRITTEN_STATUS}"
    written:
    StrCmp $EarlierKey "" 0 registered
      Call WriteEntry
    registered:
  !endif
  ${ForEachListed} CreateListedFolder
FunctionEnd

; Creates the folder given and the missing folders above it, noting each one
; it created in the record, outermost first.
Function CreateFolder
  Exch $0
  Push $1
  Push $2
  ; The missing folders go onto the stack, innermost first.
  StrCpy $1 $0
  StrCpy $2 0
  missing:
    IfFileExists "$1\*.*" create
    Push $1
    IntOp $2 $2 + 1
    ${ParentOf} $1 $1
    StrCmp $1 "" create missing
  create:
  CreateDirectory $0
  record:
    IntCmp $2 0 recorded recorded
    Pop $1
    IntOp $2 $2 - 1
    IfFileExists "$1\*.*" 0 record
      ${RecordFolder} Created $1
    Goto record
  recorded:
  IfFileExists "$0\*.*" created
    ${Fail} "${TEXT_FOLDER_NOT_CREATED}" "${TEXT_FOLDER_NOT_CREATED_STATUS}"
  created:
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function CreateListedFolder
  StrCpy $R3 $R0 "" -1
  StrCmp $R3 "\" 0 file
    StrCpy $R3 $R0 -1
    ${CreateFolder} "$INSTDIR\$R3"
  file:
FunctionEnd

; Once the files are in place: the earlier version goes, the entry is
; written, and what the new version replaced is deleted.
Function CompleteInstallation
  SetOutPath $PLUGINSDIR
  Call RemoveEarlierVersion
  !ifdef UNINSTALLER
    Call WriteEntry
  !endif
  StrCmp $SetAside "" +2
    RMDir /r $SetAside
  StrCpy $Progress done
FunctionEnd

; Has the earlier version's entry name, among the folders it created, those
; at or below one folder (given first) at the same places below another
; (given second).
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
  folder:
    IntCmp $R3 0 pointed pointed
    ReadRegStr $R4 SHCTX $EarlierKey "CreatedFolder$R3"
    ${PlaceOf} $R4 $R0 $R5
    StrCmp $R5 "" next
      StrCpy $R4 $R4 "" $R2
      WriteRegStr SHCTX $EarlierKey "CreatedFolder$R3" "$R1$R4"
    next:
    IntOp $R3 $R3 - 1
    Goto folder
  pointed:
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
  StrCmp $EarlierImage "" unregister
    ReadRegDWORD $0 SHCTX $EarlierKey "CreatedFolders"
    StrCpy $1 1
    earlier_folder:
      IntCmp $1 $0 0 0 earlier_folders_recorded
      ReadRegStr $2 SHCTX $EarlierKey "CreatedFolder$1"
      ${RecordFolder} Earlier $2
      IntOp $1 $1 + 1
      Goto earlier_folder
    earlier_folders_recorded:
    ${PointEarlierFolders} $EarlierFolder $EarlierImage
    CopyFiles /SILENT "$EarlierImage\uninstall.exe" "$PLUGINSDIR\earlier-uninstall.exe"
    Delete "$PLUGINSDIR\in-use.txt"
    System::Call 'kernel32::SetEnvironmentVariable(t "QUILLON_SETUP_REPORT", t "$PLUGINSDIR\in-use.txt")'
    ClearErrors
    ExecWait '"$PLUGINSDIR\earlier-uninstall.exe" /S /$InstallMode _?=$EarlierImage' $0
    IfErrors not_removed
    StrCmp $0 0 removed
    not_removed:
      ClearErrors
      FileOpen $1 "$PLUGINSDIR\in-use.txt" r
      IfErrors not_in_use
        FileReadUTF16LE $1 $2
        FileClose $1
        ; Named where the user knows it.
        StrLen $3 $EarlierImage
        StrCpy $2 $2 "" $3
        ${StopAtFileInUse} "$EarlierFolder$2"
      not_in_use:
      ${Fail} "${TEXT_EARLIER_NOT_REMOVED}" "${TEXT_EARLIER_NOT_REMOVED_STATUS}"
    removed:
    StrCpy $Progress kept
    ${MoveTree} $EarlierImage $EarlierFolder ""
    RMDir /r $EarlierImage
    ReadINIStr $1 "${FOLDER_RECORD}" Earlier Count
    created_folder:
      IntCmp $1 1 0 unregister
      ReadINIStr $2 "${FOLDER_RECORD}" Earlier $1
      ${PlaceOf} $2 $EarlierFolder $3
      StrCmp $3 below +2
        RMDir $2
      IntOp $1 $1 - 1
      Goto created_folder
  unregister:
  StrCmp $EarlierKey "" +2
    DeleteRegKey SHCTX $EarlierKey
FunctionEnd

; Puts back what a failed installation changed: removes the files it wrote
; and the folders it created, and moves back what waited.
Function Undo
  StrCmp $Progress moving changed
  StrCmp $Progress writing changed
    Return
  changed:
  ; No folder of the installation may stay this program's working folder.
  SetOutPath $PLUGINSDIR
  StrCmp $Progress writing 0 written
    ${ForEachListed} DeleteListedFile
    !ifdef UNINSTALLER
      Delete "$INSTDIR\uninstall.exe"
    !endif
  written:
  ReadINIStr $1 "${FOLDER_RECORD}" Created Count
  created_folder:
    IntCmp $1 1 0 folders_removed
    ReadINIStr $2 "${FOLDER_RECORD}" Created $1
    RMDir $2
    IntOp $1 $1 - 1
    Goto created_folder
  folders_removed:
  StrCpy $3 ""
  StrCmp $SetAside "" files_back
    ClearErrors
    ${MoveTree} $SetAside $INSTDIR ""
    IfErrors 0 +2
      StrCpy $3 $SetAside
    RMDir $SetAside
  files_back:
  StrCmp $EarlierImage "" earlier_back
    ${PointEarlierFolders} $EarlierImage $EarlierFolder
    ClearErrors
    ${MoveTree} $EarlierImage $EarlierFolder ""
    IfErrors 0 +2
      StrCpy $3 "$3 $EarlierImage"
    RMDir $EarlierImage
  earlier_back:
  StrCmp $3 "" +2
    StrCpy $Failure "$Failure$\r$\n${TEXT_NOT_PUT_BACK}"
  ; A first install's entry, written early.
  StrCmp $EarlierKey "" 0 +2
    DeleteRegKey SHCTX $UninstallKey
FunctionEnd

!ifdef UNINSTALLER

; The entry, complete; written again at the end of an installation.
Function WriteEntry
  WriteRegStr SHCTX $UninstallKey "DisplayName" $PluginName
  WriteRegStr SHCTX $UninstallKey "PluginName" $PluginName
  WriteRegStr SHCTX $UninstallKey "PluginMainFile" $PluginMainFile
  !if "${PLUGIN_VERSION}" != ""
    WriteRegStr SHCTX $UninstallKey "DisplayVersion" "${PLUGIN_VERSION}"
  !endif
  StrCmp $Publisher "" +2
    WriteRegStr SHCTX $UninstallKey "Publisher" $Publisher
  WriteRegStr SHCTX $UninstallKey "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX $UninstallKey "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX $UninstallKey "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX $UninstallKey "EstimatedSize" $InstalledSize
  WriteRegDWORD SHCTX $UninstallKey "NoModify" 1
  WriteRegDWORD SHCTX $UninstallKey "NoRepair" 1
  WriteRegStr SHCTX $UninstallKey "Language" $LANGUAGE
  StrCpy $0 0
  ${EntryFolders} Inherited
  ${EntryFolders} Created
  WriteRegDWORD SHCTX $UninstallKey "CreatedFolders" $0
FunctionEnd

; The folders of one list of the record, as the next CreatedFolder<$0>
; values.
Function EntryFolders
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  ReadINIStr $R1 "${FOLDER_RECORD}" $R0 Count
  StrCpy $R2 1
  folder:
    IntCmp $R2 $R1 0 0 written
    ReadINIStr $R3 "${FOLDER_RECORD}" $R0 $R2
    IntOp $0 $0 + 1
    WriteRegStr SHCTX $UninstallKey "CreatedFolder$0" $R3
    IntOp $R2 $R2 + 1
    Goto folder
  written:
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; The uninstaller's start: its mode is the one a switch gives (an update
; gives it), else the one whose entry names this folder, else as a setup
; would choose it; an install for all users is removed by a run with
; administrator rights. Then the language the setup ran in.
Function un.BeginUninstall
  ${UsePluginEntry}
  ${ModeOfSwitches}
  StrCmp $InstallMode "" 0 mode_chosen
    ${AdminRights} $0
    StrCpy $InstallMode CurrentUser
    StrCmp $0 1 0 +2
      StrCpy $InstallMode AllUsers
    SetShellVarContext all
    ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
    StrCmp $0 $INSTDIR 0 +2
      StrCpy $InstallMode AllUsers
    SetShellVarContext current
    ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
    StrCmp $0 $INSTDIR 0 +2
      StrCpy $InstallMode CurrentUser
  mode_chosen:
  SetShellVarContext current
  StrCmp $InstallMode AllUsers 0 rights_known
    SetShellVarContext all
    ${AdminRights} $0
    StrCmp $0 0 0 rights_known
      StrCpy $0 "/AllUsers /ElevatedRun _?=$INSTDIR"
      IfSilent 0 +2
        StrCpy $0 "/S $0"
      ${RunElevated} 0 $0 $0
      StrCmp $0 refused 0 +3
        MessageBox MB_OK|MB_ICONSTOP "${TEXT_UNINSTALL_RIGHTS_REFUSED}" /SD IDOK
        StrCpy $0 2
      SetErrorLevel $0
      Quit
  rights_known:
  ReadRegStr $0 SHCTX $UninstallKey "Language"
  StrCmp $0 "" +2
    StrCpy $LANGUAGE $0
FunctionEnd

; $INSTDIR is the uninstaller's own folder. Only what the installer put
; there goes, and only when all of it can: what else the folders hold stays,
; and so do they. A file that came into use meanwhile stays, and so do the
; uninstaller and the entry, to finish the job later.
Function un.RemoveInstalledFiles
  ${ForEachListed} StopUnlessReplaceable
  ${ForEachListed} DeleteListedFile
  StrCmp $Leftover "" removed
    ${Fail} "${TEXT_FILES_LEFT}" "${TEXT_FILES_LEFT_STATUS}"
  removed:
  Delete "$INSTDIR\uninstall.exe"
FunctionEnd

; The folders the entry names, innermost first, once empty, and the entry.
Function un.RemoveFoldersAndEntry
  SetOutPath "$TEMP"
  ReadRegDWORD $1 SHCTX $UninstallKey "CreatedFolders"
  folder:
    IntCmp $1 1 0 removed
    ReadRegStr $2 SHCTX $UninstallKey "CreatedFolder$1"
    StrCmp $2 "" +2
      RMDir $2
    IntOp $1 $1 - 1
    Goto folder
  removed:
  DeleteRegKey SHCTX $UninstallKey
  StrCpy $Progress done
FunctionEnd

!endif
