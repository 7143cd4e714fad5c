// The whole workflow in the built tool, as a user works: the tool runs as its
// own process, started from the dist folder, and is driven from outside; the
// real NSIS compiler builds the installer, which is then installed and
// uninstalled under Wine.
#include "ToolDriver.h"

#include "tests/installer/InstallerTestSupport.h"
#include "tests/shell/FolderDialogDriver.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

namespace {

const std::string kMainFile = "testfs.wfx";
const std::string kInstaller = "testfs.wfx_setup.exe";
const std::string kChooserTitle = "In which folder would you like to place the setup?";
const std::string kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon WFX plugin TestFS";
// Long enough for a build by the real compiler on a busy machine.
constexpr DWORD kBuildTimeoutMs = 60000;

std::string BuildFolder()
{
    // Test programs live in <build>\tests\.
    std::string folder = TestProgramFolder();
    folder.pop_back();
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

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

// Removes what a failed run left installed.
class InstallationCleanup {
public:
    explicit InstallationCleanup(std::string folder) : folder_(std::move(folder)) {}
    ~InstallationCleanup()
    {
        DeleteTree(folder_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey.c_str());
    }

private:
    std::string folder_;
};

} // namespace

class Workflow : public testing::Test {
protected:
    void SetUp() override
    {
        // A plugin folder as an author has it: the real plugin library, its
        // documentation and language files, one of them in a subfolder.
        plugin_ = work_.MakeFolder("my plugin");
        ASSERT_TRUE(CopyFileA((BuildFolder() + "testplugins\\" + kMainFile).c_str(), (plugin_ + kMainFile).c_str(),
                              FALSE))
            << "no test plugin in " << BuildFolder() << "testplugins";
        work_.Write("my plugin\\readme.txt", "Test FS plugin\r\n");
        work_.Write("my plugin\\testfs.ini", "[Test FS]\r\n");
        work_.Write("my plugin\\language\\de.lng", "[German]\r\n");
        work_.MakeFolder("my plugin\\empty");
    }

    // Starts the tool of `toolFolder` and waits for its main window.
    void Start(const std::string& toolFolder)
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
        const bool filled = Eventually([&] { return ControlText(main_.Name) == "TestFS"; }, 10000);
        ASSERT_TRUE(filled) << "the plugin name was not filled in\n" << tool_->Describe();
        EXPECT_EQ(ControlText(main_.Folder), plugin_);
        EXPECT_EQ(ComboSelection(main_.MainFile), kMainFile);
        EXPECT_EQ(ComboSelection(main_.Type), "WFX");
        // Every entry of the folder is offered as main file, as the file system
        // lists it: subfolders and the dot entries too.
        std::vector<std::string> offered = ComboItems(main_.MainFile);
        std::vector<std::string> expected = {".", "..", "empty", "language", "readme.txt", kMainFile, "testfs.ini"};
        std::sort(offered.begin(), offered.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(offered, expected);
    }

    void CheckLanguages(const std::vector<std::string>& languages)
    {
        const std::vector<std::string> items = CheckListItems(main_.Languages);
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
        ASSERT_EQ(ChooserTitleText(dialog), kChooserTitle) << tool_->Describe();
    }

    // Selects `folder` in the chooser, saves its picture when asked to, and
    // confirms it.
    void PlaceInstallerIn(HWND chooser, const std::string& folder, const std::string& picture = std::string())
    {
        ASSERT_TRUE(SelectFolderInChooser(tool_->Handle(), chooser, WithoutTrailingBackslash(folder)))
            << "the chooser did not select " << folder << "\n"
            << tool_->Describe();
        if (!picture.empty()) {
            EXPECT_TRUE(SaveWindowPicture(chooser, PictureFolder() + picture));
        }
        PressDialogButton(chooser, IDOK);
    }

