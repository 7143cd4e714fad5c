// "Create setup" in the real window: the input check, the generated script,
// the template and script failures, and the compiler run through the real
// NSIS compiler beside the tool.
#include "core/BuildLock.h"
#include "core/SetupScript.h"
#include "core/ToolFiles.h"
#include "base/Errors.h"
#include "base/FolderTree.h"
#include "base/Paths.h"
#include "tests/support/MainWindowFixture.h"
#include "toolkit/Application.h"

namespace {

using CreateSetup = MainWindowTest;

// The problems a message box lists, without the line break after the last.
std::string Problems(const DialogView& box) { return box.Text.substr(0, box.Text.find_last_not_of("\r\n") + 1); }

} // namespace

TEST_F(CreateSetup, MissingInputsAreListedOnceInAPlainBox)
{
    PressCreate();
    const DialogView box = AnswerBox();
    EXPECT_EQ(Problems(box), "You must specify a plugin name\r\nYou must specify a folder");
    EXPECT_EQ(box.Icon, nullptr);
    EXPECT_EQ(box.Caption, Application->Title());
    EXPECT_FALSE(FileExistsAt(tool_ + kScriptFileName));
    EXPECT_EQ(FindDialog(), nullptr); // shown once
}

TEST_F(CreateSetup, FolderWithoutPluginAsksOnlyForTheMainFile)
{
    Enter(PluginFolder({}), "x");
    PressCreate();
    EXPECT_EQ(Problems(AnswerBox()), "You must specify the plugin main file");
    EXPECT_FALSE(FileExistsAt(tool_ + kScriptFileName));
}

TEST_F(CreateSetup, ScriptIsFilledFromEveryFieldOfTheWindow)
{
    const std::string plugin = EnterPlugin({"viewer.wlx"});
    TempFolder docs;
    const std::string license = docs.Write("license.txt", "Free to use.\r\n");
    TypeInto(form_->EditLicense, license);
    TypeInto(form_->EditName, "Viewer[2]");
    Check("German");
    Check("French");
    form_->CheckBoxUninstall->SetChecked(true);

    TSetupScriptInputs expected;
    expected.PluginName = "Viewer[2]";
    expected.Folder = plugin;
    expected.MainFile = "viewer.wlx";
    expected.PluginType = "WLX";
    for (int i = 0; i < form_->ListLanguages->Count(); ++i) // in list order
        if (form_->ListLanguages->Checked(i))
            expected.Languages.push_back(form_->ListLanguages->Item(i));
    ASSERT_EQ(expected.Languages.size(), 2u);
    expected.Translated = expected.Languages; // the tool folder holds their translations
    expected.LicensePath = license;
    expected.LicenseExists = true;
    expected.Uninstaller = true;
    expected.Files = ListFolderTree(plugin); // the main file has no version resource: no publisher

    std::string title;
    PressCreate();
    // Cancelled: the installer goes.
    ASSERT_TRUE(Answer([&] { AnswerDestination("", IDCANCEL, [&](HWND chooser) { title = ChooserTitle(chooser); }); }));
    const std::string script = ReadWholeFile(tool_ + kScriptFileName);
    EXPECT_EQ(script, FillSetupScript(ReadWholeFile(tool_ + kTemplateFileName), expected));
    EXPECT_NE(script.find("  Page license\r\n  LicenseData \"" + license + "\""), std::string::npos);
    EXPECT_EQ(script.find("#01"), std::string::npos);
    EXPECT_EQ(title, kDestinationQuestion);
    EXPECT_TRUE(Eventually([&] { return !FileExistsAt(tool_ + "viewer.wlx_setup.exe"); }, 5000));
}

TEST_F(CreateSetup, UninstallerMarkersStayWhenNotAskedFor)
{
    EnterPlugin();
    PressCreate();
    ASSERT_TRUE(Answer([&] { AnswerDestination("", IDCANCEL); }));
    const std::string script = ReadWholeFile(tool_ + kScriptFileName);
    EXPECT_NE(script.find("#01"), std::string::npos);
    EXPECT_EQ(script.find("LicenseData"), std::string::npos); // no licence, no page
    EXPECT_EQ(script.find("*license*"), std::string::npos);
}

TEST_F(CreateSetup, MissingTemplateEndsWithTheOpenFailure)
{
    EnterPlugin();
    DeleteFileA((tool_ + kTemplateFileName).c_str());
    WriteWholeFile(tool_ + kScriptFileName, "earlier script");
    PressCreate();
    const DialogView box = AnswerBox();
    EXPECT_EQ(box.Text, "Impossible d'ouvrir le fichier \"" + tool_ + kTemplateFileName + "\". " +
                            SystemErrorText(ERROR_FILE_NOT_FOUND) + ".");
    EXPECT_NE(box.Icon, nullptr);
    EXPECT_EQ(ReadWholeFile(tool_ + kScriptFileName), "earlier script");
    EXPECT_EQ(form_->Spawn->ProcessHandle(), nullptr); // nothing started
}

