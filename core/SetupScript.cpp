#include "SetupScript.h"

#include "ToolFiles.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string_view>

namespace {

const char kLineBreak[] = "\r\n";

// A value in double quotes: `dollar` for each "$", the compiler's escapes for
// the characters that would end the quotes or the line.
std::string QuotedValue(const std::string& value, const char* dollar)
{
    std::string text;
    text.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '$': text += dollar; break;
        case '"': text += "$\\\""; break;
        case '\t': text += "$\\t"; break;
        case '\r': text += "$\\r"; break;
        case '\n': text += "$\\n"; break;
        default: text += c;
        }
    }
    return text;
}

bool IsFolderEntry(const std::string& entry) { return !entry.empty() && entry.back() == '\\'; }

// Whether Windows takes a name whose part before the first dot is `base`
// (ASCII letters in upper case) for a device.
bool IsDeviceName(std::string base)
{
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* device : devices)
        if (base == device)
            return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

std::string UpperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// "~" and eight hex digits of the FNV-1a hash of every byte of `text`.
std::string HashSuffix(const std::string& text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char suffix[10];
    std::snprintf(suffix, sizeof(suffix), "~%08x", static_cast<unsigned>(hash));
    return suffix;
}

// The plugin name, followed by `mainFileText` in brackets unless the two are
// the same (ignoring case).
std::string ReadableName(const std::string& pluginName, const std::string& mainFileText)
{
    return lstrcmpiA(mainFileText.c_str(), pluginName.c_str()) == 0 ? pluginName
                                                                     : pluginName + " (" + mainFileText + ")";
}

// Every folder and key name holds this much, with room to spare for the
// files below the folder.
constexpr std::size_t kMaxFolderNameBytes = 64;

struct TPlaceholderValue {
    const char* Placeholder;
    std::string Value;
};

// `text` with each placeholder of `table` replaced by its value, left to
// right in one pass; inserted values are not searched again.
std::string ReplacePlaceholders(const std::string& text, const std::vector<TPlaceholderValue>& table)
{
    // The placeholders by the character they start with and the one after
    // it: a "*" stands often in a script ("*.*"), and the next character
    // rules out most such places, and most placeholders, at once.
    std::array<bool, 256> starts{};
    std::array<std::vector<const TPlaceholderValue*>, 256> bySecond;
    for (const TPlaceholderValue& entry : table) {
        starts[static_cast<unsigned char>(entry.Placeholder[0])] = true;
        bySecond[static_cast<unsigned char>(entry.Placeholder[1])].push_back(&entry);
    }
    // The text between placeholders is copied as a whole.
    std::string result;
    result.reserve(text.size());
    std::size_t done = 0;
    for (std::size_t at = 0; at + 1 < text.size(); ++at) {
        if (!starts[static_cast<unsigned char>(text[at])])
            continue;
        for (const TPlaceholderValue* entry : bySecond[static_cast<unsigned char>(text[at + 1])]) {
            const std::string_view placeholder = entry->Placeholder;
            if (text.compare(at, placeholder.size(), placeholder) != 0)
                continue;
            result.append(text, done, at - done);
            result += entry->Value;
            done = at + placeholder.size();
            at = done - 1;
            break;
        }
    }
    result.append(text, done, std::string::npos);
    return result;
}

} // namespace

std::string RuntimeString(const std::string& value)
{
    // The compiler makes "$$" of the two code points, and the installer reads
    // that as one "$"; a plain "$$" would still let the compiler expand a
    // "${", "$%" or "$\" that follows it.
    return QuotedValue(value, "${U+24}${U+24}");
}

std::string CompileTimeText(const std::string& value)
{
    return QuotedValue(value, "${U+24}");
}