    // Waits until the dialog the user just answered has gone.
    bool Gone(HWND dialog)
    {
        return Eventually([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000);
    }

    // The message box the tool shows after `previous` has gone: the box and
    // its text.
    HWND WaitForMessage(std::string& text, HWND previous)
    {
        if (!Gone(previous))
            return nullptr;
        HWND box = tool_->WaitForDialog(10000);
        if (box != nullptr) {
            Sleep(200); // the box fills in its lines as it starts
            text = DialogText(box);
        }
        return box;
    }

    // Closes the tool with its Exit button; it must end cleanly.
    void Exit()
    {
        ASSERT_EQ(tool_->FindDialog(), nullptr) << "a dialog is still open\n" << tool_->Describe();
        ClickButton(main_.Exit);
        DWORD exitCode = 0;
        ASSERT_TRUE(tool_->WaitForExit(10000, exitCode)) << "Exit did not end the tool\n" << tool_->Describe();
        EXPECT_EQ(exitCode, 0u);
    }

    TempFolder work_;
    std::string plugin_;
    std::unique_ptr<ToolProcess> tool_;
    HWND window_ = nullptr;
    MainControls main_;
};

TEST_F(Workflow, FromPluginFolderToInstalledAndUninstalledPlugin)
{
    const std::string dist = DistFolder();
    DeleteFileA((dist + kInstaller).c_str()); // left by an interrupted earlier run
    const std::string destination = work_.MakeFolder("setups for users");

    ASSERT_NO_FATAL_FAILURE(Start(dist));
    ASSERT_NO_FATAL_FAILURE(EnterPluginFolder());
    ASSERT_NO_FATAL_FAILURE(CheckLanguages({"English", "German"}));
    ASSERT_NO_FATAL_FAILURE(CheckUninstaller());
    EXPECT_TRUE(SaveWindowPicture(window_, PictureFolder() + "e2e_main_window.bmp"));

    HWND chooser = CreateSetup();
    ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
    // It opens on the tool's folder, where the compiler wrote the installer.
    EXPECT_TRUE(Eventually([&] { return SameFolder(ChooserStatusText(chooser), dist); }, 3000))
        << "the chooser opened on " << ChooserStatusText(chooser);
    EXPECT_TRUE(IsInstaller(dist + kInstaller));
    ASSERT_NO_FATAL_FAILURE(PlaceInstallerIn(chooser, destination, "e2e_destination_chooser.bmp"));

    const bool placed = Eventually(
        [&] { return FileExists(destination + kInstaller) && !FileExists(dist + kInstaller); }, 10000);
    ASSERT_TRUE(placed) << "installer in the destination: " << FileExists(destination + kInstaller)
                        << ", in the tool folder: " << FileExists(dist + kInstaller) << "\n"
                        << tool_->Describe();
    ASSERT_NO_FATAL_FAILURE(Exit());

    // The placed installer installs silently, asking for nothing, not even
    // one of its two languages.
    const std::string installed = work_.Path() + "installed plugin\\";
    InstallationCleanup cleanup(installed);
    const ProgramRun install = RunProgram(
        "\"" + destination + kInstaller + "\" /S /D=" + WithoutTrailingBackslash(installed), destination, 60000);
    ASSERT_TRUE(install.Ended) << "the silent installer waited for an answer";
    EXPECT_EQ(install.ExitCode, 0u);
    std::vector<std::string> expected = TreeOf(plugin_);
    expected.push_back("uninstall.exe");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(TreeOf(installed), expected);
    EXPECT_EQ(ReadWholeFile(installed + kMainFile), ReadWholeFile(plugin_ + kMainFile));

    // The uninstaller as the system's list of programs runs it.
    const std::string quiet = RegistryText(kUninstallKey, "QuietUninstallString");
    ASSERT_EQ(quiet, "\"" + installed + "uninstall.exe\" /S");
    const ProgramRun uninstall = RunProgram(quiet, work_.Path(), 60000);
    ASSERT_TRUE(uninstall.Ended);
    EXPECT_EQ(uninstall.ExitCode, 0u);
    // It goes on from a copy of itself and ends when the folder is gone.
    EXPECT_TRUE(Eventually([&] { return !FolderExists(installed); }, 30000)) << "still installed: " << installed;
    EXPECT_TRUE(Eventually([&] { return !KeyExists(kUninstallKey); }, 5000));
}

TEST_F(Workflow, CancelDeletesTheInstallerAndAnOccupiedDestinationIsAskedAbout)
{
    const std::string dist = DistFolder();
    DeleteFileA((dist + kInstaller).c_str()); // left by an interrupted earlier run
    const std::string destination = work_.MakeFolder("occupied");
    const std::string target = destination + kInstaller;

    ASSERT_NO_FATAL_FAILURE(Start(dist));
    ASSERT_NO_FATAL_FAILURE(EnterPluginFolder());
    ASSERT_NO_FATAL_FAILURE(CheckLanguages({"French"}));

    // Cancel: the fresh installer is deleted, not left behind anywhere.
    HWND chooser = CreateSetup();
    ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
    ASSERT_TRUE(IsInstaller(dist + kInstaller)) << "the build wrote no installer into " << dist;
    PressDialogButton(chooser, IDCANCEL);
    ASSERT_TRUE(Gone(chooser)) << tool_->Describe();
    EXPECT_TRUE(Eventually([&] { return !FileExists(dist + kInstaller); }, 10000))
        << "the installer survived the cancel\n"
        << tool_->Describe();
    EXPECT_EQ(tool_->WaitForDialog(1000), nullptr) << tool_->Describe();

    // The destination holds a file of that name; No keeps both files, and the
    // user is told where the new installer is.
    work_.Write("occupied\\" + kInstaller, "a file the user keeps");
    chooser = CreateSetup();
    ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
    ASSERT_NO_FATAL_FAILURE(PlaceInstallerIn(chooser, destination));
    std::string question;
    HWND ask = WaitForMessage(question, chooser);
    ASSERT_NE(ask, nullptr) << "no question about the occupied destination\n" << tool_->Describe();
    ASSERT_NE(GetDlgItem(ask, IDNO), nullptr) << "not a Yes/No question: " << question;
    EXPECT_TRUE(ContainsNoCase(question, target)) << question;
    PressDialogButton(ask, IDNO);
    std::string notice;
    HWND told = WaitForMessage(notice, ask);
    ASSERT_NE(told, nullptr) << "no notice after No\n" << tool_->Describe();
    EXPECT_TRUE(ContainsNoCase(notice, dist + kInstaller)) << notice;
    PressDialogButton(told, IDOK);
    ASSERT_TRUE(Gone(told)) << tool_->Describe();
    EXPECT_EQ(ReadWholeFile(target), "a file the user keeps");
    EXPECT_TRUE(IsInstaller(dist + kInstaller));

    // Once more, with Yes: the destination's file is replaced by the new
    // installer, and the tool's folder keeps none.
    chooser = CreateSetup();
    ASSERT_NO_FATAL_FAILURE(ExpectChooser(chooser));
    ASSERT_NO_FATAL_FAILURE(PlaceInstallerIn(chooser, destination));
    ask = WaitForMessage(question, chooser);
    ASSERT_NE(ask, nullptr) << "no question about the occupied destination\n" << tool_->Describe();
    ASSERT_NE(GetDlgItem(ask, IDYES), nullptr) << "not a Yes/No question: " << question;
    PressDialogButton(ask, IDYES);
    ASSERT_TRUE(Gone(ask)) << tool_->Describe();
    const bool replaced =
        Eventually([&] { return IsInstaller(target) && !FileExists(dist + kInstaller); }, 10000);
    EXPECT_TRUE(replaced) << "destination holds an installer: " << IsInstaller(target)
                          << ", the tool folder still holds one: " << FileExists(dist + kInstaller) << "\n"
                          << tool_->Describe();
    EXPECT_EQ(tool_->WaitForDialog(1000), nullptr) << tool_->Describe();

    ASSERT_NO_FATAL_FAILURE(Exit());
    DeleteFileA((dist + kInstaller).c_str());
}

TEST_F(Workflow, ATemplateThatDoesNotCompileIsReportedAndNothingIsOffered)
{
    // A copy of the tool folder, in a folder with a blank, whose template
    // holds a line the compiler rejects; an installer of an earlier run lies
    // beside the tool.
    const std::string tool = work_.MakeFolder("tool copy");
    const std::string dist = DistFolder();
    for (const char* name : {"SetupCreator.exe", "makensis.exe"})
        ASSERT_TRUE(CopyFileA((dist + name).c_str(), (tool + name).c_str(), FALSE)) << name;
    work_.Write("tool copy\\plugin.nsi", ReadWholeFile(dist + "plugin.nsi") + "\r\nNoSuchInstruction here\r\n");
    work_.MakeFolder("tool copy\\languages");
    for (const char* language : {"English.nlf", "French.nlf"}) {
        ASSERT_TRUE(CopyFileA((dist + "languages\\" + language).c_str(), (tool + "languages\\" + language).c_str(),
                              FALSE));
    }
    work_.Write("tool copy\\" + kInstaller, "installer of an earlier run");

    ASSERT_NO_FATAL_FAILURE(Start(tool));
    ASSERT_NO_FATAL_FAILURE(EnterPluginFolder());
    ASSERT_NO_FATAL_FAILURE(CheckLanguages({"English", "French"}));
    ASSERT_NO_FATAL_FAILURE(CheckUninstaller());

    HWND box = CreateSetup();
    ASSERT_NE(box, nullptr) << "nothing shown after the build\n" << tool_->Describe();
    ASSERT_NE(ChooserTitleText(box), kChooserTitle) << "a destination was asked for";
    Sleep(200);
    const std::string text = DialogText(box);
    EXPECT_NE(text.find("could not be created"), std::string::npos) << text;
    EXPECT_NE(text.find("exit code 1"), std::string::npos) << text;
    EXPECT_TRUE(SaveWindowPicture(box, PictureFolder() + "e2e_build_failed.bmp"));
    PressDialogButton(box, IDOK);

    // Nothing more is offered, and the earlier installer is left alone.
    ASSERT_TRUE(Gone(box)) << tool_->Describe();
    EXPECT_EQ(tool_->WaitForDialog(2000), nullptr) << tool_->Describe();
    EXPECT_EQ(ReadWholeFile(tool + kInstaller), "installer of an earlier run");
    ASSERT_NO_FATAL_FAILURE(Exit());
}
