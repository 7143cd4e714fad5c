// Installers built from the template, run silently under Wine: what they
// install, where, and what their uninstaller removes.
#include "InstallerTestSupport.h"

#include "app/AppFolder.h"
#include "app/SetupScript.h"
#include "app/VersionResource.h"
#include "toolkit/Handles.h"

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

// A WFX plugin with an uninstaller.
TSetupScriptInputs WfxPlugin(const std::string& name, const std::string& folder, const std::string& mainFile)
{
    TSetupScriptInputs inputs;
    inputs.PluginName = name;
    inputs.Folder = folder;
    inputs.MainFile = mainFile;
    inputs.PluginType = "WFX";
    inputs.Uninstaller = true;
    return inputs;
}

std::string KeyOf(const std::string& type, const std::string& name)
{
    return kUninstallKeys + "Quillon " + type + " plugin " + FolderSafeName(name);
}

ProgramRun Install(const std::string& setup, const std::string& arguments = "/S")
{
    return RunProgram("\"" + setup + "\" " + arguments, FolderOfPath(setup));
}

// Runs the entry's quiet uninstaller as the system does, from elsewhere. It
// goes on from a copy of itself; its entry goes last.
void Uninstall(const std::string& key)
{
    const std::string quiet = RegistryText(key, "QuietUninstallString");
    ASSERT_FALSE(quiet.empty()) << key;
    TempFolder elsewhere;
    const ProgramRun uninstall = RunProgram(quiet, elsewhere.Path());
    ASSERT_TRUE(uninstall.Ended);
    EXPECT_EQ(uninstall.ExitCode, 0u);
    EXPECT_TRUE(WaitFor([&] { return !KeyExists(key); }, 30000)) << "still registered: " << key;
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
    // The folders above it that the installer creates go with it.
    const bool quillonExisted = FolderExists(ProgramFilesFolder() + "Quillon");

    const ProgramRun install = RunProgram("\"" + tool.Path() + "fsplugin.wfx_setup.exe\" /S", tool.Path());
    ASSERT_TRUE(install.Ended) << "the silent installer waited for an answer";
    EXPECT_EQ(install.ExitCode, 0u);
    EXPECT_EQ(TreeOf(installed), With(TreeOf(inputs.Folder), "uninstall.exe"));

    const std::string uninstaller = "\"" + installed + "uninstall.exe\"";
    EXPECT_EQ(RegistryText(key, "DisplayName"), inputs.PluginName);
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
    EXPECT_EQ(FolderExists(ProgramFilesFolder() + "Quillon"), quillonExisted);
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

TEST(Installer, UninstallInASharedFolderKeepsWhatTheInstallerDidNotPutThere)
{
    ToolFolder tool;
    TempFolder sources;
    const TSetupScriptInputs inputs = WfxPlugin("Shared" + std::to_string(GetCurrentProcessId()),
                                                MakePluginFolder(sources, "plugin", "fsplugin.wfx"), "fsplugin.wfx");
    const ProgramRun build = CompileSetupScript(tool, inputs);
    ASSERT_EQ(build.ExitCode, 0u) << build.Output;

    // A folder the user chose that holds files of its own, one of them in a
    // subfolder the plugin uses too.
    const std::string shared = sources.MakeFolder("shared");
    sources.Write("shared\\other.txt", "mine");
    sources.Write("shared\\keep\\data.dat", "mine");
    sources.Write("shared\\language\\mine.lng", "mine");
    const std::vector<std::string> foreign = TreeOf(shared);
    const std::string key = KeyOf("WFX", inputs.PluginName);
    InstallationCleanup cleanup(shared, key);

    const ProgramRun install = Install(tool.Path() + "fsplugin.wfx_setup.exe", "/S /D=" + shared.substr(0, shared.size() - 1));
    ASSERT_TRUE(install.Ended);
    ASSERT_EQ(install.ExitCode, 0u);
    std::vector<std::string> both = With(TreeOf(inputs.Folder), "uninstall.exe");
    both.insert(both.end(), foreign.begin(), foreign.end());
    std::sort(both.begin(), both.end());
    both.erase(std::unique(both.begin(), both.end()), both.end());
    EXPECT_EQ(TreeOf(shared), both);

    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_EQ(TreeOf(shared), foreign);
}

TEST(Installer, EntryAndSetupTakeVersionAndPublisherFromTheMainFilesVersionResource)
{
    struct Row {
        const char* plugin;
        std::string version, publisher;
    };
    const Row rows[] = {
        {"versioned.wfx", "3.1.4.1", "Cost $WINDIR \"Plugins\" & Co. ${X}"},
        {"testfs.wfx", "", ""}, // no version resource
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.plugin);
        ToolFolder tool;
        TempFolder sources;
        const std::string plugin = sources.MakeFolder("plugin");
        ASSERT_TRUE(CopyFileA((DistFolder() + "..\\testplugins\\" + row.plugin).c_str(), (plugin + row.plugin).c_str(), FALSE));
        const TSetupScriptInputs inputs = WfxPlugin("Versions" + std::to_string(GetCurrentProcessId()), plugin, row.plugin);
        const ProgramRun build = CompileSetupScript(tool, inputs);
        ASSERT_EQ(build.ExitCode, 0u) << build.Output;
        EXPECT_EQ(build.Output.find("warning"), std::string::npos) << build.Output;

        // The setup program's own version information.
        const std::string setup = tool.Path() + row.plugin + "_setup.exe";
        EXPECT_EQ(VersionStringOf(setup, "ProductName"), inputs.PluginName);
        EXPECT_EQ(VersionStringOf(setup, "FileVersion"), row.version);
        EXPECT_EQ(VersionStringOf(setup, "CompanyName"), row.publisher);

        const std::string installed = sources.Path() + "installed";
        const std::string key = KeyOf("WFX", inputs.PluginName);
        InstallationCleanup cleanup(installed, key);
        const ProgramRun install = Install(setup, "/S /D=" + installed);
        ASSERT_TRUE(install.Ended);
        ASSERT_EQ(install.ExitCode, 0u);
        EXPECT_EQ(RegistryText(key, "DisplayName"), inputs.PluginName);
        EXPECT_EQ(RegistryText(key, "DisplayVersion"), row.version);
        EXPECT_EQ(RegistryText(key, "Publisher"), row.publisher);
        EXPECT_EQ(RegistryText(key, "InstallLocation"), installed);
        // The plugin library's size in KiB, rounded up.
        const DWORD kib = static_cast<DWORD>((ReadWholeFile(plugin + row.plugin).size() + 1023) / 1024);
        EXPECT_EQ(RegistryNumber(key, "EstimatedSize"), kib);
        EXPECT_EQ(RegistryNumber(key, "NoModify"), 1u);
        EXPECT_EQ(RegistryNumber(key, "NoRepair"), 1u);
        ASSERT_NO_FATAL_FAILURE(Uninstall(key));
        EXPECT_TRUE(WaitFor([&] { return !FolderExists(installed); }, 10000));
    }
}

