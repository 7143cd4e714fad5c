#include "ConsoleBuild.h"

#include "ConsoleOutput.h"

#include "app/AppFolder.h"
#include "app/BuildLock.h"
#include "app/InstallerDelivery.h"
#include "app/NameHelperProcess.h"
#include "app/PluginScan.h"
#include "app/ScriptFile.h"
#include "app/SetupBuild.h"
#include "app/SetupPlan.h"
#include "app/ToolFiles.h"
#include "base/Paths.h"
#include "base/PipedProcess.h"
#include "base/TextCodes.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

// How long a build waits for another one in the same tool folder to end.
constexpr DWORD kLockWaitMs = 10 * 60 * 1000;
constexpr DWORD kLockPollMs = 250;

// The compiler of the build going, for StopConsoleBuild.
std::mutex compilerGuard;
TPipedProcess* compiler = nullptr;
std::atomic<bool> stopped{false};

bool EqualNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::string Joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// The window's fields as a scan of `folder` and the options fill them.
TSetupRequest RequestOf(const TConsoleOptions& options, const std::string& folder, const std::string& toolFolder,
                        std::string& problems)
{
    TSetupRequest request;
    request.Folder = options.PluginFolder;
    const std::vector<std::string> entries = FolderExistsAt(folder) ? ListFolderEntries(folder + "*.*")
                                                                    : std::vector<std::string>();
    request.MainFileCount = static_cast<int>(entries.size());
    if (options.MainFile.empty()) {
        request.MainFileIndex = SelectMainFile(entries);
        request.MainFile = request.MainFileIndex < 0 ? std::string() : entries[request.MainFileIndex];
    } else {
        // A name the folder lacks is told by the plan, as the window would.
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [&](const std::string& entry) { return EqualNoCase(entry, options.MainFile); });
        request.MainFile = found == entries.end() ? options.MainFile : *found;
        request.MainFileIndex = found == entries.end() ? 0 : static_cast<int>(found - entries.begin());
    }
    const int type = PluginTypeOf(request.MainFile);
    request.PluginType = !options.Type.empty() ? options.Type : type == kPluginTypeWlx ? "WLX" : "WFX";

    request.PluginName = options.Name;
    if (!options.NameGiven && FileExistsAt(folder + request.MainFile)) {
        if (type == kPluginTypeWlx) {
            request.PluginName = NameWithoutExtension(request.MainFile);
        } else if (type == kPluginTypeWfx) {
            std::string problem;
            request.PluginName = AskPluginName(folder + request.MainFile, toolFolder, problem);
            if (!problem.empty())
                WriteError(problem);
        }
    }

    // The languages in the order the window lists them.
    const std::vector<std::string> available = ListLanguageNames(toolFolder + kLanguageFilesPattern);
    for (const std::string& language : options.Languages)
        if (std::none_of(available.begin(), available.end(), [&](const std::string& name) { return EqualNoCase(name, language); }))
            problems += "Unknown language \"" + language + "\"; the languages in \"" + toolFolder +
                        "languages\\\" are: " + Joined(available) + "\r\n";
    for (const std::string& name : available)
        if (std::any_of(options.Languages.begin(), options.Languages.end(),
                        [&](const std::string& language) { return EqualNoCase(name, language); }))
            request.CheckedLanguages.push_back(name);

    request.LicensePath = options.License;
    request.Uninstaller = options.Uninstaller;
    request.SignCommand = options.SignCommand;
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
        if (waited >= kLockWaitMs || stopped)
            return false;
        Sleep(kLockPollMs);
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

