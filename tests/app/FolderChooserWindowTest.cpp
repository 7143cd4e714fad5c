// The browse button of the real main window and the shell's real folder
// dialog, answered from a helper thread.
#include "base/Paths.h"
#include "tests/support/MainWindowFixture.h"
#include "toolkit/Application.h"

#include <string>
#include <thread>

using FolderChooserWindow = MainWindowTest;

TEST_F(FolderChooserWindow, BrowseButtonScansTheChosenFolder)
{
    TempFolder folder;
    CopyFileTo(TestPlugin("counted.wfx"), folder.Path() + "fsplugin.wfx");
    folder.Write("readme.txt");
    ASSERT_EQ(form_->EditFolder->Text(), "");

    std::string title;
    bool selected = false;
    DialogAnswerer answerer([&](HWND dialog) {
        title = ChooserTitle(dialog);
        LetChooserSettle();
        selected = SelectChooserFolder(dialog, WithoutTrailingBackslash(folder.Path()));
        SaveWindowPicture(dialog, "folder-chooser.bmp", 4);
        PressDialogButton(dialog, IDOK);
    });
    SendMessageA(form_->Button2->Handle(), BM_CLICK, 0, 0);
    answerer.Join();
    ASSERT_TRUE(answerer.Answered());
    ASSERT_TRUE(selected);

    EXPECT_EQ(title, "Choose folder");
    EXPECT_EQ(form_->EditFolder->Text(), folder.Path());
    EXPECT_EQ(form_->ComboBoxMainFile->SelectedText(), "fsplugin.wfx");
    EXPECT_EQ(form_->ComboBoxType->SelectedText(), "WFX");
    EXPECT_TRUE(Eventually([&] { return !form_->NameHelper->Running(); }, 30000));
    EXPECT_EQ(form_->EditName->Text(), "Counted");
    // Asked once: the plugin notes each call beside itself.
    EXPECT_EQ(ReadWholeFile(folder.Path() + "calls.txt"), "call\r\n");
    EXPECT_TRUE(IsWindowEnabled(form_->Handle()));
    PumpFor(200);
    SaveWindowPicture(form_->Handle(), "main-window-after-browse.bmp");
}

TEST_F(FolderChooserWindow, CancelledBrowseChangesNothing)
{
    TempFolder folder;
    CopyFileTo(TestPlugin("viewer.wlx"), folder.Path() + "viewer.wlx");
    Enter(folder.Path(), "By hand");

    TempFolder other;
    DialogAnswerer answerer([&](HWND dialog) { AnswerChooser(dialog, other.Path(), IDCANCEL); });
    SendMessageA(form_->Button2->Handle(), BM_CLICK, 0, 0);
    answerer.Join();
    ASSERT_TRUE(answerer.Answered());

    EXPECT_EQ(form_->EditFolder->Text(), folder.Path());
    EXPECT_EQ(form_->EditName->Text(), "By hand");
    EXPECT_EQ(form_->ComboBoxMainFile->SelectedText(), "viewer.wlx");
}

TEST_F(FolderChooserWindow, ChooserFromQueuedCallNestsOverTheFirst)
{
    TempFolder folder;
    std::string second = "not run";
    TempFolder destination;
    bool firstDisabledMeanwhile = false, mainDisabledMeanwhile = false;
    bool firstEnabledAfter = false, firstSelected = false, secondSelected = false;
    std::string secondTitle, secondStatusAtStart;

    std::thread driver([&] {
        HWND first = NextDialog();
        if (first == nullptr)
            return;
        LetChooserSettle();
        // What the launcher's wait thread does when the compiler ends: a call
        // queued for the user-interface thread, which the dialog's loop runs.
        std::thread completion([&] {
            Application->Synchronize([&] {
                second = form_->ChooseFolder(AppFolder, kDestinationQuestion);
            });
        });
        HWND nested = NextDialog(first, 10000);
        if (nested != nullptr) {
            LetChooserSettle();
            secondTitle = ChooserTitle(nested);
            secondStatusAtStart = ChooserStatusLine(nested);
            firstDisabledMeanwhile = !IsWindowEnabled(first);
            mainDisabledMeanwhile = !IsWindowEnabled(form_->Handle());
            secondSelected = AnswerChooser(nested, destination.Path());
        }
        completion.join();
        firstEnabledAfter = Eventually([&] { return IsWindowEnabled(first) != FALSE; });
        firstSelected = AnswerChooser(first, folder.Path());
    });
    SendMessageA(form_->Button2->Handle(), BM_CLICK, 0, 0);
    driver.join();

    EXPECT_EQ(secondTitle, kDestinationQuestion);
    EXPECT_EQ(secondStatusAtStart, WithoutTrailingBackslash(AppFolder));
    EXPECT_TRUE(firstDisabledMeanwhile);
    EXPECT_TRUE(mainDisabledMeanwhile);
    EXPECT_TRUE(firstEnabledAfter);
    ASSERT_TRUE(secondSelected);
    ASSERT_TRUE(firstSelected);
    EXPECT_EQ(second, destination.Path());
    // The first chooser then worked on as before.
    EXPECT_EQ(form_->EditFolder->Text(), folder.Path());
    EXPECT_TRUE(IsWindowEnabled(form_->Handle()));
}
