#include "SetupPlan.h"

#include "BuildTimes.h"
#include "LibraryImage.h"
#include "PluginBuilds.h"
#include "PluginScan.h"
#include "ReachableNames.h"
#include "ScriptFile.h"
#include "ToolFiles.h"
#include "UnitFiles.h"
#include "VersionResource.h"

#include "base/FolderTree.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

// The longest folder a plugin is installed into by default, before its own
// name: a program files folder ("C:\Program Files (x86)\") or a user's
// programs folder (with a user name of twenty characters), then
// "Quillon\plugins\WFX\".
constexpr std::size_t kInstallBaseLength = 80;

bool EqualNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::string FileNameOf(const std::string& entry) { return entry.substr(entry.find_last_of('\\') + 1); }

std::size_t Utf16Length(const std::string& text) { return ToWide(text, CP_ACP).size(); }

// Whether the system takes `name` for a file in `folder`: an existing file
// does; else one is created there, and deleted again, to see.
bool NameFits(const std::string& folder, const std::string& name)
{
    const std::string path = folder + name;
    if (Utf16Length(path) >= MAX_PATH)
        return false;
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    const UniqueFile probe(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (probe)
        return true;
    const DWORD error = GetLastError();
    // Anything but the name's length (a folder that cannot be written)
    // is for writing the script to report.
    return error != ERROR_FILENAME_EXCED_RANGE && error != ERROR_INVALID_NAME && error != ERROR_BUFFER_OVERFLOW;
}

// The lines refusing names too long for the tool folder or for the folder
// the installer puts the plugin into.
void AddLimitLines(std::vector<std::string>& lines, const std::string& toolFolder, const std::string& installerName,
                   const std::string& folderName, const std::vector<std::string>& entries)
{
    if (!NameFits(toolFolder, installerName))
        lines.push_back("The setup's name \"" + installerName + "\" is too long for \"" + toolFolder +
                        "\": shorten the main file's name");
    // The plugin's folder, a backslash, and the entry.
    const std::size_t base = kInstallBaseLength + Utf16Length(folderName) + 1;
    for (const std::string& entry : entries) {
        if (base + Utf16Length(entry) < MAX_PATH)
            continue;
        lines.push_back("\"" + entry + "\" in the plugin folder would be installed at a path longer than Windows allows: " +
                        "shorten its name or path");
        break;
    }
}

bool Holds(const std::string& text, const char* placeholder) { return text.find(placeholder) != std::string::npos; }

std::string MissingLine(const std::string& templatePath, const char* placeholder, const char* what)
{
    return "The template \"" + templatePath + "\" has no " + placeholder + ", which " + what;
}

// The argument of an "OutFile" command on `line`, unquoted; false when the
// line holds none.
bool OutFileArgument(std::string line, std::string& argument)
{
    line.erase(0, line.find_first_not_of(" \t"));
    const std::size_t end = line.find_first_of(" \t");
    if (end == std::string::npos || end != 7 || lstrcmpiA(line.substr(0, 7).c_str(), "OutFile") != 0)
        return false;
    line.erase(0, line.find_first_not_of(" \t", end));
    if (!line.empty() && (line[0] == '"' || line[0] == '\'' || line[0] == '`')) {
        const std::size_t close = line.find(line[0], 1);
        argument = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
        argument = line.substr(0, line.find_first_of(" \t\r"));
    }
    return true;
}

// Why the file at `path` is no icon a setup can carry; empty when it is one:
// an icon file's header (reserved 0, type 1, at least one image) and every
// image's data within the file.
std::string IconFault(const std::string& path)
{
    const UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    WORD header[3] = {};
    DWORD read = 0;
    if (!file || !GetFileSizeEx(file.Get(), &size) || !ReadFile(file.Get(), header, sizeof(header), &read, nullptr) ||
        read != sizeof(header) || header[0] != 0 || header[1] != 1 || header[2] == 0)
        return "isn't an icon file (.ico)";
    std::vector<unsigned char> entries(header[2] * 16u);
    if (!ReadFile(file.Get(), entries.data(), static_cast<DWORD>(entries.size()), &read, nullptr) ||
        read != entries.size())
        return "is damaged: it is shorter than its own list of images";
    for (std::size_t at = 0; at < entries.size(); at += 16) {
        DWORD bytes = 0, offset = 0;
        std::memcpy(&bytes, &entries[at + 8], 4);
        std::memcpy(&offset, &entries[at + 12], 4);
        if (bytes == 0 || static_cast<ULONGLONG>(offset) + bytes > static_cast<ULONGLONG>(size.QuadPart))
            return "is damaged: an image it lists lies beyond its end";
    }
    return std::string();
}

// The lines refusing the author's brand: an icon that is not there or no
// icon, values that cannot stand in the template's defines.
void AddBrandLines(std::vector<std::string>& lines, const TSetupRequest& request)
{
    if (!request.IconPath.empty()) {
        const TEntryKind kind = EntryKindAt(request.IconPath);
        const std::string fault = kind == TEntryKind::File ? IconFault(request.IconPath) : "doesn't exist";
        if (!fault.empty())
            lines.push_back("The icon \"" + request.IconPath + "\" " + fault);
    }
    const std::pair<const char*, const std::string*> values[] = {
        {"The icon's path", &request.IconPath}, {"The publisher", &request.Publisher}, {"The web address", &request.Url}};
    for (const auto& [what, value] : values)
        if (const std::string problem = BrandValueProblem(what, *value); !problem.empty())
            lines.push_back(problem);
}

} // namespace

