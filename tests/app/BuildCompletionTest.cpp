// The end of a compiler run in the real window: the destination chooser, the
// move, and every way the delivery can go wrong, with the real NSIS compiler.
#include "core/BuildLock.h"
#include "core/InstallerDelivery.h"
#include "core/ToolFiles.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/Programs.h"

#include <random>
#include <vector>

namespace {

using BuildCompletion = MainWindowTest;

} // namespace

TEST_F(BuildCompletion, InstallerMovesToTheChosenFolder)
{
    const std::string plugin = EnterPlugin();
    const std::string installer = tool_ + "fs.wfx_setup.exe";
    TempFolder destination;
    std::vector<std::string> titles, opened;
    // The question opens beside the plugin folder, then where the last setup went.
    for (int build = 0; build < 2; ++build) {
        PressCreate();
        ASSERT_TRUE(Answer([&] {
            AnswerDestination(destination.Path(), IDOK, [&](HWND chooser) {
                titles.push_back(ChooserTitle(chooser));
                opened.push_back(ChooserStatusLine(chooser));
            });
            if (build == 1)
                AnswerMessage(IDYES); // replace the first
        }));
    }
    EXPECT_EQ(titles, std::vector<std::string>(2, kDestinationQuestion));
    EXPECT_EQ(opened, (std::vector<std::string>{WithoutTrailingBackslash(FolderOfPath(WithoutTrailingBackslash(plugin))),
                                                WithoutTrailingBackslash(destination.Path())}));
    EXPECT_FALSE(FileExistsAt(installer));
    EXPECT_EQ(ReadWholeFile(destination.Path() + "fs.wfx_setup.exe").substr(0, 2), "MZ");
}

TEST_F(BuildCompletion, ThePluginFolderIsRefusedAndAnotherAskedFor)
{
    // There the next build would pack the setup (the tool folder's refusal
    // is told the same way).
    const std::string plugin = EnterPlugin();
    std::vector<std::string> told;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        for (const std::string& folder : {plugin, plugin + "language\\more\\"}) {
            if (!AnswerDestination(folder))
                return;
            told.push_back(AnswerMessage(IDOK).Text);
        }
        AnswerDestination("", IDCANCEL);
    }));
    ASSERT_EQ(told.size(), 2u);
    for (const std::string& text : told)
        EXPECT_EQ(WithoutLineBreaks(text), WithoutLineBreaks(DestinationRefusal(plugin, tool_, plugin) +
                                                             "Please choose another folder."));
    EXPECT_FALSE(FileExistsAt(tool_ + "fs.wfx_setup.exe"));
    EXPECT_EQ(TreeOf(plugin), TreeOf(PluginFolder({"fs.wfx"})));
}

TEST_F(BuildCompletion, CancellingTheChooserDeletesTheFreshInstaller)
{
    EnterPlugin();
    const std::string installer = tool_ + "fs.wfx_setup.exe";
    bool seen = false;
    PressCreate();
    ASSERT_TRUE(Answer([&] { AnswerDestination("", IDCANCEL, [&](HWND) { seen = FileExistsAt(installer); }); }));
    EXPECT_TRUE(seen); // it was there while the user chose
    EXPECT_FALSE(FileExistsAt(installer));
}