std::string FolderSafeName(const std::string& name)
{
    std::string safe = name;
    const std::size_t baseEnd = std::min(safe.find('.'), safe.size());
    const bool device = IsDeviceName(UpperAscii(safe.substr(0, baseEnd)));
    for (char& c : safe) {
        if (static_cast<unsigned char>(c) < 32 || std::strchr("\\/:*?\"<>|", c) != nullptr)
            c = '_';
    }
    // Windows drops trailing dots and blanks: "." and ".." would name the
    // parent folders, "A." the folder "A".
    for (auto c = safe.rbegin(); c != safe.rend() && (*c == '.' || *c == ' '); ++c)
        *c = '_';
    if (device)
        safe.insert(baseEnd, 1, '_');
    return safe.empty() ? std::string("_") : safe;
}

std::string ShortenedName(const std::string& text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    const std::string suffix = HashSuffix(text);
    std::size_t cut = maxBytes > suffix.size() ? maxBytes - suffix.size() : 0;
    // Not inside a character: UTF-8 continuation bytes are 10xxxxxx.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut) + suffix;
}

std::string PluginFolderName(const std::string& pluginType, const std::string& pluginName, const std::string& mainFile)
{
    const std::string base = NameWithoutExtension(mainFile);
    const bool typesExtension = lstrcmpiA(mainFile.substr(base.size()).c_str(), ("." + pluginType).c_str()) == 0;
    const std::string readable = ReadableName(pluginName, typesExtension ? base : mainFile);
    // Such a name reads back as exactly one plugin: the text in its one pair
    // of brackets (or else the plugin name) is the main file's name when it
    // holds a dot, and that name without the type's extension otherwise. "~"
    // only ever comes before a hash.
    const bool plain = FolderSafeName(readable) == readable &&
                       (pluginName + mainFile).find_first_of("()~") == std::string::npos &&
                       base.find('.') == std::string::npos;
    if (plain)
        return ShortenedName(readable, kMaxFolderNameBytes);
    std::wstring identity = ToWide(pluginType + "\n" + pluginName + "\n" + mainFile, CP_UTF8);
    CharLowerBuffW(identity.data(), static_cast<DWORD>(identity.size()));
    return ShortenedName(FolderSafeName(readable) + HashSuffix(FromWide(identity, CP_UTF8)), kMaxFolderNameBytes);
}

std::string EarlierFolderName(const std::string& pluginName, const std::string& mainFile)
{
    return ShortenedName(FolderSafeName(ReadableName(pluginName, NameWithoutExtension(mainFile))), kMaxFolderNameBytes);
}

std::string SignCommandDefine(const std::string& command)
{
    std::string text = "!define /redef SIGN_COMMAND `";
    for (const char c : command)
        text += c == '$' ? std::string("${U+24}") : std::string(1, c);
    return text + "`";
}

std::string SignCommandProblem(const std::string& command)
{
    if (command.find("%1") == std::string::npos)
        return "The signing command must hold %1 where the path of the file to sign goes";
    if (command.find('`') != std::string::npos)
        return "The signing command can't hold a back quote (`)";
    if (std::any_of(command.begin(), command.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }))
        return "The signing command must be one line";
    return std::string();
}

std::string BrandValueProblem(const std::string& what, const std::string& value)
{
    if (std::any_of(value.begin(), value.end(), [](char c) { return (c > 0 && c < ' ') || c == 0x7F; }))
        return what + " can't hold control characters, such as a line break";
    if (value.find_first_of("\"$`") != std::string::npos)
        return what + " can't hold a double quote, a dollar sign or a back quote";
    return std::string();
}

std::string BrandBlock(const TSetupScriptInputs& inputs)
{
    std::string lines;
    const std::pair<const char*, const std::string*> values[] = {
        {"BRAND_ICON", &inputs.IconPath}, {"BRAND_PUBLISHER", &inputs.Publisher}, {"BRAND_URL", &inputs.Url}};
    for (const auto& [name, value] : values)
        if (!value->empty())
            lines += std::string("!define /redef ") + name + " \"" + *value + "\"" + kLineBreak;
    if (inputs.MainFileIcon)
        lines += std::string("!define /redef MAIN_FILE_ICON") + kLineBreak;
    return lines;
}

