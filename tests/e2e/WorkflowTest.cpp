// The whole workflow in the built tool, as a user works: the tool runs as its
// own process, started from the dist folder, and is driven from outside; the
// real NSIS compiler builds the installer, which is then installed and
// uninstalled under Wine.
#include "ToolDriver.h"

#include "base/Paths.h"
#include "base/TextCodes.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Folders.h"
#include "tests/support/Polling.h"
#include "tests/support/Programs.h"

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

namespace {

const std::string kMainFile = "testfs.wfx";
const std::string kInstaller = "testfs.wfx_setup.exe";
// Cyrillic, CJK and a character beyond the Basic Multilingual Plane.
const std::string kScripts = "Жд 日本 😀";

bool ContainsNoCase(std::string text, std::string part)
{
    CharLowerA(text.data());
    CharLowerA(part.data());
    return text.find(part) != std::string::npos;
}

bool SameFolder(const std::string& a, const std::string& b)
{
    return lstrcmpiA(WithoutTrailingBackslash(a).c_str(), WithoutTrailingBackslash(b).c_str()) == 0;
}

bool IsInstaller(const std::string& path)
{
    const std::string content = ReadWholeFile(path);
    return content.size() > 10000 && content.compare(0, 2, "MZ") == 0;
}

} // namespace

class Workflow : public testing::Test {
protected:
    void SetUp() override
    {
        // A plugin folder as an author has it, with the real plugin library,
        // in a folder and with a file and a subfolder named in any script.
        plugin_ = MakePluginFolder(work_, kScripts + "\\my plugin", {});
        CopyFileTo(TestPlugin(kMainFile), plugin_ + kMainFile);
        WriteWholeFile(plugin_ + "readme " + kScripts + ".txt", "x");
        work_.Write(plugin_.substr(work_.Path().size()) + kScripts + "\\" + kScripts + ".dat", "y");
        // Left by an interrupted earlier run.
        DeleteFileA((dist_ + kInstaller).c_str());
    }
    void TearDown() override { DeleteFileA((dist_ + kInstaller).c_str()); }

    // Starts the tool of `toolFolder`, enters the plugin folder and checks
    // `languages`.
    void Start(const std::string& toolFolder, const std::vector<std::string>& languages)
    {
        ASSERT_NO_FATAL_FAILURE(StartTool(toolFolder));
        ASSERT_NO_FATAL_FAILURE(EnterPluginFolder());
        ASSERT_NO_FATAL_FAILURE(CheckLanguages(languages));
    }

    // Starts the tool of `toolFolder` and waits for its main window.
    void StartTool(const std::string& toolFolder)
    {
        tool_ = std::make_unique<ToolProcess>(toolFolder);
        window_ = tool_->WaitForMainWindow();
        ASSERT_NE(window_, nullptr) << "no main window\n" << tool_->Describe();
        main_ = tool_->Controls();
        ASSERT_TRUE(main_.Folder && main_.Name && main_.MainFile && main_.Type && main_.Languages && main_.Uninstall &&
                    main_.Create && main_.Exit)
            << "controls missing\n"
            << tool_->Describe();
    }

