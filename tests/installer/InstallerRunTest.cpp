// Installers built from the template, run silently under Wine: what they
// install, where, and what their uninstaller removes.
#include "InstallerScript.h"

#include "core/VersionResource.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "base/TextCodes.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Polling.h"

#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

namespace {

std::string Expanded(const char* text)
{
    char expanded[MAX_PATH + 1] = {};
    ExpandEnvironmentStringsA(text, expanded, sizeof(expanded));
    return expanded;
}

std::string ProgramFilesFolder() { return Expanded("%ProgramFiles%\\"); }

// An install mode: its switch, the folder it installs plugins below (with
// trailing backslash), and the hive of its entries.
struct InstallMode {
    const char* name;
    std::string base;
    HKEY root;
};

InstallMode ForAllUsers() { return {"AllUsers", ProgramFilesFolder(), HKEY_LOCAL_MACHINE}; }
InstallMode OnlyForMe() { return {"CurrentUser", Expanded("%LOCALAPPDATA%\\Programs\\"), HKEY_CURRENT_USER}; }

// The files Windows is to rename or delete at its next start: nothing that
// an installation writes for one user may be among them.
std::string PendingRenames()
{
    char data[8192] = {};
    DWORD size = sizeof(data);
    RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                 "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, data, &size);
    return std::string(data, size);
}

std::string TemporaryFolder() { return Expanded("%TEMP%\\"); }

std::vector<std::string> With(std::vector<std::string> tree, const std::string& entry)
{
    tree.push_back(entry);
    std::sort(tree.begin(), tree.end());
    return tree;
}

// A WFX plugin with an uninstaller.
TSetupScriptInputs WfxPlugin(const std::string& name, const std::string& folder,
                             const std::string& mainFile = "fsplugin.wfx")
{
    TSetupScriptInputs inputs;
    inputs.PluginName = name;
    inputs.Folder = folder;
    inputs.MainFile = mainFile;
    inputs.PluginType = "WFX";
    inputs.Uninstaller = true;
    return inputs;
}

ProgramRun Install(const std::string& setup, const std::string& arguments = "/S")
{
    return RunProgram("\"" + setup + "\" " + arguments, FolderOfPath(setup));
}

// Builds the setup of `inputs` in `tool` and runs it; its exit code.
DWORD BuildAndInstall(const ToolFolder& tool, const TSetupScriptInputs& inputs, const std::string& arguments = "/S")
{
    const ProgramRun build = CompileSetupScript(tool, inputs);
    EXPECT_EQ(build.ExitCode, 0u) << build.Output;
    EXPECT_EQ(build.Output.find("warning"), std::string::npos) << build.Output;
    const ProgramRun install = Install(tool.Path() + inputs.MainFile + "_setup.exe", arguments);
    EXPECT_TRUE(install.Ended) << "the silent installer waited for an answer";
    return install.ExitCode;
}

// The entry of a plugin installed with its default folder name.
std::string EntryOf(const TSetupScriptInputs& inputs)
{
    return UninstallKey(inputs.PluginType, PluginFolderNameOf(inputs));
}

// Where a run of a WFX plugin's setup keeps the way to its record while it works.
std::string ProgressKeyOf(const TSetupScriptInputs& inputs)
{
    return "Software\\Quillon\\Plugin setups at work\\WFX " + PluginFolderNameOf(inputs);
}

// Where a WFX plugin installed in `mode` with its default folder name is.
std::string PluginFolderIn(const InstallMode& mode, const TSetupScriptInputs& inputs)
{
    return mode.base + "Quillon\\plugins\\WFX\\" + PluginFolderNameOf(inputs) + "\\";
}

// A program that keeps a plugin library loaded, as a running file manager
// keeps the plugins it uses, until it goes.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& library)
        : holder_("\"" + TestPlugin("pluginholder.exe") + "\" \"" + library + "\"")
    {
        // Looked for among the holder's modules: a test that opened the file
        // for writing meanwhile would make the loader fail.
        EXPECT_TRUE(Eventually([&] {
            // A snapshot fails with INVALID_HANDLE_VALUE, as CreateFile does.
            const UniqueFile modules(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, holder_.Id()));
            MODULEENTRY32 module{};
            module.dwSize = sizeof(module);
            bool found = false;
            for (BOOL more = Module32First(modules.Get(), &module); more && !found;
                 more = Module32Next(modules.Get(), &module))
                found = lstrcmpiA(module.szExePath, library.c_str()) == 0;
            return found;
        }))
            << "not loaded: " << library;
    }

private:
    StartedProgram holder_;
};

// What a setup run by the user for all users says when it stops at its first
// page's button (the folder page: given its mode, it does not ask for whom):
// the texts of the `boxes` message boxes it then shows, each confirmed in
// turn, and its caption once that says it was aborted.
std::string InteractiveStop(const std::string& setup, const std::string& arguments = "", int boxes = 1)
{
    const StartedProgram run("\"" + setup + "\" /AllUsers " + arguments);
    const HWND page = NextDialog(nullptr, 30000, run.Id());
    if (page == nullptr)
        return "no setup window";
    PressDialogButton(page, IDOK);
    std::string told;
    for (int i = 0; i < boxes; ++i) {
        const HWND box = NextDialog(page, 30000, run.Id());
        if (box == nullptr)
            return told + "no message";
        told += ReadDialog(box).Text + "\n";
        PressDialogButton(box, IDOK);
        Gone(box);
    }
    std::string caption;
    Eventually([&] { return (caption = WindowTextOf(page)).find("aborted") != std::string::npos; }, 30000);
    return told + caption;
}

// What a setup run by the user for all users says when it refuses the folder
// on its folder page; then it is cancelled.
std::string FolderRefusal(const std::string& setup, const std::string& arguments = "")
{
    const StartedProgram run("\"" + setup + "\" /AllUsers " + arguments);
    const HWND page = NextDialog(nullptr, 30000, run.Id());
    if (page == nullptr)
        return "no setup window";
    PressDialogButton(page, IDOK);
    const HWND box = NextDialog(page, 30000, run.Id());
    if (box == nullptr)
        return "no message";
    const std::string told = ReadDialog(box).Text;
    PressDialogButton(box, IDOK);
    Gone(box);
    PressDialogButton(page, IDCANCEL);
    return run.WaitFor(30000) ? told : told + "\nnot ended";
}

} // namespace

