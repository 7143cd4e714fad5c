// The end of a compiler run in the real window: the destination chooser, the
// move, and every way the delivery can go wrong, with the real NSIS compiler.
#include "ToolFolderFixture.h"

namespace {

using BuildCompletion = ToolFolderTest;

const char kChooserTitle[] = "In which folder would you like to place the setup?";

} // namespace

TEST_F(BuildCompletion, InstallerMovesToTheChosenFolder)
{
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    const std::string installer = Installer("fs.wfx_setup.exe");
    TempFolder destination;
    std::string title, status;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        HWND chooser = NextDialog(nullptr, 60000);
        if (chooser == nullptr)
            return;
        LetChooserSettle();
        title = ChooserTitle(chooser);
        status = ChooserStatusLine(chooser);
        AnswerChooser(chooser, destination.Path());
    }));
    EXPECT_EQ(title, kChooserTitle);
    EXPECT_EQ(status, WithoutTrailingBackslash(tool_)); // opens at the tool's folder
    EXPECT_TRUE(FileExists(destination.Path() + "fs.wfx_setup.exe"));
    EXPECT_FALSE(FileExists(installer));
    EXPECT_EQ(ReadWholeFile(destination.Path() + "fs.wfx_setup.exe").substr(0, 2), "MZ");
}

TEST_F(BuildCompletion, CancellingTheChooserDeletesTheFreshInstaller)
{
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    const std::string installer = Installer("fs.wfx_setup.exe");
    bool seen = false;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (HWND chooser = NextDialog(nullptr, 60000)) {
            seen = FileExists(installer);
            AnswerChooser(chooser, "");
        }
    }));
    EXPECT_TRUE(seen); // it was there while the user chose
    EXPECT_FALSE(FileExists(installer));
}