TEST_F(BuildCompletion, TheInstallerIsTheOneOfTheBuildThatEnded)
{
    ExtendTemplate("!system \"sleep 2\"");
    EnterPlugin({"alpha.wfx", "beta.wlx"});
    const int built = form_->ComboBoxMainFile->ItemIndex();
    ASSERT_GE(built, 0);
    const std::string builtName = form_->ComboBoxMainFile->Item(built);
    const std::string otherName = builtName == "alpha.wfx" ? "beta.wlx" : "alpha.wfx";
    // An installer of the other main file, from an earlier run: not ours to move.
    WriteWholeFile(tool_ + otherName + "_setup.exe", "earlier installer");
    TempFolder destination;

    PressCreate();
    ASSERT_TRUE(Eventually([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    // While the compiler runs the user picks the other main file, then scans
    // a folder without any plugin.
    form_->ComboBoxMainFile->SetItemIndex(1 - built);
    TypeInto(form_->EditFolder, PluginFolder({}));
    ASSERT_EQ(form_->ComboBoxMainFile->ItemIndex(), -1);
    ASSERT_TRUE(Answer([&] { AnswerDestination(destination.Path()); }));
    EXPECT_TRUE(FileExistsAt(destination.Path() + builtName + "_setup.exe"));
    EXPECT_FALSE(FileExistsAt(destination.Path() + otherName + "_setup.exe"));
    EXPECT_FALSE(FileExistsAt(destination.Path() + "_setup.exe"));
    EXPECT_EQ(ReadWholeFile(tool_ + otherName + "_setup.exe"), "earlier installer");
}

TEST_F(BuildCompletion, RejectedScriptShowsTheCompilersMessagesOverAnOpenDialogAndOffersNothing)
{
    ExtendTemplate("!system \"sleep 2\"\r\nThisIsNoCommand");
    EnterPlugin();
    const std::string installer = WriteWholeFile(tool_ + "fs.wfx_setup.exe", "installer of an earlier run");
    std::string message, messages;
    bool overTheRefusal = false;
    HWND extra = nullptr;
    PressCreate();
    ASSERT_TRUE(Eventually([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    PressCreate(); // refused; its box is still open when the failure arrives
    ASSERT_TRUE(Answer([&] {
        HWND refusal = NextDialog();
        if (refusal == nullptr)
            return;
        if (HWND box = NextDialog(refusal, kBuildTimeoutMs)) {
            overTheRefusal = IsWindowVisible(refusal) && !IsWindowEnabled(refusal);
            message = WindowTextOf(FindWindowExA(box, nullptr, "Static", nullptr));
            messages = WindowTextOf(FindWindowExA(box, nullptr, "Edit", nullptr));
            PressDialogButton(box, IDOK);
            Gone(box);
        }
        PressDialogButton(refusal, IDOK);
        Gone(refusal);
        extra = NextDialog(nullptr, 2000);
        if (extra != nullptr)
            PressDialogButton(extra, IDCANCEL);
    }));
    EXPECT_NE(message.find("could not be created: the compiler ended with exit code 1."), std::string::npos) << message;
    EXPECT_NE(message.find(":\r\n    ThisIsNoCommand\r\n"), std::string::npos) << message; // the failing line
    EXPECT_NE(message.find("\"" + tool_ + kCompilerLogFileName + "\"."), std::string::npos) << message;
    // The compiler's own words, in the window and in the log beside the script.
    EXPECT_NE(messages.find("Invalid command: \"ThisIsNoCommand\""), std::string::npos) << messages;
    EXPECT_NE(messages.find("aborting creation process"), std::string::npos) << messages;
    const std::string log = ReadWholeFile(tool_ + kCompilerLogFileName);
    EXPECT_NE(log.find("Invalid command: \"ThisIsNoCommand\""), std::string::npos) << log;
    EXPECT_NE(log.find("Error in script \"" + tool_ + kScriptFileName + "\" on line "), std::string::npos) << log;
    EXPECT_TRUE(overTheRefusal);
    EXPECT_EQ(extra, nullptr); // no destination is asked for
    EXPECT_EQ(ReadWholeFile(installer), "installer of an earlier run");
}

TEST_F(BuildCompletion, CompilerThatWritesNoInstallerIsAFailureToo)
{
    // The script compiles, but its installer is gone when the compiler ends.
    ExtendTemplate("!finalize 'rm \"%1\"' = 0");
    EnterPlugin();
    PressCreate();
    const std::string text = AnswerBox().Text;
    EXPECT_NE(text.find("could not be created"), std::string::npos) << text;
    EXPECT_NE(text.find("exit code 0"), std::string::npos) << text;
}

TEST_F(BuildCompletion, AnOccupiedDestinationIsReplacedOnlyWhenTheUserSaysYes)
{
    EnterPlugin();
    const std::string installer = tool_ + "fs.wfx_setup.exe";
    TempFolder destination;
    const std::string target = destination.Write("fs.wfx_setup.exe", "someone else's file");

    // No: another folder is asked for; cancelling it deletes the new installer.
    std::string question;
    bool askedAgain = false;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (AnswerDestination(destination.Path())) {
            question = AnswerMessage(IDNO).Text;
            askedAgain = AnswerDestination("", IDCANCEL);
        }
    }));
    EXPECT_NE(question.find(target), std::string::npos) << question;
    EXPECT_TRUE(askedAgain);
    EXPECT_EQ(ReadWholeFile(target), "someone else's file");
    EXPECT_FALSE(FileExistsAt(installer));

    // Yes: replaced.
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (AnswerDestination(destination.Path()))
            AnswerMessage(IDYES);
    }));
    EXPECT_EQ(ReadWholeFile(target).substr(0, 2), "MZ");
    EXPECT_FALSE(FileExistsAt(installer));
}