    // Enters the plugin folder in the folder field and sees what the tool
    // derived from it.
    void EnterPluginFolder()
    {
        SetControlText(main_.Folder, plugin_);
        // The plugin calls its file system "Test FS"; the name leaves out the blank.
        const bool filled = Eventually([&] { return WindowTextOf(main_.Name) == "TestFS"; });
        ASSERT_TRUE(filled) << "the plugin name was not filled in\n" << tool_->Describe();
        EXPECT_EQ(WindowTextOf(main_.Folder), plugin_);
        EXPECT_EQ(ComboSelection(main_.MainFile), kMainFile);
        EXPECT_EQ(ComboSelection(main_.Type), "WFX");
        // Every entry of the folder is offered as main file, as the file system
        // lists it: subfolders and the dot entries too.
        std::vector<std::string> offered = ItemsOf(main_.MainFile);
        std::vector<std::string> expected = {".",        "..",     "empty folder", "language", "readme.txt",
                                             kMainFile, kScripts, "readme " + kScripts + ".txt"};
        std::sort(offered.begin(), offered.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(offered, expected);
    }

    void CheckLanguages(const std::vector<std::string>& languages)
    {
        const std::vector<std::string> items = ItemsOf(main_.Languages);
        for (const std::string& language : languages) {
            const auto found = std::find(items.begin(), items.end(), language);
            ASSERT_NE(found, items.end()) << language << " is not listed among " << items.size() << " languages";
            const int index = static_cast<int>(found - items.begin());
            ASSERT_TRUE(ClickCheckListBox(main_.Languages, index)) << "no check box for " << language;
            ASSERT_TRUE(Eventually([&] { return CheckListChecked(main_.Languages, index); }, 3000))
                << language << " did not get checked";
        }
        int checked = 0;
        for (int i = 0; i < static_cast<int>(items.size()); ++i)
            checked += CheckListChecked(main_.Languages, i) ? 1 : 0;
        EXPECT_EQ(checked, static_cast<int>(languages.size()));
    }

    void CheckUninstaller()
    {
        ClickButton(main_.Uninstall);
        ASSERT_TRUE(Eventually([&] { return ButtonChecked(main_.Uninstall); }, 3000))
            << "\"Create uninstaller\" did not get checked";
    }

    // Presses "Create setup" and waits for what the tool shows when the
    // build ends: the destination chooser or a message.
    HWND CreateSetup()
    {
        ClickButton(main_.Create);
        return tool_->WaitForDialog(kBuildTimeoutMs);
    }

    // The destination chooser the tool offered, checked for its title.
    void ExpectChooser(HWND dialog)
    {
        ASSERT_NE(dialog, nullptr) << "no destination chooser\n" << tool_->Describe();
        ASSERT_EQ(ChooserTitle(dialog), kDestinationQuestion) << tool_->Describe();
    }

    // Selects `folder` in the chooser, saves its picture when asked to, and
    // confirms it.
    void PlaceInstallerIn(HWND chooser, const std::string& folder, const std::string& picture = std::string())
    {
        LetChooserSettle();
        ASSERT_TRUE(SelectChooserFolder(chooser, WithoutTrailingBackslash(folder)))
            << "the chooser did not select " << folder << "\n"
            << tool_->Describe();
        if (!picture.empty()) {
            EXPECT_TRUE(SaveWindowPicture(chooser, picture));
        }
        PressDialogButton(chooser, IDOK);
        ASSERT_TRUE(Gone(chooser)) << tool_->Describe();
    }

    // The next message box the tool shows, and its text.
    HWND WaitForMessage(std::string& text)
    {
        HWND box = tool_->WaitForDialog(10000);
        if (box != nullptr)
            text = ReadDialog(box).Text;
        return box;
    }

    // Builds, places the installer in `destination`, which holds a file of
    // its name, and answers the question whether to replace it with `button`.
    void AnswerReplaceQuestion(const std::string& destination, int button, std::string& question)
    {
        HWND chooser = CreateSetup();
        ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
        ASSERT_NO_FATAL_FAILURE(PlaceInstallerIn(chooser, destination));
        HWND ask = WaitForMessage(question);
        ASSERT_NE(ask, nullptr) << "no question about the occupied destination\n" << tool_->Describe();
        ASSERT_TRUE(GetDlgItem(ask, IDYES) && GetDlgItem(ask, IDNO)) << "not a Yes/No question: " << question;
        PressDialogButton(ask, button);
        ASSERT_TRUE(Gone(ask)) << tool_->Describe();
    }

    // Closes the tool with its Exit button; it must end cleanly.
    void Exit()
    {
        ASSERT_EQ(FindDialog(nullptr, tool_->Id()), nullptr) << "a dialog is still open\n" << tool_->Describe();
        ClickButton(main_.Exit);
        DWORD exitCode = 0;
        ASSERT_TRUE(tool_->WaitForExit(10000, exitCode)) << "Exit did not end the tool\n" << tool_->Describe();
        EXPECT_EQ(exitCode, 0u);
    }

    const std::string dist_ = DistFolder();
    TempFolder work_;
    std::string plugin_;
    std::unique_ptr<ToolProcess> tool_;
    HWND window_ = nullptr;
    MainControls main_;
};

TEST_F(Workflow, FromPluginFolderToInstalledAndUninstalledPlugin)
{
    // A path of more bytes in UTF-8 than the shell's ANSI calls hold.
    const std::string destination = work_.MakeFolder("setups " + FromWide(std::wstring(75, L'\u65E5'), CP_UTF8));
    ASSERT_NO_FATAL_FAILURE(Start(dist_, {"English", "German"}));
    ASSERT_NO_FATAL_FAILURE(CheckUninstaller());
    const std::string name = "Plugin " + kScripts;
    SetControlText(main_.Name, name);
    EXPECT_TRUE(SaveWindowPicture(window_, "e2e_main_window.bmp"));

    HWND chooser = CreateSetup();
    ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
    // It opens beside the plugin folder.
    const std::string besidePlugin = FolderOfPath(WithoutTrailingBackslash(plugin_));
    EXPECT_TRUE(Eventually([&] { return SameFolder(ChooserStatusLine(chooser), besidePlugin); }, 3000))
        << "the chooser opened on " << ChooserStatusLine(chooser);
    EXPECT_TRUE(IsInstaller(dist_ + kInstaller));
    ASSERT_NO_FATAL_FAILURE(PlaceInstallerIn(chooser, destination, "e2e_destination_chooser.bmp"));

    const bool placed =
        Eventually([&] { return FileExistsAt(destination + kInstaller) && !FileExistsAt(dist_ + kInstaller); });
    ASSERT_TRUE(placed) << "installer in the destination: " << FileExistsAt(destination + kInstaller)
                        << ", in the tool folder: " << FileExistsAt(dist_ + kInstaller) << "\n"
                        << tool_->Describe();
    ASSERT_NO_FATAL_FAILURE(Exit());

    // The console program, asked for the same, builds the same bytes.
    const std::string again = work_.MakeFolder("again");
    const ProgramRun console =
        RunProgram("\"" + dist_ + "SetupCreatorCli.exe\" \"" + WithoutTrailingBackslash(plugin_) + "\" --name \"" + name +
                       "\" --language English --language German --uninstaller --output \"" +
                       WithoutTrailingBackslash(again) + "\"",
                   work_.Path());
    EXPECT_EQ(console.ExitCode, 0u) << console.Output;
    EXPECT_TRUE(ReadWholeFile(again + kInstaller) == ReadWholeFile(destination + kInstaller))
        << "the window's and the console program's setups differ";

    // The placed installer installs silently, asking for nothing, not even
    // one of its two languages.
    const std::string installed = work_.Path() + "installed " + kScripts + "\\";
    const std::string key = UninstallKey("WFX", name + " (testfs)");
    InstallationCleanup cleanup(installed, key);
    const ProgramRun install =
        RunProgram("\"" + destination + kInstaller + "\" /S /D=" + WithoutTrailingBackslash(installed), destination);
    ASSERT_TRUE(install.Ended) << "the silent installer waited for an answer";
    EXPECT_EQ(install.ExitCode, 0u);
    std::vector<std::string> expected = TreeOf(plugin_);
    expected.push_back("uninstall.exe");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(TreeOf(installed), expected);
    EXPECT_EQ(ReadWholeFile(installed + kMainFile), ReadWholeFile(plugin_ + kMainFile));

    // The uninstaller as the system's list of programs runs it.
    EXPECT_EQ(RegistryText(key, "DisplayName"), name);
    const std::string inPlace = " _?=" + WithoutTrailingBackslash(installed);
    ASSERT_EQ(RegistryText(key, "QuietUninstallString"), "\"" + installed + "uninstall.exe\" /S" + inPlace);
    ASSERT_NO_FATAL_FAILURE(Uninstall(key));
    EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(installed); })) << "still installed: " << installed;
}