TEST(Installer, WithUninstallerInstallsIntoTheDefaultFolderAndUninstallsCompletely)
{
    ToolFolder tool;
    TempFolder sources;
    // Characters a folder or registry key name cannot hold become "_"; a
    // typed name may hold characters beyond ASCII (the system code page's).
    const std::string unique = std::to_string(GetCurrentProcessId());
    auto inputs =
        WfxPlugin("Sftp[\\]^_`:;<>?@z\xE9" + unique, MakePluginFolder(sources, "my plugin", {"fsplugin.wfx"}));
    const std::string safeName = PluginFolderNameOf(inputs);
    EXPECT_EQ(safeName.rfind("Sftp[_]^_`_;___@z\xE9" + unique + " (fsplugin)~", 0), 0u) << safeName;
    // With several languages the installer would ask for one, unless silent.
    inputs.Languages = {"English", "French", "German"};
    inputs.LicensePath = sources.Write("licence.txt", "Licence\r\n");
    inputs.LicenseExists = true;

    const std::string installed = ProgramFilesFolder() + "Quillon\\plugins\\WFX\\" + safeName + "\\";
    const std::string key = UninstallKey("WFX", safeName);
    InstallationCleanup cleanup(installed, key);
    ASSERT_FALSE(FolderExistsAt(installed));
    // The folders above it that the installer creates go with it.
    const bool quillonExisted = FolderExistsAt(ProgramFilesFolder() + "Quillon");

    ASSERT_EQ(BuildAndInstall(tool, inputs), 0u);
    EXPECT_EQ(TreeOf(installed), With(TreeOf(inputs.Folder), "uninstall.exe"));
    // In place, so that whoever waits for it waits for the removal.
    const std::string uninstaller = "\"" + installed + "uninstall.exe\"", inPlace = " _?=" + WithoutTrailingBackslash(installed);
    EXPECT_EQ(RegistryText(key, "DisplayName"), inputs.PluginName);
    EXPECT_EQ(RegistryText(key, "UninstallString"), uninstaller + inPlace);
    EXPECT_EQ(RegistryText(key, "QuietUninstallString"), uninstaller + " /S" + inPlace);

    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(installed); })) << "still there: " << installed;
    // The folders above it go with it, once its own file has gone.
    EXPECT_TRUE(Eventually([&] { return FolderExistsAt(ProgramFilesFolder() + "Quillon") == quillonExisted; }));
}

TEST(Installer, WithoutUninstallerInstallsIntoTheChosenFolderAndRegistersNothing)
{
    ToolFolder tool;
    TempFolder sources;
    TSetupScriptInputs inputs;
    inputs.PluginName = "Viewer" + std::to_string(GetCurrentProcessId());
    // Paths beyond ASCII reach the compiler intact.
    inputs.Folder = MakePluginFolder(sources, "viewer plugin \xE9t\xE9", {"viewer.wlx"});
    sources.Write("viewer plugin \xE9t\xE9\\r\xE9sum\xE9.txt", "x");
    inputs.MainFile = "viewer.wlx";
    inputs.PluginType = "WLX";
    inputs.Languages = {"French"};

    // /D= comes last and unquoted, blanks and all.
    const std::string installed = sources.Path() + "chosen folder\\viewer\\";
    const std::string key = EntryOf(inputs);
    InstallationCleanup cleanup(installed, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /D=" + WithoutTrailingBackslash(installed)), 0u);
    EXPECT_EQ(TreeOf(installed), TreeOf(inputs.Folder)); // no uninstaller among them
    EXPECT_FALSE(KeyExists(key));
    EXPECT_FALSE(FolderExistsAt(ProgramFilesFolder() + "Quillon\\plugins\\WLX"));
}

TEST(Installer, UninstallInASharedFolderKeepsWhatTheInstallerDidNotPutThere)
{
    ToolFolder tool;
    TempFolder sources;
    const auto inputs = WfxPlugin("Shared", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    // A folder the user chose that holds files of its own, one of them in a
    // subfolder the plugin uses too.
    sources.Write("shared\\other.txt", "mine");
    sources.Write("shared\\keep\\data.dat", "mine");
    sources.Write("shared\\language\\mine.lng", "mine");
    const std::string shared = sources.Path() + "shared";
    const std::vector<std::string> foreign = TreeOf(shared + "\\");
    const std::string key = EntryOf(inputs);
    InstallationCleanup cleanup(shared, key);

    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /D=" + shared), 0u);
    EXPECT_TRUE(FileExistsAt(shared + "\\language\\more\\fr.lng") && FileExistsAt(shared + "\\uninstall.exe"));
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_EQ(TreeOf(shared + "\\"), foreign);
}

TEST(Installer, UpgradeReplacesTheEarlierInstallOnlyWhenItCanReplaceAllOfIt)
{
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Upgraded", MakePluginFolder(sources, "version 1", {"fsplugin.wfx"}));
    // Real libraries: the plugin, and one only the first version has.
    CopyFileTo(TestPlugin("testfs.wfx"), inputs.Folder + "fsplugin.wfx");
    CopyFileTo(TestPlugin("testfs.wfx"), inputs.Folder + "language\\helper.dll");
    // The first version goes into folders it creates.
    const std::string outer = sources.Path() + "created", installed = outer + "\\by setup";
    const std::string key = EntryOf(inputs);
    InstallationCleanup cleanup(outer, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /D=" + installed), 0u);
    const std::vector<std::string> first = TreeOf(installed + "\\");

    // The second, with fewer files, finds that folder without /D=. While a
    // library of the first is loaded, neither the first's uninstaller nor the
    // second's setup changes anything, whether the second has that file too.
    inputs.Folder = sources.MakeFolder("version 2");
    sources.Write("version 2\\fsplugin.wfx", "MZ version 2");
    for (const char* loaded : {"fsplugin.wfx", "language\\helper.dll"}) {
        SCOPED_TRACE(loaded);
        const LoadedLibrary inUse(installed + "\\" + loaded);
        const ProgramRun uninstall = RunProgram("\"" + installed + "\\uninstall.exe\" /S _?=" + installed, outer);
        EXPECT_NE(uninstall.ExitCode, 0u);
        EXPECT_NE(BuildAndInstall(tool, inputs), 0u);
        // The user is told which file, and what to do.
        const std::string told = InteractiveStop(tool.Path() + "fsplugin.wfx_setup.exe");
        EXPECT_NE(told.find(installed + "\\" + loaded + " is in use"), std::string::npos) << told;
        EXPECT_NE(told.find("Close the program that uses it"), std::string::npos) << told;
        EXPECT_EQ(TreeOf(installed + "\\"), first);
        EXPECT_EQ(RegistryText(key, "InstallLocation"), installed);
    }
    ASSERT_EQ(Install(tool.Path() + "fsplugin.wfx_setup.exe").ExitCode, 0u);
    EXPECT_EQ(TreeOf(installed + "\\"), With(TreeOf(inputs.Folder), "uninstall.exe"));

    // Nothing of either version stays, not even the folders the first created.
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(outer); }))
        << testing::PrintToString(TreeOf(outer + "\\"));

    // A file the setup would write that is in use stops it before it writes.
    const std::string busy = sources.MakeFolder("busy");
    CopyFileTo(TestPlugin("testfs.wfx"), busy + "fsplugin.wfx");
    const LoadedLibrary inUse(busy + "fsplugin.wfx");
    EXPECT_NE(Install(tool.Path() + "fsplugin.wfx_setup.exe", "/S /D=" + busy.substr(0, busy.size() - 1)).ExitCode, 0u);
    EXPECT_EQ(TreeOf(busy), std::vector<std::string>{"fsplugin.wfx"});
}