TEST(Installer, UpgradeReplacesTheEarlierInstallAndLeavesNothingOfEitherOnUninstall)
{
    ToolFolder tool;
    TempFolder sources;
    TSetupScriptInputs inputs = WfxPlugin("Upgraded" + std::to_string(GetCurrentProcessId()),
                                          MakePluginFolder(sources, "version 1", "fsplugin.wfx"), "fsplugin.wfx");
    sources.Write("version 1\\only in 1\\old.txt", "old");
    const ProgramRun first = CompileSetupScript(tool, inputs);
    ASSERT_EQ(first.ExitCode, 0u) << first.Output;
    const std::string setup = tool.Path() + "fsplugin.wfx_setup.exe";
    const std::string setup1 = tool.Path() + "first_setup.exe";
    ASSERT_TRUE(MoveFileA(setup.c_str(), setup1.c_str()));

    // The second version has fewer files.
    inputs.Folder = sources.MakeFolder("version 2");
    sources.Write("version 2\\fsplugin.wfx", "MZ version 2");
    sources.Write("version 2\\language\\de.lng", "[Deutsch]");
    const ProgramRun second = CompileSetupScript(tool, inputs);
    ASSERT_EQ(second.ExitCode, 0u) << second.Output;

    // The first goes into folders it has to create.
    const std::string outer = sources.Path() + "created";
    const std::string installed = outer + "\\by setup\\";
    const std::string key = KeyOf("WFX", inputs.PluginName);
    InstallationCleanup cleanup(outer, key);
    const ProgramRun install1 = Install(setup1, "/S /D=" + installed.substr(0, installed.size() - 1));
    ASSERT_TRUE(install1.Ended);
    ASSERT_EQ(install1.ExitCode, 0u);
    ASSERT_EQ(TreeOf(installed), With(TreeOf(sources.Path() + "version 1\\"), "uninstall.exe"));

    // The second, without /D=, finds the first's folder and replaces it.
    const ProgramRun install2 = Install(setup);
    ASSERT_TRUE(install2.Ended);
    ASSERT_EQ(install2.ExitCode, 0u);
    EXPECT_EQ(TreeOf(installed), With(TreeOf(inputs.Folder), "uninstall.exe"));
    EXPECT_EQ(ReadWholeFile(installed + "fsplugin.wfx"), "MZ version 2");

    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_TRUE(WaitFor([&] { return !FolderExists(outer); }, 10000)) << "left: " << ::testing::PrintToString(TreeOf(outer + "\\"));
}

