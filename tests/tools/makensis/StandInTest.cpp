// makensis.exe for Wine hosts, run as the tool runs it, with the host's real
// NSIS compiler behind it.
#include "base/Handles.h"
#include "base/Paths.h"
#include "tests/support/Folders.h"
#include "tests/support/Programs.h"

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
    return !EntriesOf(std::string(temp) + "makensis-" + std::to_string(processId) + "-*").empty();
}

// Sets an environment variable for the programs this test starts; restores it.
class ScopedEnvironment {
public:
    // Nothing changes for a null value.
    ScopedEnvironment(const char* name, const char* value) : name_(name)
    {
        char old[4096] = {};
        had_ = GetEnvironmentVariableA(name, old, sizeof(old)) > 0;
        old_ = old;
        if (value != nullptr)
            SetEnvironmentVariableA(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// A tool folder, and a plugin folder that the scripts install.
class StandIn : public testing::Test {
protected:
    // Writes the tool folder's temp.nsi, which installs the plugin folder;
    // `extra` goes before the section.
    void WriteScript(const std::string& extra = "") const
    {
        tool_.Write("temp.nsi", InstallScript("fsplugin.wfx_setup.exe", plugin_, extra));
    }
    ProgramRun Compile() const { return RunCompiler(tool_.Path(), tool_.Path() + "temp.nsi"); }

    const ToolFolder tool_;
    const TempFolder sources_;
    const std::string plugin_ = MakePluginFolder(sources_, "my plugin folder", {"fsplugin.wfx", "viewer.wlx"});
};

} // namespace

TEST_F(StandIn, CompilesWithDrivePathsHoldingBlanksAndWritesOnlyTheInstaller)
{
    const std::string licence = sources_.Write("licence texts\\the licence.txt", "Licence\r\n");
    WriteScript("Page license\r\nLicenseData \"" + licence + "\"\r\nPage instfiles\r\n");
    const auto before = TreeOf(tool_.Path());

    const ProgramRun run = Compile();
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    // The compiler's own report reaches the console.
    EXPECT_NE(run.Output.find("Output: \"fsplugin.wfx_setup.exe\""), std::string::npos) << run.Output;
    auto expected = before;
    expected.push_back("fsplugin.wfx_setup.exe");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(TreeOf(tool_.Path()), expected);
    EXPECT_FALSE(StandInLeftWorkFolder(run.ProcessId));
}

TEST_F(StandIn, RelativePathsBelongToTheWorkingFolderNotTheScriptsFolder)
{
    // The script lies elsewhere, beside a languages folder of its own that
    // lacks the language: only the working folder's copy makes it compile.
    const std::string script = sources_.Write(
        "scripts\\temp.nsi", InstallScript("viewer.wlx_setup.exe", plugin_,
                                           "LoadLanguageFile \"languages\\French.nlf\"\r\n"));
    sources_.MakeFolder("scripts\\languages");

    const ProgramRun run = RunCompiler(tool_.Path(), script);
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_TRUE(FileExistsAt(tool_.Path() + "viewer.wlx_setup.exe"));
    EXPECT_FALSE(FileExistsAt(sources_.Path() + "scripts\\viewer.wlx_setup.exe"));
}

namespace {

// A compile that cannot succeed: a line the compiler rejects, or a host
// compiler (the MAKENSIS variable) that does not run.
struct Failure {
    const char* name;
    const char* extra;
    const char* compiler;
    DWORD exitCode;
    const char* says;
};

class StandInFails : public StandIn, public testing::WithParamInterface<Failure> {};

} // namespace

TEST_P(StandInFails, WithItsExitCodeAndLeavesTheFoldersAsTheyWere)
{
    const Failure& failure = GetParam();
    tool_.Write("fsplugin.wfx_setup.exe", "an older installer");
    WriteScript(failure.extra);
    const auto before = TreeOf(tool_.Path());

    const ScopedEnvironment compiler("MAKENSIS", failure.compiler);
    const ProgramRun run = Compile();
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, failure.exitCode) << run.Output;
    EXPECT_NE(run.Output.find(failure.says), std::string::npos) << run.Output;
    EXPECT_EQ(TreeOf(tool_.Path()), before);
    EXPECT_EQ(ReadWholeFile(tool_.Path() + "fsplugin.wfx_setup.exe"), "an older installer");
    EXPECT_FALSE(StandInLeftWorkFolder(run.ProcessId));
}

// "exec" of a command that does not exist ends the shell itself before it
// can write the exit code.
INSTANTIATE_TEST_SUITE_P(
    Failures, StandInFails,
    testing::Values(Failure{"RejectedScript", "NoSuchCommand here\r\n", nullptr, 1, "NoSuchCommand"},
                    Failure{"NoCompilerOnTheHost", "", "makensis-which-this-host-lacks", 3, "no NSIS compiler"},
                    Failure{"ShellEndsWithoutExitCode", "", "exec", 2, "without an exit code"}),
    [](const testing::TestParamInfo<Failure>& info) { return info.param.name; });

TEST_F(StandIn, AMissingScriptOrArgumentIsAFailure)
{
    const ProgramRun missing = Compile();
    ASSERT_TRUE(missing.Ended);
    EXPECT_EQ(missing.ExitCode, 2u);
    EXPECT_NE(missing.Output.find("temp.nsi"), std::string::npos) << missing.Output;

    const ProgramRun bare = RunProgram("\"" + tool_.Path() + "makensis.exe\"", tool_.Path());
    ASSERT_TRUE(bare.Ended);
    EXPECT_EQ(bare.ExitCode, 2u);
    EXPECT_NE(bare.Output.find("usage"), std::string::npos) << bare.Output;
}

TEST_F(StandIn, StartedThroughTheShellLikeTheToolInAFolderWithBlanksAndAQuote)
{
    // The tool's own folder may hold any character a path can; the shell
    // script quotes every path.
    const ToolFolder tool("Setup creator's tool");
    const std::string plugin = MakePluginFolder(sources_, "it's a plugin", {"fsplugin.wfx"});
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
    EXPECT_TRUE(FileExistsAt(tool.Path() + "fsplugin.wfx_setup.exe"));
}