TEST(Installer, WhatDoesNotFitOnTheDriveChangesNothing)
{
    // A drive with room for the first version; the second's file of 1000 KB
    // (which packs into a few bytes) fits, but not once the uninstaller, which
    // is written first, is there too.
    SmallDrive drive(1024);
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Roomy", MakePluginFolder(sources, "version 1", {"fsplugin.wfx"}));
    const std::string installed = drive.Path() + "plugin", key = EntryOf(inputs);
    InstallationCleanup cleanup(installed, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /D=" + installed), 0u);
    const std::vector<std::string> first = TreeOf(installed + "\\");

    // The update fails once the new files are being written: the first
    // version stays installed and registered, and its uninstaller works.
    inputs.Folder = sources.MakeFolder("version 2");
    sources.Write("version 2\\fsplugin.wfx", "MZ version 2");
    sources.Write("version 2\\big.dat", std::string(1000 << 10, '\0'));
    EXPECT_EQ(BuildAndInstall(tool, inputs), 2u);
    EXPECT_EQ(TreeOf(installed + "\\"), first);
    EXPECT_EQ(ReadWholeFile(installed + "\\fsplugin.wfx"), ReadWholeFile(sources.Path() + "version 1\\fsplugin.wfx"));
    EXPECT_EQ(RegistryText(key, "InstallLocation"), installed);
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_EQ(TreeOf(drive.Path()), std::vector<std::string>());

    // A first install that fails removes what it wrote, and says so.
    const std::string told = InteractiveStop(tool.Path() + "fsplugin.wfx_setup.exe", "/D=" + installed, 2);
    EXPECT_NE(told.find("Not every file could be written to " + installed), std::string::npos) << told;
    EXPECT_NE(told.find("Setup: Installation aborted"), std::string::npos) << told;
    EXPECT_EQ(TreeOf(drive.Path()), std::vector<std::string>());
    EXPECT_FALSE(KeyExists(key));
}

TEST(Installer, UninstallerSpeaksTheLanguageTheSetupRanIn)
{
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Polyglot", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    inputs.Languages = {"English", "French"};
    const std::string installed = sources.Path() + "installed";
    InstallationCleanup cleanup(installed, EntryOf(inputs));
    ASSERT_EQ(CompileSetupScript(tool, inputs).ExitCode, 0u);
    {
        // French from the language question, then Install and Close.
        const StartedProgram setup("\"" + tool.Path() + "fsplugin.wfx_setup.exe\" /AllUsers /D=" + installed);
        const HWND question = NextDialog(nullptr, 30000, setup.Id());
        ASSERT_NE(question, nullptr);
        const HWND languages = FindChild(question, "ComboBox");
        ASSERT_NE(languages, nullptr);
        EXPECT_TRUE(SaveWindowPicture(question, "installer-language.bmp"));
        for (LRESULT item = 0; item < AskWide(languages, CB_GETCOUNT); ++item) {
            wchar_t text[64] = {};
            if (AskWide(languages, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text)) > 0 &&
                std::wstring(text) == L"French")
                AskWide(languages, CB_SETCURSEL, item);
        }
        PressDialogButton(question, IDOK);
        for (const char* page : {"Dossier d'installation", "Termin"}) {
            const HWND window = NextDialog(question, 30000, setup.Id());
            ASSERT_TRUE(Eventually([&] { return WindowTextOf(window).find(page) != std::string::npos; }, 30000))
                << WindowTextOf(window);
            PressDialogButton(window, IDOK);
        }
    }
    const StartedProgram uninstaller("\"" + installed + "\\uninstall.exe\" _?=" + installed);
    const HWND page = NextDialog(nullptr, 30000, uninstaller.Id());
    ASSERT_NE(page, nullptr);
    EXPECT_NE(WindowTextOf(page).find("sinstallation de Polyglot"), std::string::npos) << WindowTextOf(page);
    EXPECT_TRUE(SaveWindowPicture(page, "uninstaller-page-french.bmp"));
    PressDialogButton(page, IDCANCEL);
}

TEST(Installer, PluginsThatLookAlikeKeepEntriesAndFoldersOfTheirOwnAndLeaveNothingBehind)
{
    // One name with two main files, and names that look alike once the main
    // file is added in brackets: no setup touches another's install.
    ToolFolder tool;
    TempFolder sources;
    const std::vector<TSetupScriptInputs> plugins = {
        WfxPlugin("Vault", MakePluginFolder(sources, "vault", {"vault.wfx"}), "vault.wfx"),
        WfxPlugin("Vault", MakePluginFolder(sources, "crash", {"crash.wfx"}), "crash.wfx"),
        WfxPlugin("Net (ftp)", MakePluginFolder(sources, "net ftp", {"Net (ftp).wfx"}), "Net (ftp).wfx"),
        WfxPlugin("Net", MakePluginFolder(sources, "net", {"ftp.wfx"}), "ftp.wfx"),
    };
    const std::string quillon = ProgramFilesFolder() + "Quillon";
    const bool quillonExisted = FolderExistsAt(quillon);
    std::vector<std::unique_ptr<InstallationCleanup>> cleanups;
    std::set<std::string> folders;
    for (const TSetupScriptInputs& plugin : plugins) {
        const std::string folder = quillon + "\\plugins\\WFX\\" + PluginFolderNameOf(plugin) + "\\";
        cleanups.push_back(std::make_unique<InstallationCleanup>(folder, EntryOf(plugin)));
        EXPECT_TRUE(folders.insert(folder).second) << folder;
        ASSERT_EQ(BuildAndInstall(tool, plugin), 0u) << folder;
    }
    for (const TSetupScriptInputs& plugin : plugins) {
        const std::string folder = quillon + "\\plugins\\WFX\\" + PluginFolderNameOf(plugin) + "\\";
        EXPECT_EQ(TreeOf(folder), With(TreeOf(plugin.Folder), "uninstall.exe")) << folder;
        EXPECT_EQ(RegistryText(EntryOf(plugin), "PluginMainFile"), plugin.MainFile);
        ASSERT_NO_FATAL_FAILURE(Uninstall(EntryOf(plugin)));
    }
    // The folders the setups created above the plugins' go with the last.
    EXPECT_TRUE(Eventually([&] { return FolderExistsAt(quillon) == quillonExisted; }));
}