TEST_F(CreateSetup, UnwritableScriptEndsWithTheCreationFailure)
{
    EnterPlugin();
    ASSERT_TRUE(CreateDirectoryA((tool_ + kScriptFileName).c_str(), nullptr)); // a folder cannot be written
    PressCreate();
    const std::string text = AnswerBox().Text;
    EXPECT_EQ(text.rfind("Impossible de cr\xE9" "er le fichier \"" + tool_ + kScriptFileName + "\". ", 0), 0u) << text;
    EXPECT_EQ(form_->Spawn->ProcessHandle(), nullptr);
}

TEST_F(CreateSetup, CompilerThatCannotStartIsReported)
{
    EnterPlugin();
    DeleteFileA((tool_ + kCompilerFileName).c_str());
    PressCreate();
    const DialogView box = AnswerBox();
    EXPECT_NE(box.Text.find("could not be started"), std::string::npos) << box.Text;
    EXPECT_NE(box.Text.find(SystemErrorText(ERROR_FILE_NOT_FOUND)), std::string::npos) << box.Text;
    EXPECT_NE(box.Text.find("Stubs, Plugins and Include folders"), std::string::npos) << box.Text; // what to copy
    EXPECT_NE(box.Icon, nullptr);
    EXPECT_TRUE(FileExistsAt(tool_ + kScriptFileName)); // the script stays written
    // The failed wait that follows reports nothing more.
    PumpFor(500);
    EXPECT_EQ(FindDialog(), nullptr);
}

TEST_F(CreateSetup, SecondPressWhileTheCompilerRunsIsRefused)
{
    ExtendTemplate("!system \"sleep 3\"");
    EnterPlugin();
    std::string refusal;
    int choosers = 0;
    PressCreate();
    ASSERT_TRUE(Eventually([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    const HANDLE firstProcess = form_->Spawn->ProcessHandle();
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        refusal = AnswerMessage(IDOK).Text;
        if (AnswerDestination("", IDCANCEL))
            ++choosers;
        if (HWND another = NextDialog(nullptr, 3000)) { // none may follow
            ++choosers;
            PressDialogButton(another, IDCANCEL);
        }
    }));
    EXPECT_NE(refusal.find("already being created"), std::string::npos) << refusal;
    EXPECT_EQ(form_->Spawn->ProcessHandle(), firstProcess);
    EXPECT_EQ(choosers, 1);
}

TEST_F(CreateSetup, AnotherCopyBuildingInTheToolFolderKeepsThisOneWaiting)
{
    EnterPlugin();
    {
        TBuildLock otherCopy; // as a second copy of the tool takes it
        ASSERT_TRUE(otherCopy.Take(tool_));
        PressCreate();
        EXPECT_EQ(Problems(AnswerBox()), TBuildLock::RefusalText());
        EXPECT_FALSE(FileExistsAt(tool_ + kScriptFileName));
    }
    // This copy holds the folder until its setup is delivered, then lets go.
    bool otherRefused = false;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        AnswerDestination("", IDCANCEL, [&](HWND) { otherRefused = !TBuildLock().Take(tool_); });
    }));
    EXPECT_TRUE(otherRefused);
    EXPECT_TRUE(Eventually([&] { return TBuildLock().Take(tool_); }));
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

class StaleInputs : public MainWindowTest, public testing::WithParamInterface<StaleWindow> {};

void HalfTypeTheFolder(TFormMain& form, const std::string& parent) { form.EditFolder->SetText(parent + "pl"); }
void DeleteTheMainFile(TFormMain&, const std::string& parent) { DeleteFileA((parent + "plx\\fs.wfx").c_str()); }
void SelectTheParentFolder(TFormMain& form, const std::string&)
{
    for (int i = 0; i < form.ComboBoxMainFile->Count(); ++i)
        if (form.ComboBoxMainFile->Item(i) == "..")
            form.ComboBoxMainFile->SetItemIndex(i);
}
void NameAMissingLicence(TFormMain& form, const std::string& parent) { form.EditLicense->SetText(parent + "gone.txt"); }

} // namespace

TEST_P(StaleInputs, AreListedWithTheOthersAndNothingIsBuilt)
{
    TempFolder parent;
    CopyFileTo(TestPlugin("testfs.wfx"), parent.MakeFolder("plx") + "fs.wfx");
    parent.Write("plan\\other.txt"); // "...\pl*.*" would pack it too
    if (GetParam().name != nullptr) {
        Enter(parent.Path() + "plx\\", GetParam().name);
        ASSERT_NO_FATAL_FAILURE(SettleName());
        TypeInto(form_->EditName, GetParam().name); // the typed name, even where it is empty
    }
    GetParam().change(*form_, parent.Path());
    PressCreate();
    EXPECT_EQ(Problems(AnswerBox()), GetParam().problems);
    EXPECT_FALSE(FileExistsAt(tool_ + kScriptFileName));
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
                                "You must specify a plugin name\r\nThe plugin main file isn't in the folder"},
                    StaleWindow{"MyPlugin", SelectTheParentFolder, "The plugin main file must be a file, not a folder"},
                    StaleWindow{"  ", NameAMissingLicence,
                                "The plugin name can't be made of blanks only\r\nThe license file doesn't exist"}));