std::string TranslationsBlock(const std::vector<std::string>& languages, const std::vector<std::string>& translated)
{
    const auto lines = [&](const std::string& define, const std::string& name) {
        const bool own = std::any_of(translated.begin(), translated.end(),
                                     [&](const std::string& t) { return lstrcmpiA(t.c_str(), name.c_str()) == 0; });
        return "!define /redef SETUP_TEXTS_LANGUAGE " + define + kLineBreak + "!include \"translations\\" +
               CompileTimeText(own ? name : std::string("English")) + ".nsh\"" + kLineBreak;
    };
    // Without a language file the compiler's own English is the language,
    // by its number: the compiler then defines no ${LANG_ENGLISH}.
    if (languages.empty())
        return lines("1033", "English");
    std::string block;
    for (const std::string& name : languages)
        block += lines("${LANG_" + UpperAscii(name) + "}", name);
    return block;
}

std::string DoubledAmpersands(const std::string& text)
{
    std::string doubled;
    for (const char c : text) {
        doubled += c;
        if (c == '&')
            doubled += c;
    }
    return doubled;
}

TLanguageBlocks BuildLanguageBlocks(const std::vector<std::string>& checkedLanguages)
{
    TLanguageBlocks blocks;
    std::string dialog = std::string("Push \"\"") + kLineBreak;
    std::string lastLoadLine;
    for (const std::string& name : checkedLanguages) {
        lastLoadLine = "  LoadLanguageFile \"languages\\" + CompileTimeText(name) + ".nlf\"";
        blocks.Load += lastLoadLine + kLineBreak;
        // The compiler names the language's define after the file, as it is.
        dialog += "  Push ${LANG_" + UpperAscii(name) + "}" + kLineBreak;
        dialog += "  Push \"" + RuntimeString(name) + "\"" + kLineBreak;
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
    return std::string("  Page license") + kLineBreak + "  LicenseData \"" + CompileTimeText(licensePath) + "\"";
}

std::string InstallFilesBlock(const std::string& folder, const std::vector<std::string>& entries,
                              const std::vector<std::string>& leftOut)
{
    // The plugin folder ("") and its subfolders, in the order listed.
    std::vector<std::string> folders = {std::string()};
    std::set<std::string> holdingFiles;
    for (const std::string& entry : entries) {
        if (IsFolderEntry(entry))
            folders.push_back(entry);
        else
            holdingFiles.insert(FolderOfPath(entry));
    }
    std::map<std::string, std::string> exclusions;
    for (const std::string& entry : leftOut) {
        const std::string parent = FolderOfPath(entry);
        exclusions[parent] += " \"/x\" \"" + CompileTimeText(entry.substr(parent.size())) + "\"";
    }
    // One command per folder: the compiler reads a folder once for each.
    std::string lines;
    for (const std::string& subfolder : folders) {
        if (holdingFiles.count(subfolder) == 0)
            continue;
        std::string outPath = "$INSTDIR";
        if (!subfolder.empty())
            outPath += '\\' + RuntimeString(WithoutTrailingBackslash(subfolder));
        lines += "  SetOutPath \"" + outPath + "\"" + kLineBreak;
        lines += "  File" + exclusions[subfolder] + " \"" + CompileTimeText(folder + subfolder + "*") + "\"";
        lines += kLineBreak;
    }
    return lines;
}

std::string BackupFolderName(const std::vector<std::string>& entries)
{
    std::string name = "~setup";
    const auto startsWithName = [&](const std::string& entry) {
        return entry.size() >= name.size() && lstrcmpiA(entry.substr(0, name.size()).c_str(), name.c_str()) == 0;
    };
    while (std::any_of(entries.begin(), entries.end(), startsWithName))
        name += '~';
    return name;
}

std::vector<std::string> ValidateSetupInputs(const TSetupRequest& seen, const TRequestPaths& paths)
{
    const bool folderGiven = !seen.Folder.empty();
    const bool mainFileChosen = !seen.MainFile.empty();
    const struct {
        bool applies;
        const char* text;
    } problems[] = {
        {seen.NameAsked, "The plugin is still being asked for its name: try again in a moment"},
        {!seen.NameAsked && seen.PluginName.empty(), "You must specify a plugin name"},
        {!seen.PluginName.empty() && seen.PluginName.find_first_not_of(" \t") == std::string::npos,
         "The plugin name can't be made of blanks only"},
        {std::any_of(seen.PluginName.begin(), seen.PluginName.end(), [](char c) { return (c > 0 && c < ' ') || c == 0x7F; }),
         "The plugin name can't hold control characters, such as a line break"},
        {!folderGiven, "You must specify a folder"},
        {folderGiven && !seen.EntriesListed, "The folder doesn't contains any file"},
        {folderGiven && seen.EntriesListed && !mainFileChosen, "You must specify the plugin main file"},
        {folderGiven && !paths.FolderExists, "The folder doesn't exist"},
        {folderGiven && paths.FolderExists && mainFileChosen && paths.MainFile == TEntryKind::None,
         "The plugin main file isn't in the folder"},
        {folderGiven && paths.FolderExists && mainFileChosen && paths.MainFile == TEntryKind::Folder,
         "The plugin main file must be a file, not a folder"},
        {!seen.LicensePath.empty() && paths.License != TEntryKind::File, "The license file doesn't exist"},
    };
    std::vector<std::string> lines;
    for (const auto& problem : problems)
        if (problem.applies)
            lines.push_back(problem.text);
    return lines;
}

std::string FillSetupScript(const std::string& templateText, const TSetupScriptInputs& inputs)
{
    const TLanguageBlocks languages = BuildLanguageBlocks(inputs.Languages);
    const bool withLicense = !inputs.LicensePath.empty() && inputs.LicenseExists;
    const std::string folder = WithTrailingBackslash(inputs.Folder);
    const std::string& publisher = inputs.Publisher.empty() ? inputs.CompanyName : inputs.Publisher;
    std::vector<TPlaceholderValue> table = {
        {kPluginNamePlaceholder, RuntimeString(inputs.PluginName)},
        {kPluginNameAmpersandsPlaceholder, RuntimeString(DoubledAmpersands(inputs.PluginName))},
        {kPluginFolderNamePlaceholder,
         RuntimeString(PluginFolderName(inputs.PluginType, inputs.PluginName, inputs.MainFile))},
        {kEarlierFolderNamePlaceholder, RuntimeString(EarlierFolderName(inputs.PluginName, inputs.MainFile))},
        {kBackupFolderNamePlaceholder, RuntimeString(BackupFolderName(inputs.Files))},
        {kLocalFolderPlaceholder, CompileTimeText(folder)},
        {kMainFilePlaceholder, CompileTimeText(inputs.MainFile)},
        {kMainFileNamePlaceholder, RuntimeString(inputs.MainFile)},
        {kPluginTypePlaceholder, RuntimeString(inputs.PluginType)},
        {kPublisherPlaceholder, RuntimeString(publisher)},
        {kVersionProductNamePlaceholder, CompileTimeText(inputs.PluginName)},
        {kVersionCompanyNamePlaceholder, CompileTimeText(publisher)},
        {kLanguagesPlaceholder, languages.Load},
        {kLicensePlaceholder, withLicense ? LicenseBlock(inputs.LicensePath) : std::string()},
        {kPushLangPlaceholder, languages.OneLanguage ? std::string() : languages.Dialog},
        {kInstallFilesPlaceholder, InstallFilesBlock(folder, inputs.Files, inputs.LeftOut)},
        {kFileListPlaceholder, CompileTimeText(kFileListFileName)},
        {kPluginBitsPlaceholder, RuntimeString(inputs.Only64Bit ? "64" : "32")},
        {kPluginVersionPlaceholder, CompileTimeText(inputs.Version)},
        {kSignCommandPlaceholder, inputs.SignCommand.empty() ? std::string() : SignCommandDefine(inputs.SignCommand)},
        {kBrandPlaceholder, BrandBlock(inputs)},
        {kTranslationsPlaceholder, TranslationsBlock(languages.Load.empty() ? std::vector<std::string>() : inputs.Languages,
                                                     inputs.Translated)},
    };
    if (inputs.Uninstaller)
        table.push_back({kUninstallerMarker, std::string()});
    return ReplacePlaceholders(templateText, table);
}