TEST(Installer, AFileInUseFailsInstallUninstallAndUpgradeWithTheirExitCodes)
{
    ToolFolder tool;
    TempFolder sources;
    const TSetupScriptInputs inputs = WfxPlugin("InUse" + std::to_string(GetCurrentProcessId()),
                                                MakePluginFolder(sources, "plugin", "fsplugin.wfx"), "fsplugin.wfx");
    const ProgramRun build = CompileSetupScript(tool, inputs);
    ASSERT_EQ(build.ExitCode, 0u) << build.Output;
    const std::string setup = tool.Path() + "fsplugin.wfx_setup.exe";
    const std::string installed = sources.Path() + "installed";
    const std::string key = KeyOf("WFX", inputs.PluginName);
    InstallationCleanup cleanup(installed, key);
    // The file manager holds the plugin library open.
    const auto holdPlugin = [](const std::string& folder) {
        return UniqueFile(CreateFileA((folder + "\\fsplugin.wfx").c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    };

    const ProgramRun install = Install(setup, "/S /D=" + installed);
    ASSERT_TRUE(install.Ended);
    ASSERT_EQ(install.ExitCode, 0u);
    {
        // A file the uninstaller cannot delete keeps the uninstaller and the
        // entry, and an upgrade does not go over it.
        const UniqueFile inUse = holdPlugin(installed);
        ASSERT_TRUE(inUse);
        const ProgramRun uninstall = RunProgram("\"" + installed + "\\uninstall.exe\" /S _?=" + installed, sources.Path());
        ASSERT_TRUE(uninstall.Ended);
        EXPECT_NE(uninstall.ExitCode, 0u);
        EXPECT_TRUE(FileExists(installed + "\\uninstall.exe"));
        EXPECT_EQ(RegistryText(key, "InstallLocation"), installed);
        const ProgramRun upgrade = Install(setup);
        ASSERT_TRUE(upgrade.Ended);
        EXPECT_NE(upgrade.ExitCode, 0u);
        EXPECT_EQ(RegistryText(key, "InstallLocation"), installed);
    }
    // Once the file is free, uninstalling finishes the job.
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_TRUE(WaitFor([&] { return !FolderExists(installed); }, 10000)) << ::testing::PrintToString(TreeOf(installed + "\\"));

    // A file the installer cannot write ends the installation.
    const std::string busy = sources.MakeFolder("busy");
    const UniqueFile inUse = holdPlugin(busy);
    ASSERT_TRUE(inUse);
    const ProgramRun failed = Install(setup, "/S /D=" + busy.substr(0, busy.size() - 1));
    ASSERT_TRUE(failed.Ended);
    EXPECT_NE(failed.ExitCode, 0u);
}

namespace {

// Typed names that an installer script could take for its own syntax.
struct HostileName {
    std::string name, folderName;
};

class HostileValues : public testing::TestWithParam<HostileName> {};

} // namespace

TEST_P(HostileValues, ReachTheEntryAndTheFoldersAsTheyStand)
{
    const HostileName& row = GetParam();
    // The plugin folder, main file, licence and a language file hold such
    // characters in their names too.
    ToolFolder tool;
    TempFolder sources;
    tool.Write("languages\\Fr$nch 'x' & y%.nlf", ReadWholeFile(tool.Path() + "languages\\French.nlf"));
    TSetupScriptInputs inputs = WfxPlugin(
        row.name, MakePluginFolder(sources, "cost$\\new ${X} $%TEMP% 'q' `b` \xE9", "fs$$ {1} & x.wfx"), "fs$$ {1} & x.wfx");
    sources.Write("cost$\\new ${X} $%TEMP% 'q' `b` \xE9\\$PLUGINSDIR $\\t;#01.txt", "x");
    inputs.CheckedLanguages = {"English", "Fr$nch 'x' & y%"};
    inputs.LicensePath = sources.Write("lic$\\the licence ${X} $%TEMP%.txt", "Licence\r\n");
    inputs.LicenseExists = true;
    const ProgramRun build = CompileSetupScript(tool, inputs);
    ASSERT_EQ(build.ExitCode, 0u) << build.Output;
    const std::string setup = tool.Path() + inputs.MainFile + "_setup.exe";
    EXPECT_EQ(VersionStringOf(setup, "ProductName"), row.name);

    const std::string installed = ProgramFilesFolder() + "Quillon\\plugins\\WFX\\" + row.folderName;
    const std::string key = kUninstallKeys + "Quillon WFX plugin " + row.folderName;
    InstallationCleanup cleanup(installed, key);
    const ProgramRun install = Install(setup);
    ASSERT_TRUE(install.Ended);
    ASSERT_EQ(install.ExitCode, 0u);
    EXPECT_EQ(RegistryText(key, "DisplayName"), row.name);
    EXPECT_EQ(RegistryText(key, "InstallLocation"), installed);
    EXPECT_EQ(TreeOf(installed + "\\"), With(TreeOf(inputs.Folder), "uninstall.exe"));

    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_TRUE(WaitFor([&] { return !FolderExists(installed); }, 10000));
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostileValues,
    testing::Values(HostileName{"Cost $WINDIR 100% 'Pro' & \"Co\" `x` ${X} $%TEMP% $\\n #01 *main_file*",
                                "Cost $WINDIR 100% 'Pro' & _Co_ `x` ${X} $%TEMP% $_n #01 _main_file_"},
                    HostileName{"..", "__"},
                    HostileName{"Cost C:\\x\xE9 ", "Cost C__x\xE9_"}));