TEST_F(CreateSetup, RelativeFolderIsBuiltFromTheFullPathItsListShows)
{
    // The test program's working folder is the tool folder.
    CreateDirectoryA((tool_ + "rel").c_str(), nullptr);
    CopyFileTo(TestPlugin("testfs.wfx"), tool_ + "rel\\fs.wfx");
    Enter("rel", "Relative");
    ASSERT_EQ(form_->ComboBoxMainFile->SelectedText(), "fs.wfx");
    PressCreate();
    ASSERT_TRUE(Answer([&] { AnswerDestination("", IDCANCEL); }));
    EXPECT_NE(ReadWholeFile(tool_ + kScriptFileName).find(" \"" + tool_ + "rel\\*\""), std::string::npos);
}

TEST_F(CreateSetup, LinksAreNotFollowedIntoLoopsAndADrivesOwnFoldersStayOut)
{
    // A folder that is the root of a drive of its own, with the system's
    // folders there and a link from a subfolder back to the root.
    TempFolder root;
    CopyFileTo(TestPlugin("testfs.wfx"), root.Path() + "fs.wfx");
    root.Write("sub\\in.txt");
    root.Write("$RECYCLE.BIN\\S-1-5\\deleted.txt");
    root.Write("System Volume Information\\tracking.log");
    TempFolder elsewhere;
    elsewhere.Write("shared.txt");
    const HostLink loop(root.Path() + "sub\\loop", root.Path());
    const HostLink shared(root.Path() + "sub\\shared", elsewhere.Path());
    const HostLink drive("R:", root.Path());
    Enter("R:\\", "Rooted");
    ASSERT_EQ(form_->ComboBoxMainFile->SelectedText(), "fs.wfx");
    PressCreate();
    ASSERT_TRUE(Answer([&] { AnswerDestination("", IDCANCEL); }));
    const std::string script = ReadWholeFile(tool_ + kScriptFileName);
    for (const char* packed : {"\"R:\\*\"", "\"R:\\sub\\*\"", "\"R:\\sub\\shared\\*\""})
        EXPECT_NE(script.find(packed), std::string::npos) << packed;
    for (const char* left : {"loop", "RECYCLE", "System Volume"})
        EXPECT_EQ(script.find(left), std::string::npos) << left;
}

TEST_F(CreateSetup, WhatThePlanRefusesIsListedAndNothingIsWrittenOrStarted)
{
    // Every field is filled; the main file is no library.
    const std::string plugin = EnterPlugin();
    ASSERT_NO_FATAL_FAILURE(SettleName());
    WriteWholeFile(plugin + "fs.wfx", "text");
    PressCreate();
    EXPECT_EQ(Problems(AnswerBox()), "The plugin main file isn't a Windows library");
    EXPECT_FALSE(FileExistsAt(tool_ + kScriptFileName));
    EXPECT_EQ(form_->Spawn->ProcessHandle(), nullptr);
}

TEST_F(CreateSetup, ASetupNameTooLongForTheToolFolderIsRefused)
{
    // On a drive of its own the main file's path fits, its setup's name does not.
    TempFolder root;
    const std::string mainFile = std::string(246, 'p') + ".wfx";
    CopyFileTo(TestPlugin("testfs.wfx"), root.Path() + mainFile);
    const HostLink drive("R:", root.Path());
    Enter("R:\\", "Long");
    ASSERT_EQ(form_->ComboBoxMainFile->SelectedText(), mainFile);
    PressCreate();
    std::string problems = Problems(AnswerBox());
    // The box breaks the long name into lines.
    for (std::size_t at = problems.find("\r\n"); at != std::string::npos; at = problems.find("\r\n", at))
        problems.erase(at, 2);
    EXPECT_EQ(problems.rfind("The setup's name \"" + mainFile + "_setup.exe\" is too long", 0), 0u) << problems;
    EXPECT_FALSE(FileExistsAt(tool_ + kScriptFileName));
}

TEST_F(CreateSetup, AnEarlierSetupInThePluginFolderIsLeftOutAndTheUserTold)
{
    const std::string plugin = EnterPlugin();
    WriteWholeFile(plugin + "language\\fs.wfx_setup.exe", "an earlier setup");
    std::string notice;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        notice = AnswerMessage(IDOK, kBuildTimeoutMs).Text;
        AnswerDestination("", IDCANCEL);
    }));
    EXPECT_NE(notice.find("\"language\\fs.wfx_setup.exe\" is left out of the setup"), std::string::npos) << notice;
    const std::string script = ReadWholeFile(tool_ + kScriptFileName);
    // The command that packs its folder leaves it out.
    EXPECT_NE(script.find("File \"/x\" \"fs.wfx_setup.exe\" \"" + plugin + "language\\*\""), std::string::npos)
        << script;
}
