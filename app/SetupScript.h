#pragma once
// The installer script the tool generates: language blocks, the licence
// block, the input check, and the filling of the template's placeholders.
#include <string>
#include <vector>

// Placeholders of the template, in the order they are replaced.
inline constexpr char kPluginNamePlaceholder[] = "*plugin_name*";
inline constexpr char kLocalFolderPlaceholder[] = "*local_folder*";
inline constexpr char kMainFilePlaceholder[] = "*main_file*";
inline constexpr char kPluginTypePlaceholder[] = "*plugin_type*";
inline constexpr char kLanguagesPlaceholder[] = "*languages*";
inline constexpr char kLicensePlaceholder[] = "*license*";
inline constexpr char kPushLangPlaceholder[] = "*pushlang*";
// Marks uninstaller lines; removed when an uninstaller is wanted.
inline constexpr char kUninstallerMarker[] = "#01";

struct TLanguageBlocks {
    std::string Load;      // replaces *languages*
    std::string Dialog;    // replaces *pushlang* unless exactly one language is checked
    bool OneLanguage = false;
};

// The blocks for the checked languages, given in list order.
TLanguageBlocks BuildLanguageBlocks(const std::vector<std::string>& checkedLanguages);

// "  Page license" CR LF "  LicenseData "<path>"", without a final line break.
std::string LicenseBlock(const std::string& licensePath);

// What is missing or wrong before a script can be generated, one CR
// LF-terminated line per problem; empty when nothing is. `folderExists`: the
// folder text names an existing folder; `mainFileExists`: the folder text
// followed by the selected main file names an existing entry. A script built
// from a folder text that names no folder, or with a main file from an
// earlier folder, would pack whatever the text happens to match.
std::string ValidateSetupInputs(const std::string& pluginName, const std::string& folder, int mainFileCount,
                                int mainFileIndex, bool folderExists, bool mainFileExists);

struct TSetupScriptInputs {
    std::string PluginName;
    std::string Folder;     // the plugin folder, normally with trailing backslash
    std::string MainFile;   // name of the plugin's main file in that folder
    std::string PluginType; // "WFX" or "WLX"
    std::vector<std::string> CheckedLanguages; // in list order
    std::string LicensePath;
    bool LicenseExists = false; // LicensePath names an existing file
    bool Uninstaller = false;
};

// The template with every placeholder replaced, in the fixed order: a value
// inserted early is searched by the later replacements.
std::string FillSetupScript(const std::string& templateText, const TSetupScriptInputs& inputs);
