#include "ConsoleBuild.h"

#include "ConsoleOutput.h"

#include "base/ChildProcess.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "base/TextCodes.h"
#include "core/AppFolder.h"
#include "core/BuildLock.h"
#include "core/Checksum.h"
#include "core/CompileJudgement.h"
#include "core/InstallerDelivery.h"
#include "core/PluginNameHelper.h"
#include "core/PluginScan.h"
#include "core/SetupPlan.h"
#include "core/ToolFiles.h"
#include "core/UnitFiles.h"

#include <windows.h>

#include <algorithm>

namespace {

// How long a build waits for another one in the same tool folder to end.
constexpr DWORD kLockWaitMs = 10 * 60 * 1000;
constexpr DWORD kLockPollMs = 250;

// Set by StopConsoleBuild, from any thread; ends every wait of the build.
const UniqueHandle stopped(CreateEventA(nullptr, TRUE, FALSE, nullptr));

bool Stopped() { return WaitForSingleObject(stopped.Get(), 0) == WAIT_OBJECT_0; }

bool EqualNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The setup the options ask for, what they leave open found as the window's
// scan finds it in `folder` (a full path with trailing backslash); what
// cannot be taken goes to `problems`.
TSetupRequest RequestOf(const TConsoleOptions& options, const std::string& folder, const std::string& toolFolder,
                        std::vector<std::string>& problems)
{
    TSetupRequest request;
    request.Folder = options.PluginFolder;
    TPluginFound found = FolderExistsAt(folder) ? FindPlugin(folder, toolFolder) : TPluginFound();
    request.EntriesListed = !found.Entries.empty();
    if (options.MainFile.empty()) {
        if (found.MainFile >= 0)
            request.MainFile = found.Entries[static_cast<std::size_t>(found.MainFile)];
    } else {
        // A name the folder lacks is told by the plan.
        const auto entry = std::find_if(found.Entries.begin(), found.Entries.end(),
                                        [&](const std::string& name) { return EqualNoCase(name, options.MainFile); });
        request.MainFile = entry == found.Entries.end() ? options.MainFile : *entry;
        found.Plugin = PluginOfMainFile(folder, request.MainFile, toolFolder);
    }
    request.PluginType = !options.Type.empty() ? options.Type
                         : found.Plugin.Type == kPluginTypeWlx ? "WLX"
                                                                 : "WFX";

    request.PluginName = options.NameGiven ? options.Name : found.Plugin.Name;
    if (!options.NameGiven && !found.Plugin.NameHelper.empty()) {
        try {
            request.PluginName = AskPluginName(found.Plugin.PluginPath, toolFolder);
        } catch (const EOSError& e) {
            WriteError(NameHelperFailureText(e.Message()));
        }
    }

    // The languages in the order the window lists them.
    const std::vector<std::string> available = ListLanguageNames(toolFolder + kLanguageFilesPattern);
    for (const std::string& language : options.Languages)
        if (std::none_of(available.begin(), available.end(), [&](const std::string& name) { return EqualNoCase(name, language); }))
            problems.push_back("Unknown language \"" + language + "\"; the languages in \"" + toolFolder +
                               "languages\\\" are: " + Joined(available, ", "));
    for (const std::string& name : available)
        if (std::any_of(options.Languages.begin(), options.Languages.end(),
                        [&](const std::string& language) { return EqualNoCase(name, language); }))
            request.Languages.push_back(name);

    request.LicensePath = options.License;
    request.Uninstaller = options.Uninstaller;
    request.SignCommand = options.SignCommand;
    request.IconPath = options.Icon;
    request.Publisher = options.Publisher;
    request.Url = options.Url;
    return request;
}

// Takes the tool folder's build lock, waiting for another build there to end.
bool TakeLock(TBuildLock& lock, const std::string& toolFolder)
{
    for (DWORD waited = 0;; waited += kLockPollMs) {
        if (lock.Take(toolFolder))
            return true;
        if (waited == 0)
            WriteOut("Another setup is being created in \"" + toolFolder + "\"; waiting for it to finish.");
        if (waited >= kLockWaitMs || WaitForSingleObject(stopped.Get(), kLockPollMs) == WAIT_OBJECT_0)
            return false;
    }
}

// Creates `folder` (with trailing backslash) and the missing ones above it.
bool CreateFolders(const std::string& folder)
{
    if (FolderExistsAt(folder))
        return true;
    const std::string path = WithoutTrailingBackslash(folder);
    const std::size_t parent = path.find_last_of('\\');
    if (parent != std::string::npos && !CreateFolders(path.substr(0, parent + 1)))
        return false;
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Runs the compiler of `build` hidden, reading what it writes; the facts of
// its end, or none when the build was stopped.
bool Compile(const TBuildFiles& build, TCompileFacts& facts)
{
    std::string messages;
    try {
        TChildProcess compiler(HiddenCompile(build));
        const TChildEnd end = compiler.Wait(INFINITE, stopped.Get(), [&](const std::string& bytes) { messages += bytes; });
        if (end.How != TChildEnding::Ended)
            return false;
        facts.ExitCode = end.ExitCode;
    } catch (const EOSError& e) {
        facts = CompilerNotStarted(e.ErrorCode());
        return true;
    }
    KeepCompilerMessages(build, messages);
    facts.SetupWritten = build.SetupWritten();
    facts.MessagesRead = true;
    facts.Messages = messages;
    return true;
}

} // namespace

void StopConsoleBuild() noexcept
{
    SetEvent(stopped.Get());
}

namespace {

// Why the folder given cannot be where the plugin is looked for, one line;
// empty when it can. A plugin file given in its place is the usual slip.
std::string FolderArgumentProblem(const TConsoleOptions& options, const std::string& folder)
{
    if (!FileExistsAt(WithoutTrailingBackslash(folder)))
        return std::string();
    return "\"" + options.PluginFolder + "\" is a file, and a folder is expected: give the folder that holds the plugin (\"" +
           FolderOfPath(WithoutTrailingBackslash(folder)) + "\"), and the file with --main-file when the folder holds more "
           "than one plugin";
}

// The plugins a folder offers when no main file was given: a build must not
// guess between two. One line; empty when there is no choice to make.
std::string ChoiceProblem(const TConsoleOptions& options, const std::string& folder)
{
    if (!options.MainFile.empty() || !FolderExistsAt(folder))
        return std::string();
    const int type = options.Type.empty() ? -1 : options.Type == "WLX" ? kPluginTypeWlx : kPluginTypeWfx;
    const std::vector<std::string> plugins = PluginsAmong(ListFolderEntries(folder + "*.*"), type);
    if (plugins.size() < 2)
        return std::string();
    return "The plugin folder holds " + std::to_string(plugins.size()) + " plugins (" + Joined(plugins, ", ") +
           "): name the one to build with --main-file";
}

// Places the setup of `build` as `target`, with its SHA-256 sum beside it in
// `target`.sha256; both replace earlier ones, and on failure the earlier ones
// stay as they were. The message that says why not; empty when placed.
std::string PlaceWithChecksum(const TBuildFiles& build, const std::string& target, std::string& sum)
{
    const bool earlier = FileExistsAt(target);
    std::string checksumPart;
    try {
        sum = Sha256OfFile(build.SetupPath());
        // Written beside its place first, so that a full disk stops it here.
        checksumPart = target + ".sha256.part";
        SaveTextFile(ChecksumLine(sum, Utf8FromAnsi(target.substr(target.find_last_of('\\') + 1))), checksumPart);
    } catch (const Exception& e) {
        if (!checksumPart.empty())
            DeleteFileA(checksumPart.c_str());
        return e.Message() + (earlier ? "\r\nThe earlier setup there was kept as it was." : "");
    }
    const TPlacing placing = PlaceSetup(build.SetupPath(), target, true);
    if (placing.Outcome != TPlaceOutcome::Placed) {
        DeleteFileA(checksumPart.c_str());
        return PlacingFailureText(target, placing.Error, earlier);
    }
    if (!MoveFileExA(checksumPart.c_str(), (target + ".sha256").c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileA(checksumPart.c_str());
        return "The setup was placed as \"" + target + "\", but its checksum file could not be written: " +
               SystemErrorText(error) + ".";
    }
    return std::string();
}

} // namespace

int BuildFromConsole(const TConsoleOptions& options, const std::string& toolFolder)
{
    const std::string folder = WithTrailingBackslash(FullPathOf(options.PluginFolder));
    for (const std::string& problem : {FolderArgumentProblem(options, folder), ChoiceProblem(options, folder)}) {
        if (!problem.empty()) {
            WriteError(problem);
            return kConsoleRefused;
        }
    }
    std::vector<std::string> problems;
    const TSetupRequest request = RequestOf(options, folder, toolFolder, problems);
    WriteOut("Plugin folder: " + folder);
    if (!request.MainFile.empty())
        WriteOut("Plugin: " + request.MainFile + " (" + request.PluginType + "), named \"" + request.PluginName + "\"");
    const TSetupPlan plan = PlanSetup(request, toolFolder);
    problems.insert(problems.end(), plan.Problems.begin(), plan.Problems.end());

    const std::string output = WithTrailingBackslash(FullPathOf(options.Output.empty() ? "." : options.Output));
    if (FileExistsAt(WithoutTrailingBackslash(output)))
        problems.push_back("The output folder \"" + output + "\" is a file");
    else if (const std::string refusal = DestinationRefusal(output, toolFolder, plan.PluginFolder); !refusal.empty())
        problems.push_back(refusal + " Give another folder with --output.");
    if (!problems.empty()) {
        WriteError(JoinedLines(problems));
        return kConsoleRefused;
    }

    TBuildLock lock;
    if (!TakeLock(lock, toolFolder)) {
        WriteError(Stopped() ? "Stopped." : "Another setup was still being created in \"" + toolFolder +
                                                "\" after ten minutes; nothing was built. Try again later.");
        return kConsoleRefused;
    }
    if (!plan.Notices.empty())
        WriteOut(JoinedLines(plan.Notices));
    TBuildFiles build;
    try {
        build = WriteBuildFiles(plan, toolFolder);
    } catch (const Exception& e) {
        WriteError(e.Message());
        return kConsoleFailed;
    }
    // Whatever happens now, the build's own copy of the plugin goes with it,
    // and a setup it does not place goes too.
    struct TBuildOver {
        const TBuildFiles& build;
        ~TBuildOver()
        {
            build.RemoveStage();
            build.DeleteWrittenSetup();
        }
    } over{build};

    WriteOut("Compiling \"" + build.ScriptPath() + "\" with \"" + build.CompilerPath() + "\"");
    TCompileFacts facts;
    if (!Compile(build, facts) || Stopped()) {
        WriteError("Stopped: nothing was placed.");
        return kConsoleFailed;
    }
    const TCompileJudgement judgement = JudgeCompile(facts, build);
    if (judgement.Verdict != TCompileVerdict::Deliver) {
        WriteError(judgement.Text);
        if (!judgement.Log.empty())
            WriteError(judgement.Log);
        return kConsoleFailed;
    }

    const std::string target = output + plan.InstallerName;
    std::string sum;
    if (!CreateFolders(output)) {
        WriteError(PlacingFailureText(target, GetLastError(), false));
        return kConsoleFailed;
    }
    if (const std::string failure = PlaceWithChecksum(build, target, sum); !failure.empty()) {
        WriteError(failure);
        return kConsoleFailed;
    }
    WriteOut("SHA-256: " + sum);
    WriteOut(target);
    return kConsoleBuilt;
}
