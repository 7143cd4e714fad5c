#include "SetupScript.h"

#include "ToolFiles.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

#include <windows.h>

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <bit>
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

// Which of the up to sixteen characters from `at` on (fewer before `end`)
// are one of `set` (those for which `member` is not zero), one bit each, the
// first character's lowest. A whole block is compared at once: a
// placeholder's first character is rare in a script.
__attribute__((target("sse2"))) unsigned CandidatesAt(const char* at, const char* end, const std::string& set,
                                                      const std::array<std::uint64_t, 256>& member)
{
    if (end - at < 16) {
        unsigned bits = 0;
        for (int i = 0; at + i < end; ++i)
            bits |= member[static_cast<unsigned char>(at[i])] != 0 ? 1u << i : 0u;
        return bits;
    }
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i found = _mm_setzero_si128();
    for (const char c : set)
        found = _mm_or_si128(found, _mm_cmpeq_epi8(block, _mm_set1_epi8(c)));
    return static_cast<unsigned>(_mm_movemask_epi8(found));
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

// `text` with each placeholder of `table` (at most 64, each of two or more
// characters) replaced by its value, left to right in one pass; inserted
// values are not searched again.
std::string ReplacePlaceholders(const std::string& text, const std::vector<TPlaceholderValue>& table)
{
    // The entries a placeholder can be, one bit each, by its first and by its
    // second character: at most places where a placeholder's first character
    // stands by chance, the second one rules out every entry without a
    // comparison.
    using TEntrySet = std::uint64_t;
    if (table.size() > 64)
        throw Exception("Too many placeholders to fill in one pass");
    std::array<TEntrySet, 256> byFirst{}, bySecond{};
    std::vector<std::string_view> placeholders;
    for (const TPlaceholderValue& entry : table) {
        const std::string_view placeholder = entry.Placeholder;
        const TEntrySet bit = TEntrySet{1} << placeholders.size();
        byFirst[static_cast<unsigned char>(placeholder[0])] |= bit;
        bySecond[static_cast<unsigned char>(placeholder[1])] |= bit;
        placeholders.push_back(placeholder);
    }
    const char* const end = text.data() + text.size();
    const auto entryAt = [&](const char* at) {
        TEntrySet possible = end - at > 1 ? byFirst[static_cast<unsigned char>(at[0])] &
                                                bySecond[static_cast<unsigned char>(at[1])]
                                          : 0;
        for (; possible != 0; possible &= possible - 1) {
            const auto index = static_cast<std::size_t>(std::countr_zero(possible));
            const std::string_view placeholder = placeholders[index];
            if (static_cast<std::size_t>(end - at) >= placeholder.size() &&
                std::equal(placeholder.begin(), placeholder.end(), at))
                return index;
        }
        return table.size();
    };

    std::string starts;
    for (int c = 0; c < 256; ++c)
        if (byFirst[static_cast<std::size_t>(c)] != 0)
            starts += static_cast<char>(c);

    // Every character is looked at once, sixteen at a time; the text between
    // placeholders is copied as a whole.
    std::string result;
    result.reserve(text.size());
    const char* done = text.data();
    for (const char* block = done; block < end; block += 16) {
        for (unsigned candidates = CandidatesAt(block, end, starts, byFirst); candidates != 0;
             candidates &= candidates - 1) {
            const char* at = block + std::countr_zero(candidates);
            if (at < done)
                continue; // inside the placeholder just replaced
            const std::size_t match = entryAt(at);
            if (match == table.size())
                continue;
            result.append(done, static_cast<std::size_t>(at - done));
            result += table[match].Value;
            done = at + placeholders[match].size();
        }
        // A placeholder replaced at the block's end reaches into the next blocks.
        if (done > block + 16)
            block = done - 16;
    }
    result.append(done, static_cast<std::size_t>(end - done));
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

std::string ValidateSetupInputs(const TSetupInputsSeen& seen)
{
    const bool folderGiven = !seen.Folder.empty();
    const bool mainFileChosen = seen.MainFileIndex >= 0;
    const struct {
        bool applies;
        const char* text;
    } problems[] = {
        {seen.NameAsked, "The plugin is still being asked for its name: try again in a moment"},
        {!seen.NameAsked && seen.PluginName.empty(), "You must specify a plugin name"},
        {!seen.PluginName.empty() && seen.PluginName.find_first_not_of(" \t") == std::string::npos,
         "The plugin name can't be made of blanks only"},
        {!folderGiven, "You must specify a folder"},
        {folderGiven && seen.MainFileCount == 0, "The folder doesn't contains any file"},
        {folderGiven && seen.MainFileCount > 0 && !mainFileChosen, "You must specify the plugin main file"},
        {folderGiven && !seen.FolderExists, "The folder doesn't exist"},
        {folderGiven && seen.FolderExists && mainFileChosen && seen.MainFile == TEntryKind::None,
         "The plugin main file isn't in the folder"},
        {folderGiven && seen.FolderExists && mainFileChosen && seen.MainFile == TEntryKind::Folder,
         "The plugin main file must be a file, not a folder"},
        {!seen.LicensePath.empty() && seen.License != TEntryKind::File, "The license file doesn't exist"},
    };
    std::string text;
    for (const auto& problem : problems)
        if (problem.applies)
            text += std::string(problem.text) + kLineBreak;
    return text;
}

std::string FillSetupScript(const std::string& templateText, const TSetupScriptInputs& inputs)
{
    const TLanguageBlocks languages = BuildLanguageBlocks(inputs.CheckedLanguages);
    const bool withLicense = !inputs.LicensePath.empty() && inputs.LicenseExists;
    const std::string folder = WithTrailingBackslash(inputs.Folder);
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
        {kPublisherPlaceholder, RuntimeString(inputs.Publisher)},
        {kVersionProductNamePlaceholder, CompileTimeText(inputs.PluginName)},
        {kVersionCompanyNamePlaceholder, CompileTimeText(inputs.Publisher)},
        {kLanguagesPlaceholder, languages.Load},
        {kLicensePlaceholder, withLicense ? LicenseBlock(inputs.LicensePath) : std::string()},
        {kPushLangPlaceholder, languages.OneLanguage ? std::string() : languages.Dialog},
        {kInstallFilesPlaceholder, InstallFilesBlock(folder, inputs.Files, inputs.LeftOut)},
        {kFileListPlaceholder, CompileTimeText(kFileListFileName)},
        {kPluginBitsPlaceholder, RuntimeString(inputs.Only64Bit ? "64" : "32")},
        {kPluginVersionPlaceholder, CompileTimeText(inputs.Version)},
        {kSignCommandPlaceholder, inputs.SignCommand.empty() ? std::string() : SignCommandDefine(inputs.SignCommand)},
    };
    if (inputs.Uninstaller)
        table.push_back({kUninstallerMarker, std::string()});
    return ReplacePlaceholders(templateText, table);
}
