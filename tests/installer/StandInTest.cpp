// makensis.exe for Wine hosts, run as the tool runs it, with the host's real
// NSIS compiler behind it.
#include "InstallerTestSupport.h"

#include "base/Handles.h"

#include <shellapi.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

// A script that installs one folder; `extra` goes before the section.
std::string InstallScript(const std::string& outFile, const std::string& sourceFolder, const std::string& extra = "")
{
    return "Unicode true\r\n"
           "Name \"Stand-in test\"\r\n"
           "OutFile \"" + outFile + "\"\r\n"
           "InstallDir \"$TEMP\\standin\"\r\n" +
           extra +
           "Section\r\n"
           "  SetOutPath \"$INSTDIR\"\r\n"
           "  File /r \"" + sourceFolder + "*.*\"\r\n"
           "SectionEnd\r\n";
}

// Folders this run of the stand-in may have left in the temporary folder.
bool StandInLeftWorkFolder(DWORD processId)
{
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH + 1, temp);
    WIN32_FIND_DATAA entry{};
    const std::string pattern = std::string(temp) + "makensis-" + std::to_string(processId) + "-*";
    HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

// Sets an environment variable for the programs this test starts; restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name)
    {
        char old[4096] = {};
        had_ = GetEnvironmentVariableA(name, old, sizeof(old)) > 0;
        old_ = old;
        SetEnvironmentVariableA(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

} // namespace

TEST(StandIn, CompilesWithDrivePathsHoldingBlanksAndWritesOnlyTheInstaller)
{
    ToolFolder tool;
    TempFolder sources;
    const std::string plugin = MakePluginFolder(sources, "my plugin folder", "fsplugin.wfx");
    const std::string licence = sources.Write("licence texts\\the licence.txt", "Licence\r\n");
    tool.Write("temp.nsi",
                        InstallScript("fsplugin.wfx_setup.exe", plugin,
                                      "Page license\r\n"
                                      "LicenseData \"" + licence + "\"\r\n"
                                      "Page instfiles\r\n"));
    const auto before = TreeOf(tool.Path());

    const ProgramRun run = RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    // The compiler's own report reaches the console.
    EXPECT_NE(run.Output.find("Output: \"fsplugin.wfx_setup.exe\""), std::string::npos) << run.Output;
    EXPECT_TRUE(FileExists(tool.Path() + "fsplugin.wfx_setup.exe"));

    auto expected = before;
    expected.push_back("fsplugin.wfx_setup.exe");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(TreeOf(tool.Path()), expected);
    EXPECT_FALSE(StandInLeftWorkFolder(run.ProcessId));
}

TEST(StandIn, RelativePathsBelongToTheWorkingFolderNotTheScriptsFolder)
{
    ToolFolder tool;
    TempFolder sources;
    const std::string plugin = MakePluginFolder(sources, "plugin", "viewer.wlx");
    // The script lies elsewhere, beside a languages folder of its own that
    // lacks the language: only the working folder's copy makes it compile.
    const std::string script = sources.Write(
        "scripts\\temp.nsi", InstallScript("viewer.wlx_setup.exe", plugin,
                                           "LoadLanguageFile \"languages\\French.nlf\"\r\n"));
    sources.MakeFolder("scripts\\languages");

    const ProgramRun run = RunCompiler(tool.Path(), script);
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_TRUE(FileExists(tool.Path() + "viewer.wlx_setup.exe"));
    EXPECT_FALSE(FileExists(sources.Path() + "scripts\\viewer.wlx_setup.exe"));
}

TEST(StandIn, AFailedCompileExitsWithOneAndKeepsTheOlderInstaller)
{
    ToolFolder tool;
    TempFolder sources;
    const std::string plugin = MakePluginFolder(sources, "plugin", "fsplugin.wfx");
    tool.Write("fsplugin.wfx_setup.exe", "an older installer");
    tool.Write("temp.nsi", InstallScript("fsplugin.wfx_setup.exe", plugin, "NoSuchCommand here\r\n"));

    const ProgramRun run = RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 1u) << run.Output;
    EXPECT_NE(run.Output.find("NoSuchCommand"), std::string::npos) << run.Output; // the compiler's error text
    EXPECT_EQ(ReadWholeFile(tool.Path() + "fsplugin.wfx_setup.exe"), "an older installer");
    EXPECT_FALSE(StandInLeftWorkFolder(run.ProcessId));
}

