// Installers built from the template, run silently under Wine: what they
// install, where, and what their uninstaller removes.
#include "InstallerTestSupport.h"

#include "app/SetupScript.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

const std::string kUninstallKeys = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string ProgramFilesFolder()
{
    char folder[MAX_PATH + 1] = {};
    ExpandEnvironmentStringsA("%ProgramFiles%\\", folder, sizeof(folder));
    return folder;
}

// Removes what a failed test left installed.
class InstallationCleanup {
public:
    InstallationCleanup(std::string folder, std::string key) : folder_(std::move(folder)), key_(std::move(key)) {}
    ~InstallationCleanup()
    {
        DeleteTree(folder_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
    }

private:
    std::string folder_, key_;
};

std::vector<std::string> With(std::vector<std::string> tree, const std::string& entry)
{
    tree.push_back(entry);
    std::sort(tree.begin(), tree.end());
    return tree;
}

} // namespace

TEST(Installer, WithUninstallerInstallsIntoTheDefaultFolderAndUninstallsCompletely)
{
    ToolFolder tool;
    TempFolder sources;
    TSetupScriptInputs inputs;
    // Characters a folder or registry key name cannot hold become "_"; a
    // typed name may hold characters beyond ASCII (the system code page's).
    const std::string unique = std::to_string(GetCurrentProcessId());
    inputs.PluginName = "Sftp[\\]^_`:;<>?@z\xE9" + unique;
    const std::string safeName = "Sftp[_]^_`_;___@z\xE9" + unique;
    inputs.Folder = MakePluginFolder(sources, "my plugin", "fsplugin.wfx");
    inputs.MainFile = "fsplugin.wfx";
    inputs.PluginType = "WFX";
    // With several languages the installer would ask for one, unless silent.
    inputs.CheckedLanguages = {"English", "French", "German"};
    inputs.LicensePath = sources.Write("licence.txt", "Licence\r\n");
    inputs.LicenseExists = true;
    inputs.Uninstaller = true;
    const ProgramRun build = CompileSetupScript(tool, inputs);
    ASSERT_EQ(build.ExitCode, 0u) << build.Output;

    const std::string installed = ProgramFilesFolder() + "Quillon\\plugins\\WFX\\" + safeName + "\\";
    const std::string key = kUninstallKeys + "Quillon WFX plugin " + safeName;
    InstallationCleanup cleanup(installed, key);
    ASSERT_FALSE(FolderExists(installed));

    const ProgramRun install = RunProgram("\"" + tool.Path() + "fsplugin.wfx_setup.exe\" /S", tool.Path());
    ASSERT_TRUE(install.Ended) << "the silent installer waited for an answer";
    EXPECT_EQ(install.ExitCode, 0u);
    EXPECT_EQ(TreeOf(installed), With(TreeOf(inputs.Folder), "uninstall.exe"));

    const std::string uninstaller = "\"" + installed + "uninstall.exe\"";
    EXPECT_EQ(RegistryText(key, "DisplayName"), inputs.PluginName + " (Quillon WFX plugin)");
    EXPECT_EQ(RegistryText(key, "UninstallString"), uninstaller);
    const std::string quiet = RegistryText(key, "QuietUninstallString");
    EXPECT_EQ(quiet, uninstaller + " /S");

    // The uninstaller as the system runs it; it goes on from a copy of itself
    // and ends when the folder is gone.
    TempFolder elsewhere;
    const ProgramRun uninstall = RunProgram(quiet, elsewhere.Path());
    ASSERT_TRUE(uninstall.Ended);
    EXPECT_EQ(uninstall.ExitCode, 0u);
    EXPECT_TRUE(WaitFor([&] { return !FolderExists(installed); }, 30000)) << "still there: " << installed;
    EXPECT_TRUE(WaitFor([&] { return !KeyExists(key); }, 5000));
}

TEST(Installer, WithoutUninstallerInstallsIntoTheChosenFolderAndRegistersNothing)
{
    ToolFolder tool;
    TempFolder sources;
    TSetupScriptInputs inputs;
    inputs.PluginName = "Viewer" + std::to_string(GetCurrentProcessId());
    // Paths beyond ASCII reach the compiler intact.
    inputs.Folder = MakePluginFolder(sources, "viewer plugin \xE9t\xE9", "viewer.wlx");
    sources.Write("viewer plugin \xE9t\xE9\\r\xE9sum\xE9.txt", "x");
    inputs.MainFile = "viewer.wlx";
    inputs.PluginType = "WLX";
    inputs.CheckedLanguages = {"French"};
    inputs.Uninstaller = false;
    const ProgramRun build = CompileSetupScript(tool, inputs);
    ASSERT_EQ(build.ExitCode, 0u) << build.Output;

    // /D= comes last and unquoted, blanks and all.
    const std::string installed = sources.Path() + "chosen folder\\viewer\\";
    const std::string key = kUninstallKeys + "Quillon WLX plugin " + inputs.PluginName;
    InstallationCleanup cleanup(installed, key);
    std::string target = installed;
    target.pop_back();
    const ProgramRun install =
        RunProgram("\"" + tool.Path() + "viewer.wlx_setup.exe\" /S /D=" + target, tool.Path());
    ASSERT_TRUE(install.Ended);
    EXPECT_EQ(install.ExitCode, 0u);
    EXPECT_EQ(TreeOf(installed), TreeOf(inputs.Folder)); // no uninstaller among them
    EXPECT_FALSE(KeyExists(key));
    EXPECT_FALSE(FolderExists(ProgramFilesFolder() + "Quillon\\plugins\\WLX\\" + inputs.PluginName));
}