std::vector<std::string> TranslatedLanguages(const std::vector<std::string>& languages, const std::string& toolFolder)
{
    std::vector<std::string> translated;
    for (const std::string& name : languages)
        if (FileExistsAt(toolFolder + kTranslationsFolderName + name + ".nsh"))
            translated.push_back(name);
    return translated;
}

std::string MainFileLine(const TLibraryImage& image, const std::string& pluginType)
{
    switch (image.Kind) {
    case TLibraryKind::NotALibrary:
        return "The plugin main file isn't a Windows library";
    case TLibraryKind::Damaged:
        return "The plugin main file is damaged: its headers point beyond its end";
    case TLibraryKind::Library:
        break;
    }
    const bool wfx = pluginType == "WFX";
    const char* entry = wfx ? "FsFindFirst" : "ListLoad";
    if (image.HasExport(entry) || image.HasExport((std::string(entry) + "W").c_str()))
        return std::string();
    return "The plugin main file isn't a " + pluginType + " plugin: it exports neither " + entry + " nor " + entry + "W";
}

std::vector<std::string> TemplateLines(const std::string& templatePath, const std::string& templateText,
                                       const TSetupScriptInputs& inputs)
{
    const TLanguageBlocks languages = BuildLanguageBlocks(inputs.Languages);
    const struct {
        bool needed;
        const char* placeholder;
        const char* what;
    } placeholders[] = {
        {true, kInstallFilesPlaceholder, "installs the plugin's files"},
        {true, kFileListPlaceholder, "lists the files the installer checks and the uninstaller removes"},
        // The include cannot compile without the texts it shows.
        {true, kTranslationsPlaceholder, "loads the installer's own texts"},
        {!inputs.LicensePath.empty() && inputs.LicenseExists, kLicensePlaceholder, "shows the license"},
        {!languages.Load.empty(), kLanguagesPlaceholder, "loads the checked languages"},
        {!languages.OneLanguage && !languages.Dialog.empty(), kPushLangPlaceholder, "asks for the language"},
        {!inputs.SignCommand.empty(), kSignCommandPlaceholder, "takes the signing command"},
        {!inputs.IconPath.empty() || !inputs.Publisher.empty() || !inputs.Url.empty(), kBrandPlaceholder,
         "takes the icon, the publisher and the web address"},
    };
    std::vector<std::string> lines;
    for (const auto& placeholder : placeholders)
        if (placeholder.needed && !Holds(templateText, placeholder.placeholder))
            lines.push_back(MissingLine(templatePath, placeholder.placeholder, placeholder.what));

    // The tool takes the setup from its folder by this name: every OutFile
    // outside a comment must write it there.
    const std::string expected = std::string(kMainFilePlaceholder) + kInstallerSuffix;
    bool written = false, elsewhere = false;
    std::size_t start = 0;
    while (start < templateText.size()) {
        std::size_t end = templateText.find('\n', start);
        if (end == std::string::npos)
            end = templateText.size();
        std::string argument;
        if (OutFileArgument(templateText.substr(start, end - start), argument)) {
            if (EqualNoCase(argument, expected))
                written = true;
            else
                elsewhere = true;
        }
        start = end + 1;
    }
    if (!written || elsewhere)
        lines.push_back("The template \"" + templatePath + "\" must write the setup with OutFile \"" + expected +
                        "\" and no other OutFile, so that the tool finds the setup it built");
    return lines;
}