TEST_F(Workflow, CancelDeletesTheInstallerAndAnOccupiedDestinationIsAskedAbout)
{
    // A destination that holds a file of the installer's name, made before
    // any chooser lists its parent: Wine's chooser would not find a folder
    // that changed after it listed it.
    const std::string destination = work_.MakeFolder("occupied");
    const std::string target = work_.Write("occupied\\" + kInstaller, "a file the user keeps");
    ASSERT_NO_FATAL_FAILURE(Start(dist_, {"French"}));

    // Cancel: the fresh installer is deleted, not left behind anywhere.
    HWND chooser = CreateSetup();
    ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
    ASSERT_TRUE(IsInstaller(dist_ + kInstaller)) << "the build wrote no installer into " << dist_;
    PressDialogButton(chooser, IDCANCEL);
    ASSERT_TRUE(Gone(chooser)) << tool_->Describe();
    EXPECT_TRUE(Eventually([&] { return !FileExistsAt(dist_ + kInstaller); }))
        << "the installer survived the cancel\n"
        << tool_->Describe();
    EXPECT_EQ(tool_->WaitForDialog(1000), nullptr) << tool_->Describe();

    // No to replacing the file there keeps it and asks for another folder;
    // cancelling that deletes the new installer.
    std::string question;
    ASSERT_NO_FATAL_FAILURE(AnswerReplaceQuestion(destination, IDNO, question));
    EXPECT_TRUE(ContainsNoCase(WithoutLineBreaks(question), target)) << question;
    chooser = tool_->WaitForDialog(10000);
    ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
    PressDialogButton(chooser, IDCANCEL);
    ASSERT_TRUE(Gone(chooser)) << tool_->Describe();
    EXPECT_EQ(ReadWholeFile(target), "a file the user keeps");
    EXPECT_TRUE(Eventually([&] { return !FileExistsAt(dist_ + kInstaller); })) << tool_->Describe();

    // Once more, with Yes: the destination's file is replaced by the new
    // installer, and the tool's folder keeps none.
    ASSERT_NO_FATAL_FAILURE(AnswerReplaceQuestion(destination, IDYES, question));
    const bool replaced = Eventually([&] { return IsInstaller(target) && !FileExistsAt(dist_ + kInstaller); });
    EXPECT_TRUE(replaced) << "destination holds an installer: " << IsInstaller(target)
                          << ", the tool folder still holds one: " << FileExistsAt(dist_ + kInstaller) << "\n"
                          << tool_->Describe();
    EXPECT_EQ(tool_->WaitForDialog(1000), nullptr) << tool_->Describe();
    ASSERT_NO_FATAL_FAILURE(Exit());
}

