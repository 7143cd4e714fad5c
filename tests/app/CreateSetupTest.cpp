// "Create setup" in the real window: the input check, the generated script,
// the template and script failures, and the compiler run through the real
// NSIS compiler beside the tool.
#include "ToolFolderFixture.h"

#include "app/SetupScript.h"
#include "base/Errors.h"
#include "base/Paths.h"

namespace {

using CreateSetup = ToolFolderTest;

const char kChooserTitle[] = "In which folder would you like to place the setup?";

} // namespace

TEST_F(CreateSetup, MissingInputsAreListedOnceInAPlainBox)
{
    PressCreate();
    const TBoxSeen box = AnswerBox();
    ASSERT_TRUE(box.Shown);
    EXPECT_EQ(box.Text.substr(0, box.Text.find_last_not_of("\r\n") + 1),
              "You must specify a plugin name\r\nYou must specify a folder");
    EXPECT_FALSE(box.Icon);
    EXPECT_EQ(box.Caption, Application->Title());
    EXPECT_FALSE(FileExists(tool_ + kScriptFileName));
    EXPECT_EQ(FindProcessDialog(), nullptr); // shown once
}

TEST_F(CreateSetup, FolderWithoutPluginAsksOnlyForTheMainFile)
{
    TempFolder plugin;
    plugin.Write("readme.txt");
    Enter(plugin, " "); // a blank is a name
    PressCreate();
    const std::string text = AnswerBox().Text;
    EXPECT_EQ(text.substr(0, text.find_last_not_of("\r\n") + 1), "You must specify the plugin main file");
    EXPECT_FALSE(FileExists(tool_ + kScriptFileName));
}

TEST_F(CreateSetup, ScriptIsFilledFromEveryFieldOfTheWindow)
{
    auto plugin = PluginFolder({"viewer.wlx"});
    TempFolder docs;
    const std::string license = docs.Write("license.txt", "Free to use.\r\n");
    Enter(*plugin, "Viewer[2]");
    form_->EditLicense->SetText(license);
    form_->EditName->SetText("Viewer[2]"); // the licence change rescanned and renamed it
    Check("German");
    Check("French");
    form_->CheckBoxUninstall->SetChecked(true);
    Installer("viewer.wlx_setup.exe");

    TSetupScriptInputs expected;
    expected.PluginName = "Viewer[2]";
    expected.Folder = plugin->Path();
    expected.MainFile = "viewer.wlx";
    expected.PluginType = "WLX";
    for (int i = 0; i < form_->ListLanguages->Count(); ++i) // in list order
        if (form_->ListLanguages->Checked(i))
            expected.CheckedLanguages.push_back(form_->ListLanguages->Item(i));
    ASSERT_EQ(expected.CheckedLanguages.size(), 2u);
    expected.LicensePath = license;
    expected.LicenseExists = true;
    expected.Uninstaller = true;
    expected.Files = ListFolderTree(plugin->Path()); // the main file has no version resource: no publisher

    std::string title;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        HWND chooser = NextDialog(nullptr, 60000);
        if (chooser == nullptr)
            return;
        title = ChooserTitle(chooser);
        AnswerChooser(chooser, ""); // cancel: the installer goes
    }));
    const std::string script = ReadWholeFile(tool_ + kScriptFileName);
    EXPECT_EQ(script, FillSetupScript(ReadWholeFile(tool_ + kTemplateFileName), expected));
    EXPECT_NE(script.find("  Page license\r\n  LicenseData \"" + license + "\""), std::string::npos);
    EXPECT_EQ(script.find("#01"), std::string::npos);
    EXPECT_EQ(title, kChooserTitle);
    EXPECT_TRUE(PumpUntil([&] { return !FileExists(tool_ + "viewer.wlx_setup.exe"); }, 5000));
}

TEST_F(CreateSetup, UninstallerMarkersStayWhenNotAskedFor)
{
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    form_->EditLicense->SetText(tool_ + "no such licence.txt");
    form_->EditName->SetText("MyPlugin");
    Installer("fs.wfx_setup.exe");
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (HWND chooser = NextDialog(nullptr, 60000))
            AnswerChooser(chooser, "");
    }));
    const std::string script = ReadWholeFile(tool_ + kScriptFileName);
    EXPECT_NE(script.find("#01"), std::string::npos);
    EXPECT_EQ(script.find("LicenseData"), std::string::npos); // a missing licence gives no page
    EXPECT_EQ(script.find("*license*"), std::string::npos);
}

TEST_F(CreateSetup, MissingTemplateEndsWithTheOpenFailure)
{
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    DeleteFileA((tool_ + kTemplateFileName).c_str());
    PlaceText(kScriptFileName, "earlier script");
    PressCreate();
    const TBoxSeen box = AnswerBox();
    const std::string& text = box.Text;
    const bool icon = box.Icon;
    EXPECT_EQ(text, "Impossible d'ouvrir le fichier \"" + tool_ + kTemplateFileName + "\". " +
                        SystemErrorText(ERROR_FILE_NOT_FOUND) + ".");
    EXPECT_TRUE(icon);
    EXPECT_EQ(ReadWholeFile(tool_ + kScriptFileName), "earlier script");
    EXPECT_EQ(form_->Spawn->ProcessHandle(), nullptr); // nothing started
}

