; Installer for a Quillon file manager plugin.
;
; The setup creator fills this script and compiles it with NSIS 3 in its own
; folder. What this file holds is yours to adapt: the settings, the pages,
; the steps of the sections. How the steps work (the checks, setting aside
; and putting back, the registry entry, the install modes, the list of
; installed files) is in PluginSetup.nsh beside it, which the tool copies as
; it is. Every text the installer shows itself is in the language the user
; chose: translations\<language>.nsh beside this file holds them for each
; language (English.nsh for those without a file of their own).
;
; Placeholders: the tool replaces each word between two stars (named below
; without them, since this text is filled too), all in one pass, so a value
; is never taken for script syntax or for another placeholder. Each value is
; written for its kind of place, so that it never closes its quotes, breaks
; its line or brings in a define, an environment variable or an escape of
; its own. Keep each inside double quotes in a place of its kind: in a
; !define value or a macro argument the compiler would read the value once
; more, in a macro's body it does not. Generated lines go on lines of their
; own.
;
; Runtime strings, read by the installer as it runs ("$$" stands for "$"):
;   plugin_name             the plugin name as typed
;   plugin_name_doubled_ampersands   the same, each "&" doubled (for labels)
;   main_file_name          the plugin's main file
;   plugin_type             WFX or WLX
;   plugin_folder_name      the plugin's default folder and entry name
;   earlier_folder_name     the name earlier versions of the tool gave both
;   backup_folder_name      the start of the names of the folders where an
;                           update keeps what it replaces until it is done
;   publisher               the publisher given to the console program,
;                           else the main file's company name, or nothing
;   plugin_bits             64 for a plugin for 64-bit Windows only, else 32
; Compile-time text, read by the compiler ("$$" stays two characters):
;   local_folder            the plugin folder, with a final backslash
;   main_file               the plugin's main file
;   version_product_name    the plugin name, for the version information
;   version_company_name    the publisher, for the version information
;   file_list               the list of the files the setup installs
;   plugin_version          the main file's version ("1.2.3.4") or nothing;
;                           digits and dots only, so it may stand in a define
; Generated lines: sign_command (a signing command given to the console
; program), brand (the defines of the brand below, given to the console
; program, and MAIN_FILE_ICON), languages (the language files), translations
; (for each language the file of its texts, after SETUP_TEXTS_LANGUAGE names
; it), license (the licence page), pushlang (the language question),
; install_files (one File command for each folder of the plugin). A language
; is also named in the compiler's own define for it, ${LANG_<NAME>}, which
; cannot hold a "}".
;
; The define UNINSTALLER below starts with a marker (a hash sign, zero, one)
; that makes it a comment; "Create uninstaller" removes the marker, and then
; the parts of this script and of PluginSetup.nsh that build the uninstaller
; (after !ifdef UNINSTALLER) are compiled.
;
; Compression: one solid LZMA stream with a 32 MB dictionary packs files that
; resemble each other (such as a 32- and a 64-bit build of one library)
; against each other; the setup comes within a few percent of the best
; general-purpose compression. It compiles several times as long as the
; compiler's default and needs the dictionary's size in memory to unpack.
; For quicker builds write "SetCompressor zlib" (each file on its own, a
; larger setup) and remove the dictionary line, which only LZMA takes. The
; compression lines stay at the top, before anything the installer carries.

Unicode true
SetCompressor /SOLID lzma
SetCompressorDictSize 32
; The setup asks for administrator rights only to install for all users.
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
; option takes the place of this command (sign_command).
;!define SIGN_COMMAND `signtool sign /a /fd sha256 "%1"`
*sign_command*
!ifdef SIGN_COMMAND
  !finalize `${SIGN_COMMAND}` = 0
  !uninstfinalize `${SIGN_COMMAND}` = 0
!endif

