#include "SetupScript.h"

#include "ReplaceAll.h"

namespace {

const char kLineBreak[] = "\r\n";

std::string UpperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

TLanguageBlocks BuildLanguageBlocks(const std::vector<std::string>& checkedLanguages)
{
    TLanguageBlocks blocks;
    std::string dialog = std::string("Push \"\"") + kLineBreak;
    std::string lastLoadLine;
    for (const std::string& name : checkedLanguages) {
        lastLoadLine = "  LoadLanguageFile \"languages\\" + name + ".nlf\"";
        blocks.Load += lastLoadLine + kLineBreak;
        dialog += "  Push ${LANG_" + UpperAscii(name) + "}" + kLineBreak;
        dialog += "  Push \"" + name + "\"" + kLineBreak;
    }
    blocks.OneLanguage = checkedLanguages.size() == 1;
    // English alone is the compiler's default: nothing to load, nothing to ask.
    if (blocks.OneLanguage && lastLoadLine.find("\\English.nlf") != std::string::npos)
        blocks.Load.clear();

    dialog += std::string("  Push A") + kLineBreak;
    dialog += std::string("  LangDLL::LangDialog \"Language\" \"Please select the language of the installer\"") + kLineBreak;
    dialog += std::string("  Pop $LANGUAGE") + kLineBreak;
    dialog += std::string("  StrCmp $LANGUAGE \"cancel\" 0 +2") + kLineBreak;
    dialog += std::string("    Abort") + kLineBreak;
    if (!blocks.Load.empty())
        blocks.Dialog = dialog;
    return blocks;
}

std::string LicenseBlock(const std::string& licensePath)
{
    return std::string("  Page license") + kLineBreak + "  LicenseData \"" + licensePath + "\"";
}

std::string ValidateSetupInputs(const std::string& pluginName, const std::string& folder, int mainFileCount,
                                int mainFileIndex, bool folderExists, bool mainFileExists)
{
    std::string problems;
    if (pluginName.empty())
        problems += std::string("You must specify a plugin name") + kLineBreak;
    if (folder.empty())
        problems += std::string("You must specify a folder") + kLineBreak;
    if (!folder.empty() && mainFileCount == 0)
        problems += std::string("The folder doesn't contains any file") + kLineBreak;
    if (!folder.empty() && mainFileCount > 0 && mainFileIndex < 0)
        problems += std::string("You must specify the plugin main file") + kLineBreak;
    if (!folder.empty() && !folderExists)
        problems += std::string("The folder doesn't exist") + kLineBreak;
    if (!folder.empty() && folderExists && mainFileIndex >= 0 && !mainFileExists)
        problems += std::string("The plugin main file isn't in the folder") + kLineBreak;
    return problems;
}

std::string FillSetupScript(const std::string& templateText, const TSetupScriptInputs& inputs)
{
    const TLanguageBlocks languages = BuildLanguageBlocks(inputs.CheckedLanguages);
    std::string script = ReplaceAll(templateText, kPluginNamePlaceholder, inputs.PluginName);
    script = ReplaceAll(script, kLocalFolderPlaceholder, inputs.Folder);
    script = ReplaceAll(script, kMainFilePlaceholder, inputs.MainFile);
    script = ReplaceAll(script, kPluginTypePlaceholder, inputs.PluginType);
    script = ReplaceAll(script, kLanguagesPlaceholder, languages.Load);
    const bool withLicense = !inputs.LicensePath.empty() && inputs.LicenseExists;
    script = ReplaceAll(script, kLicensePlaceholder, withLicense ? LicenseBlock(inputs.LicensePath) : std::string());
    script = ReplaceAll(script, kPushLangPlaceholder, languages.OneLanguage ? std::string() : languages.Dialog);
    if (inputs.Uninstaller)
        script = ReplaceAll(script, kUninstallerMarker, std::string());
    return script;
}
