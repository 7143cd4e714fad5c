; The texts a plugin's installer and uninstaller show themselves, in English,
; which also stands in for every language without a file of its own here.
;
; One file per language, named as NSIS names the language's file in
; languages\ ("German.nsh" for German.nlf), saved in UTF-8 with a byte order
; mark. To translate the texts into another language, copy this file under
; that language's name and translate the text in quotes on each line; leave
; the rest as it is. Every file holds every text. What the installer puts
; into a text stays as it is, in any order the sentence needs:
;   $(^Name)                    the plugin's name; $(^SetupCaption) and
;                               $(^UninstallCaption) the window's caption
;   $INSTDIR, $0, $R3 and the like    a folder, a file, a name or a number,
;                               as the comment above each group says
;   $\"  a double quote;  $\r$\n  a line break;  $$  a dollar sign
; A name after "$" ends at the first character that is not a letter, digit
; or underscore: write a blank or a sign after it ("$INSTDIR." works,
; "$KeptFilesDateien" does not). In the texts of the two buttons of the
; first page the character after "&" is the key that chooses it (Alt+key):
; give each of the two its own letter.
;
; SETUP_TEXTS_LANGUAGE is the language the file is read for; the setup
; creator defines it before it includes the file.

; The first page, which asks for whom to install: its caption (after the
; setup's name in the window's caption), the question, its two choices, and
; where the plugin is installed already ($AllUsersFolder, $CurrentUserFolder).
LangString TEXT_MODE_PAGE_CAPTION ${SETUP_TEXTS_LANGUAGE} ": Installation Mode"
LangString TEXT_MODE_QUESTION ${SETUP_TEXTS_LANGUAGE} "Install $(^Name) for all users of this computer, or only for you?"
LangString TEXT_MODE_ALL_USERS ${SETUP_TEXTS_LANGUAGE} "For &all users (needs administrator rights)"
LangString TEXT_MODE_ONLY_ME ${SETUP_TEXTS_LANGUAGE} "Only for &me"
LangString TEXT_INSTALLED_FOR_ALL ${SETUP_TEXTS_LANGUAGE} "$(^Name) is installed for all users in $AllUsersFolder."
LangString TEXT_INSTALLED_FOR_ME ${SETUP_TEXTS_LANGUAGE} "$(^Name) is installed for you in $CurrentUserFolder."
LangString TEXT_SAME_MODE_UPDATES ${SETUP_TEXTS_LANGUAGE} "Installing it the same way again updates that installation; installing it the other way leaves that one as it is."

; Messages at the start. The versions of the plugin: the one installed
; ($InstalledVersion) and the one of this setup ($PluginVersion). The folder
; given on the command line after /D= ($0), and the plugin's folder name
; ($PluginFolderName).
LangString TEXT_BOTH_MODES ${SETUP_TEXTS_LANGUAGE} "Give /AllUsers or /CurrentUser, not both. Nothing was changed."
LangString TEXT_64_BIT_ONLY ${SETUP_TEXTS_LANGUAGE} "$(^Name) is for 64-bit Windows only, and this Windows is 32-bit. Nothing was installed."
LangString TEXT_RIGHTS_REFUSED ${SETUP_TEXTS_LANGUAGE} "Installing for all users needs administrator rights, which were not given. Choose $\"Only for me$\" to install $(^Name) without them."
LangString TEXT_UNINSTALL_RIGHTS_REFUSED ${SETUP_TEXTS_LANGUAGE} "$(^Name) is installed for all users: removing it needs administrator rights, which were not given. Nothing was removed."
LangString TEXT_DOWNGRADE ${SETUP_TEXTS_LANGUAGE} "A newer version $InstalledVersion of $(^Name) is installed. Install the older version $PluginVersion?"
LangString TEXT_GIVEN_FOLDER_RELATIVE ${SETUP_TEXTS_LANGUAGE} "/D=$0 does not name a folder by its full path, such as C:\Plugins\$PluginFolderName. Nothing was changed."
LangString TEXT_GIVEN_FOLDER_CHARACTERS ${SETUP_TEXTS_LANGUAGE} "/D=$0 holds a character that a folder name cannot hold (< > : $\" | ? * or a control character). Nothing was changed."
LangString TEXT_GIVEN_FOLDER_NO_DRIVE ${SETUP_TEXTS_LANGUAGE} "/D=$0 names a drive or network folder that does not exist. Nothing was changed."
LangString TEXT_GIVEN_FOLDER_ROOT ${SETUP_TEXTS_LANGUAGE} "/D=$0 names the root of a drive: give a folder on it. Nothing was changed."
LangString TEXT_GIVEN_FOLDER_FILE ${SETUP_TEXTS_LANGUAGE} "/D=$0 names a file, not a folder. Nothing was changed."