namespace {

// Typed names that an installer script could take for its own syntax, with
// a main file that has a version resource or none.
struct HostileName {
    std::string name;
    std::string folderName; // the default folder's name, before it is shortened
    const char* plugin;
    std::string version, publisher;
};

class HostileValues : public testing::TestWithParam<HostileName> {};

} // namespace

TEST_P(HostileValues, ReachTheEntryTheFoldersAndTheSetupAsTheyStand)
{
    const HostileName& row = GetParam();
    // The plugin folder, main file, licence and a language file hold such
    // characters in their names too.
    ToolFolder tool;
    TempFolder sources;
    tool.Write("languages\\Fr$nch 'x' & y%.nlf", ReadWholeFile(tool.Path() + "languages\\French.nlf"));
    const std::string mainFile = "fs$$ {1} & x.wfx", folder = "cost$\\new ${X} $%TEMP% 'q' `b` \xE9";
    auto inputs = WfxPlugin(row.name, MakePluginFolder(sources, folder, {mainFile}), mainFile);
    CopyFileTo(TestPlugin(row.plugin), inputs.Folder + mainFile);
    sources.Write(folder + "\\$PLUGINSDIR $\\t;#01.txt", "x");
    inputs.Languages = {"English", "Fr$nch 'x' & y%"};
    inputs.LicensePath = sources.Write("lic$\\the licence ${X} $%TEMP%.txt", "Licence\r\n");
    inputs.LicenseExists = true;
    const std::string folderName = PluginFolderNameOf(inputs);
    EXPECT_EQ(folderName.rfind(ShortenedName(row.folderName, 64).substr(0, 55), 0), 0u) << folderName;
    const std::string installed = ProgramFilesFolder() + "Quillon\\plugins\\WFX\\" + folderName;
    const std::string key = UninstallKey("WFX", folderName);
    InstallationCleanup cleanup(installed, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs), 0u);

    const std::string setup = tool.Path() + mainFile + "_setup.exe";
    EXPECT_EQ(VersionStringOf(setup, "ProductName"), row.name);
    EXPECT_EQ(VersionStringOf(setup, "FileVersion"), row.version);
    EXPECT_EQ(VersionStringOf(setup, "CompanyName"), row.publisher);
    EXPECT_EQ(RegistryText(key, "DisplayName"), row.name);
    EXPECT_EQ(RegistryText(key, "DisplayVersion"), row.version);
    EXPECT_EQ(RegistryText(key, "Publisher"), row.publisher);
    EXPECT_EQ(RegistryText(key, "InstallLocation"), installed);
    // The plugin's files in KB, each rounded up as the compiler counts them;
    // the list of them the setup carries is not among them.
    DWORD kilobytes = 0;
    for (const std::string& entry : TreeOf(inputs.Folder))
        if (entry.back() != '\\')
            kilobytes += static_cast<DWORD>((ReadWholeFile(inputs.Folder + entry).size() + 1023) / 1024);
    EXPECT_EQ(RegistryNumber(key, "EstimatedSize"), kilobytes);
    EXPECT_EQ(RegistryNumber(key, "NoModify") + RegistryNumber(key, "NoRepair"), 2u);
    EXPECT_EQ(TreeOf(installed + "\\"), With(TreeOf(inputs.Folder), "uninstall.exe"));

    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(installed); }, 10000));
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostileValues,
    testing::Values(HostileName{"Cost $WINDIR 100% 'Pro' & \"Co\" `x` ${X} $%TEMP% $\\n #01 *main_file*",
                                "Cost $WINDIR 100% 'Pro' & _Co_ `x` ${X} $%TEMP% $_n #01 _main_file_ (fs$$ {1} & x)",
                                "versioned.wfx", "3.1.4.1", "Cost $WINDIR \"Plugins\" & Co. ${X}"},
                    HostileName{"..", ".. (fs$$ {1} & x)", "testfs.wfx", "", ""},
                    // What a plugin that leaves out its name's end gives: longer than a folder name.
                    HostileName{std::string(256, 'n'), std::string(256, 'n') + " (fs$$ {1} & x)", "testfs.wfx", "", ""},
                    HostileName{"Cost C:\\x\xE9 ", "Cost C__x\xE9  (fs$$ {1} & x)", "testfs.wfx", "", ""}));

TEST(Installer, TemplateAndLicenceReachTheRunningInstallerInEveryEncodingEditorsSave)
{
    // The template names the installer "Café ©"; the licence reads "Café © “quoted” ’".
    const std::string caption = "Caption \"Caf\xC3\xA9 \xC2\xA9\"\r\n";
    const std::string licence = "Caf\xC3\xA9 \xC2\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x80\x99";
    const std::wstring utf16 = L"\uFEFFCaf\u00E9 \u00A9 \u201Cquoted\u201D \u2019";
    const std::pair<std::string, std::string> rows[] = {
        {kUtf8Mark + caption, licence},
        {caption, kUtf8Mark + licence},
        {"Caption \"Caf\xE9 \xA9\"\r\n", std::string(reinterpret_cast<const char*>(utf16.data()), 2 * utf16.size())},
        {caption, "Caf\xE9 \xA9 \x93quoted\x94 \x92"},
        // UTF-16 as some editors save it, without a mark.
        {caption, std::string(reinterpret_cast<const char*>(utf16.data() + 1), 2 * utf16.size() - 2)},
    };
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Encoded", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    inputs.LicenseExists = true;
    for (const auto& [templateHead, licenceBytes] : rows) {
        SCOPED_TRACE(licenceBytes);
        tool.Write("plugin.nsi", templateHead + ReadWholeFile(DistFolder() + "plugin.nsi"));
        inputs.LicensePath = sources.Write("licence.txt", licenceBytes);
        const ProgramRun build = CompileSetupScript(tool, inputs);
        ASSERT_EQ(build.ExitCode, 0u) << build.Output;
        EXPECT_EQ(ReadWholeFile(inputs.LicensePath), licenceBytes); // the user's file stays as it is
        // The installer's first page, found by its caption, shows the licence; Cancel ends it.
        std::thread installer([&] { Install(tool.Path() + "fsplugin.wfx_setup.exe", "/AllUsers"); });
        std::string shown;
        EXPECT_TRUE(Eventually([&] {
            const HWND page = FindWindowA(nullptr, "Caf\xE9 \xA9: License Agreement");
            for (HWND child : page ? ChildrenOf(page) : std::vector<HWND>())
                if (ClassOf(child).rfind("RichEdit", 0) == 0 && !(shown = WindowTextOf(child)).empty()) {
                    SaveWindowPicture(page, "installer-licence-page.bmp");
                    PostMessageA(page, WM_COMMAND, IDCANCEL, 0);
                }
            return !shown.empty();
        }, 30000));
        installer.join();
        EXPECT_EQ(shown, "Caf\xE9 \xA9 \x93quoted\x94 \x92");
    }
}