TEST(StandIn, AHostWithoutCompilerIsReportedWithANonZeroExitCode)
{
    ToolFolder tool;
    TempFolder sources;
    const std::string plugin = MakePluginFolder(sources, "plugin", "fsplugin.wfx");
    tool.Write("temp.nsi", InstallScript("fsplugin.wfx_setup.exe", plugin));
    const auto before = TreeOf(tool.Path());

    ScopedEnvironment noCompiler("MAKENSIS", "makensis-which-this-host-lacks");
    const ProgramRun run = RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 3u) << run.Output;
    EXPECT_NE(run.Output.find("no NSIS compiler"), std::string::npos) << run.Output;
    EXPECT_EQ(TreeOf(tool.Path()), before);
    EXPECT_FALSE(StandInLeftWorkFolder(run.ProcessId));
}

TEST(StandIn, AShellThatEndsWithoutExitCodeIsAFailureNotAWaitForEver)
{
    ToolFolder tool;
    TempFolder sources;
    const std::string plugin = MakePluginFolder(sources, "plugin", "fsplugin.wfx");
    tool.Write("temp.nsi", InstallScript("fsplugin.wfx_setup.exe", plugin));

    // "exec" of a command that does not exist ends the shell itself before it
    // can write the exit code.
    ScopedEnvironment vanishingShell("MAKENSIS", "exec");
    const ProgramRun run = RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 2u) << run.Output;
    EXPECT_NE(run.Output.find("without an exit code"), std::string::npos) << run.Output;
    EXPECT_FALSE(StandInLeftWorkFolder(run.ProcessId));
}

TEST(StandIn, AMissingScriptOrArgumentIsAFailure)
{
    ToolFolder tool;
    const ProgramRun missing = RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
    ASSERT_TRUE(missing.Ended);
    EXPECT_EQ(missing.ExitCode, 2u);
    EXPECT_NE(missing.Output.find("temp.nsi"), std::string::npos) << missing.Output;

    const ProgramRun bare = RunProgram("\"" + tool.Path() + "makensis.exe\"", tool.Path());
    ASSERT_TRUE(bare.Ended);
    EXPECT_EQ(bare.ExitCode, 2u);
    EXPECT_NE(bare.Output.find("usage"), std::string::npos) << bare.Output;
}

TEST(StandIn, StartedThroughTheShellLikeTheToolInAFolderWithBlanksAndAQuote)
{
    // The tool's own folder may hold any character a path can; the shell
    // script quotes every path.
    ToolFolder tool("Setup creator's tool");
    TempFolder sources;
    const std::string plugin = MakePluginFolder(sources, "it's a plugin", "fsplugin.wfx");
    tool.Write("temp.nsi", InstallScript("fsplugin.wfx_setup.exe", plugin));

    // As the launcher starts the compiler: verb "open", the quoted program,
    // the quoted script, the tool folder as working folder, shown normally
    // with a console of its own.
    const std::string program = "\"" + tool.Path() + "makensis.exe\"";
    const std::string parameters = "\"" + tool.Path() + "temp.nsi\"";
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = "open";
    execute.lpFile = program.c_str();
    execute.lpParameters = parameters.c_str();
    execute.lpDirectory = tool.Path().c_str();
    execute.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExA(&execute)) << GetLastError();
    UniqueHandle process(execute.hProcess);
    ASSERT_TRUE(process);
    ASSERT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.Get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(FileExists(tool.Path() + "fsplugin.wfx_setup.exe"));
}
