; The machinery of a Quillon plugin's installer and uninstaller, for the
; script plugin.nsi beside it, which includes it after its languages and
; their texts. The setup creator copies this file as it is and fills nothing
; in it: the plugin's values come from plugin.nsi, in the variables its
; PluginValues set (PluginName, PluginMainFile, PluginType, PluginFolderName,
; EarlierFolderName, BackupFolderName, Publisher, PluginBits) and in
; $InstalledSize, in the define PLUGIN_VERSION and, when set, BRAND_ICON,
; BRAND_URL and MAIN_FILE_ICON (for the entry), and in the list of installed
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
; user's profile for an install only for the user, a folder that holds
; another plugin's installation (its uninstaller, or another entry's folder),
; and a folder inside the earlier install's. A folder given with /D= is taken
; as given, or refused with the reason (TakeGivenFolder). The uninstaller
; takes its mode from /AllUsers or /CurrentUser (an update passes it to the
; earlier version's uninstaller), else from the entry that names its folder,
; and runs itself again with administrator rights when it removes an install
; for all users without them.
;
; The order of an installation: first it checks, changing nothing, that every
; file it writes can be written, that no other plugin's entry has this
; plugin's name and that the folder suits. Then it writes, in the registry
; value ${PROGRESS_KEY}\<type> <folder name> of its mode, where its record
; will be: the file setup.ini in its work folder, a folder inside the
; installation folder named $BackupFolderName<n> (W). Before each step that
; changes something the record says which step it is at (WriteRecordStep),
; and it holds what the run changes: the folders, the earlier version's entry
; and the new one, and a copy of the list of files (installed.txt). The steps:
; "setaside": an earlier version of the plugin waits, with everything in its
; folder but its uninstaller, in a folder inside it (W\earlier when it is the
; installation folder), and files the new version replaces wait in
; W\replaced. "extract": the folders are created; the new uninstaller,
; written into W, takes the place of the earlier one in one rename (a copy of
; that waits with the earlier version); the entry is written, naming the new
; uninstaller; then the files are extracted. "complete": every new file is in
; place; the earlier version's own uninstaller removes exactly what it
; installed from where it waits; what remains there is the user's and goes
; back (MoveBack); the entry is written again, W and the registry value go.
; Should anything fail before the earlier version is removed, everything is
; put back as it was (a first install leaves nothing), the user is told what
; failed, a silent run ends with exit code 2 and the last page says that the
; installation was aborted.
;
; A run that was stopped before its end (killed, or the power lost) leaves its
; record; every setup of this plugin and its uninstaller look for it first
; (FinishInterruptedRun) and undo that run while not every new file was in
; place, or complete it once they were, saying so in the log, and then go on
; with what they were asked. An uninstaller whose setup was undone hands the
; removal to the uninstaller of the version put back. A run still at work is
; waited for half a minute, then left alone; the earlier version's
; uninstaller that a stopped run started is waited for as long, then ended.
;
; What the user changed is theirs: the list of installed files holds each
; file's size and CRC-32 as the setup ships it. The uninstaller keeps a file
; that is not a program or a library (IsProgramFile) when it differs from
; that, and so its folder; an update, whose earlier version's uninstaller
; keeps such files, puts them back and writes the new version of the file
; beside it as <name>.new, telling it in the log.
;
; The uninstaller's entry runs it in place ("_?=<folder>"), so that whoever
; runs it and waits for it gets its result when the work is done; NSIS's own
; way, a copy in the temporary folder that it starts and does not wait for,
; is never taken. A running uninstaller's own file can be neither deleted nor
; renamed (NSIS keeps it open, without sharing its deletion), so it goes,
; with the folders that only it kept, once the uninstaller has ended
; (EndUninstall).
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
; plainly, takes about 0.1 s: every build pays for it.

; The texts the installer and the uninstaller show themselves, in the language
; the run speaks: each is the language string of its name, which every file
; in translations\ beside plugin.nsi defines for its language (plugin.nsi
; includes the file of each language it loads, English.nsh for those without
; one). English.nsh says what each text tells of: the variables (or
; registers) that the code fills before it shows the text.
!define TEXT_MODE_PAGE_CAPTION "$(TEXT_MODE_PAGE_CAPTION)"
!define TEXT_MODE_QUESTION "$(TEXT_MODE_QUESTION)"
!define TEXT_MODE_ALL_USERS "$(TEXT_MODE_ALL_USERS)"
!define TEXT_MODE_ONLY_ME "$(TEXT_MODE_ONLY_ME)"
!define TEXT_INSTALLED_FOR_ALL "$(TEXT_INSTALLED_FOR_ALL)"
!define TEXT_INSTALLED_FOR_ME "$(TEXT_INSTALLED_FOR_ME)"
!define TEXT_SAME_MODE_UPDATES "$(TEXT_SAME_MODE_UPDATES)"
!define TEXT_BOTH_MODES "$(TEXT_BOTH_MODES)"
!define TEXT_64_BIT_ONLY "$(TEXT_64_BIT_ONLY)"
!define TEXT_RIGHTS_REFUSED "$(TEXT_RIGHTS_REFUSED)"
!define TEXT_UNINSTALL_RIGHTS_REFUSED "$(TEXT_UNINSTALL_RIGHTS_REFUSED)"
!define TEXT_GIVEN_FOLDER_RELATIVE "$(TEXT_GIVEN_FOLDER_RELATIVE)"
!define TEXT_GIVEN_FOLDER_CHARACTERS "$(TEXT_GIVEN_FOLDER_CHARACTERS)"
!define TEXT_GIVEN_FOLDER_NO_DRIVE "$(TEXT_GIVEN_FOLDER_NO_DRIVE)"
!define TEXT_GIVEN_FOLDER_ROOT "$(TEXT_GIVEN_FOLDER_ROOT)"
!define TEXT_GIVEN_FOLDER_FILE "$(TEXT_GIVEN_FOLDER_FILE)"
!define TEXT_OUTSIDE_PROFILE "$(TEXT_OUTSIDE_PROFILE)"
!define TEXT_FOLDER_OF_ALL_USERS "$(TEXT_FOLDER_OF_ALL_USERS)"
!define TEXT_FOLDER_OF_ONE_USER "$(TEXT_FOLDER_OF_ONE_USER)"
!define TEXT_FOLDER_OF_OTHER_PLUGIN "$(TEXT_FOLDER_OF_OTHER_PLUGIN)"
!define TEXT_FOLDER_HOLDS_UNINSTALLER "$(TEXT_FOLDER_HOLDS_UNINSTALLER)"
!define TEXT_INSIDE_EARLIER "$(TEXT_INSIDE_EARLIER)"
!define TEXT_UNINSTALLER_WOULD_GO "$(TEXT_UNINSTALLER_WOULD_GO)"
!define TEXT_FOLDER_UNSUITED_STATUS "$(TEXT_FOLDER_UNSUITED_STATUS)"
!define TEXT_IN_USE "$(TEXT_IN_USE)"
!define TEXT_IN_USE_STATUS "$(TEXT_IN_USE_STATUS)"
!define TEXT_OTHER_PLUGIN "$(TEXT_OTHER_PLUGIN)"
!define TEXT_OTHER_PLUGIN_STATUS "$(TEXT_OTHER_PLUGIN_STATUS)"
!define TEXT_FOLDER_NOT_CREATED "$(TEXT_FOLDER_NOT_CREATED)"
!define TEXT_FOLDER_NOT_CREATED_STATUS "$(TEXT_FOLDER_NOT_CREATED_STATUS)"
!define TEXT_EARLIER_NOT_MOVED "$(TEXT_EARLIER_NOT_MOVED)"
!define TEXT_EARLIER_NOT_MOVED_STATUS "$(TEXT_EARLIER_NOT_MOVED_STATUS)"
!define TEXT_FILE_NOT_MOVED "$(TEXT_FILE_NOT_MOVED)"
!define TEXT_FILE_NOT_MOVED_STATUS "$(TEXT_FILE_NOT_MOVED_STATUS)"
!define TEXT_UNINSTALLER_NOT_WRITTEN "$(TEXT_UNINSTALLER_NOT_WRITTEN)"
!define TEXT_UNINSTALLER_NOT_WRITTEN_STATUS "$(TEXT_UNINSTALLER_NOT_WRITTEN_STATUS)"
!define TEXT_FILES_NOT_WRITTEN "$(TEXT_FILES_NOT_WRITTEN)"
!define TEXT_EARLIER_NOT_REMOVED "$(TEXT_EARLIER_NOT_REMOVED)"
!define TEXT_EARLIER_NOT_REMOVED_STATUS "$(TEXT_EARLIER_NOT_REMOVED_STATUS)"
!define TEXT_NOT_PUT_BACK "$(TEXT_NOT_PUT_BACK)"
!define TEXT_ANOTHER_RUN "$(TEXT_ANOTHER_RUN)"
!define TEXT_RUN_UNDONE "$(TEXT_RUN_UNDONE)"
!define TEXT_RUN_COMPLETED "$(TEXT_RUN_COMPLETED)"
!define TEXT_KEPT_BESIDE_NEW "$(TEXT_KEPT_BESIDE_NEW)"
!define TEXT_KEPT_BESIDE_FOLDER "$(TEXT_KEPT_BESIDE_FOLDER)"
!define TEXT_KEPT_SUMMARY "$(TEXT_KEPT_SUMMARY)"
!define TEXT_KEPT_CHANGED "$(TEXT_KEPT_CHANGED)"
!define TEXT_KEPT_ON_UNINSTALL "$(TEXT_KEPT_ON_UNINSTALL)"
!define TEXT_FILES_LEFT "$(TEXT_FILES_LEFT)"
!define TEXT_FILES_LEFT_STATUS "$(TEXT_FILES_LEFT_STATUS)"
!define TEXT_INSTALL_ABORTED "$(TEXT_INSTALL_ABORTED)"
!define TEXT_UNINSTALL_ABORTED "$(TEXT_UNINSTALL_ABORTED)"
!define TEXT_DOWNGRADE "$(TEXT_DOWNGRADE)"

; Every plugin's entry is a key "Quillon <type> plugin <folder name>" below
; the uninstall root: ENTRY_KEY followed by a blank and a folder name.
!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define ENTRY_KEY "${UNINSTALL_ROOT}\Quillon $PluginType plugin"
; Where a run of a setup keeps, while it changes anything, the way to its
; record: a key "<type> <folder name>" with the values Record (the record's
; path) and CreatedFrom (the outermost folder the run creates for its
; installation folder, "" when it exists), in the mode's hive.
!define PROGRESS_PARENT_KEY "Software\Quillon"
!define PROGRESS_KEY "${PROGRESS_PARENT_KEY}\Plugin setups at work"
; Where plugins go, below the program files folder or the user's programs
; folder.
!define PLUGINS_FOLDER "Quillon\plugins"
; What the installer and the uninstaller keep while they run: the list of
; installed files, and a run's record as it is written (RECORD_SCRATCH) before
; each of its copies replaces the record in the work folder.
!define INSTALLED_LIST "$PLUGINSDIR\installed.txt"
!define RECORD_SCRATCH "$PLUGINSDIR\record.ini"
; The environment variable that names the file where an uninstaller that a
; setup runs writes the file that stopped it.
!define REPORT_VARIABLE "QUILLON_SETUP_REPORT"
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
; MoveFileEx: MOVEFILE_REPLACE_EXISTING|MOVEFILE_WRITE_THROUGH, and no copy
; to another volume.
!define SETUP_MOVE_REPLACING 9
; CreateFile: GENERIC_READ, FILE_SHARE_READ|FILE_SHARE_WRITE|FILE_SHARE_DELETE,
; OPEN_EXISTING.
!define SETUP_GENERIC_READ 0x80000000
!define SETUP_SHARE_ALL 7
!define SETUP_OPEN_EXISTING 3
; GetDriveType's answer for a root that does not exist; DETACHED_PROCESS.
!define SETUP_DRIVE_NO_ROOT_DIR 1
!define SETUP_DETACHED_PROCESS 0x00000008

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
; The key that points at the record of a run of a setup of this plugin.
Var ProgressKey
; How far the run got: "" before it changed anything; "changing" from then
; on, as long as all it changed can be put back (only then are the files at
; the new version's places its own); "kept" once an earlier version has been
; removed; "done" at its successful end; "reported" once a failure has been
; told.
Var Progress
; What stopped the run, told at its end; the first file that could not be
; removed.
Var Failure
Var Leftover
; The list of installed files that ForEachListed reads (${INSTALLED_LIST},
; or the copy in a run's work folder); its handle while it is read (closed by
; ReportFailure when a failure stopped the loop: an open file would keep the
; temporary folder from going); whether it is in UTF-16 (0xFEFF, its byte
; order mark); the size and the CRC-32 of the file it is at ("" for a
; folder).
Var ListFile
Var ListHandle
Var ListInUtf16
Var ListedSize
Var ListedHash
; The installed version of this plugin: its entry ("" when there is none),
; its folder, and the folder where everything there waits while the new
; version goes in ("" when nothing waits).
Var EarlierKey
Var EarlierFolder
Var EarlierImage
; The run's work folder (W) in the installation folder, which holds its
; record; W\replaced, where the files the new version replaces wait; the
; record of the folders the run created and found ([Created], [Inherited],
; [Earlier]).
Var WorkFolder
Var SetAside
Var FolderRecord
; How many files of the user's an update or an uninstall kept.
Var KeptFiles
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
; This plugin's entries, folders and versions in either mode ("" where it is
; not installed, or its version is unknown), and the other mode's folder once
; the mode is chosen.
Var AllUsersKey
Var AllUsersFolder
Var AllUsersVersion
Var CurrentUserKey
Var CurrentUserFolder
Var CurrentUserVersion
Var OtherFolder
; The plugin's version in this setup (PLUGIN_VERSION), and the newer one
; installed that it would replace; whether the user or /AllowDowngrade allowed
; that (1, else 0).
Var PluginVersion
Var InstalledVersion
Var DowngradeAllowed
; The mode that proposed $INSTDIR; whether the first page was "skipped" or
; "shown"; its radio buttons.
Var ProposedFor
Var ModePageSeen
Var AllUsersButton
Var CurrentUserButton
!ifdef UNINSTALLER
  ; Whether a setup (or another uninstaller) runs this uninstaller on a
  ; folder of its choice (1, else 0): then it only removes what it installed
  ; there. After an interrupted setup was undone: the folder of the version
  ; put back, whose uninstaller does the removal, or "-" when none was.
  Var RunBySetup
  Var HandOver
  ; This uninstaller's own file when it is to go once the uninstaller has
  ; ended ("" otherwise); the earlier uninstaller that is then to take its
  ; place, should the removal fail ("" when none); how many folders are to go
  ; after it, once empty (QUILLON_REMOVE_<n>).
  Var OwnFile
  Var OwnReplacement
  Var OwnFolders
!endif

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
!macro _SetupCall_1_2 NAME A RESULT1 RESULT2
  Push "${A}"
  !insertmacro _SetupCall ${NAME}
  Pop ${RESULT1}
  Pop ${RESULT2}
!macroend
!macro _SetupCall_4 NAME A B C D
  Push "${A}"
  Push "${B}"
  Push "${C}"
  Push "${D}"
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

; Calls, for each entry of the list of installed files ($ListFile), the
; function named (in the uninstaller its "un." twin) with the entry in $R0, a
; path relative to the installation folder, a folder's ending with a
; backslash, and a file's size and CRC-32 in $ListedSize and $ListedHash. The
; function keeps $R0 to $R2. Changes $0.
!macro _ForEachListed FUNCTION
  !ifdef __UNINSTALL__
    GetFunctionAddress $0 un.${FUNCTION}
  !else
    GetFunctionAddress $0 ${FUNCTION}
  !endif
  !insertmacro _SetupCall_1 ForEachListed $0
!macroend
!define ForEachListed "!insertmacro _ForEachListed"

; In the uninstaller, jumps to LABEL when $INSTDIR\uninstall.exe is this
; uninstaller's own file, which cannot be replaced or deleted while it runs:
; it then goes once the uninstaller has ended (EndUninstall).
!macro _IfOwnFile LABEL
  !ifdef __UNINSTALL__
    StrCmp "$INSTDIR\uninstall.exe" $EXEPATH 0 +3
      StrCpy $OwnFile $EXEPATH
      Goto ${LABEL}
  !endif
!macroend
!define IfOwnFile "!insertmacro _IfOwnFile"

; The functions, by their call macros. What plugin.nsi calls, in the order
; of a run:
!define TakeGivenLanguage "!insertmacro _SetupCall TakeGivenLanguage"
!define BeginSetup "!insertmacro _SetupCall BeginSetup"
!define UseGivenMode "!insertmacro _SetupCall UseGivenMode"
!define FinishInterruptedRun "!insertmacro _SetupCall FinishInterruptedRun"
!define CheckInstallation "!insertmacro _SetupCall CheckInstallation"
!define SetAsideInstalled "!insertmacro _SetupCall SetAsideInstalled"
!define PrepareFolders "!insertmacro _SetupCall PrepareFolders"
!define CompleteInstallation "!insertmacro _SetupCall CompleteInstallation"
!define ReportFailure "!insertmacro _SetupCall ReportFailure"
!define BeginUninstall "!insertmacro _SetupCall BeginUninstall"
!define RemoveInstalledFiles "!insertmacro _SetupCall RemoveInstalledFiles"
!define RemoveFoldersAndEntry "!insertmacro _SetupCall RemoveFoldersAndEntry"
!define EndUninstall "!insertmacro _SetupCall EndUninstall"
; and what they call, with their arguments and results:
!define UsePluginEntry "!insertmacro _SetupCall UsePluginEntry"
!define ReadParameters "!insertmacro _SetupCall ReadParameters"
!define SwitchValue "!insertmacro _SetupCall_1_1 SwitchValue"
!define ModeOfSwitches "!insertmacro _SetupCall ModeOfSwitches"
!define RunElevated "!insertmacro _SetupCall_2_1 RunElevated"
!define UseMode "!insertmacro _SetupCall_1_1 UseMode"
!define TakeIfThePlugins "!insertmacro _SetupCall_1 TakeIfThePlugins"
!define StopUnlessWritable "!insertmacro _SetupCall_1 StopUnlessWritable"
!define StopAtFileInUse "!insertmacro _SetupCall_1 StopAtFileInUse"
!define ParentOf "!insertmacro _SetupCall_1_1 ParentOf"
!define PlaceOf "!insertmacro _SetupCall_2_1 PlaceOf"
!define RecordFolder "!insertmacro _SetupCall_2 RecordFolder"
!define CreatedBySetup "!insertmacro _SetupCall_1_1 CreatedBySetup"
!define ProductNameOf "!insertmacro _SetupCall_1_1 ProductNameOf"
!define FreeBackupFolder "!insertmacro _SetupCall_1_1 FreeBackupFolder"
!define MoveTree "!insertmacro _SetupCall_4 MoveTree"
!define MoveBack "!insertmacro _SetupCall_2 MoveBack"
!define SetAsideFile "!insertmacro _SetupCall_1 SetAsideFile"
!define CreateFolder "!insertmacro _SetupCall_1 CreateFolder"
!define PointEarlierFolders "!insertmacro _SetupCall_2 PointEarlierFolders"
!define EntryFolders "!insertmacro _SetupCall_1 EntryFolders"
!define WriteRecordStep "!insertmacro _SetupCall_1 WriteRecordStep"
!define SaveEntry "!insertmacro _SetupCall_2 SaveEntry"
!define RestoreEntry "!insertmacro _SetupCall_2 RestoreEntry"
!define RunUninstallerOf "!insertmacro _SetupCall_2_1 RunUninstallerOf"
!define TellWhyNotRemoved "!insertmacro _SetupCall_1 TellWhyNotRemoved"
!define RunAlive "!insertmacro _SetupCall_1_1 RunAlive"
!define EndProgramsOf "!insertmacro _SetupCall_1 EndProgramsOf"
!define IsProgramFile "!insertmacro _SetupCall_1_1 IsProgramFile"
!define ChangedSinceInstalled "!insertmacro _SetupCall_1_1 ChangedSinceInstalled"
!define CompareVersions "!insertmacro _SetupCall_2_1 CompareVersions"
!define FirstVersionNumber "!insertmacro _SetupCall_1_2 FirstVersionNumber"
; The first page's click handler, called as for no control.
!define ShowShield "!insertmacro _SetupCall_1 ShowShield 0"

; What the installer and the uninstaller share; UN is "" or "un.".
!macro SharedFunctions UN

; The plugin's entry, the key that points at a record of a run of its setup,
; and the registry view they are in: on 64-bit Windows a plugin for 64-bit
; Windows only is registered in the 64-bit view (and goes into the 64-bit
; program files folder, see UseMode).
Function ${UN}UsePluginEntry
  StrCpy $UninstallKey "${ENTRY_KEY} $PluginFolderName"
  StrCpy $ProgressKey "${PROGRESS_KEY}\$PluginType $PluginFolderName"
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
  Push $R3
  StrCmp $ListFile "" 0 +2
    StrCpy $ListFile "${INSTALLED_LIST}"
  FileOpen $R2 $ListFile r
  StrCpy $ListHandle $R2
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
    ; Without its CR LF. A file's line ends with "|<size>|<CRC-32>", the
    ; CRC-32 in eight hex digits.
    StrCpy $R0 $R0 -2
    StrCpy $ListedSize ""
    StrCpy $ListedHash ""
    StrCpy $R3 $R0 1 -9
    StrCmp $R3 "|" 0 parsed
      StrCpy $ListedHash $R0 "" -8
      StrCpy $R0 $R0 -9
      StrCpy $R3 0
      size:
        IntOp $R3 $R3 - 1
        IntCmp $R3 -22 parsed parsed
        StrCpy $ListedSize $R0 1 $R3
        StrCmp $ListedSize "|" 0 size
      IntOp $R3 $R3 + 1
      StrCpy $ListedSize $R0 "" $R3
      IntOp $R3 $R3 - 1
      StrCpy $R0 $R0 $R3
    parsed:
    Call $R1
    Goto entry
  listed:
  FileClose $R2
  StrCpy $ListHandle ""
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; Nothing of an installed version is removed or replaced unless all of it can
; be: a listed file that exists but cannot be opened for writing (in use, as a
; plugin loaded by a running file manager is, or read-only) stops everything,
; before anything has changed. A folder where the list has a file is no
; obstacle: it is set aside like a file. StopAtFileInUse tells the user which
; file it is; it also writes the path, as UTF-16, to the file that the
; environment variable ${REPORT_VARIABLE} names: a setup that runs the
; uninstaller of an earlier version reads it there.
Function ${UN}StopUnlessReplaceable
  StrCpy $R3 $R0 "" -1
  StrCmp $R3 "\" folder
    ${StopUnlessWritable} "$INSTDIR\$R0"
  folder:
FunctionEnd

Function ${UN}StopUnlessWritable
  Exch $R3
  IfFileExists $R3 0 writable
  IfFileExists "$R3\*.*" writable
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
  ReadEnvStr $R8 ${REPORT_VARIABLE}
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

; 1 when the name given is a program's or a library's, by its extension:
; those always take the new version and are never kept as the user's. Every
; other file (settings, language files, texts) may be the user's.
Function ${UN}IsProgramFile
  Exch $R3
  Push $R4
  Push $R5
  ; The extension follows the last dot within the name's last seven
  ; characters.
  StrCpy $R4 0
  dot:
    IntOp $R4 $R4 - 1
    IntCmp $R4 -7 other other
    StrCpy $R5 $R3 1 $R4
    StrCmp $R5 "\" other
    StrCmp $R5 "." 0 dot
  IntOp $R4 $R4 + 1
  IntCmp $R4 0 other
  StrCpy $R3 $R3 "" $R4
  StrCmp $R3 exe program
  StrCmp $R3 dll program
  StrCmp $R3 com program
  StrCmp $R3 scr program
  StrCmp $R3 cpl program
  StrCmp $R3 ocx program
  StrCmp $R3 sys program
  StrCmp $R3 drv program
  StrCmp $R3 mui program
  StrCmp $R3 wcx program
  StrCmp $R3 wcx64 program
  StrCmp $R3 wdx program
  StrCmp $R3 wdx64 program
  StrCmp $R3 wfx program
  StrCmp $R3 wfx64 program
  StrCmp $R3 wlx program
  StrCmp $R3 wlx64 program
  other:
  StrCpy $R3 0
  Goto judged
  program:
  StrCpy $R3 1
  judged:
  Pop $R5
  Pop $R4
  Exch $R3
FunctionEnd

; Tells the user, once, what stopped the run; the installer first puts back
; what it changed. In silent runs nothing is shown and the exit code is 2.
Function ${UN}ReportFailure
  StrCmp $ListHandle "" +3
    FileClose $ListHandle
    StrCpy $ListHandle ""
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

; The folder that holds the path given ("" for a drive or a name of its own).
Function ${UN}ParentOf
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
Function ${UN}PlaceOf
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

; Has the earlier version's entry name, among the folders it created, those
; at or below one folder (given first) at the same places below another
; (given second).
Function ${UN}PointEarlierFolders
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

; Moves every entry of a folder (given first) into another (given second),
; but those whose paths are given third and fourth (none for ""): a folder
; whose name is taken by a folder there is merged into it; an entry whose
; name is taken by a file stays. Sets the error flag when an entry could not
; be moved.
Function ${UN}MoveTree
  Exch $R3
  Exch
  Exch $R2
  Exch 2
  Exch $R1
  Exch 3
  Exch $R0
  Push $R4
  Push $R5
  Push $R6
  StrCpy $R6 ""
  FindFirst $R4 $R5 "$R0\*.*"
  entry:
    StrCmp $R5 "" moved
    StrCmp $R5 "." next
    StrCmp $R5 ".." next
    StrCmp "$R0\$R5" $R2 next
    StrCmp "$R0\$R5" $R3 next
    IfFileExists "$R1\$R5\*.*" 0 not_merged
    IfFileExists "$R0\$R5\*.*" 0 not_merged
      ${MoveTree} "$R0\$R5" "$R1\$R5" "" ""
      IfErrors 0 +2
        StrCpy $R6 failed
      RMDir "$R0\$R5"
      Goto next
    not_merged:
    IfFileExists "$R1\$R5" next
      ClearErrors
      Rename "$R0\$R5" "$R1\$R5"
      IfErrors 0 +2
        StrCpy $R6 failed
    next:
    FindNext $R4 $R5
    Goto entry
  moved:
  FindClose $R4
  ClearErrors
  StrCmp $R6 "" +2
    SetErrors
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R0
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd

; Moves what remains of an earlier version where it waited (given first) back
; into its folder (given second): the user's own files, and those the user
; changed, which its uninstaller keeps. Where the new version put something
; of the same name, folders are merged; a program or a library of the new
; version stays and the user's copy goes; any other new file makes way for
; the user's and goes beside it as <name>.new; a new folder stays, and what
; the user had under its name goes beside it as <name>.old. The log tells
; each one kept beside another. Sets the error flag when an entry could not
; be moved.
Function ${UN}MoveBack
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  StrCpy $R5 ""
  FindFirst $R2 $R3 "$R0\*.*"
  entry:
    StrCmp $R3 "" moved
    StrCmp $R3 "." next
    StrCmp $R3 ".." next
    ClearErrors
    IfFileExists "$R1\$R3" 0 free
    IfFileExists "$R1\$R3\*.*" new_folder
    ${IsProgramFile} $R3 $R4
    StrCmp $R4 1 0 user_version
    IfFileExists "$R0\$R3\*.*" beside_as_old
      Delete "$R0\$R3"
      Goto next
    user_version:
      Delete "$R1\$R3.new"
      Rename "$R1\$R3" "$R1\$R3.new"
      Rename "$R0\$R3" "$R1\$R3"
      IfErrors failed
      DetailPrint "${TEXT_KEPT_BESIDE_NEW}"
      IntOp $KeptFiles $KeptFiles + 1
      Goto next
    new_folder:
    IfFileExists "$R0\$R3\*.*" 0 beside_as_old
      ${MoveBack} "$R0\$R3" "$R1\$R3"
      IfErrors failed
      RMDir "$R0\$R3"
      Goto next
    beside_as_old:
      Rename "$R0\$R3" "$R1\$R3.old"
      IfErrors failed
      DetailPrint "${TEXT_KEPT_BESIDE_FOLDER}"
      IntOp $KeptFiles $KeptFiles + 1
      Goto next
    free:
      Rename "$R0\$R3" "$R1\$R3"
      IfErrors 0 next
    failed:
      StrCpy $R5 failed
    next:
    FindNext $R2 $R3
    Goto entry
  moved:
  FindClose $R2
  ClearErrors
  StrCmp $R5 "" +2
    SetErrors
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; Writes the entry saved in the section given of the record (see SaveEntry)
; as the key given: its values are written over those there, and then the
; others there go, so that the key never lacks a value both have. Nothing
; happens when the section holds none.
Function ${UN}RestoreEntry
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  ReadINIStr $R2 "${RECORD_SCRATCH}" $R0 Count
  IntCmp $R2 0 restored restored
  value:
    ReadINIStr $R3 "${RECORD_SCRATCH}" $R0 Name$R2
    ReadINIStr $R4 "${RECORD_SCRATCH}" $R0 Value$R2
    StrCpy $R5 $R4 1
    StrCpy $R4 $R4 -1 1
    StrCmp $R5 D 0 +3
      WriteRegDWORD SHCTX $R1 $R3 $R4
      Goto +2
      WriteRegStr SHCTX $R1 $R3 $R4
    IntOp $R2 $R2 - 1
    IntCmp $R2 0 0 0 value
  other_value:
    EnumRegValue $R3 SHCTX $R1 $R2
    StrCmp $R3 "" restored
    ReadINIStr $R4 "${RECORD_SCRATCH}" $R0 "Has $R3"
    IntOp $R2 $R2 + 1
    StrCmp $R4 1 other_value
      DeleteRegValue SHCTX $R1 $R3
      StrCpy $R2 0
      Goto other_value
  restored:
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; The record of a run is written whole before each of its steps (the step
; given): into the scratch copy, which is then copied into the work folder and
; renamed over the record, so that a stop at any moment leaves either the
; earlier record or the new one. Sets the error flag when it could not be
; written.
Function ${UN}WriteRecordStep
  Exch $R3
  Push $R4
  WriteINIStr "${RECORD_SCRATCH}" Setup Step $R3
  FlushINI "${RECORD_SCRATCH}"
  ClearErrors
  System::Call 'kernel32::CopyFileW(t "${RECORD_SCRATCH}", t "$WorkFolder\setup.new", i 0) i .R4'
  IntCmp $R4 0 failed
  System::Call 'kernel32::MoveFileExW(t "$WorkFolder\setup.new", t "$WorkFolder\setup.ini", i ${SETUP_MOVE_REPLACING}) i .R4'
  IntCmp $R4 0 0 written written
  failed:
  SetErrors
  written:
  Pop $R4
  Pop $R3
FunctionEnd

; Runs the uninstaller given first, from a copy, silently and in the install
; mode of this run, on the folder given second ("_?="), and waits for it: it
; removes exactly what it installed there, and nothing when it cannot remove
; all. Its exit code ("error" when it could not run). The file that stopped
; it, if any, it writes into in-use.txt (${REPORT_VARIABLE}), for
; TellWhyNotRemoved; the variable also tells it that a setup runs it.
Function ${UN}RunUninstallerOf
  Exch $R3
  Exch
  Exch $R4
  Delete "$PLUGINSDIR\in-use.txt"
  System::Call 'kernel32::CopyFileW(t R4, t "$PLUGINSDIR\earlier-uninstall.exe", i 0) i .R4'
  IntCmp $R4 0 not_run
  System::Call 'kernel32::SetEnvironmentVariable(t "${REPORT_VARIABLE}", t "$PLUGINSDIR\in-use.txt")'
  ClearErrors
  ExecWait '"$PLUGINSDIR\earlier-uninstall.exe" /S /$InstallMode _?=$R3' $R4
  IfErrors 0 +2
    StrCpy $R4 error
  System::Call 'kernel32::SetEnvironmentVariable(t "${REPORT_VARIABLE}", p 0)'
  Delete "$PLUGINSDIR\earlier-uninstall.exe"
  Goto ran
  not_run:
  StrCpy $R4 error
  ran:
  StrCpy $R3 $R4
  Pop $R4
  Exch $R3
FunctionEnd

; Stops the run because the uninstaller that RunUninstallerOf ran on the
; folder given did not remove the version in $EarlierFolder: named by the
; file that stopped it, where the user knows it, when it said which.
Function ${UN}TellWhyNotRemoved
  Exch $R3
  ClearErrors
  FileOpen $R4 "$PLUGINSDIR\in-use.txt" r
  IfErrors not_in_use
    FileReadUTF16LE $R4 $R5
    FileClose $R4
    StrLen $R4 $R3
    StrCpy $R5 $R5 "" $R4
    ${StopAtFileInUse} "$EarlierFolder$R5"
  not_in_use:
  ${Fail} "${TEXT_EARLIER_NOT_REMOVED}" "${TEXT_EARLIER_NOT_REMOVED_STATUS}"
FunctionEnd

; Whether the run whose temporary folder is given is still at work: "setup"
; when a file there other than the earlier version's uninstaller is in use
; (the run's plugins stay loaded while it runs); "child" when only that
; uninstaller runs, which the run started and which outlived it; 0 when
; nothing is in use; "" when the folder is none NSIS made for a run
; ("ns<...>.tmp"), which is left alone.
Function ${UN}RunAlive
  Exch $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCmp $R3 "" other
  ${ParentOf} $R3 $R4
  StrLen $R4 $R4
  IntOp $R4 $R4 + 1
  StrCpy $R4 $R3 "" $R4
  StrCpy $R5 $R4 2
  StrCmp $R5 ns 0 other
  StrCpy $R5 $R4 "" -4
  StrCmp $R5 .tmp 0 other
  StrCpy $R7 0
  FindFirst $R4 $R5 "$R3\*.*"
  file:
    StrCmp $R5 "" searched
    IfFileExists "$R3\$R5\*.*" next
      ClearErrors
      FileOpen $R6 "$R3\$R5" a
      IfErrors 0 free
        StrCpy $R7 child
        StrCmp $R5 earlier-uninstall.exe next
        StrCpy $R7 setup
        Goto searched
      free:
      FileClose $R6
    next:
    FindNext $R4 $R5
    Goto file
  searched:
  FindClose $R4
  StrCpy $R3 $R7
  Goto judged
  other:
  StrCpy $R3 ""
  judged:
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Exch $R3
FunctionEnd

; Ends every program that runs from the file given: the earlier version's
; uninstaller that a stopped run started, once it has outlived that run long
; enough (under Wine it hangs for good when its starter was killed while
; starting it). What it left half done, the run's completion does again.
Function ${UN}EndProgramsOf
  Exch $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  Push $R8
  System::Call 'kernel32::GetLongPathNameW(t R3, t .R3, i ${NSIS_MAX_STRLEN})'
  ; A snapshot of the processes (TH32CS_SNAPPROCESS); PROCESSENTRY32W, 556
  ; bytes, the process id at offset 8.
  System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .R4'
  IntCmp $R4 -1 ended
  System::Alloc 556
  Pop $R5
  System::Call '*$R5(i 556)'
  System::Call 'kernel32::Process32FirstW(p R4, p R5) i .R6'
  process:
    IntCmp $R6 0 listed
    System::Call '*$R5(i, i, i .R7)'
    ; PROCESS_TERMINATE|SYNCHRONIZE|PROCESS_QUERY_LIMITED_INFORMATION
    System::Call 'kernel32::OpenProcess(i 0x101001, i 0, i R7) p .R8'
    IntCmp $R8 0 next
    System::Call 'kernel32::QueryFullProcessImageNameW(p R8, i 0, t .R6, *i ${NSIS_MAX_STRLEN})'
    System::Call 'kernel32::GetLongPathNameW(t R6, t .R6, i ${NSIS_MAX_STRLEN})'
    StrCmp $R6 $R3 0 closed
      System::Call 'kernel32::TerminateProcess(p R8, i 1)'
      System::Call 'kernel32::WaitForSingleObject(p R8, i 10000)'
    closed:
    System::Call 'kernel32::CloseHandle(p R8)'
    next:
    System::Call 'kernel32::Process32NextW(p R4, p R5) i .R6'
    Goto process
  listed:
  System::Free $R5
  System::Call 'kernel32::CloseHandle(p R4)'
  ended:
  Pop $R8
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
FunctionEnd

; The new uninstaller goes and the earlier one is back in its place: in the
; installation folder that copy of it which waited with the earlier version;
; in another folder, the one that stayed there. An uninstaller that puts back
; its earlier version cannot replace its own file: the earlier one waits in
; the temporary folder, to take its place once it has ended, should that
; version stay installed.
Function ${UN}TakeBackUninstaller
  StrCmp $EarlierImage "" new_one_goes
  StrCmp $EarlierFolder $INSTDIR 0 new_one_goes
  IfFileExists "$EarlierImage\uninstall.exe" 0 taken_back
    ${IfOwnFile} waiting
    System::Call 'kernel32::MoveFileExW(t "$EarlierImage\uninstall.exe", t "$INSTDIR\uninstall.exe", i ${SETUP_MOVE_REPLACING})'
    Goto taken_back
    !ifdef __UNINSTALL__
      waiting:
      GetTempFileName $OwnReplacement
      System::Call 'kernel32::CopyFileW(t "$EarlierImage\uninstall.exe", t "$OwnReplacement", i 0)'
      Delete "$EarlierImage\uninstall.exe"
      Goto taken_back
    !endif
  new_one_goes:
    ${IfOwnFile} new_one_gone
    Delete "$INSTDIR\uninstall.exe"
    !ifdef __UNINSTALL__
      new_one_gone:
    !endif
    StrCmp $EarlierImage "" taken_back
      Delete "$EarlierImage\uninstall.exe"
  taken_back:
FunctionEnd

; Puts back what a run of a setup changed, from its record and its step:
; once it had begun to write, the files of the list, the new uninstaller (the
; earlier one comes back) and the new entry (the earlier one comes back) go;
; then, from the step "restoring" on, what waited goes back to its place, and
; the folders the run created go once empty, with its work folder and the
; registry value that leads to its record. What could not be put back stays
; where it waits, the record too, for the next run; the error flag is then
; set and the failure says so.
Function ${UN}UndoRun
  ; No folder of the installation may stay this program's working folder.
  SetOutPath $TEMP
  ReadINIStr $0 "${RECORD_SCRATCH}" Setup Step
  StrCmp $0 extract written
  StrCmp $0 complete written restore
  written:
    ${ForEachListed} DeleteListedFile
    Call ${UN}TakeBackUninstaller
    StrCmp $EarlierKey "" 0 +3
      DeleteRegKey SHCTX $UninstallKey
      Goto entry_back
    ${RestoreEntry} EarlierEntry $EarlierKey
    StrCmp $EarlierKey $UninstallKey entry_back
      DeleteRegKey SHCTX $UninstallKey
    entry_back:
    ${WriteRecordStep} restoring
  restore:
  StrCpy $3 ""
  IfFileExists "$SetAside\*.*" 0 files_back
    ClearErrors
    ${MoveTree} $SetAside $INSTDIR "" ""
    IfErrors 0 +2
      StrCpy $3 $SetAside
    RMDir $SetAside
  files_back:
  StrCmp $EarlierImage "" earlier_back
  IfFileExists "$EarlierImage\*.*" 0 earlier_back
    ClearErrors
    ${MoveTree} $EarlierImage $EarlierFolder "" ""
    IfErrors 0 +2
      StrCpy $3 "$3 $EarlierImage"
    RMDir $EarlierImage
  earlier_back:
  StrCmp $3 "" 0 not_back
  ; The folders it created, innermost first, read before the work folder
  ; that holds their record goes.
  System::Call 'kernel32::CopyFileW(t "$FolderRecord", t "$PLUGINSDIR\created.ini", i 0)'
  RMDir /r $WorkFolder
  ReadINIStr $1 "$PLUGINSDIR\created.ini" Created Count
  created_folder:
    IntCmp $1 1 0 folders_removed
    ReadINIStr $2 "$PLUGINSDIR\created.ini" Created $1
    RMDir $2
    !ifdef __UNINSTALL__
      Call un.RemoveAfterOwnFile
    !endif
    IntOp $1 $1 - 1
    Goto created_folder
  folders_removed:
  Delete "$PLUGINSDIR\created.ini"
  Call ${UN}ForgetRun
  ClearErrors
  Return
  not_back:
  StrCpy $Failure "$Failure$\r$\n${TEXT_NOT_PUT_BACK}"
  SetErrors
FunctionEnd

; Once every new file is in place: the earlier version's own uninstaller
; removes exactly what it installed from where it waits, finding its entry
; as it was, with the folders it created there named where they wait; what
; remains there is the user's and goes back (MoveBack); the folders the
; earlier version created at or above its folder go once empty, and its
; uninstaller there when that is not the installation folder. Last the new
; entry is written, as the record has it, and what the new version replaced,
; the work folder and the registry value that leads to it go; should anything
; of the user's not have gone back, it waits there with the record for the
; next run. The steps already done are skipped when a run completes another
; that was stopped.
Function ${UN}FinishInstallation
  SetOutPath $TEMP
  StrCmp $EarlierImage "" earlier_gone
  IfFileExists "$EarlierImage\*.*" 0 earlier_gone
    IfFileExists "$EarlierImage\uninstall.exe" 0 earlier_removed
      StrCmp $EarlierKey "" entry_restored
        ${RestoreEntry} EarlierEntry $EarlierKey
        ${PointEarlierFolders} $EarlierFolder $EarlierImage
      entry_restored:
      ${RunUninstallerOf} "$EarlierImage\uninstall.exe" $EarlierImage $0
      StrCmp $0 0 earlier_removed
        ${RestoreEntry} Entry $UninstallKey
        ${TellWhyNotRemoved} $EarlierImage
    earlier_removed:
    StrCpy $Progress kept
    ${MoveBack} $EarlierImage $EarlierFolder
    RMDir $EarlierImage
    StrCmp $EarlierFolder $INSTDIR +2
      Delete "$EarlierFolder\uninstall.exe"
    ReadINIStr $1 $FolderRecord Earlier Count
    earlier_folder:
      IntCmp $1 1 0 earlier_gone
      ReadINIStr $2 $FolderRecord Earlier $1
      ${PlaceOf} $2 $EarlierFolder $3
      StrCmp $3 below +2
        RMDir $2
      IntOp $1 $1 - 1
      Goto earlier_folder
  earlier_gone:
  ${RestoreEntry} Entry $UninstallKey
  StrCmp $EarlierKey "" registered
  StrCmp $EarlierKey $UninstallKey registered
    DeleteRegKey SHCTX $EarlierKey
  registered:
  RMDir /r $SetAside
  ; What could not go back waits with the record, for the next run.
  StrCmp $EarlierImage "" +2
  IfFileExists "$EarlierImage\*.*" kept_waiting
    RMDir /r $WorkFolder
    Call ${UN}ForgetRun
  kept_waiting:
FunctionEnd

; The registry value that leads to a run's record goes, and with it, once
; empty, the folders that the run created for its installation folder
; (CreatedFrom and those below it on the way to that folder), which it may
; have created before its record.
Function ${UN}ForgetRun
  ReadRegStr $1 SHCTX $ProgressKey CreatedFrom
  StrCpy $2 $INSTDIR
  StrCmp $1 "" forgotten
  folder:
    RMDir $2
    StrCmp $2 $1 forgotten
    ${ParentOf} $2 $2
    StrCmp $2 "" forgotten folder
  forgotten:
  DeleteRegKey SHCTX $ProgressKey
  DeleteRegKey /ifempty SHCTX "${PROGRESS_KEY}"
  DeleteRegKey /ifempty SHCTX "${PROGRESS_PARENT_KEY}"
FunctionEnd

; A run of a setup of this plugin in this mode that was stopped before its end
; (killed, or the power lost) left the registry value that leads to its
; record. Before anything else that run is finished: undone while not every
; new file was in place, completed once they were (FinishInstallation), as
; its record says; the log tells which. A run still at work (RunAlive) is
; waited for half a minute, then this run stops; the earlier version's
; uninstaller that the stopped run started is waited for as long, then ended.
; The uninstaller, whose setup was undone, hands the removal to the
; uninstaller of the version put back.
Function ${UN}FinishInterruptedRun
  !ifdef __UNINSTALL__
    StrCmp $RunBySetup 1 done
  !endif
  ReadRegStr $0 SHCTX $ProgressKey Record
  StrCmp $0 "" done
  Push $INSTDIR
  Push $WorkFolder
  Push $EarlierFolder
  Push $EarlierImage
  Push $EarlierKey
  Push $SetAside
  Push $ListFile
  Push $FolderRecord
  ${ParentOf} $0 $WorkFolder
  ${ParentOf} $WorkFolder $INSTDIR
  ; Nothing is done with a record that is not in a work folder.
  StrLen $1 $INSTDIR
  IntOp $1 $1 + 1
  StrCpy $1 $WorkFolder 1 $1
  StrCmp $1 "~" 0 unrecorded
  System::Call 'kernel32::CopyFileW(t r0, t "${RECORD_SCRATCH}", i 0) i .r1'
  IntCmp $1 0 no_record
    ReadINIStr $1 "${RECORD_SCRATCH}" Setup Temporary
    StrCpy $2 0
    alive:
      ${RunAlive} $1 $3
      StrCmp $3 setup at_work
      StrCmp $3 child 0 ended
      at_work:
      IntOp $2 $2 + 1
      IntCmp $2 30 waited
      Sleep 1000
      Goto alive
    waited:
      StrCmp $3 child child_ends
        ${Fail} "${TEXT_ANOTHER_RUN}" "${TEXT_ANOTHER_RUN}"
      child_ends:
      ${EndProgramsOf} "$1\earlier-uninstall.exe"
      StrCpy $3 0
    ended:
    StrCmp $3 0 0 +2
      RMDir /r $1
    ReadINIStr $EarlierFolder "${RECORD_SCRATCH}" Setup EarlierFolder
    ReadINIStr $EarlierImage "${RECORD_SCRATCH}" Setup EarlierImage
    ReadINIStr $EarlierKey "${RECORD_SCRATCH}" Setup EarlierKey
    StrCpy $SetAside "$WorkFolder\replaced"
    StrCpy $ListFile "$WorkFolder\installed.txt"
    StrCpy $FolderRecord "$WorkFolder\folders.ini"
    ReadINIStr $1 "${RECORD_SCRATCH}" Setup Step
    StrCmp $1 complete complete
      ClearErrors
      Call ${UN}UndoRun
      IfErrors 0 undone
        ${Fail} "${TEXT_NOT_PUT_BACK}" "${TEXT_NOT_PUT_BACK}"
      undone:
      DetailPrint "${TEXT_RUN_UNDONE}"
      !ifdef __UNINSTALL__
        ; The uninstaller of the version put back removes it, unless that is
        ; this one. Then this uninstaller's file, when it is in that
        ; version's folder, goes, and the folders that its setups created
        ; after it.
        StrCpy $HandOver "-"
        StrCmp $EarlierKey "" recovered
        StrCpy $HandOver $EarlierFolder
        StrCmp $OwnReplacement "" 0 handed_over
        StrCmp "$EarlierFolder\uninstall.exe" $EXEPATH 0 handed_over
          StrCpy $HandOver ""
          Goto recovered
        handed_over:
        ReadRegDWORD $1 SHCTX $EarlierKey "CreatedFolders"
        handed_folder:
          IntCmp $1 1 0 recovered
          ReadRegStr $2 SHCTX $EarlierKey "CreatedFolder$1"
          Call un.RemoveAfterOwnFile
          IntOp $1 $1 - 1
          Goto handed_folder
      !endif
      Goto recovered
    complete:
      Call ${UN}FinishInstallation
      DetailPrint "${TEXT_RUN_COMPLETED}"
    recovered:
    Delete "${RECORD_SCRATCH}"
    Goto forgotten
  no_record:
    ; Stopped before its record: its work folder holds copies only.
    RMDir /r $WorkFolder
  unrecorded:
    Call ${UN}ForgetRun
  forgotten:
  Pop $FolderRecord
  Pop $ListFile
  Pop $SetAside
  Pop $EarlierKey
  Pop $EarlierImage
  Pop $EarlierFolder
  Pop $WorkFolder
  Pop $INSTDIR
  !ifndef __UNINSTALL__
    ; The installed version, as it is now.
    Call FindEarlierEntry
  !endif
  done:
FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!ifdef UNINSTALLER
  !insertmacro SharedFunctions "un."
!endif

; The language a run that started this one passes on (/Language=), taken
; before anything is said.
Function TakeGivenLanguage
  ${ReadParameters}
  StrCpy $LanguageGiven 0
  ${SwitchValue} "/Language=" $0
  IfErrors language_known
    StrCpy $LANGUAGE $0
    StrCpy $LanguageGiven 1
  language_known:
FunctionEnd

; The installer's start, once the language is known: a plugin for 64-bit
; Windows only stops on any other (nothing could load it there); then the
; entry, the folder given (checked), the earlier installs, the mode, and
; whether /AllowDowngrade lets it replace a newer version.
Function BeginSetup
  StrCmp $PluginBits 64 0 windows_fits
    ${Running64Bit} $0
    StrCmp $0 0 0 windows_fits
      MessageBox MB_OK|MB_ICONSTOP "${TEXT_64_BIT_ONLY}" /SD IDOK
      SetErrorLevel 2
      Quit
  windows_fits:
  ${UsePluginEntry}
  Call TakeGivenFolder
  Call FindEarlierInstalls
  Call ChooseMode
  StrCpy $PluginVersion "${PLUGIN_VERSION}"
  StrCpy $DowngradeAllowed 1
  ${SwitchValue} "/AllowDowngrade" $0
  IfErrors 0 +2
    StrCpy $DowngradeAllowed 0
FunctionEnd

; A silent run, or one given its mode, installs in that mode, once it may
; replace the version installed in it (AskBeforeDowngrade: "No" ends the setup
; as Cancel does, with exit code 1); the others choose on the first page,
; where a refusal of the rights leads too.
Function UseGivenMode
  StrCmp $ModeGiven 1 given
  IfSilent given chosen_on_first_page
  given:
  ClearErrors
  Call AskBeforeDowngrade
  IfErrors 0 +3
    SetErrorLevel 1
    Quit
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
; this plugin (or of a run of its setup that was stopped), when there is one
; in one mode only; else for all users with administrator rights, only for
; the user without them.
Function ChooseMode
  ${ModeOfSwitches}
  StrCpy $ModeGiven 1
  StrCmp $InstallMode "" 0 chosen
  StrCpy $ModeGiven 0
  ${AdminRights} $0
  StrCmp $AllUsersFolder "" 0 installed_for_all
    StrCmp $CurrentUserFolder "" by_rights only_for_me
  installed_for_all:
    StrCmp $CurrentUserFolder "" for_all_users by_rights
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
    StrCmp $DowngradeAllowed 1 0 +2
      StrCpy $R1 "$R1 /AllowDowngrade"
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

; Before the version installed in the mode chosen is replaced by an older
; one, the user is asked, unless /AllowDowngrade (or an earlier answer)
; allowed it; the same version or a newer one installs without a question,
; and so does a version that is unknown on either side, which cannot be
; compared. A silent run that may not ends with exit code 2; "No" sets the
; error flag.
Function AskBeforeDowngrade
  StrCmp $DowngradeAllowed 1 allowed
  StrCpy $InstalledVersion $CurrentUserVersion
  StrCmp $InstallMode AllUsers 0 +2
    StrCpy $InstalledVersion $AllUsersVersion
  ${CompareVersions} $PluginVersion $InstalledVersion $0
  StrCmp $0 -1 0 allowed
  MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "${TEXT_DOWNGRADE}" /SD IDNO IDYES agreed
    IfSilent 0 +3
      SetErrorLevel 2
      Quit
    SetErrors
    Return
  agreed:
  StrCpy $DowngradeAllowed 1
  allowed:
FunctionEnd

; How the version given first compares with the one given second, number by
; number from the left ("1.10" is newer than "1.9", a missing number counts
; as 0): 1 when it is newer, 0 when it is the same, -1 when it is older; ""
; when either is unknown (empty, or not numbers separated by dots).
Function CompareVersions
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  StrCpy $R3 ""
  StrCmp $R0 "" compared
  StrCmp $R1 "" compared
  number:
    StrCmp "$R0$R1" "" same
    ${FirstVersionNumber} $R0 $R2 $R0
    ${FirstVersionNumber} $R1 $R3 $R1
    StrCmp $R2 "" unknown
    StrCmp $R3 "" unknown
    IntCmp $R2 $R3 number older newer
  same:
    StrCpy $R3 0
    Goto compared
  older:
    StrCpy $R3 -1
    Goto compared
  newer:
    StrCpy $R3 1
    Goto compared
  unknown:
    StrCpy $R3 ""
  compared:
  StrCpy $R0 $R3
  Pop $R3
  Pop $R2
  Exch
  Pop $R1
  Exch $R0
FunctionEnd

; The first number of the version given (0 for an empty version, "" when it
; is no number of decimal digits), and what follows the dot after it.
Function FirstVersionNumber
  Exch $R2
  Push $R3
  Push $R4
  StrCpy $R3 0
  dot:
    StrCpy $R4 $R2 1 $R3
    StrCmp $R4 "" split
    StrCmp $R4 "." split
    IntOp $R3 $R3 + 1
    Goto dot
  split:
  StrCpy $R4 $R2 $R3
  IntOp $R3 $R3 + 1
  StrCpy $R2 $R2 "" $R3
  ; Without leading zeros, which IntOp would read as an octal number, the
  ; digits are the number as IntOp writes it.
  zero:
    StrCpy $R3 $R4 1
    StrCmp $R3 0 0 +3
      StrCpy $R4 $R4 "" 1
      Goto zero
  StrCmp $R4 "" 0 +2
    StrCpy $R4 0
  IntOp $R3 $R4 + 0
  StrCmp $R3 $R4 +2
    StrCpy $R4 ""
  StrCpy $R3 $R4
  Pop $R4
  Exch $R3
  Exch
  Exch $R2
  Exch
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
  ; Right to left in a language written so, as the compiler's own pages are.
  nsDialogs::SetRTL $(^RTL)
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

; The mode chosen is taken once the user allowed it to replace a newer
; version installed in it ("No" keeps the page, to choose the other mode or
; Cancel).
Function ModePageLeave
  StrCpy $InstallMode CurrentUser
  SendMessage $AllUsersButton ${SETUP_BM_GETCHECK} 0 0 $0
  StrCmp $0 ${SETUP_BST_CHECKED} 0 +2
    StrCpy $InstallMode AllUsers
  ClearErrors
  Call AskBeforeDowngrade
  IfErrors 0 +2
    Abort
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

; Whether the folder suits this installation: an install only for the user
; stays inside the user's profile; the other mode's install of this plugin
; keeps its folder to itself (two entries never name one folder), and so
; does another plugin's installation; the earlier install's folder holds no
; other; a setup without an uninstaller never replaces an install that has
; one (the plugin could no longer be removed). The failure in $0 when it
; does not, else "" ($1 to $3 changed).
Function FolderFailure
  StrCpy $0 ""
  StrCmp $InstallMode CurrentUser 0 other_mode
    ${PlaceOf} $INSTDIR $PROFILE $1
    StrCmp $1 below other_mode
      StrCpy $0 "${TEXT_OUTSIDE_PROFILE}"
      Return
  other_mode:
  StrCmp $OtherFolder "" earlier
  StrCmp $OtherFolder $INSTDIR 0 earlier
    StrCpy $0 "${TEXT_FOLDER_OF_ALL_USERS}"
    StrCmp $InstallMode AllUsers 0 +2
      StrCpy $0 "${TEXT_FOLDER_OF_ONE_USER}"
    Return
  earlier:
  StrCmp $EarlierKey "" other_plugins
  !ifndef UNINSTALLER
    StrCpy $0 "${TEXT_UNINSTALLER_WOULD_GO}"
    Return
  !endif
  ${PlaceOf} $INSTDIR $EarlierFolder $1
  StrCmp $1 below 0 other_plugins
    StrCpy $0 "${TEXT_INSIDE_EARLIER}"
    Return
  other_plugins:
  SetShellVarContext all
  Call EntryNamingFolder
  StrCmp $1 "" 0 entry_found
  SetShellVarContext current
  Call EntryNamingFolder
  StrCmp $1 "" 0 entry_found
  IfFileExists "$INSTDIR\uninstall.exe" 0 suits
  StrCmp $INSTDIR $EarlierFolder suits
    ${ProductNameOf} "$INSTDIR\uninstall.exe" $1
    StrCmp $1 "" 0 +2
      StrCpy $1 "$INSTDIR\uninstall.exe"
    StrCpy $0 "${TEXT_FOLDER_HOLDS_UNINSTALLER}"
    Goto suits
  entry_found:
    ReadRegStr $2 SHCTX "${UNINSTALL_ROOT}\$1" "DisplayName"
    ReadRegStr $3 SHCTX "${UNINSTALL_ROOT}\$1" "PluginMainFile"
    StrCpy $0 "${TEXT_FOLDER_OF_OTHER_PLUGIN}"
  suits:
  SetShellVarContext current
  StrCmp $InstallMode AllUsers 0 +2
    SetShellVarContext all
FunctionEnd

; The name of the entry, below the uninstall root of the hive SHCTX means,
; of another Quillon plugin installed in $INSTDIR, in $1; "" when there is
; none. This plugin's entries are not another's. Changes $2 and $3.
Function EntryNamingFolder
  StrCpy $2 0
  entry:
    EnumRegKey $1 SHCTX "${UNINSTALL_ROOT}" $2
    StrCmp $1 "" searched
    IntOp $2 $2 + 1
    StrCpy $3 $1 8
    StrCmp $3 "Quillon " 0 entry
    ReadRegStr $3 SHCTX "${UNINSTALL_ROOT}\$1" "InstallLocation"
    StrCmp $3 $INSTDIR 0 entry
    ReadRegStr $3 SHCTX "${UNINSTALL_ROOT}\$1" "PluginName"
    StrCmp $3 $PluginName 0 searched
    ReadRegStr $3 SHCTX "${UNINSTALL_ROOT}\$1" "PluginMainFile"
    StrCmp $3 $PluginMainFile entry
  searched:
FunctionEnd

; The product name in the version information of the file given (a setup's
; uninstaller carries its plugin's name there), or "".
Function ProductNameOf
  Exch $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  System::Call 'version::GetFileVersionInfoSizeW(t R3, p 0) i .R4'
  StrCpy $R7 ""
  IntCmp $R4 0 named named
  System::Alloc $R4
  Pop $R5
  System::Call 'version::GetFileVersionInfoW(t R3, i 0, i R4, p R5) i .R6'
  IntCmp $R6 0 freed
  System::Call 'version::VerQueryValueW(p R5, t "\VarFileInfo\Translation", *p .R6, *i .R4) i .R7'
  StrCpy $R3 $R7
  StrCpy $R7 ""
  IntCmp $R3 0 freed
  System::Call '*$R6(&i2 .R3, &i2 .R4)'
  IntFmt $R3 "%04x" $R3
  IntFmt $R4 "%04x" $R4
  System::Call 'version::VerQueryValueW(p R5, t "\StringFileInfo\$R3$R4\ProductName", *p .R6, *i .R4) i .R3'
  IntCmp $R3 0 freed
  System::Call 'kernel32::lstrcpynW(t .R7, p R6, i ${NSIS_MAX_STRLEN})'
  freed:
  System::Free $R5
  named:
  StrCpy $R3 $R7
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Exch $R3
FunctionEnd

Function FolderPageLeave
  Call FolderFailure
  StrCmp $0 "" +3
    MessageBox MB_OK|MB_ICONEXCLAMATION $0
    Abort
FunctionEnd

; The folder /D= gives, checked as it stands (NSIS would put another folder
; in place of one it cannot use, and leave out characters a name cannot
; hold): a folder that is not given by its full path, lies on a drive or
; network share that does not exist, is a drive's root or a file, or holds
; such characters stops the setup with the reason (exit code 2). Otherwise
; it becomes $INSTDIR, in its full form. $FolderGiven is 1 when /D= chose the
; folder, else 0. NSIS leaves /D= out of $CMDLINE; on the command line it
; comes last, after a blank.
Function TakeGivenFolder
  StrCpy $FolderGiven 0
  System::Call 'kernel32::GetCommandLine() t .r0'
  StrLen $1 $0
  search:
    IntOp $1 $1 - 1
    IntCmp $1 0 0 taken
    StrCpy $2 $0 4 $1
    StrCmp $2 " /D=" 0 search
  IntOp $1 $1 + 4
  StrCpy $0 $0 "" $1
  StrCpy $FolderGiven 1
  StrCpy $3 "${TEXT_GIVEN_FOLDER_CHARACTERS}"
  StrCpy $1 0
  character:
    StrCpy $2 $0 1 $1
    StrCmp $2 "" characters_checked
    StrCmp $2 ":" 0 +2
      IntCmp $1 1 next refused refused
    StrCmp $2 "<" refused
    StrCmp $2 ">" refused
    StrCmp $2 '"' refused
    StrCmp $2 "|" refused
    StrCmp $2 "?" refused
    StrCmp $2 "*" refused
    StrCmp $2 "$\t" refused
    StrCmp $2 "$\r" refused
    StrCmp $2 "$\n" refused
    next:
    IntOp $1 $1 + 1
    Goto character
  characters_checked:
  ; A full path starts with a drive ("C:\") or a share ("\\server\share").
  StrCpy $3 "${TEXT_GIVEN_FOLDER_RELATIVE}"
  StrCpy $2 $0 2 1
  StrCmp $2 ":\" full
  StrCmp $2 ":/" full
  StrCpy $2 $0 2
  StrCmp $2 "\\" full
  StrCmp $2 "//" full refused
  full:
  System::Call 'kernel32::GetFullPathNameW(t r0, i ${NSIS_MAX_STRLEN}, t .r1, p 0) i .r2'
  IntCmp $2 0 refused
  StrCpy $2 $1 1 -1
  StrCmp $2 "\" 0 +2
    StrCpy $1 $1 -1
  ; Its root: "C:", or "\\server\share".
  StrCpy $2 $1 1 1
  StrCmp $2 ":" 0 share
    StrCpy $2 $1 2
    Goto rooted
  share:
    StrCpy $2 2
    StrCpy $3 0
    share_part:
      StrCpy $4 $1 1 $2
      StrCmp $4 "" +5
      IntOp $2 $2 + 1
      StrCmp $4 "\" 0 share_part
      IntOp $3 $3 + 1
      IntCmp $3 2 0 share_part
    StrCpy $2 $1 $2
    StrCpy $4 $2 1 -1
    StrCmp $4 "\" 0 +2
      StrCpy $2 $2 -1
  rooted:
  StrCpy $3 "${TEXT_GIVEN_FOLDER_ROOT}"
  StrCmp $1 $2 refused
  StrCpy $3 "${TEXT_GIVEN_FOLDER_NO_DRIVE}"
  StrCpy $4 "$2\"
  System::Call 'kernel32::GetDriveTypeW(t r4) i .r4'
  IntCmp $4 ${SETUP_DRIVE_NO_ROOT_DIR} refused
  StrCpy $3 "${TEXT_GIVEN_FOLDER_FILE}"
  IfFileExists $1 0 +2
  IfFileExists "$1\*.*" 0 refused
  StrCpy $INSTDIR $1
  Goto taken
  refused:
  MessageBox MB_OK|MB_ICONSTOP $3 /SD IDOK
  SetErrorLevel 2
  Quit
  taken:
FunctionEnd

; The installed version of this plugin in the hive SHCTX means: the entry
; under this plugin's name, or the one a setup of an earlier version of the
; tool wrote under the name it gave the plugin, whichever is this plugin's;
; its key and folder in $EarlierKey and $EarlierFolder ("" when there is none;
; the folder of a run that was stopped before it registered the plugin).
Function FindEarlierEntry
  StrCpy $EarlierKey ""
  StrCpy $EarlierFolder ""
  ${TakeIfThePlugins} "${ENTRY_KEY} $EarlierFolderName"
  ${TakeIfThePlugins} $UninstallKey
  StrCmp $EarlierKey "" +2
    ReadRegStr $EarlierFolder SHCTX $EarlierKey "InstallLocation"
  ; A run of a setup that was stopped before its end has its folder here too.
  StrCmp $EarlierFolder "" 0 found
    ReadRegStr $EarlierFolder SHCTX $ProgressKey Record
    StrCmp $EarlierFolder "" found
    ${ParentOf} $EarlierFolder $EarlierFolder
    ${ParentOf} $EarlierFolder $EarlierFolder
  found:
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

; This plugin's installs for all users and for the user who runs the setup,
; with their versions.
Function FindEarlierInstalls
  SetShellVarContext all
  Call FindEarlierEntry
  StrCpy $AllUsersKey $EarlierKey
  StrCpy $AllUsersFolder $EarlierFolder
  StrCpy $AllUsersVersion ""
  StrCmp $EarlierKey "" +2
    ReadRegStr $AllUsersVersion SHCTX $EarlierKey "DisplayVersion"
  SetShellVarContext current
  Call FindEarlierEntry
  StrCpy $CurrentUserKey $EarlierKey
  StrCpy $CurrentUserFolder $EarlierFolder
  StrCpy $CurrentUserVersion ""
  StrCmp $EarlierKey "" +2
    ReadRegStr $CurrentUserVersion SHCTX $EarlierKey "DisplayVersion"
FunctionEnd

; The checks before anything changes: every listed file, and the
; uninstaller, can be written; the folder suits the installation; no other
; plugin's entry has this plugin's name. The folder record is begun, with the
; folders above the installation folder that setups created.
Function CheckInstallation
  ; The folder record is a UTF-16 file, which holds any name.
  StrCpy $FolderRecord "$PLUGINSDIR\folders.ini"
  FileOpen $0 $FolderRecord w
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
; does a folder that does not suit it (FolderFailure).
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
  ReadINIStr $R2 $FolderRecord $R0 Count
  IntOp $R2 $R2 + 1
  WriteINIStr $FolderRecord $R0 $R2 $R1
  WriteINIStr $FolderRecord $R0 Count $R2
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

; Begins the run's record and sets aside what is there. First the registry
; value that leads to the record is written, and the installation folder is
; created; then the work folder with the record: what the run changes, the
; earlier version's entry as it is, a copy of the list of files. Then, at
; the step "setaside", the earlier version waits, with everything in its
; folder but its uninstaller (which stays registered and working), in a
; folder inside it, and each listed file the new version replaces waits in
; W\replaced, as does another uninstaller in the installation folder.
Function SetAsideInstalled
  ${FreeBackupFolder} $INSTDIR $WorkFolder
  StrCpy $SetAside "$WorkFolder\replaced"
  ; The outermost folder missing on the way to the installation folder.
  StrCpy $0 ""
  StrCpy $1 $INSTDIR
  missing:
    IfFileExists "$1\*.*" found
    StrCpy $0 $1
    ${ParentOf} $1 $1
    StrCmp $1 "" found missing
  found:
  WriteRegStr SHCTX $ProgressKey CreatedFrom $0
  WriteRegStr SHCTX $ProgressKey Record "$WorkFolder\setup.ini"
  StrCpy $Progress changing
  ${CreateFolder} $INSTDIR
  ClearErrors
  CreateDirectory $WorkFolder
  System::Call 'kernel32::CopyFileW(t "$FolderRecord", t "$WorkFolder\folders.ini", i 0) i .r0'
  StrCpy $FolderRecord "$WorkFolder\folders.ini"
  System::Call 'kernel32::CopyFileW(t "${INSTALLED_LIST}", t "$WorkFolder\installed.txt", i 0) i .r1'
  IntOp $0 $0 & $1
  IntCmp $0 0 0 copied copied
    ${Fail} "${TEXT_FILES_NOT_WRITTEN}" "${TEXT_FILES_NOT_WRITTEN}"
  copied:
  ; Where the earlier version waits: in the work folder when it is in the
  ; installation folder, else in a folder of its own inside its folder. A
  ; version without its uninstaller is no earlier version: its files are
  ; replaced like any others.
  StrCpy $EarlierImage ""
  StrCmp $EarlierFolder "" planned
  IfFileExists "$EarlierFolder\uninstall.exe" 0 planned
    StrCpy $EarlierImage "$WorkFolder\earlier"
    StrCmp $EarlierFolder $INSTDIR planned
      ${FreeBackupFolder} $EarlierFolder $EarlierImage
  planned:
  FileOpen $0 "${RECORD_SCRATCH}" w
  FileWriteWord $0 0xFEFF
  FileClose $0
  WriteINIStr "${RECORD_SCRATCH}" Setup EarlierFolder $EarlierFolder
  WriteINIStr "${RECORD_SCRATCH}" Setup EarlierImage $EarlierImage
  WriteINIStr "${RECORD_SCRATCH}" Setup EarlierKey $EarlierKey
  WriteINIStr "${RECORD_SCRATCH}" Setup Temporary $PLUGINSDIR
  StrCmp $EarlierKey "" saved
    ${SaveEntry} $EarlierKey EarlierEntry
    ; The folders the earlier version created, which go once empty after it.
    ReadRegDWORD $0 SHCTX $EarlierKey "CreatedFolders"
    StrCpy $1 1
    earlier_folder:
      IntCmp $1 $0 0 0 saved
      ReadRegStr $2 SHCTX $EarlierKey "CreatedFolder$1"
      ${RecordFolder} Earlier $2
      IntOp $1 $1 + 1
      Goto earlier_folder
  saved:
  ${WriteRecordStep} setaside
  IfErrors 0 recorded
    ${Fail} "${TEXT_FILES_NOT_WRITTEN}" "${TEXT_FILES_NOT_WRITTEN}"
  recorded:
  StrCmp $EarlierImage "" earlier_set_aside
    ClearErrors
    CreateDirectory $EarlierImage
    StrCpy $0 $EarlierImage
    StrCmp $EarlierFolder $INSTDIR 0 +2
      StrCpy $0 $WorkFolder
    ${MoveTree} $EarlierFolder $EarlierImage $0 "$EarlierFolder\uninstall.exe"
    IfErrors 0 earlier_set_aside
      ${Fail} "${TEXT_EARLIER_NOT_MOVED}" "${TEXT_EARLIER_NOT_MOVED_STATUS}"
  earlier_set_aside:
  ${ForEachListed} SetAsideListedFile
  !ifdef UNINSTALLER
    StrCmp $EarlierFolder $INSTDIR uninstaller_kept
      ${SetAsideFile} uninstall.exe
    uninstaller_kept:
  !endif
FunctionEnd

; A listed file, or a file where the list has a folder, waits in W\replaced.
Function SetAsideListedFile
  StrCpy $R3 $R0 "" -1
  StrCmp $R3 "\" 0 file
    StrCpy $R3 $R0 -1
    IfFileExists "$INSTDIR\$R3\*.*" set_aside
    ${SetAsideFile} $R3
    Goto set_aside
  file:
    ${SetAsideFile} $R0
  set_aside:
FunctionEnd

; The entry given, relative to the installation folder, waits at its place
; in W\replaced.
Function SetAsideFile
  Exch $R3
  Push $R4
  IfFileExists "$INSTDIR\$R3" 0 set_aside
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

; Saves the values of the entry given (strings and numbers) in the section
; given of the record, for RestoreEntry: Count of them, and Name<n> and
; Value<n> of each, the value after "S" for a string or "D" for a number and
; before a "|" (an INI file drops blanks at a value's ends), and "Has <name>"
; for each name.
Function SaveEntry
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  Push $R4
  DeleteINISec "${RECORD_SCRATCH}" $R1
  StrCpy $R2 0
  value:
    EnumRegValue $R3 SHCTX $R0 $R2
    StrCmp $R3 "" saved
    IntOp $R2 $R2 + 1
    ClearErrors
    ReadRegStr $R4 SHCTX $R0 $R3
    StrCpy $R4 "S$R4"
    IfErrors 0 +3
      ReadRegDWORD $R4 SHCTX $R0 $R3
      StrCpy $R4 "D$R4"
    WriteINIStr "${RECORD_SCRATCH}" $R1 Name$R2 $R3
    WriteINIStr "${RECORD_SCRATCH}" $R1 Value$R2 "$R4|"
    WriteINIStr "${RECORD_SCRATCH}" $R1 "Has $R3" 1
    Goto value
  saved:
  WriteINIStr "${RECORD_SCRATCH}" $R1 Count $R2
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; At the step "extract": the listed folders; the new uninstaller, written
; into the work folder and renamed into its place in one step (the earlier
; one, whose copy waits with the earlier version, or none, was there until
; then), and the entry naming it, saved in the record (were the setup
; stopped from here on, the uninstaller would finish or undo it).
Function PrepareFolders
  ${WriteRecordStep} extract
  IfErrors 0 recorded
    ${Fail} "${TEXT_FILES_NOT_WRITTEN}" "${TEXT_FILES_NOT_WRITTEN}"
  recorded:
  ${ForEachListed} CreateListedFolder
  !ifdef UNINSTALLER
    ClearErrors
    WriteUninstaller "$WorkFolder\uninstall.exe"
    IfErrors not_written
    StrCmp $EarlierImage "" swap
      System::Call 'kernel32::CopyFileW(t "$EarlierFolder\uninstall.exe", t "$EarlierImage\uninstall.exe", i 0) i .r0'
      IntCmp $0 0 not_written
    swap:
    System::Call 'kernel32::MoveFileExW(t "$WorkFolder\uninstall.exe", t "$INSTDIR\uninstall.exe", i ${SETUP_MOVE_REPLACING}) i .r0'
    IntCmp $0 0 0 written written
    not_written:
      ${Fail} "${TEXT_UNINSTALLER_NOT_WRITTEN}" "${TEXT_UNINSTALLER_NOT_WRITTEN_STATUS}"
    written:
    Call WriteEntry
    ${SaveEntry} $UninstallKey Entry
    StrCmp $EarlierKey "" registered
    StrCmp $EarlierKey $UninstallKey registered
      DeleteRegKey SHCTX $EarlierKey
    registered:
  !endif
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

; Once the files are in place, at the step "complete": the earlier version
; goes, what remains of it that is the user's comes back, the entry is
; written and what waited is deleted (FinishInstallation). Files of the
; user's kept beside new ones are told on the last page.
Function CompleteInstallation
  ${WriteRecordStep} complete
  IfErrors 0 recorded
    ${Fail} "${TEXT_FILES_NOT_WRITTEN}" "${TEXT_FILES_NOT_WRITTEN}"
  recorded:
  Call FinishInstallation
  StrCpy $Progress done
  IntCmp $KeptFiles 0 +3
    SetDetailsView show
    DetailPrint "${TEXT_KEPT_SUMMARY}"
FunctionEnd

; Puts back what a failed installation changed, as long as it can.
Function Undo
  StrCmp $Progress changing 0 +2
    Call UndoRun
FunctionEnd

!ifdef UNINSTALLER

; The entry, complete; written again at the end of an installation. Its
; uninstall commands run the uninstaller in place ("_?="), so that whoever
; waits for them waits for the removal and gets its exit code. A value this
; version does not have (its version, publisher, icon or web address) goes,
; should the earlier version's entry hold it. The icon: the brand's, which the
; uninstaller carries (BRAND_ICON), else the main file's own (MAIN_FILE_ICON).
Function WriteEntry
  WriteRegStr SHCTX $UninstallKey "DisplayName" $PluginName
  WriteRegStr SHCTX $UninstallKey "PluginName" $PluginName
  WriteRegStr SHCTX $UninstallKey "PluginMainFile" $PluginMainFile
  StrCmp $PluginVersion "" +3
    WriteRegStr SHCTX $UninstallKey "DisplayVersion" $PluginVersion
    Goto +2
    DeleteRegValue SHCTX $UninstallKey "DisplayVersion"
  StrCmp $Publisher "" +3
    WriteRegStr SHCTX $UninstallKey "Publisher" $Publisher
    Goto +2
    DeleteRegValue SHCTX $UninstallKey "Publisher"
  !ifdef BRAND_ICON
    WriteRegStr SHCTX $UninstallKey "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  !else ifdef MAIN_FILE_ICON
    WriteRegStr SHCTX $UninstallKey "DisplayIcon" "$INSTDIR\$PluginMainFile,0"
  !else
    DeleteRegValue SHCTX $UninstallKey "DisplayIcon"
  !endif
  !ifdef BRAND_URL
    WriteRegStr SHCTX $UninstallKey "URLInfoAbout" "${BRAND_URL}"
    WriteRegStr SHCTX $UninstallKey "HelpLink" "${BRAND_URL}"
  !else
    DeleteRegValue SHCTX $UninstallKey "URLInfoAbout"
    DeleteRegValue SHCTX $UninstallKey "HelpLink"
  !endif
  WriteRegStr SHCTX $UninstallKey "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX $UninstallKey "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
  WriteRegStr SHCTX $UninstallKey "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
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
  ReadINIStr $R1 $FolderRecord $R0 Count
  StrCpy $R2 1
  folder:
    IntCmp $R2 $R1 0 0 written
    ReadINIStr $R3 $FolderRecord $R0 $R2
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

; The uninstaller's start: first the language the setup ran in, from the
; entry that names this folder, so that everything it says is in that
; language. Its mode is the one a switch gives (an update gives it), else the
; one whose entry names this folder, else as a setup would choose it; an
; install for all users is removed by a run with administrator rights. A
; setup that runs it says so in ${REPORT_VARIABLE}.
Function un.BeginUninstall
  ${UsePluginEntry}
  StrCpy $RunBySetup 0
  StrCpy $OwnFolders 0
  StrCpy $OwnReplacement ""
  ReadEnvStr $0 ${REPORT_VARIABLE}
  StrCmp $0 "" +2
    StrCpy $RunBySetup 1
  StrCpy $1 ""
  StrCpy $2 ""
  SetShellVarContext all
  ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
  StrCmp $0 $INSTDIR 0 +3
    StrCpy $1 AllUsers
    ReadRegStr $2 SHCTX $UninstallKey "Language"
  SetShellVarContext current
  ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
  StrCmp $0 $INSTDIR 0 +3
    StrCpy $1 CurrentUser
    ReadRegStr $2 SHCTX $UninstallKey "Language"
  StrCmp $2 "" +2
    StrCpy $LANGUAGE $2
  ${ModeOfSwitches}
  StrCmp $InstallMode "" 0 mode_chosen
    StrCpy $InstallMode $1
    StrCmp $1 "" 0 mode_chosen
    ${AdminRights} $0
    StrCpy $InstallMode CurrentUser
    StrCmp $0 1 0 mode_chosen
      StrCpy $InstallMode AllUsers
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
FunctionEnd

; $INSTDIR is the folder the uninstaller removes the plugin from. Only what
; the installer put there goes, and only when all of it can: what else the
; folders hold stays, and so do they, and so does a file that is not a
; program or a library and was changed since it was installed. A file that
; came into use meanwhile stays, and so do the uninstaller and the entry, to
; finish the job later. When an interrupted setup was undone, the uninstaller
; of the version it put back does the removal instead.
Function un.RemoveInstalledFiles
  StrCmp $HandOver "" own_files
  StrCmp $HandOver "-" handed_over
    StrCpy $EarlierFolder $HandOver
    StrCpy $0 "$HandOver\uninstall.exe"
    StrCmp $OwnReplacement "" +2
      StrCpy $0 $OwnReplacement
    ${RunUninstallerOf} $0 $HandOver $0
    StrCmp $0 0 handed_over
      ${TellWhyNotRemoved} $HandOver
  handed_over:
    Return
  own_files:
  ${ForEachListed} StopUnlessReplaceable
  ${ForEachListed} RemoveListedFile
  StrCmp $Leftover "" removed
    ${Fail} "${TEXT_FILES_LEFT}" "${TEXT_FILES_LEFT_STATUS}"
  removed:
  IntCmp $KeptFiles 0 +3
    SetDetailsView show
    DetailPrint "${TEXT_KEPT_ON_UNINSTALL}"
  ${IfOwnFile} removed_but_own_file
  Delete "$INSTDIR\uninstall.exe"
  removed_but_own_file:
FunctionEnd

; A listed file goes, unless it is not a program or a library and differs
; from what was installed: then it is the user's, and stays. The installed
; version that an update put beside such a file (<name>.new) goes.
Function un.RemoveListedFile
  StrCpy $R3 $R0 "" -1
  StrCmp $R3 "\" kept
  ${IsProgramFile} $R0 $R3
  StrCmp $R3 1 delete
    IfFileExists "$INSTDIR\$R0.new" 0 shipped_copy_gone
      ${ChangedSinceInstalled} "$INSTDIR\$R0.new" $R3
      StrCmp $R3 1 shipped_copy_gone
        Delete "$INSTDIR\$R0.new"
    shipped_copy_gone:
    IfFileExists "$INSTDIR\$R0" 0 kept
    ${ChangedSinceInstalled} "$INSTDIR\$R0" $R3
    StrCmp $R3 1 0 delete
      DetailPrint "${TEXT_KEPT_CHANGED}"
      IntOp $KeptFiles $KeptFiles + 1
      Goto kept
  delete:
  Call un.DeleteListedFile
  kept:
FunctionEnd

; 1 when the file given differs from the listed file the loop is at
; ($ListedSize, $ListedHash): another size, or another CRC-32. A list
; without them has nothing to compare with: 0. A file that cannot be read
; counts as changed.
Function un.ChangedSinceInstalled
  Exch $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCmp $ListedHash "" same
  System::Call 'kernel32::CreateFileW(t R3, i ${SETUP_GENERIC_READ}, i ${SETUP_SHARE_ALL}, p 0, i ${SETUP_OPEN_EXISTING}, i 0, p 0) p .R4'
  IntCmp $R4 -1 changed
  System::Call 'kernel32::GetFileSizeEx(p R4, *l .R5)'
  StrCmp $R5 $ListedSize 0 closed
  StrCpy $R5 0
  System::Alloc 65536
  Pop $R6
  read:
    System::Call 'kernel32::ReadFile(p R4, p R6, i 65536, *i .R7, p 0)'
    IntCmp $R7 0 summed
    System::Call 'ntdll::RtlComputeCrc32(i R5, p R6, i R7) i .R5'
    Goto read
  summed:
  System::Free $R6
  IntFmt $R5 "%08x" $R5
  closed:
  System::Call 'kernel32::CloseHandle(p R4)'
  StrCmp $R5 $ListedHash same
  changed:
  StrCpy $R3 1
  Goto compared
  same:
  StrCpy $R3 0
  compared:
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Exch $R3
FunctionEnd

; The folders the entry names, innermost first, once empty, and the entry,
; when it names this folder (an uninstaller a setup runs on the folder where
; an earlier version waits leaves it to the setup). The folders that this
; uninstaller's own file keeps go after it.
Function un.RemoveFoldersAndEntry
  StrCmp $HandOver "" 0 removed
  SetOutPath "$TEMP"
  ReadRegDWORD $1 SHCTX $UninstallKey "CreatedFolders"
  folder:
    IntCmp $1 1 0 folders_removed
    ReadRegStr $2 SHCTX $UninstallKey "CreatedFolder$1"
    StrCmp $2 "" +3
      RMDir $2
      Call un.RemoveAfterOwnFile
    IntOp $1 $1 - 1
    Goto folder
  folders_removed:
  ReadRegStr $0 SHCTX $UninstallKey "InstallLocation"
  StrCmp $0 $INSTDIR 0 +2
    DeleteRegKey SHCTX $UninstallKey
  removed:
  StrCpy $Progress done
FunctionEnd

; The folder in $2, when it is still there, goes once empty after the
; uninstaller's own file.
Function un.RemoveAfterOwnFile
  IfFileExists "$2\*.*" 0 +3
    IntOp $OwnFolders $OwnFolders + 1
    System::Call 'kernel32::SetEnvironmentVariable(t "QUILLON_REMOVE_$OwnFolders", t r2)'
FunctionEnd

; At the uninstaller's end: its own file (or the copy that NSIS made of it in
; a folder of its own, "~nsu<n>.tmp" in the temporary folder, when it was run
; without "_?="), when it is to go, is deleted once every run of it has ended
; (this one, and the one that waits for it when it runs with administrator
; rights): by the command interpreter, which tries once a second for a minute
; and then removes the folders that RemoveAfterOwnFile named, once empty.
; When the removal failed and the earlier version that an interrupted setup
; left is installed again, its uninstaller takes the place of this one
; instead. The paths reach the interpreter in environment variables, so that
; no character in them is taken for its syntax.
Function un.EndUninstall
  StrCmp $OwnFile "" 0 remove
    ${ParentOf} $EXEDIR $0
    StrLen $0 $0
    IntOp $0 $0 + 1
    StrCpy $0 $EXEDIR "" $0
    StrCpy $1 $0 4
    StrCmp $1 "~nsu" 0 ended
    StrCpy $1 $0 "" -4
    StrCmp $1 ".tmp" 0 ended
    StrCpy $OwnFile $EXEPATH
    StrCpy $2 $EXEDIR
    Call un.RemoveAfterOwnFile
  remove:
  System::Call 'kernel32::SetEnvironmentVariable(t "QUILLON_REMOVE", t "$OwnFile")'
  StrCpy $0 "exit"
  StrCpy $1 $OwnFolders
  folder:
    IntCmp $1 0 listed listed
    StrCpy $0 'rmdir "%QUILLON_REMOVE_$1%" 2>nul & $0'
    IntOp $1 $1 - 1
    Goto folder
  listed:
  StrCpy $1 'del /f /q "%QUILLON_REMOVE%" 2>nul & if not exist "%QUILLON_REMOVE%" ($0)'
  StrCmp $OwnReplacement "" replaced
    StrCmp $Progress done 0 +3
      Delete $OwnReplacement
      Goto replaced
    System::Call 'kernel32::SetEnvironmentVariable(t "QUILLON_PUT_BACK", t "$OwnReplacement")'
    StrCpy $1 'move /y "%QUILLON_PUT_BACK%" "%QUILLON_REMOVE%" >nul 2>nul & if not exist "%QUILLON_PUT_BACK%" (exit)'
  replaced:
  ; Not "@(" in the loop's body: Wine's interpreter runs none of it then.
  StrCpy $0 '"$SYSDIR\cmd.exe" /d /q /s /c "for /l %n in (1,1,60) do ($1 & ping -n 2 127.0.0.1 >nul)"'
  ; STARTUPINFOW, PROCESS_INFORMATION; no console (and so no standard
  ; handles of this program's), no inherited handles, the temporary folder as
  ; its working folder.
  System::Call '*(i 68, p 0, p 0, p 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, p 0, p 0, p 0, p 0) p .r1'
  System::Call '*(p, p, i, i) p .r2'
  System::Call 'kernel32::CreateProcessW(p 0, t r0, p 0, p 0, i 0, i ${SETUP_DETACHED_PROCESS}, p 0, t "$TEMP", p r1, p r2) i .r3'
  IntCmp $3 0 started
    System::Call '*$2(p .r3, p .r4)'
    System::Call 'kernel32::CloseHandle(p r3)'
    System::Call 'kernel32::CloseHandle(p r4)'
  started:
  System::Free $1
  System::Free $2
  ended:
FunctionEnd

!endif