TEST(Installer, TheCompilerNeverReadsThePluginFileForItsVersion)
{
    // A main file whose header points far beyond its 64 bytes made the
    // compiler crash when it read the version itself; now the tool hands it
    // over, and the compiler only packs the file.
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Broken", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    std::string broken(64, '\0');
    broken.replace(0, 2, "MZ");
    broken.replace(0x3C, 4, "\xF0\xFF\xFF\x7F");
    WriteWholeFile(inputs.Folder + "fsplugin.wfx", broken);
    const ProgramRun build = CompileSetupScript(tool, inputs);
    EXPECT_EQ(build.ExitCode, 0u) << build.Output;
}

class InstallModes : public testing::TestWithParam<bool /*for all users*/> {};

TEST_P(InstallModes, SilentInstallAndUpdateStayInTheChosenModesPlaces)
{
    const auto [mode, other] =
        GetParam() ? std::pair(ForAllUsers(), OnlyForMe()) : std::pair(OnlyForMe(), ForAllUsers());
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin(std::string("Mode ") + mode.name + std::to_string(GetCurrentProcessId()),
                            MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    const std::string key = EntryOf(inputs), installed = PluginFolderIn(mode, inputs);
    InstallationCleanup cleanup(installed, key, 0, mode.root),
        elsewhere(PluginFolderIn(other, inputs), key, 0, other.root);
    const bool quillonExisted = FolderExistsAt(mode.base + "Quillon");
    // Nothing stays behind for the next start of Windows or in the temporary folder.
    const std::string pending = PendingRenames();
    const std::vector<std::string> temporary = TreeOf(TemporaryFolder());
    ASSERT_EQ(BuildAndInstall(tool, inputs, std::string("/S /") + mode.name), 0u);

    // An update without a switch keeps the earlier install's mode (else a setup
    // with administrator rights, as every program has under Wine, would install for all users).
    sources.Write("plugin\\version 2.txt", "2");
    ASSERT_EQ(BuildAndInstall(tool, inputs), 0u);
    EXPECT_EQ(TreeOf(installed), With(TreeOf(inputs.Folder), "uninstall.exe"));
    EXPECT_EQ(RegistryText(key, "InstallLocation", 0, mode.root) + "\\", installed);
    EXPECT_FALSE(FolderExistsAt(PluginFolderIn(other, inputs)));
    EXPECT_FALSE(KeyExists(key, 0, other.root));

    ASSERT_NO_FATAL_FAILURE(Uninstall(key, 0, mode.root));
    EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(installed); })) << installed;
    EXPECT_TRUE(Eventually([&] { return FolderExistsAt(mode.base + "Quillon") == quillonExisted; }));
    EXPECT_EQ(PendingRenames(), pending);
    EXPECT_EQ(TreeOf(TemporaryFolder()), temporary);
    EXPECT_FALSE(KeyExists(ProgressKeyOf(inputs), 0, mode.root));
}

INSTANTIATE_TEST_SUITE_P(OnlyForMeOrForAllUsers, InstallModes, testing::Bool());

TEST(Installer, BothModesSideBySideEachUninstallerRemovingItsOwn)
{
    ToolFolder tool;
    TempFolder sources;
    const auto inputs = WfxPlugin("Twice", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    const std::string key = EntryOf(inputs), setup = tool.Path() + "fsplugin.wfx_setup.exe";
    const std::string forAll = PluginFolderIn(ForAllUsers(), inputs), forMe = PluginFolderIn(OnlyForMe(), inputs);
    const std::string outside = Expanded("%SystemDrive%\\Twice ") + std::to_string(GetCurrentProcessId());
    InstallationCleanup cleanup(forAll, key), mine(forMe, key, 0, HKEY_CURRENT_USER), stray(outside, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /AllUsers"), 0u);
    const std::vector<std::string> installed = TreeOf(forAll);

    // The first page names that install; "Only for me" installs another one,
    // proposing the user's own folder.
    {
        const StartedProgram run("\"" + setup + "\"");
        const HWND page = NextDialog(nullptr, 30000, run.Id());
        ASSERT_NE(page, nullptr);
        // The page's controls come a moment after its window.
        const std::string told = "Twice is installed for all users in " + WithoutTrailingBackslash(forAll);
        HWND onlyForMe = nullptr;
        ASSERT_TRUE(Eventually([&] {
            onlyForMe = FindChild(page, "Button", "Only for &me");
            return onlyForMe != nullptr && ReadDialog(page).Text.find(told) != std::string::npos;
        }, 30000)) << ReadDialog(page).Text;
        EXPECT_TRUE(SaveWindowPicture(page, "installer-mode-page.bmp"));
        Ask(onlyForMe, BM_CLICK);
        PressDialogButton(page, IDOK);
        std::string folder;
        EXPECT_TRUE(Eventually([&] {
            const HWND field = FindChild(page, "Edit");
            folder = field != nullptr ? WindowTextOf(field) : "";
            return !folder.empty();
        }, 30000));
        EXPECT_EQ(folder + "\\", forMe);
        EXPECT_TRUE(SaveWindowPicture(page, "installer-folder-page.bmp"));
        PressDialogButton(page, IDOK);
        ASSERT_TRUE(Eventually([&] { return WindowTextOf(page).find("Completed") != std::string::npos; }, 30000))
            << WindowTextOf(page);
        EXPECT_TRUE(SaveWindowPicture(page, "installer-completed-page.bmp"));
        PressDialogButton(page, IDOK);
    }
    EXPECT_EQ(TreeOf(forAll), installed);
    EXPECT_EQ(TreeOf(forMe), installed);
    EXPECT_EQ(RegistryText(key, "InstallLocation") + "\\", forAll);
    EXPECT_EQ(RegistryText(key, "InstallLocation", 0, HKEY_CURRENT_USER) + "\\", forMe);

    // Two entries never name one folder, and an install for the user stays
    // inside the user's profile: into the folder of the one for all users, or
    // outside the profile, it changes nothing.
    for (const std::string& folder : {WithoutTrailingBackslash(forAll), outside})
        EXPECT_EQ(Install(setup, "/S /CurrentUser /D=" + folder).ExitCode, 2u) << folder;
    EXPECT_FALSE(FolderExistsAt(outside));
    EXPECT_EQ(TreeOf(forAll), installed);
    EXPECT_EQ(RegistryText(key, "InstallLocation", 0, HKEY_CURRENT_USER) + "\\", forMe);

    ASSERT_NO_FATAL_FAILURE(Uninstall(key, 0, HKEY_CURRENT_USER));
    EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(forMe); })) << forMe;
    EXPECT_EQ(TreeOf(forAll), installed);
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(forAll); })) << forAll;
}

