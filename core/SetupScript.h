#pragma once
// The installer script the tool generates: language blocks, the licence
// block, the installed files, the input check, and the filling of the
// template's placeholders.
#include "base/Paths.h"

#include <string>
#include <vector>

// Placeholders of the template. Those holding a value are written for the
// kind of place they stand in: a runtime string or compile-time text.
inline constexpr char kPluginNamePlaceholder[] = "*plugin_name*";
inline constexpr char kLocalFolderPlaceholder[] = "*local_folder*";
inline constexpr char kMainFilePlaceholder[] = "*main_file*";
inline constexpr char kPluginTypePlaceholder[] = "*plugin_type*";
inline constexpr char kLanguagesPlaceholder[] = "*languages*";
inline constexpr char kLicensePlaceholder[] = "*license*";
inline constexpr char kPushLangPlaceholder[] = "*pushlang*";
inline constexpr char kPluginNameAmpersandsPlaceholder[] = "*plugin_name_doubled_ampersands*";
inline constexpr char kPluginFolderNamePlaceholder[] = "*plugin_folder_name*";
inline constexpr char kPublisherPlaceholder[] = "*publisher*";
inline constexpr char kVersionProductNamePlaceholder[] = "*version_product_name*";
inline constexpr char kVersionCompanyNamePlaceholder[] = "*version_company_name*";
inline constexpr char kMainFileNamePlaceholder[] = "*main_file_name*";
inline constexpr char kInstallFilesPlaceholder[] = "*install_files*";
inline constexpr char kFileListPlaceholder[] = "*file_list*";
inline constexpr char kEarlierFolderNamePlaceholder[] = "*earlier_folder_name*";
inline constexpr char kBackupFolderNamePlaceholder[] = "*backup_folder_name*";
inline constexpr char kPluginBitsPlaceholder[] = "*plugin_bits*";
inline constexpr char kPluginVersionPlaceholder[] = "*plugin_version*";
inline constexpr char kSignCommandPlaceholder[] = "*sign_command*";
inline constexpr char kBrandPlaceholder[] = "*brand*";
inline constexpr char kTranslationsPlaceholder[] = "*translations*";
// Marks uninstaller lines; removed when an uninstaller is wanted.
inline constexpr char kUninstallerMarker[] = "#01";

// `value` inside a double-quoted runtime string of the compiler, where "$$"
// stands for "$": reaches the installer unchanged, whatever it holds.
std::string RuntimeString(const std::string& value);

// `value` inside double-quoted compile-time text (a file path the compiler
// reads or writes, version information), where "$$" stays two characters.
std::string CompileTimeText(const std::string& value);

// The plugin name as a folder and registry key name: the characters Windows
// forbids in names, and trailing dots and blanks, become "_"; a device name
// ("CON", "LPT1"...) before the first dot gets a "_" after it.
std::string FolderSafeName(const std::string& name);

// `text` cut to at most `maxBytes` bytes, never inside a character of UTF-8
// text: a text that is longer ends, within the limit, in "~" and eight hex
// digits of a hash of the whole text, so that long texts that differ only
// after the cut still differ.
std::string ShortenedName(const std::string& text, std::size_t maxBytes);

// The name of the folder an installer proposes for a plugin and of its
// installed-programs entry: the plugin name, followed in brackets by the main
// file's name (without the extension when it is its type's, ".wfx" for
// "WFX") unless the two are the same (ignoring case). That name is kept as it
// is when it can be read back as this plugin alone: the name and the main
// file hold no bracket and no "~", the main file's name has no other dot than
// its extension's, and nothing had to be made folder-safe. Otherwise it is
// made folder-safe and followed by "~" and eight hex digits of a hash of the
// plugin's identity (type, name, main file, ignoring case), so that two
// plugins never share a folder or an entry however alike they look.
// Shortened to what every folder and registry key can hold. All text in
// UTF-8, as the script has it.
std::string PluginFolderName(const std::string& pluginType, const std::string& pluginName, const std::string& mainFile);

// The name the setups of earlier versions of this tool gave the same plugin's
// folder and entry (the main file's name always without its extension, made
// folder-safe and shortened), under which an earlier install of it is looked
// for.
std::string EarlierFolderName(const std::string& pluginName, const std::string& mainFile);

// The line that makes `command` the template's signing command: a define the
// compiler hands the signing directives, in back quotes, each "$" written
// ${U+24} so that it reaches the command as it stands. `command` holds no
// back quote and no line break (SignCommandProblem).
std::string SignCommandDefine(const std::string& command);

// Why `command` cannot sign the setup; empty when it can.
std::string SignCommandProblem(const std::string& command);

// Why `value` cannot stand in a brand define (a value of a define reaches
// runtime strings and compile-time text alike, so it holds no double quote,
// dollar, back quote or control character), naming it `what`; empty when it
// can.
std::string BrandValueProblem(const std::string& what, const std::string& value);

