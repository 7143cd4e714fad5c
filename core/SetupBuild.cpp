#include "SetupBuild.h"

#include "BuildTimes.h"
#include "CompileJudgement.h"
#include "NsisInstallation.h"
#include "ScriptFile.h"
#include "ToolFiles.h"
#include "UnitFiles.h"

#include "base/TextCodes.h"

std::string TBuildFiles::CompilerPath() const { return ToolFolder + kCompilerFileName; }
std::string TBuildFiles::ScriptPath() const { return ToolFolder + kScriptFileName; }
std::string TBuildFiles::LogPath() const { return ToolFolder + kCompilerLogFileName; }

void TBuildFiles::DeleteWrittenSetup() const
{
    if (SetupWritten())
        DeleteFileA(SetupPath().c_str());
}

void TBuildFiles::RemoveStage() const noexcept
{
    if (!Stage.empty())
        RemoveFolderTree(Stage);
}

TBuildFiles WriteBuildFiles(const TSetupPlan& plan, const std::string& toolFolder)
{
    TBuildFiles build;
    build.ToolFolder = toolFolder;
    build.InstallerName = plan.InstallerName;
    build.PluginFolder = plan.PluginFolder;
    TSetupScriptInputs inputs = plan.Inputs;
    // A copy a stopped build left goes first.
    RemoveFolderTree(toolFolder + kStageFolderName);
    if (plan.StageTime != 0) {
        build.Stage = toolFolder + kStageFolderName;
        try {
            CopyDatedAtMost(plan.PluginFolder, inputs.Files, build.Stage, plan.StageTime);
        } catch (...) {
            build.RemoveStage();
            throw;
        }
        inputs.Folder = build.Stage;
    }
    build.Script = WriteSetupScript(plan.TemplateText, inputs, toolFolder);
    build.SetupBefore = FileStampOf(build.SetupPath());
    return build;
}

TChildStart HiddenCompile(const TBuildFiles& build)
{
    TChildStart start;
    start.Program = ToWide(build.CompilerPath(), CP_ACP);
    start.CommandLine = L"\"" + start.Program + L"\" \"" + ToWide(build.ScriptPath(), CP_ACP) + L"\"";
    start.Folder = ToWide(build.ToolFolder, CP_ACP);
    start.ReadOutput = true;
    return start;
}

void KeepCompilerMessages(const TBuildFiles& build, const std::string& messages) noexcept
{
    try {
        // An earlier build's messages are never taken for this one's.
        if (messages.empty())
            DeleteFileA(build.LogPath().c_str());
        else
            SaveTextFile(messages, build.LogPath());
    } catch (...) {
        // The messages are shown all the same.
    }
}

TCompileFacts CompilerNotStarted(DWORD error)
{
    TCompileFacts facts;
    facts.StartFailed = true;
    facts.StartError = error;
    facts.InstalledNsisFolder = InstalledNsisFolder();
    return facts;
}