TEST_F(BuildCompletion, AFailedMoveIsReportedAndAnotherFolderAskedFor)
{
    EnterPlugin();
    TempFolder parent, destination;
    const std::string doomed = parent.MakeFolder("gone");
    std::string text;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (HWND chooser = NextDialog(nullptr, kBuildTimeoutMs)) {
            LetChooserSettle();
            SelectChooserFolder(chooser, WithoutTrailingBackslash(doomed));
            RemoveDirectoryA(doomed.c_str()); // vanishes before the move
            PressDialogButton(chooser, IDOK);
            Gone(chooser);
            text = AnswerMessage(IDOK).Text;
            AnswerDestination(destination.Path());
        }
    }));
    EXPECT_NE(text.find("could not be placed"), std::string::npos) << text;
    EXPECT_NE(text.find(SystemErrorText(ERROR_PATH_NOT_FOUND)), std::string::npos) << text;
    EXPECT_TRUE(FileExistsAt(destination.Path() + "fs.wfx_setup.exe"));
    EXPECT_FALSE(FileExistsAt(tool_ + "fs.wfx_setup.exe"));
}

TEST_F(BuildCompletion, ArrivesOverTheFolderFieldsChooserWhichWorksOnAfterwards)
{
    ExtendTemplate("!system \"sleep 2\"");
    EnterPlugin();
    const std::string installer = tool_ + "fs.wfx_setup.exe";
    TempFolder destination, otherPlugin;
    otherPlugin.Write("other.wlx");
    std::string secondTitle;
    bool firstDisabledMeanwhile = false, firstEnabledAfter = false, firstSelected = false;

    PressCreate();
    ASSERT_TRUE(Eventually([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    // The user clears the folder field and browses for another plugin while
    // the compiler runs. (Asked from outside, Wine's chooser does not always
    // move its selection away from the folder it opened on, so it opens on
    // nothing here.)
    TypeInto(form_->EditFolder, "");
    PostMessageA(form_->Button2->Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(Answer([&] {
        HWND first = NextDialog();
        if (first == nullptr)
            return;
        HWND second = NextDialog(first, kBuildTimeoutMs);
        if (second == nullptr) {
            PressDialogButton(first, IDCANCEL);
            return;
        }
        secondTitle = ChooserTitle(second);
        firstDisabledMeanwhile = !IsWindowEnabled(first);
        AnswerChooser(second, destination.Path());
        firstEnabledAfter = Eventually([&] { return IsWindowEnabled(first) != FALSE; });
        // The first works on as before.
        firstSelected = AnswerChooser(first, otherPlugin.Path());
    }));
    EXPECT_EQ(secondTitle, kDestinationQuestion);
    EXPECT_TRUE(firstDisabledMeanwhile);
    EXPECT_TRUE(firstEnabledAfter);
    EXPECT_TRUE(firstSelected);
    EXPECT_TRUE(FileExistsAt(destination.Path() + "fs.wfx_setup.exe"));
    EXPECT_FALSE(FileExistsAt(installer));
    EXPECT_EQ(form_->EditFolder->Text(), otherPlugin.Path());
    EXPECT_EQ(form_->ComboBoxMainFile->SelectedText(), "other.wlx");
}

TEST_F(BuildCompletion, StoppingTheBuildEndsTheCompilerOnTheHostTooAndLetsTheNextBuildGo)
{
    ExtendTemplate("!system \"sleep 60\"");
    EnterPlugin();
    PressCreate();
    ASSERT_TRUE(Eventually([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    const HANDLE compiler = form_->Spawn->ProcessHandle();
    // The host's compiler that the stand-in started, by the stand-in's work folder.
    const std::string work = "makensis-" + std::to_string(GetProcessId(compiler)) + "-";
    ASSERT_TRUE(Eventually([&] { return HostProcessRunning(work); }, 30000));

    // As closing the window asks: No keeps the build going, Yes stops it.
    for (const int answer : {IDNO, IDYES}) {
        bool canClose = answer == IDNO;
        std::string asked;
        std::thread answering([&] { asked = AnswerMessage(answer).Text; });
        form_->FormCloseQuery(form_.get(), canClose);
        answering.join();
        EXPECT_NE(asked.find("A setup is being created"), std::string::npos) << asked;
        EXPECT_EQ(canClose, answer == IDYES);
        EXPECT_EQ(WaitForSingleObject(compiler, 0) == WAIT_OBJECT_0, answer == IDYES);
    }
    EXPECT_TRUE(TBuildLock().Take(tool_)); // at once: the compiler has ended
    EXPECT_TRUE(Eventually([&] { return !HostProcessRunning(work); }, 10000));
    EXPECT_FALSE(FileExistsAt(tool_ + "fs.wfx_setup.exe"));
}

TEST_F(BuildCompletion, StoppingTheBuildEndsWhatTheCompilerStartedBeforeItJoinedTheBuild)
{
    // A compiler that starts a program at once, before the shell has handed
    // it over, and runs on.
    CopyFileTo(SpawnProbe(), tool_ + kCompilerFileName);
    TempFolder records;
    const std::string idFile = records.Path() + "child.id";
    SetEnvironmentVariableA("SPAWNPROBE_SPAWN", idFile.c_str());
    EnterPlugin();
    PressCreate();
    const DWORD child = SpawnedProcessId(idFile);
    SetEnvironmentVariableA("SPAWNPROBE_SPAWN", nullptr);
    ASSERT_NE(child, 0u);
    bool canClose = false;
    std::thread answering([&] { AnswerMessage(IDYES); });
    form_->FormCloseQuery(form_.get(), canClose);
    answering.join();
    EXPECT_TRUE(canClose);
    EXPECT_TRUE(ProcessGone(child));
}

TEST_F(BuildCompletion, ASetupThatDoesNotFitKeepsTheEarlierOneWholeAndLeavesNothingBeside)
{
    // A setup larger than the drive's free space (its plugin holds a file
    // that no compression makes smaller) over an earlier setup there.
    const std::string plugin = EnterPlugin();
    std::mt19937 random(7);
    std::string noise(1 << 20, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    WriteWholeFile(plugin + "noise.bin", noise);
    const SmallDrive drive(600);
    const std::string earlier = drive.Path() + "fs.wfx_setup.exe";
    WriteWholeFile(earlier, std::string(100000, 'e'));
    std::string failure;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (AnswerDestination(drive.Path())) {
            AnswerMessage(IDYES); // replace it
            failure = AnswerMessage(IDOK, kBuildTimeoutMs).Text;
            AnswerDestination("", IDCANCEL);
        }
    }));
    EXPECT_NE(failure.find("could not be placed"), std::string::npos) << failure;
    EXPECT_NE(failure.find("The earlier setup there was kept"), std::string::npos) << failure;
    EXPECT_EQ(ReadWholeFile(earlier), std::string(100000, 'e'));
    EXPECT_EQ(TreeOf(drive.Path()), std::vector<std::string>{"fs.wfx_setup.exe"});
    EXPECT_TRUE(Eventually([&] { return !FileExistsAt(tool_ + "fs.wfx_setup.exe"); }, 5000));
}