; A folder that does not suit the installation ($INSTDIR): the user's
; profile folder ($PROFILE); another plugin's name and main file ($2, $3);
; the name or the path of another installation's uninstaller ($1); the
; folder of the version installed ($EarlierFolder). The last is shown on the
; progress page.
LangString TEXT_OUTSIDE_PROFILE ${SETUP_TEXTS_LANGUAGE} "An installation only for you goes into a folder inside your user profile ($PROFILE), and $INSTDIR is not. Nothing was changed."
LangString TEXT_FOLDER_OF_ALL_USERS ${SETUP_TEXTS_LANGUAGE} "$(^Name) is installed for all users in $INSTDIR, and that installation stays as it is: choose another folder to install it only for you. Nothing was changed."
LangString TEXT_FOLDER_OF_ONE_USER ${SETUP_TEXTS_LANGUAGE} "$(^Name) is installed only for one user in $INSTDIR, and that installation stays as it is: choose another folder to install it for all users. Nothing was changed."
LangString TEXT_FOLDER_OF_OTHER_PLUGIN ${SETUP_TEXTS_LANGUAGE} "Another plugin, $2 ($3), is installed in $INSTDIR, and that installation stays as it is: choose another folder. Nothing was changed."
LangString TEXT_FOLDER_HOLDS_UNINSTALLER ${SETUP_TEXTS_LANGUAGE} "The uninstaller of another installation ($1) is in $INSTDIR, and that installation stays as it is: choose another folder. Nothing was changed."
LangString TEXT_INSIDE_EARLIER ${SETUP_TEXTS_LANGUAGE} "$INSTDIR lies inside the folder of the installed version, $EarlierFolder: choose that folder itself or one elsewhere. Nothing was changed."
LangString TEXT_UNINSTALLER_WOULD_GO ${SETUP_TEXTS_LANGUAGE} "$(^Name) is installed in $EarlierFolder with an uninstaller, which this setup does not have: installed over it, the plugin could no longer be removed. Remove it with its uninstaller first, or use a setup that has one. Nothing was changed."
LangString TEXT_FOLDER_UNSUITED_STATUS ${SETUP_TEXTS_LANGUAGE} "$INSTDIR does not suit this installation."