TEST_F(BuildCompletion, TheInstallerIsTheOneOfTheBuildThatEnded)
{
    ExtendTemplate("!system \"sleep 2\"");
    auto plugin = PluginFolder({"alpha.wfx", "beta.wlx"});
    Enter(*plugin);
    const int built = form_->ComboBoxMainFile->ItemIndex();
    ASSERT_GE(built, 0);
    const std::string builtName = form_->ComboBoxMainFile->Item(built);
    const std::string otherName = builtName == "alpha.wfx" ? "beta.wlx" : "alpha.wfx";
    Installer(builtName + "_setup.exe");
    // An installer of the other main file, from an earlier run: not ours to move.
    PlaceText(otherName + "_setup.exe", "earlier installer");
    TempFolder destination;
    auto emptyFolder = std::make_unique<TempFolder>();
    emptyFolder->Write("notes.txt");

    PressCreate();
    ASSERT_TRUE(PumpUntil([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    // While the compiler runs the user picks the other main file, then scans
    // a folder without any plugin.
    form_->ComboBoxMainFile->SetItemIndex(1 - built);
    form_->EditFolder->SetText(emptyFolder->Path());
    ASSERT_EQ(form_->ComboBoxMainFile->ItemIndex(), -1);
    ASSERT_TRUE(Answer([&] {
        if (HWND chooser = NextDialog(nullptr, 60000))
            AnswerChooser(chooser, destination.Path());
    }));
    EXPECT_TRUE(FileExists(destination.Path() + builtName + "_setup.exe"));
    EXPECT_FALSE(FileExists(destination.Path() + otherName + "_setup.exe"));
    EXPECT_FALSE(FileExists(destination.Path() + "_setup.exe"));
    EXPECT_EQ(ReadWholeFile(tool_ + otherName + "_setup.exe"), "earlier installer");
}

TEST_F(BuildCompletion, RejectedScriptShowsTheCompilersMessagesOverAnOpenDialogAndOffersNothing)
{
    ExtendTemplate("!system \"sleep 2\"\r\nThisIsNoCommand");
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    const std::string installer = Installer("fs.wfx_setup.exe");
    PlaceText("fs.wfx_setup.exe", "installer of an earlier run");
    std::string message, messages;
    bool overTheRefusal = false;
    HWND extra = nullptr;
    PressCreate();
    ASSERT_TRUE(PumpUntil([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    PressCreate(); // refused; its box is still open when the failure arrives
    ASSERT_TRUE(Answer([&] {
        HWND refusal = NextDialog();
        if (refusal == nullptr)
            return;
        if (HWND box = NextDialog(refusal, 60000)) {
            overTheRefusal = IsWindowVisible(refusal) && !IsWindowEnabled(refusal);
            message = WindowTextOf(FindWindowExA(box, nullptr, "Static", nullptr));
            messages = WindowTextOf(FindWindowExA(box, nullptr, "Edit", nullptr));
            PressDialogButton(box, IDOK);
            WaitGone(box);
        }
        PressDialogButton(refusal, IDOK);
        WaitGone(refusal);
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
    // The script compiles, but its installer goes elsewhere under another name.
    ExtendTemplate("OutFile \"/tmp/setupcreator_elsewhere_setup.exe\"");
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    Installer("fs.wfx_setup.exe");
    PressCreate();
    const std::string text = AnswerBox().Text;
    EXPECT_NE(text.find("could not be created"), std::string::npos) << text;
    EXPECT_NE(text.find("exit code 0"), std::string::npos) << text;
}

TEST_F(BuildCompletion, AnOccupiedDestinationIsReplacedOnlyWhenTheUserSaysYes)
{
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    const std::string installer = Installer("fs.wfx_setup.exe");
    TempFolder destination;
    const std::string target = destination.Write("fs.wfx_setup.exe", "someone else's file");

    // No: the new installer stays in the tool's folder, and the user is told where.
    std::string question, notice;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (HWND chooser = NextDialog(nullptr, 60000)) {
            AnswerChooser(chooser, destination.Path());
            WaitGone(chooser);
        }
        if (HWND ask = NextDialog()) {
            question = MessageText(ask);
            PressDialogButton(ask, IDNO);
            WaitGone(ask);
        }
        if (HWND told = NextDialog()) {
            notice = MessageText(told);
            PressDialogButton(told, IDOK);
        }
    }));
    EXPECT_NE(question.find(target), std::string::npos) << question;
    EXPECT_NE(notice.find(installer), std::string::npos) << notice;
    EXPECT_EQ(ReadWholeFile(target), "someone else's file");
    EXPECT_TRUE(FileExists(installer));

    // Yes: replaced.
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (HWND chooser = NextDialog(nullptr, 60000)) {
            AnswerChooser(chooser, destination.Path());
            WaitGone(chooser);
        }
        if (HWND ask = NextDialog())
            PressDialogButton(ask, IDYES);
    }));
    EXPECT_EQ(ReadWholeFile(target).substr(0, 2), "MZ");
    EXPECT_FALSE(FileExists(installer));
}

TEST_F(BuildCompletion, AFailedMoveIsReportedAndKeepsTheInstaller)
{
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    const std::string installer = Installer("fs.wfx_setup.exe");
    TempFolder parent;
    const std::string doomed = parent.MakeFolder("gone");
    std::string text;
    PressCreate();
    ASSERT_TRUE(Answer([&] {
        if (HWND chooser = NextDialog(nullptr, 60000)) {
            LetChooserSettle();
            static std::string selection;
            selection = WithoutTrailingBackslash(doomed);
            SelectChooserFolder(chooser, selection);
            RemoveDirectoryA(doomed.c_str()); // vanishes before the move
            PressDialogButton(chooser, IDOK);
            WaitGone(chooser);
        }
        if (HWND box = NextDialog()) {
            text = MessageText(box);
            PressDialogButton(box, IDOK);
        }
    }));
    EXPECT_NE(text.find("could not be moved"), std::string::npos) << text;
    EXPECT_NE(text.find(SystemErrorText(ERROR_PATH_NOT_FOUND)), std::string::npos) << text;
    EXPECT_NE(text.find(installer), std::string::npos) << text;
    EXPECT_TRUE(FileExists(installer));
}

TEST_F(BuildCompletion, ArrivesOverTheFolderFieldsChooserWhichWorksOnAfterwards)
{
    ExtendTemplate("!system \"sleep 2\"");
    auto plugin = PluginFolder({"fs.wfx"});
    Enter(*plugin);
    const std::string installer = Installer("fs.wfx_setup.exe");
    TempFolder destination, otherPlugin;
    otherPlugin.Write("other.wlx");
    std::string secondTitle, firstStatus;
    bool firstDisabledMeanwhile = false, firstEnabledAfter = false, firstSelected = false;

    PressCreate();
    ASSERT_TRUE(PumpUntil([&] { return form_->Spawn->ProcessHandle() != nullptr; }));
    // The user clears the folder field and browses for another plugin while
    // the compiler runs. (Asked from outside, Wine's chooser does not always
    // move its selection away from the folder it opened on, so it opens on
    // nothing here.)
    form_->EditFolder->SetText("");
    PostMessageA(form_->Button2->Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(Answer([&] {
        HWND first = NextDialog();
        if (first == nullptr)
            return;
        HWND second = NextDialog(first, 60000);
        if (second == nullptr) {
            PressDialogButton(first, IDCANCEL);
            return;
        }
        LetChooserSettle();
        secondTitle = ChooserTitle(second);
        firstDisabledMeanwhile = !IsWindowEnabled(first);
        AnswerChooser(second, destination.Path());
        WaitGone(second);
        Sleep(300);
        firstEnabledAfter = IsWindowEnabled(first);
        // The first works on as before.
        static std::string selection;
        selection = WithoutTrailingBackslash(otherPlugin.Path());
        firstSelected = SelectChooserFolder(first, selection);
        firstStatus = ChooserStatusLine(first);
        PressDialogButton(first, IDOK);
    }));
    EXPECT_EQ(secondTitle, kChooserTitle);
    EXPECT_TRUE(firstDisabledMeanwhile);
    EXPECT_TRUE(firstEnabledAfter);
    EXPECT_TRUE(firstSelected) << firstStatus;
    EXPECT_TRUE(FileExists(destination.Path() + "fs.wfx_setup.exe"));
    EXPECT_FALSE(FileExists(installer));
    EXPECT_EQ(form_->EditFolder->Text(), otherPlugin.Path());
    EXPECT_EQ(form_->ComboBoxMainFile->SelectedText(), "other.wlx");
}