namespace {

// Whether the program carries the first image of the icon file (size and place after byte 14).
bool CarriesIcon(const std::string& program, const std::string& iconFile)
{
    const std::string icon = ReadWholeFile(iconFile);
    DWORD place[2] = {};
    memcpy(place, &icon[14], sizeof(place));
    return ReadWholeFile(program).find(icon.substr(place[1], place[0])) != std::string::npos;
}

} // namespace

TEST(Installer, EachVersionWritesItsBrandAndAnOlderOneAsksInTheChosenLanguage)
{
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Versions", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    inputs.Languages = {"English", "German"};
    const std::string key = EntryOf(inputs), installed = PluginFolderIn(ForAllUsers(), inputs);
    const std::string icon = TestPlugin("brand.ico"), mainFile = inputs.Folder + "fsplugin.wfx";
    const std::string url = "https://example.com/plugin?a=1&b=2";
    InstallationCleanup cleanup(installed, key);
    // 3.1.10.0 is the newer version number by number, the older one as text;
    // the older has the author's brand, the newer none.
    for (const char* version : {"versioned", "newerversion"}) {
        const bool branded = version == std::string("versioned");
        inputs.IconPath = branded ? icon : "";
        inputs.Publisher = branded ? "Example Software & Co." : "";
        inputs.Url = branded ? url : "";
        CopyFileTo(TestPlugin(std::string(version) + ".wfx"), mainFile);
        ASSERT_EQ(CompileSetupScript(tool, inputs).ExitCode, 0u);
        const std::string built = sources.Path() + version + ".exe";
        CopyFileTo(tool.Path() + "fsplugin.wfx_setup.exe", built);
        EXPECT_EQ(CarriesIcon(built, icon), branded);
        EXPECT_EQ(VersionStringOf(built, "CompanyName"), branded ? inputs.Publisher : VersionStringOf(mainFile, "CompanyName"));
    }
    const std::string older = sources.Path() + "versioned.exe", newer = sources.Path() + "newerversion.exe";
    const std::tuple<std::string, const char*, DWORD, std::string> runs[] = {
        {older, "/S /AllUsers", 0, older}, {newer, "/S", 0, newer}, {newer, "/S", 0, newer},
        {older, "/S", 2, newer}, {older, "/S /AllowDowngrade", 0, older}, {newer, "/S", 0, newer}};
    for (const auto& [setup, arguments, exitCode, entryOf] : runs) {
        SCOPED_TRACE(setup + " " + arguments);
        EXPECT_EQ(Install(setup, arguments).ExitCode, exitCode);
        const bool branded = entryOf == older;
        EXPECT_EQ(RegistryText(key, "DisplayVersion"), branded ? "3.1.4.1" : "3.1.10.0");
        EXPECT_EQ(RegistryText(key, "DisplayIcon"), installed + (branded ? "uninstall.exe,0" : "fsplugin.wfx,0"));
        EXPECT_EQ(RegistryText(key, "Publisher"), VersionStringOf(entryOf, "CompanyName"));
        EXPECT_EQ(RegistryText(key, "URLInfoAbout") + RegistryText(key, "HelpLink"), branded ? url + url : "");
        EXPECT_EQ(CarriesIcon(installed + "uninstall.exe", icon), branded);
    }

    // Asked in German, "No" keeps the first page and changes nothing.
    const StartedProgram german("\"" + older + "\" /Language=1031");
    const HWND page = NextDialog(nullptr, 30000, german.Id());
    ASSERT_TRUE(page && Eventually([&] { return FindChild(page, "Button", "Nur f\xFCr &mich") != nullptr; }, 30000));
    EXPECT_TRUE(SaveWindowPicture(page, "installer-mode-page-german.bmp"));
    PressDialogButton(page, IDOK);
    const HWND question = NextDialog(page, 30000, german.Id());
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(ReadDialog(question).Text,
              "Eine neuere Version 3.1.10.0 von Versions ist installiert. Die \xE4ltere Version 3.1.4.1 installieren?");
    EXPECT_TRUE(SaveWindowPicture(question, "installer-downgrade-german.bmp"));
    PressDialogButton(question, IDNO);
    EXPECT_TRUE(Gone(question) && IsWindowVisible(page));
    EXPECT_EQ(RegistryText(key, "DisplayVersion"), "3.1.10.0");
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
}

namespace {

// A plugin of many data files (`variant` fills them), so that each step of an
// update over another variant lasts long enough to be caught.
std::string ManyFilesPlugin(const TempFolder& sources, const std::string& name, char variant)
{
    const std::string folder = sources.MakeFolder(name);
    CopyFileTo(TestPlugin("testfs.wfx"), folder + "fsplugin.wfx");
    for (int i = 0; i < 200; ++i)
        sources.Write(name + "\\data\\f" + std::to_string(1000 + i) + ".dat", std::string(100000 + 2000 * (variant - '0'), variant));
    sources.Write(name + "\\settings.ini", std::string("v=") + variant + "\r\n");
    return folder;
}

// Starts `commandLine` and ends it by force, as a crash or a power loss would,
// once `moment` holds; whether that came before the program ended.
bool StopWhen(const std::string& commandLine, const std::function<bool()>& moment)
{
    const StartedProgram run(commandLine);
    const bool reached = Eventually([&] { return run.WaitFor(0) || moment(); }, 60000) && !run.WaitFor(0);
    run.End();
    return reached;
}

struct Interruption {
    const char* moment;
    bool thenUninstall; // else the setup runs again
};

class Interrupted : public testing::TestWithParam<Interruption> {};

} // namespace