// Runs the compiler of `build` hidden, reading what it writes; the answer to its end.
TBuildReply Compile(TSetupBuild& build)
{
    TPipedProcess process;
    DWORD error = ERROR_SUCCESS;
    const std::wstring program = ToWide(build.CompilerPath(), CP_ACP);
    const std::wstring commandLine = L"\"" + program + L"\" \"" + ToWide(build.ScriptPath(), CP_ACP) + L"\"";
    {
        const std::lock_guard<std::mutex> guard(compilerGuard);
        if (stopped)
            return {};
        if (!process.Start(program, commandLine, ToWide(FolderOfPath(build.CompilerPath()), CP_ACP), error)) {
            build.SpawnError(error);
            return build.Started(false);
        }
        compiler = &process;
    }
    build.Started(true);
    std::string output;
    const DWORD exitCode = process.ReadToTheEnd([&](const std::string& bytes) { output += bytes; });
    {
        const std::lock_guard<std::mutex> guard(compilerGuard);
        compiler = nullptr;
    }
    if (stopped) {
        build.Stopped();
        return {};
    }
    return build.CompilerEnded(exitCode, output);
}

} // namespace

void StopConsoleBuild() noexcept
{
    const std::lock_guard<std::mutex> guard(compilerGuard);
    stopped = true;
    if (compiler != nullptr)
        compiler->Terminate();
}

int BuildFromConsole(const TConsoleOptions& options, const std::string& toolFolder)
{
    const std::string folder = WithTrailingBackslash(FullPathOf(options.PluginFolder));
    std::string problems;
    const TSetupRequest request = RequestOf(options, folder, toolFolder, problems);
    WriteOut("Plugin folder: " + folder);
    if (!request.MainFile.empty())
        WriteOut("Plugin: " + request.MainFile + " (" + request.PluginType + "), named \"" + request.PluginName + "\"");
    const TSetupPlan plan = PlanSetup(request, toolFolder);
    problems += plan.Problems;

    const std::string output = WithTrailingBackslash(FullPathOf(options.Output.empty() ? "." : options.Output));
    if (FileExistsAt(WithoutTrailingBackslash(output)))
        problems += "The output folder \"" + output + "\" is a file\r\n";
    else if (const std::string refusal = DestinationRefusal(output, toolFolder, plan.PluginFolder); !refusal.empty())
        problems += refusal + " Give another folder with --output.\r\n";
    if (!problems.empty()) {
        WriteError(problems.substr(0, problems.size() - 2));
        return kConsoleRefused;
    }

    TBuildLock lock;
    if (!TakeLock(lock, toolFolder)) {
        WriteError(stopped ? "Stopped." : "Another setup was still being created in \"" + toolFolder +
                                              "\" after ten minutes; nothing was built. Try again later.");
        return kConsoleRefused;
    }
    if (!plan.Notice.empty())
        WriteOut(plan.Notice.substr(0, plan.Notice.size() - 2));
    try {
        WriteSetupScript(plan.TemplateBytes, plan.Inputs, toolFolder);
    } catch (const Exception& e) {
        WriteError(e.Message());
        return kConsoleFailed;
    }

    TSetupBuild build;
    build.Start(toolFolder, plan.InstallerName, plan.PluginFolder);
    WriteOut("Compiling \"" + build.ScriptPath() + "\" with \"" + build.CompilerPath() + "\"");
    const TBuildReply reply = Compile(build);
    if (stopped) {
        WriteError("Stopped: nothing was placed.");
        return kConsoleFailed;
    }
    if (reply.Action != TBuildAction::Deliver) {
        WriteError(reply.Text);
        if (!reply.Log.empty())
            WriteError(reply.Log);
        return kConsoleFailed;
    }

    const std::string target = output + plan.InstallerName;
    DWORD error = ERROR_SUCCESS;
    if (!CreateFolders(output) || MoveInstaller(build.InstallerPath(), target, true, error) != TMoveOutcome::Moved) {
        if (error == ERROR_SUCCESS)
            error = GetLastError();
        DeleteFileA(build.InstallerPath().c_str());
        WriteError("The setup could not be placed in \"" + output + "\": " + SystemErrorText(error) + ".");
        return kConsoleFailed;
    }
    WriteOut(target);
    return kConsoleBuilt;
}