; The author's brand, for the setup, its uninstaller and the plugin's entry
; in the list of installed programs: an icon file (.ico), the publisher (else
; the main file's company name) and a web address for information and help.
; Remove the semicolons to set them; the console program's --icon,
; --publisher and --url take their places (brand). Without an icon the entry
; shows the plugin's own, when its main file carries one (MAIN_FILE_ICON).
;!define BRAND_ICON "C:\art\plugin.ico"
;!define BRAND_PUBLISHER "Example Software"
;!define BRAND_URL "https://example.com/plugin"
*brand*

#01!define UNINSTALLER

!ifdef BRAND_ICON
  Icon "${BRAND_ICON}"
  !ifdef UNINSTALLER
    UninstallIcon "${BRAND_ICON}"
  !endif
!endif

; The plugin's version as the tool read it from its main file (the compiler
; never reads the plugin's files for anything but packing them).
!define PLUGIN_VERSION "*plugin_version*"

; Installer languages (none means English), and the texts of the installer
; in each.
*languages*
*translations*

; The machinery of the installer and its uninstaller.
!include PluginSetup.nsh

Name "*plugin_name*" "*plugin_name_doubled_ampersands*"
; Written into the folder the compiler runs in.
OutFile "*main_file*_setup.exe"
; The folder proposed for an install for all users; the user may choose
; another, and /D=<folder> does so for a silent install. An install only for
; the user, or an earlier install of the plugin, proposes its own.
InstallDir "$PROGRAMFILES\${PLUGINS_FOLDER}\*plugin_type*\*plugin_folder_name*"

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
!ifdef BRAND_PUBLISHER
  VIAddVersionKey CompanyName "${BRAND_PUBLISHER}"
!else
  VIAddVersionKey CompanyName "*version_company_name*"
!endif
VIAddVersionKey LegalCopyright ""

; Pages, in order. The first asks for whom to install (all users or only the
; user who runs the setup); leaving the folder page checks the folder, and
; leaving the progress page of a run that failed tells why.
Page custom ModePage ModePageLeave "${TEXT_MODE_PAGE_CAPTION}"
*license*
Page directory "" "" FolderPageLeave
Page instfiles "" "" InstallPageLeave
!ifdef UNINSTALLER
  UninstPage uninstConfirm
  UninstPage instfiles "" "" un.InstallPageLeave
!endif

; The plugin, as the installer and its uninstaller know it.
!macro PluginValues
  StrCpy $PluginName "*plugin_name*"
  StrCpy $PluginMainFile "*main_file_name*"
  StrCpy $PluginType "*plugin_type*"
  StrCpy $PluginFolderName "*plugin_folder_name*"
  StrCpy $EarlierFolderName "*earlier_folder_name*"
  StrCpy $BackupFolderName "*backup_folder_name*"
  StrCpy $Publisher "*publisher*"
  !ifdef BRAND_PUBLISHER
    StrCpy $Publisher "${BRAND_PUBLISHER}"
  !endif
  StrCpy $PluginBits "*plugin_bits*"
!macroend

Function .onInit
  !insertmacro PluginValues
  ; The language first, so that all the setup says is in it: the one a run
  ; that started this one passes on, else asked unless the installation is
  ; silent (/S).
  ${TakeGivenLanguage}
  StrCmp $LanguageGiven 1 language_chosen
  IfSilent language_chosen
*pushlang*
  language_chosen:
  ; What this Windows allows, the plugin's earlier installs, the switches.
  ${BeginSetup}
  ; A run given its mode, or a silent one, takes it now (asking before it
  ; replaces a newer version); the others choose on the first page.
  ${UseGivenMode}
FunctionEnd

Function .onInstFailed
  ${ReportFailure}
FunctionEnd

; The list of the plugin's files, which the installer and the uninstaller
; carry and read as they run: it decides what they check, create and remove.
; Extracted by a function, it does not count in the plugin's size.
!macro FileList UN
  Function ${UN}ExtractFileList
    InitPluginsDir
    File "/oname=${INSTALLED_LIST}" "*file_list*"
  FunctionEnd
!macroend
!insertmacro FileList ""
!ifdef UNINSTALLER
  !insertmacro FileList "un."
!endif

Section "Plugin" PluginSection
  ; The size the list of installed programs shows.
  SectionGetSize ${PluginSection} $InstalledSize
  Call ExtractFileList
  ; A setup of this plugin that was stopped before its end (killed, or the
  ; power lost) is undone, or completed once all its files were in place.
  ${FinishInterruptedRun}
  ; Nothing changes unless every file can be written, no other plugin's
  ; entry has this plugin's name and the folder suits the installation.
  ${CheckInstallation}
  ; The record of this run is begun; an earlier version waits in a folder
  ; inside its own, and the files this version replaces in one inside the
  ; installation folder.
  ${SetAsideInstalled}
  ; The folders, the uninstaller and the entry naming it.
  ${PrepareFolders}
  ; Every file of the plugin folder, a folder's files with one command. One
  ; that cannot be written fails the installation with this text.
  StrCpy $Failure "${TEXT_FILES_NOT_WRITTEN}"
*install_files*
  ; The earlier version removes itself, what remains of it (the user's own
  ; files, and those the user changed) goes back, the entry is written and
  ; what waited is deleted.
  ${CompleteInstallation}
SectionEnd

!ifdef UNINSTALLER
  Function un.onInit
    !insertmacro PluginValues
    ; The install mode, the rights it needs, the language the setup ran in.
    ${BeginUninstall}
  FunctionEnd

  Function un.onUninstFailed
    ${ReportFailure}
    ${EndUninstall}
  FunctionEnd

  ; The uninstaller's own file goes once it has ended.
  Function un.onUninstSuccess
    ${EndUninstall}
  FunctionEnd

  Section "Uninstall"
    Call un.ExtractFileList
    ${FinishInterruptedRun}
    ; Only what the installer put in its folder goes, and only when all of
    ; it can, but files the user changed; then the folders the setups
    ; created, once empty, and the entry.
    ${RemoveInstalledFiles}
    ${RemoveFoldersAndEntry}
  SectionEnd
!endif