TSetupPlan PlanSetup(const TSetupRequest& request, const std::string& toolFolder)
{
    TSetupPlan plan;
    // The folder as the full path the scan listed; the script and every
    // check work on it.
    plan.PluginFolder = request.Folder.empty() ? std::string() : WithTrailingBackslash(FullPathOf(request.Folder));
    plan.InstallerName = request.MainFile + kInstallerSuffix;
    const std::string mainFilePath = plan.PluginFolder + request.MainFile;

    TRequestPaths paths;
    paths.FolderExists = !plan.PluginFolder.empty() && FolderExistsAt(plan.PluginFolder);
    paths.MainFile = request.MainFile.empty() ? TEntryKind::None : EntryKindAt(mainFilePath);
    paths.License = request.LicensePath.empty() ? TEntryKind::None : EntryKindAt(request.LicensePath);
    plan.Problems = ValidateSetupInputs(request, paths);

    TSetupScriptInputs& inputs = plan.Inputs;
    static_cast<TSetupRequest&>(inputs) = request;
    inputs.Folder = plan.PluginFolder;
    // The compiler runs in the tool folder: a relative licence path is taken
    // from here, as it was checked.
    inputs.LicensePath = request.LicensePath.empty() ? std::string() : FullPathOf(request.LicensePath);
    inputs.LicenseExists = paths.License == TEntryKind::File;
    AddBrandLines(plan.Problems, request);
    inputs.IconPath = request.IconPath.empty() ? std::string() : FullPathOf(request.IconPath);

    // The folder is walked once: what it holds is packed, removed by the
    // uninstaller, and checked here.
    const TFolderTree tree = paths.FolderExists ? WalkFolderTree(plan.PluginFolder) : TFolderTree();
    if (const std::string line = UnreachableNameLine(request.Folder, tree, request.LicensePath); !line.empty())
        plan.Problems.push_back(line);
    // Dated by its inputs, never by the clock.
    const TSourceDate sourceDate = SourceDateEpoch();
    if (!sourceDate.Problem.empty())
        plan.Problems.push_back(sourceDate.Problem);
    inputs.ListTime = tree.NewestWrite;
    if (sourceDate.Set && tree.NewestWrite > sourceDate.Latest) {
        inputs.ListTime = sourceDate.Latest;
        plan.StageTime = sourceDate.Latest;
    }
    for (const std::string& entry : tree.Entries) {
        // An earlier setup of this plugin left in its folder is not packed into the next one.
        if (entry.back() != '\\' && EqualNoCase(FileNameOf(entry), plan.InstallerName)) {
            inputs.LeftOut.push_back(entry);
            plan.Notices.push_back("\"" + entry + "\" is left out of the setup: it is named like the setup being created.");
        } else {
            inputs.Files.push_back(entry);
        }
    }

    // The main file is read once, as data: its headers here, its version
    // resource once it is known to be an intact library.
    const bool mainFileThere = paths.FolderExists && paths.MainFile == TEntryKind::File;
    const TLibraryImage mainImage = mainFileThere ? ReadLibraryImage(mainFilePath) : TLibraryImage();
    if (mainFileThere) {
        if (const std::string line = MainFileLine(mainImage, request.PluginType); !line.empty())
            plan.Problems.push_back(line);
        AddLimitLines(plan.Problems, toolFolder, plan.InstallerName, PluginFolderNameOf(inputs), inputs.Files);
    }
    const std::string templatePath = toolFolder + kTemplateFileName;
    if (!plan.Problems.empty()) {
        // The template's own faults are told along with the rest, when it can be read.
        try {
            plan.TemplateText = Utf8OfTextFile(LoadTextFile(templatePath));
        } catch (const EFOpenError&) {
            return plan;
        }
    } else {
        plan.TemplateText = Utf8OfTextFile(LoadTextFile(templatePath));
    }
    for (const std::string& line : TemplateLines(templatePath, plan.TemplateText, inputs))
        plan.Problems.push_back(line);
    if (Holds(plan.TemplateText, kTemplateIncludeFileName) && !FileExistsAt(toolFolder + kTemplateIncludeFileName))
        plan.Problems.push_back("The template \"" + templatePath + "\" includes " + kTemplateIncludeFileName +
                                ", which is not in \"" + toolFolder + "\": unpack the tool again with all its files");
    // Every language without a translation of its own speaks English.
    const std::string englishTexts = toolFolder + kTranslationsFolderName + "English.nsh";
    if (!FileExistsAt(englishTexts))
        plan.Problems.push_back("The installer's own texts in English, \"" + englishTexts +
                                "\", are missing: unpack the tool again with all its files");
    if (!plan.Problems.empty())
        return plan;

    // The installer's own texts in each language, else in English: told once.
    inputs.Translated = TranslatedLanguages(inputs.Languages, toolFolder);
    std::vector<std::string> english;
    for (const std::string& name : inputs.Languages)
        if (std::find(inputs.Translated.begin(), inputs.Translated.end(), name) == inputs.Translated.end() &&
            lstrcmpiA(name.c_str(), "English") != 0)
            english.push_back(name);
    if (!english.empty())
        plan.Notices.push_back("The installer's own texts (its first page and its messages) will be in English for " +
                               Joined(english, ", ") + ": \"" + toolFolder + kTranslationsFolderName +
                               "\" holds no translation of them for these languages.");

    const TVersionInfo version = ReadVersionInfo(mainFilePath);
    inputs.CompanyName = version.CompanyName;
    inputs.MainFileIcon = mainImage.HasIcon;
    inputs.Version = version.FileVersion;
    inputs.Only64Bit = Only64BitPlugins(plan.PluginFolder, inputs.Files, request.MainFile, mainImage);
    return plan;
}

std::string Joined(const std::vector<std::string>& items, const char* separator)
{
    std::string text;
    for (const std::string& item : items)
        text += (&item == &items.front() ? "" : separator) + item;
    return text;
}

std::string JoinedLines(const std::vector<std::string>& lines) { return Joined(lines, "\r\n"); }