; What stopped an installation or an uninstallation, told in a message at
; its end; a text whose name ends in _STATUS shows on the progress page. A
; file in use ($R9); a folder ($0) and another plugin's name and main file
; ($1, $2); a file in the installation folder ($R3); the folder of the
; version installed ($EarlierFolder); where what could not be put back waits
; ($3); the first file that could not be removed ($Leftover).
LangString TEXT_IN_USE ${SETUP_TEXTS_LANGUAGE} "$R9 is in use or read-only, so nothing was changed.$\r$\nClose the program that uses it (the Quillon file manager), then try again."
LangString TEXT_IN_USE_STATUS ${SETUP_TEXTS_LANGUAGE} "$R9 is in use or read-only."
LangString TEXT_OTHER_PLUGIN ${SETUP_TEXTS_LANGUAGE} "Another plugin ($1, $2) is installed in $0 under the name this plugin uses. Nothing was changed."
LangString TEXT_OTHER_PLUGIN_STATUS ${SETUP_TEXTS_LANGUAGE} "Another plugin is installed in $0 under the name this plugin uses."
LangString TEXT_FOLDER_NOT_CREATED ${SETUP_TEXTS_LANGUAGE} "The folder $0 could not be created, so nothing was changed."
LangString TEXT_FOLDER_NOT_CREATED_STATUS ${SETUP_TEXTS_LANGUAGE} "The folder $0 could not be created."
LangString TEXT_EARLIER_NOT_MOVED ${SETUP_TEXTS_LANGUAGE} "Not everything in $EarlierFolder could be moved (a program may be using it), so nothing was changed."
LangString TEXT_EARLIER_NOT_MOVED_STATUS ${SETUP_TEXTS_LANGUAGE} "Not everything in $EarlierFolder could be moved."
LangString TEXT_FILE_NOT_MOVED ${SETUP_TEXTS_LANGUAGE} "$INSTDIR\$R3 could not be moved (a program may be using it), so nothing was changed."
LangString TEXT_FILE_NOT_MOVED_STATUS ${SETUP_TEXTS_LANGUAGE} "$INSTDIR\$R3 could not be moved."
LangString TEXT_UNINSTALLER_NOT_WRITTEN ${SETUP_TEXTS_LANGUAGE} "The uninstaller could not be written to $INSTDIR, so nothing was changed."
LangString TEXT_UNINSTALLER_NOT_WRITTEN_STATUS ${SETUP_TEXTS_LANGUAGE} "The uninstaller could not be written."
LangString TEXT_FILES_NOT_WRITTEN ${SETUP_TEXTS_LANGUAGE} "Not every file could be written to $INSTDIR (the disk may be full, or a program may be using one of them), so nothing was changed."
LangString TEXT_EARLIER_NOT_REMOVED ${SETUP_TEXTS_LANGUAGE} "The installed version in $EarlierFolder could not be removed, so nothing was changed."
LangString TEXT_EARLIER_NOT_REMOVED_STATUS ${SETUP_TEXTS_LANGUAGE} "The installed version in $EarlierFolder could not be removed."
LangString TEXT_NOT_PUT_BACK ${SETUP_TEXTS_LANGUAGE} "Not everything could be put back: what remains waits in $3, and the next setup or uninstaller of $(^Name) puts it back."
LangString TEXT_ANOTHER_RUN ${SETUP_TEXTS_LANGUAGE} "Another setup of $(^Name) is at work in $INSTDIR. Let it finish, then try again. Nothing was changed."
LangString TEXT_FILES_LEFT ${SETUP_TEXTS_LANGUAGE} "Some files in $INSTDIR could not be removed, $Leftover among them. Close the programs that use them, then uninstall again."
LangString TEXT_FILES_LEFT_STATUS ${SETUP_TEXTS_LANGUAGE} "Some files in $INSTDIR could not be removed."

; Lines of the progress page's details. A folder ($R1) and a file's name in
; it ($R3); a file in the installation folder ($R0); how many files were kept
; ($KeptFiles, a number).
LangString TEXT_RUN_UNDONE ${SETUP_TEXTS_LANGUAGE} "A setup of $(^Name) in $INSTDIR was stopped before its end; what it had changed was put back."
LangString TEXT_RUN_COMPLETED ${SETUP_TEXTS_LANGUAGE} "A setup of $(^Name) in $INSTDIR was stopped before its end; it was completed."
LangString TEXT_KEPT_BESIDE_NEW ${SETUP_TEXTS_LANGUAGE} "Kept your version of $R3 in $R1; the new version is beside it as $R3.new."
LangString TEXT_KEPT_BESIDE_FOLDER ${SETUP_TEXTS_LANGUAGE} "Kept your $R3 in $R1 as $R3.old, since the new version has a folder of that name."
LangString TEXT_KEPT_SUMMARY ${SETUP_TEXTS_LANGUAGE} "Kept files you changed or added ($KeptFiles); the new versions are beside them, named with .new added."
LangString TEXT_KEPT_CHANGED ${SETUP_TEXTS_LANGUAGE} "Kept $INSTDIR\$R0, which was changed since it was installed."
LangString TEXT_KEPT_ON_UNINSTALL ${SETUP_TEXTS_LANGUAGE} "Kept files that were changed since they were installed ($KeptFiles) in $INSTDIR."

; The window's caption once a run was aborted.
LangString TEXT_INSTALL_ABORTED ${SETUP_TEXTS_LANGUAGE} "$(^SetupCaption): Installation aborted"
LangString TEXT_UNINSTALL_ABORTED ${SETUP_TEXTS_LANGUAGE} "$(^UninstallCaption): Uninstallation aborted"