TEST_P(Interrupted, UpdateStoppedAtAnyStepEndsWholeAfterTheNextSetupOrTheUninstaller)
{
    const Interruption& row = GetParam();
    ToolFolder tool;
    TempFolder sources;
    auto first = WfxPlugin("Stopped", ManyFilesPlugin(sources, "v1", '1')), second = first;
    second.Folder = ManyFilesPlugin(sources, "v2", '2');
    const std::string installed = sources.Path() + "installed", key = EntryOf(first);
    const std::string earlier = installed + "\\~setup1\\earlier\\data\\";
    InstallationCleanup cleanup(installed, key);
    ASSERT_EQ(CompileSetupScript(tool, second).ExitCode, 0u);
    CopyFileTo(tool.Path() + "fsplugin.wfx_setup.exe", sources.Path() + "second_setup.exe");
    ASSERT_EQ(BuildAndInstall(tool, first, "/S /D=" + installed), 0u);
    const DWORD firstSize = RegistryNumber(key, "EstimatedSize");

    const std::map<std::string, std::function<bool()>> moments = {
        {"setting aside", [&] { return FolderExistsAt(earlier); }},
        {"extracting", [&] { return FolderExistsAt(earlier) && FileExistsAt(installed + "\\data\\f1100.dat"); }},
        {"swapping", [&] { return FolderExistsAt(earlier) && !FileExistsAt(earlier + "f1100.dat"); }},
        {"registering", [&] { return RegistryNumber(key, "EstimatedSize") != firstSize; }},
    };
    ASSERT_TRUE(StopWhen("\"" + sources.Path() + "second_setup.exe\" /S", moments.at(row.moment)));
    EXPECT_TRUE(KeyExists(ProgressKeyOf(first))) << "nothing was left to finish";

    if (row.thenUninstall) {
        ASSERT_NO_FATAL_FAILURE(Uninstall(key));
        EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(installed); })) << testing::PrintToString(TreeOf(installed + "\\"));
    } else {
        EXPECT_EQ(Install(sources.Path() + "second_setup.exe").ExitCode, 0u);
        EXPECT_EQ(TreeOf(installed + "\\"), With(TreeOf(second.Folder), "uninstall.exe"));
        EXPECT_EQ(ReadWholeFile(installed + "\\settings.ini"), "v=2\r\n");
        EXPECT_NE(RegistryNumber(key, "EstimatedSize"), firstSize);
    }
    EXPECT_FALSE(KeyExists(ProgressKeyOf(first)));
}

INSTANTIATE_TEST_SUITE_P(Moments, Interrupted,
                         testing::Values(Interruption{"setting aside", false}, Interruption{"setting aside", true},
                                         Interruption{"extracting", false}, Interruption{"extracting", true},
                                         Interruption{"swapping", false}, Interruption{"swapping", true},
                                         Interruption{"registering", false}, Interruption{"registering", true}));

namespace {


struct UninstallRun {
    const char* command; // the entry's value that runs it
    bool inUse;
};

class RegisteredUninstall : public testing::TestWithParam<UninstallRun> {};

} // namespace

TEST_P(RegisteredUninstall, ReturnsWhenTheWorkIsDoneWithItsExitCodeAndLeavesNoCopy)
{
    const UninstallRun& row = GetParam();
    ToolFolder tool;
    TempFolder sources;
    const auto inputs = WfxPlugin("Waited", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    const std::string installed = sources.Path() + "installed\\", key = EntryOf(inputs);
    InstallationCleanup cleanup(installed, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /D=" + WithoutTrailingBackslash(installed)), 0u);
    const std::vector<std::string> tree = TreeOf(installed), temporary = TreeOf(TemporaryFolder());
    std::unique_ptr<LoadedLibrary> inUse(row.inUse ? new LoadedLibrary(installed + "fsplugin.wfx") : nullptr);

    const StartedProgram uninstall(RegistryText(key, row.command), sources.Path());
    if (std::string(row.command) == "UninstallString") {
        // Uninstall, then Close.
        for (const char* page : {"Uninstall", "Completed"}) {
            const HWND window = NextDialog(nullptr, 30000, uninstall.Id());
            ASSERT_TRUE(Eventually([&] { return WindowTextOf(window).find(page) != std::string::npos; }, 30000))
                << WindowTextOf(window);
            PressDialogButton(window, IDOK);
        }
    }
    ASSERT_TRUE(uninstall.WaitFor(60000));
    const std::vector<std::string> left = TreeOf(installed);
    if (row.inUse) {
        EXPECT_EQ(uninstall.ExitCode(), 2u);
        EXPECT_EQ(left, tree);
        EXPECT_TRUE(KeyExists(key));
    } else {
        // At its end only its own file is left, which a running program cannot delete.
        EXPECT_EQ(uninstall.ExitCode(), 0u);
        EXPECT_FALSE(KeyExists(key));
        EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"uninstall.exe"}) << testing::PrintToString(left);
        EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(installed); }));
    }
    EXPECT_TRUE(Eventually([&] { return TreeOf(TemporaryFolder()) == temporary; }))
        << testing::PrintToString(TreeOf(TemporaryFolder()));
}

INSTANTIATE_TEST_SUITE_P(FreeOrInUse, RegisteredUninstall,
                         testing::Values(UninstallRun{"QuietUninstallString", false},
                                         UninstallRun{"QuietUninstallString", true},
                                         UninstallRun{"UninstallString", false}));

TEST(Installer, AFolderHoldingAnotherPluginsInstallationIsRefusedAndThatOneStaysWhole)
{
    ToolFolder tool;
    TempFolder sources;
    const auto a = WfxPlugin("Alpha", MakePluginFolder(sources, "a", {"alpha.wfx"}), "alpha.wfx");
    auto b = WfxPlugin("Beta", MakePluginFolder(sources, "b", {"beta.wfx"}), "beta.wfx");
    const std::string shared = sources.Path() + "shared";
    InstallationCleanup cleanupA(shared, EntryOf(a)), cleanupB(shared, EntryOf(b));
    ASSERT_EQ(BuildAndInstall(tool, a, "/S /D=" + shared), 0u);
    const std::vector<std::string> alpha = TreeOf(shared + "\\");
    ASSERT_EQ(CompileSetupScript(tool, b).ExitCode, 0u);
    const std::string setup = tool.Path() + "beta.wfx_setup.exe";
    // Named by the other's entry, or by its uninstaller alone.
    for (const bool registered : {true, false}) {
        if (!registered)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, EntryOf(a).c_str());
        EXPECT_EQ(Install(setup, "/S /D=" + shared).ExitCode, 2u);
        const std::string told = FolderRefusal(setup, "/D=" + shared);
        EXPECT_NE(told.find(registered ? "Another plugin, Alpha (alpha.wfx), is installed in " + shared
                                       : "The uninstaller of another installation (Alpha) is in " + shared),
                  std::string::npos)
            << told;
        EXPECT_EQ(TreeOf(shared + "\\"), alpha);
        EXPECT_FALSE(KeyExists(EntryOf(b)));
    }
}