// The lines that hand the template the author's brand, as the defines it
// documents: BRAND_ICON (the .ico file), BRAND_PUBLISHER, BRAND_URL, each
// only when given, and MAIN_FILE_ICON when the main file carries an icon.
struct TSetupScriptInputs;
std::string BrandBlock(const TSetupScriptInputs& inputs);

// The lines that load the installer's own texts in each language the setup
// loads (`languages`, in list order; none: the compiler's default, English,
// 1033):
// the language's file of `translated` (names of translations\<name>.nsh beside
// the template), else English's, each with SETUP_TEXTS_LANGUAGE naming the
// language it is for.
std::string TranslationsBlock(const std::vector<std::string>& languages, const std::vector<std::string>& translated);

// `text` with every "&" doubled, for labels where a single one underlines.
std::string DoubledAmpersands(const std::string& text);

struct TLanguageBlocks {
    std::string Load;      // replaces *languages*
    std::string Dialog;    // replaces *pushlang* unless exactly one language is checked
    bool OneLanguage = false;
};

// The blocks for the checked languages, given in list order.
TLanguageBlocks BuildLanguageBlocks(const std::vector<std::string>& checkedLanguages);

// "  Page license" CR LF "  LicenseData "<path>"", without a final line break.
std::string LicenseBlock(const std::string& licensePath);

// The install lines for the entries of `folder` (with trailing backslash),
// which are relative paths, a folder ending with a backslash and coming
// before what it holds: for the folder itself and each subfolder that holds
// files, the output path below $INSTDIR and one File command that packs the
// folder's files (not its subfolders), each file of `leftOut` that lies there
// excluded. The folders are created before these lines run.
std::string InstallFilesBlock(const std::string& folder, const std::vector<std::string>& entries,
                              const std::vector<std::string>& leftOut);

// A name for the folder in which an installer keeps what it replaces until it
// has finished: "~setup", with more "~" while an entry at the top of
// `entries` starts with it (ignoring case), so that the name followed by any
// number is never one of the plugin's own.
std::string BackupFolderName(const std::vector<std::string>& entries);

// What a setup is to be made of: the facts the user gave or the scan found.
struct TSetupRequest {
    // As given: a relative folder is taken from the current folder.
    std::string Folder;
    // Entries of the folder have been offered as main files (the window's
    // list is not empty; the console program: the folder holds entries).
    bool EntriesListed = false;
    // The main file, a name in the folder; empty when none is chosen.
    std::string MainFile;
    std::string PluginType; // "WFX" or "WLX"
    std::string PluginName;
    // The plugin is still being asked for its name, which may replace this one.
    bool NameAsked = false;
    // The installer languages, in the order the tool lists them.
    std::vector<std::string> Languages;
    std::string LicensePath;
    bool Uninstaller = false;
    // The command that signs the setup and its uninstaller, "%1" standing for
    // the file; empty for the template's own, or none.
    std::string SignCommand;
    // The author's brand, each empty for the template's own, or none: an icon
    // file (.ico) for the setup, its uninstaller and its entry; the publisher
    // (else the main file's company name); a web address for the entry.
    std::string IconPath;
    std::string Publisher;
    std::string Url;
};

// What lies at the paths of a request: the folder, the folder followed by
// the main file ("." and ".." name folders), the licence.
struct TRequestPaths {
    bool FolderExists = false;
    TEntryKind MainFile = TEntryKind::None;
    TEntryKind License = TEntryKind::None;
};

// What is missing or wrong before a script can be generated, one line per
// problem in a fixed order; empty when nothing is. A script built from a
// folder text that names no folder, with a main file from an earlier folder
// or one that is no file, or with a licence that is not there, would build
// something other than what was asked for.
std::vector<std::string> ValidateSetupInputs(const TSetupRequest& request, const TRequestPaths& paths);

// A request as the plan makes it ready for the script: the folder as a full
// path with trailing backslash, the licence as a full path, and what the
// plan found.
struct TSetupScriptInputs : TSetupRequest {
    bool LicenseExists = false; // LicensePath names an existing file
    // What the plugin folder holds and the setup packs, as WalkFolderTree
    // gives it.
    std::vector<std::string> Files;
    // Files that lie in the plugin folder but are not packed, as relative paths
    // (Files does not hold them), such as a setup built earlier.
    std::vector<std::string> LeftOut;
    // The main file's company name, from its version resource: the publisher
    // unless one is given. Empty when it has none.
    std::string CompanyName;
    // The main file's version ("1.2.3.4"), or empty.
    std::string Version;
    // The folder's plugin files are 64-bit libraries only.
    bool Only64Bit = false;
    // The main file carries an icon, which the entry can show.
    bool MainFileIcon = false;
    // The checked languages whose translation of the installer's own texts
    // lies beside the template.
    std::vector<std::string> Translated;
    // The last-write time the list of installed files gets (BuildTimes.h).
    unsigned long long ListTime = 0;
};

// The template with every placeholder replaced, in one pass: inserted values
// are never searched again, so a value holding a placeholder or the marker
// keeps it.
std::string FillSetupScript(const std::string& templateText, const TSetupScriptInputs& inputs);