TEST_F(Workflow, ATemplateThatDoesNotCompileIsReportedAndNothingIsOffered)
{
    // A copy of the tool folder, in a folder with a blank, whose template
    // holds a line the compiler rejects; an installer of an earlier run lies
    // beside the tool.
    const ToolFolder tool("tool copy " + kScripts);
    CopyFileTo(dist_ + "SetupCreator.exe", tool.Path() + "SetupCreator.exe");
    tool.Write("plugin.nsi", ReadWholeFile(dist_ + "plugin.nsi") + "\r\nNoSuchInstruction " + kScripts + "\r\n");
    tool.Write(kInstaller, "installer of an earlier run");
    ASSERT_NO_FATAL_FAILURE(Start(tool.Path(), {"English", "French"}));
    ASSERT_NO_FATAL_FAILURE(CheckUninstaller());

    HWND box = CreateSetup();
    ASSERT_NE(box, nullptr) << "nothing shown after the build\n" << tool_->Describe();
    ASSERT_NE(ChooserTitle(box), kDestinationQuestion) << "a destination was asked for";
    const std::string text = ReadDialog(box).Text;
    EXPECT_NE(text.find("could not be created"), std::string::npos) << text;
    EXPECT_NE(text.find("exit code 1"), std::string::npos) << text;
    EXPECT_NE(text.find("reads:\r\n    NoSuchInstruction " + kScripts), std::string::npos) << text;
    const std::string log = WindowTextOf(FindWindowExA(box, nullptr, "Edit", nullptr));
    EXPECT_NE(log.find("\"" + tool.Path() + "temp.nsi\" on line"), std::string::npos) << log;
    EXPECT_TRUE(SaveWindowPicture(box, "e2e_build_failed.bmp"));
    PressDialogButton(box, IDOK);

    // Nothing more is offered, and the earlier installer is left alone.
    ASSERT_TRUE(Gone(box)) << tool_->Describe();
    EXPECT_EQ(tool_->WaitForDialog(2000), nullptr) << tool_->Describe();
    EXPECT_EQ(ReadWholeFile(tool.Path() + kInstaller), "installer of an earlier run");
    ASSERT_NO_FATAL_FAILURE(Exit());
}