TEST(Installer, ASetupWithoutUninstallerDoesNotReplaceAnInstallationThatHasOne)
{
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Removable", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    const std::string installed = sources.Path() + "installed", key = EntryOf(inputs);
    InstallationCleanup cleanup(installed, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /D=" + installed), 0u);
    const std::vector<std::string> tree = TreeOf(installed + "\\");
    inputs.Uninstaller = false;
    EXPECT_EQ(BuildAndInstall(tool, inputs), 2u);
    const std::string told = FolderRefusal(tool.Path() + "fsplugin.wfx_setup.exe");
    EXPECT_NE(told.find("could no longer be removed"), std::string::npos) << told;
    EXPECT_EQ(TreeOf(installed + "\\"), tree);
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
}

TEST(Installer, AGivenFolderThatNamesNoUsableFolderIsRefusedWithTheReason)
{
    ToolFolder tool;
    TempFolder sources;
    const auto inputs = WfxPlugin("Given", MakePluginFolder(sources, "plugin", {"fsplugin.wfx"}));
    const std::string file = sources.Write("a file", "x");
    InstallationCleanup cleanup(PluginFolderIn(ForAllUsers(), inputs), EntryOf(inputs));
    ASSERT_EQ(CompileSetupScript(tool, inputs).ExitCode, 0u);
    const std::string setup = tool.Path() + "fsplugin.wfx_setup.exe";
    const std::pair<std::string, const char*> rows[] = {
        {"relative\\dir", "does not name a folder by its full path"},
        {"Q:\\nodrive\\x", "names a drive or network folder that does not exist"},
        {sources.Path().substr(0, 3), "names the root of a drive"},
        {file, "names a file, not a folder"},
        {sources.Path() + "a<b", "holds a character that a folder name cannot hold"},
    };
    for (const auto& [folder, reason] : rows) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(Install(setup, "/S /D=" + folder).ExitCode, 2u);
        const StartedProgram run("\"" + setup + "\" /D=" + folder);
        const HWND box = NextDialog(nullptr, 30000, run.Id());
        ASSERT_NE(box, nullptr);
        EXPECT_NE(WithoutLineBreaks(ReadDialog(box).Text).find("/D=" + folder + " " + reason), std::string::npos)
            << ReadDialog(box).Text;
        PressDialogButton(box, IDOK);
        EXPECT_TRUE(run.WaitFor(30000));
        EXPECT_EQ(run.ExitCode(), 2u);
    }
    EXPECT_FALSE(FolderExistsAt(sources.Path() + "ab"));
    EXPECT_FALSE(FolderExistsAt(PluginFolderIn(ForAllUsers(), inputs)));
    EXPECT_FALSE(KeyExists(EntryOf(inputs)));
}

TEST(Installer, FilesTheUserChangedAreKeptByTheUpdateAndTheUninstaller)
{
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Kept", MakePluginFolder(sources, "v1", {"fsplugin.wfx"}));
    sources.Write("v1\\settings.ini", "shipped 1\r\n");
    const std::string installed = sources.Path() + "installed\\", key = EntryOf(inputs);
    InstallationCleanup cleanup(installed, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /D=" + WithoutTrailingBackslash(installed)), 0u);
    // The user edits the settings and a language file the next version drops,
    // and patches the plugin: a program always takes the new version.
    WriteWholeFile(installed + "settings.ini", "mine\r\n");
    WriteWholeFile(installed + "language\\more\\fr.lng", "[mine]\r\n");
    WriteWholeFile(installed + "fsplugin.wfx", "MZ patched");
    inputs.Folder = MakePluginFolder(sources, "v2", {"fsplugin.wfx"});
    DeleteTree(inputs.Folder + "language\\more");
    DeleteFileA((inputs.Folder + "readme.txt").c_str());
    sources.Write("v2\\settings.ini", "shipped 2\r\n");
    ASSERT_EQ(BuildAndInstall(tool, inputs), 0u);
    EXPECT_EQ(ReadWholeFile(installed + "settings.ini"), "mine\r\n");
    EXPECT_EQ(ReadWholeFile(installed + "settings.ini.new"), "shipped 2\r\n");
    EXPECT_EQ(ReadWholeFile(installed + "language\\more\\fr.lng"), "[mine]\r\n");
    EXPECT_EQ(ReadWholeFile(installed + "fsplugin.wfx"), ReadWholeFile(inputs.Folder + "fsplugin.wfx"));
    EXPECT_FALSE(FileExistsAt(installed + "readme.txt"));

    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_EQ(TreeOf(installed), (std::vector<std::string>{"language\\", "language\\more\\", "language\\more\\fr.lng",
                                                           "settings.ini"}));
}

TEST(Installer, ANameThatChangesKindUpdatesLikeAnyOther)
{
    ToolFolder tool;
    TempFolder sources;
    auto inputs = WfxPlugin("Kinds", MakePluginFolder(sources, "file", {"fsplugin.wfx"}));
    sources.Write("file\\docs", "a file");
    MakePluginFolder(sources, "folder", {"fsplugin.wfx"});
    sources.Write("folder\\docs\\index.txt", "a folder");
    const std::string installed = sources.Path() + "installed\\", key = EntryOf(inputs);
    InstallationCleanup cleanup(installed, key);
    ASSERT_EQ(BuildAndInstall(tool, inputs, "/S /D=" + WithoutTrailingBackslash(installed)), 0u);
    for (const char* next : {"folder\\", "file\\"}) {
        SCOPED_TRACE(next);
        inputs.Folder = sources.Path() + next;
        EXPECT_EQ(BuildAndInstall(tool, inputs), 0u);
        EXPECT_EQ(TreeOf(installed), With(TreeOf(inputs.Folder), "uninstall.exe"));
    }
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_FALSE(FolderExistsAt(installed));
}