TEST_F(CreateSetup, UnwritableScriptEndsWithTheCreationFailure)
{
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    ASSERT_TRUE(CreateDirectoryA((tool_ + kScriptFileName).c_str(), nullptr)); // a folder cannot be written
    PressCreate();
    const std::string text = AnswerBox().Text;
    EXPECT_EQ(text.rfind("Impossible de cr\xE9" "er le fichier \"" + tool_ + kScriptFileName + "\". ", 0), 0u) << text;
    EXPECT_EQ(form_->Spawn->ProcessHandle(), nullptr);
}

TEST_F(CreateSetup, CompilerThatCannotStartIsReported)
{
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    DeleteFileA((tool_ + kCompilerFileName).c_str());
    PressCreate();
    const TBoxSeen box = AnswerBox();
    const std::string& text = box.Text;
    const bool icon = box.Icon;
    EXPECT_NE(text.find("could not be started"), std::string::npos) << text;
    EXPECT_NE(text.find(SystemErrorText(ERROR_FILE_NOT_FOUND)), std::string::npos) << text;
    EXPECT_NE(text.find("Stubs, Plugins and Include folders"), std::string::npos) << text; // what to copy
    EXPECT_TRUE(icon);
    EXPECT_TRUE(FileExists(tool_ + kScriptFileName)); // the script stays written
    // The failed wait that follows reports nothing more.
    PumpFor(500);
    EXPECT_EQ(FindProcessDialog(), nullptr);
}

TEST_F(CreateSetup, SecondPressWhileTheCompilerRunsIsRefused)
{
    ExtendTemplate("!system \"sleep 3\"");
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    Installer("fs.wfx_setup.exe");
    HANDLE firstProcess = nullptr;
    std::string refusal;
    int choosers = 0;
    PressCreate();
    ASSERT_TRUE(PumpUntil([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    firstProcess = form_->Spawn->ProcessHandle();
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (HWND box = NextDialog()) {
            refusal = MessageText(box);
            PressDialogButton(box, IDOK);
            WaitGone(box);
        }
        if (HWND chooser = NextDialog(nullptr, 60000)) {
            ++choosers;
            AnswerChooser(chooser, "");
            WaitGone(chooser);
        }
        if (HWND another = NextDialog(nullptr, 3000)) { // none may follow
            ++choosers;
            PressDialogButton(another, IDCANCEL);
        }
    }));
    EXPECT_NE(refusal.find("already being created"), std::string::npos) << refusal;
    EXPECT_EQ(form_->Spawn->ProcessHandle(), firstProcess);
    EXPECT_EQ(choosers, 1);
}

namespace {

// A window whose fields no longer match the disk, for the checks of what will
// be built: `parent` holds the plugin folder "plx\" with fs.wfx, scanned with
// the name `name` unless `name` is null, and then `change` is made.
struct StaleWindow {
    const char* name;
    void (*change)(TFormMain& form, const std::string& parent);
    const char* problems;
};

class StaleInputs : public ToolFolderTest, public testing::WithParamInterface<StaleWindow> {};

void HalfTypeTheFolder(TFormMain& form, const std::string& parent) { form.EditFolder->SetText(parent + "pl"); }
void DeleteTheMainFile(TFormMain&, const std::string& parent) { DeleteFileA((parent + "plx\\fs.wfx").c_str()); }

} // namespace

TEST_P(StaleInputs, AreListedWithTheOthersAndNothingIsBuilt)
{
    TempFolder parent;
    parent.Write("plx\\fs.wfx", "not a real library");
    parent.Write("plan\\other.txt"); // "...\pl*.*" would pack it too
    if (GetParam().name != nullptr) {
        form_->EditFolder->SetText(parent.Path() + "plx\\");
        form_->EditName->SetText(GetParam().name);
    }
    GetParam().change(*form_, parent.Path());
    PressCreate();
    const std::string text = AnswerBox().Text;
    EXPECT_EQ(text.substr(0, text.find_last_not_of("\r\n") + 1), GetParam().problems);
    EXPECT_FALSE(FileExists(tool_ + kScriptFileName));
    EXPECT_EQ(form_->Spawn->ProcessHandle(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    CreateSetup, StaleInputs,
    testing::Values(StaleWindow{"MyPlugin", HalfTypeTheFolder, "The folder doesn't exist"},
                    StaleWindow{"MyPlugin", DeleteTheMainFile, "The plugin main file isn't in the folder"},
                    StaleWindow{nullptr, HalfTypeTheFolder,
                                "You must specify a plugin name\r\nThe folder doesn't contains any file\r\n"
                                "The folder doesn't exist"},
                    StaleWindow{"", DeleteTheMainFile,
                                "You must specify a plugin name\r\nThe plugin main file isn't in the folder"}));
