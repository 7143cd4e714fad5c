// The browse button of the real main window and the shell's real folder
// dialog, answered from a helper thread.
#include "app/Unit1.h"
#include "tests/shell/FolderDialogDriver.h"
#include "tests/support/TestSupport.h"
#include "toolkit/Application.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

std::string TestPlugin(const std::string& file)
{
    std::string folder = TestProgramFolder();
    folder.pop_back();
    return folder.substr(0, folder.find_last_of('\\') + 1) + "testplugins\\" + file;
}

// Lets the dialog finish its start, selects `folder` and presses `button`.
bool SelectAndPress(HWND dialog, const std::string& folder, int button)
{
    LetChooserSettle();
    const bool selected = folder.empty() || SelectChooserFolder(dialog, folder);
    PressDialogButton(dialog, button);
    return selected;
}

void ClickButton(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

} // namespace

class FolderChooserWindow : public testing::Test {
protected:
    void SetUp() override
    {
        form = new TFormMain(Application);
        form->Show();
        PumpFor(50);
    }
    void TearDown() override { delete form; }

    TFormMain* form = nullptr;
};

TEST_F(FolderChooserWindow, BrowseButtonScansTheChosenFolder)
{
    TempFolder folder;
    ASSERT_TRUE(CopyFileA(TestPlugin("testfs.wfx").c_str(), (folder.Path() + "fsplugin.wfx").c_str(), FALSE));
    folder.Write("readme.txt");
    ASSERT_EQ(form->EditFolder->Text(), "");

    std::string title;
    bool selected = false;
    DialogAnswerer answerer([&](HWND dialog) {
        title = ChooserTitle(dialog);
        LetChooserSettle();
        selected = SelectChooserFolder(dialog, WithoutTrailingBackslash(folder.Path()));
        SaveWindowPicture(dialog, PictureFolder() + "folder-chooser.bmp", 4);
        PressDialogButton(dialog, IDOK);
    });
    ClickButton(form->Button2->Handle());
    answerer.Join();
    ASSERT_TRUE(answerer.Answered());
    ASSERT_TRUE(selected);

    EXPECT_EQ(title, "Choose folder");
    EXPECT_EQ(form->EditFolder->Text(), folder.Path());
    EXPECT_EQ(form->ComboBoxMainFile->SelectedText(), "fsplugin.wfx");
    EXPECT_EQ(form->ComboBoxType->SelectedText(), "WFX");
    EXPECT_EQ(form->EditName->Text(), "TestFS");
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
    PumpFor(200);
    SaveWindowPicture(form->Handle(), PictureFolder() + "main-window-after-browse.bmp");
}

TEST_F(FolderChooserWindow, CancelledBrowseChangesNothing)
{
    TempFolder folder;
    ASSERT_TRUE(CopyFileA(TestPlugin("viewer.wlx").c_str(), (folder.Path() + "viewer.wlx").c_str(), FALSE));
    form->EditFolder->SetText(folder.Path());
    SendMessageA(form->EditName->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("By hand"));

    TempFolder other;
    DialogAnswerer answerer([&](HWND dialog) { SelectAndPress(dialog, WithoutTrailingBackslash(other.Path()), IDCANCEL); });
    ClickButton(form->Button2->Handle());
    answerer.Join();
    ASSERT_TRUE(answerer.Answered());

    EXPECT_EQ(form->EditFolder->Text(), folder.Path());
    EXPECT_EQ(form->EditName->Text(), "By hand");
    EXPECT_EQ(form->ComboBoxMainFile->SelectedText(), "viewer.wlx");
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
        HWND first = WaitForProcessDialog();
        if (first == nullptr)
            return;
        Sleep(1000);
        // What the launcher's wait thread does when the compiler ends: a call
        // queued for the user-interface thread, which the dialog's loop runs.
        std::thread completion([&] {
            Application->Synchronize([&] {
                second = form->ChooseFolder(AppFolder, "In which folder would you like to place the setup?");
            });
        });
        HWND nested = WaitForProcessDialog(10000, first);
        if (nested != nullptr) {
            LetChooserSettle();
            secondTitle = ChooserTitle(nested);
            secondStatusAtStart = ChooserStatusLine(nested);
            firstDisabledMeanwhile = !IsWindowEnabled(first);
            mainDisabledMeanwhile = !IsWindowEnabled(form->Handle());
            secondSelected = SelectAndPress(nested, WithoutTrailingBackslash(destination.Path()), IDOK);
        }
        completion.join();
        Sleep(200);
        firstEnabledAfter = IsWindowEnabled(first) != FALSE;
        firstSelected = SelectAndPress(first, WithoutTrailingBackslash(folder.Path()), IDOK);
    });
    ClickButton(form->Button2->Handle());
    driver.join();

    EXPECT_EQ(secondTitle, "In which folder would you like to place the setup?");
    EXPECT_EQ(secondStatusAtStart, WithoutTrailingBackslash(AppFolder));
    EXPECT_TRUE(firstDisabledMeanwhile);
    EXPECT_TRUE(mainDisabledMeanwhile);
    EXPECT_TRUE(firstEnabledAfter);
    ASSERT_TRUE(secondSelected);
    ASSERT_TRUE(firstSelected);
    EXPECT_EQ(second, destination.Path());
    // The first chooser then worked on as before.
    EXPECT_EQ(form->EditFolder->Text(), folder.Path());
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
}