TEST_F(Workflow, APluginFor64BitWindowsOnlyInstallsWhere64BitProgramsGo)
{
    // A folder holding the 64-bit build alone: the 64-bit helper names it.
    const std::string plugin = MakePluginFolder(work_, "64-bit plugin", {});
    const std::string mainFile = "testfs64.wfx64", installer = mainFile + "_setup.exe";
    CopyFileTo(TestPlugin(mainFile), plugin + mainFile);
    const std::string destination = work_.MakeFolder("setups");
    ASSERT_NO_FATAL_FAILURE(StartTool(dist_));
    SetControlText(main_.Folder, plugin);
    ASSERT_TRUE(Eventually([&] { return WindowTextOf(main_.Name) == "TestFS64"; })) << tool_->Describe();
    EXPECT_EQ(ComboSelection(main_.MainFile), mainFile);
    EXPECT_EQ(ComboSelection(main_.Type), "WFX");
    ASSERT_NO_FATAL_FAILURE(CheckUninstaller());
    HWND chooser = CreateSetup();
    ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
    ASSERT_NO_FATAL_FAILURE(PlaceInstallerIn(chooser, destination));
    ASSERT_TRUE(Eventually([&] { return FileExistsAt(destination + installer); })) << tool_->Describe();
    ASSERT_NO_FATAL_FAILURE(Exit());
    // For the check on 32-bit Windows, which runs after this program.
    CreateDirectoryA((BuildFolder() + "tests\\installer_win32").c_str(), nullptr);
    CopyFileTo(destination + installer, BuildFolder() + "tests\\installer_win32\\plugin64_setup.exe");

    // Installed silently into its default folder: the 64-bit program files
    // folder, registered in the 64-bit view of the registry only.
    char programFiles[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableA("ProgramW6432", programFiles, MAX_PATH), 0u) << "not a 64-bit system";
    // The main file's name, which is not the plugin name once its ".wfx64"
    // has gone, tells the folder apart from a 32-bit build's.
    const std::string installed = std::string(programFiles) + "\\Quillon\\plugins\\WFX\\TestFS64 (testfs64.wfx64)\\";
    const std::string key = UninstallKey("WFX", "TestFS64 (testfs64.wfx64)");
    InstallationCleanup cleanup(installed, key, KEY_WOW64_64KEY);
    const ProgramRun install = RunProgram("\"" + destination + installer + "\" /S", destination);
    ASSERT_TRUE(install.Ended) << "the silent installer waited for an answer";
    EXPECT_EQ(install.ExitCode, 0u);
    EXPECT_EQ(ReadWholeFile(installed + mainFile), ReadWholeFile(plugin + mainFile));
    EXPECT_EQ(RegistryText(key, "InstallLocation", KEY_WOW64_64KEY), WithoutTrailingBackslash(installed));
    EXPECT_FALSE(KeyExists(key, KEY_WOW64_32KEY));
    ASSERT_NO_FATAL_FAILURE(Uninstall(key, KEY_WOW64_64KEY));
    EXPECT_TRUE(Eventually([&] { return !FolderExistsAt(installed); })) << "still installed: " << installed;

    // A folder given with /D= stays the folder.
    const std::string chosen = work_.Path() + "chosen";
    InstallationCleanup chosenCleanup(chosen, key, KEY_WOW64_64KEY);
    EXPECT_EQ(RunProgram("\"" + destination + installer + "\" /S /D=" + chosen, destination).ExitCode, 0u);
    EXPECT_TRUE(FileExistsAt(chosen + "\\" + mainFile));
    EXPECT_EQ(RegistryText(key, "InstallLocation", KEY_WOW64_64KEY), chosen);
    ASSERT_NO_FATAL_FAILURE(Uninstall(key, KEY_WOW64_64KEY));
}
