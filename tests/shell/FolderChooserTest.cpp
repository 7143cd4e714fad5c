// The shell's real folder dialog, driven from a helper thread the way a user
// would: it waits for the dialog, reads its lines, moves the selection and
// presses a button.
#include "base/Paths.h"
#include "shell/FolderChooser.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Folders.h"
#include "toolkit/Application.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct ChooserSeen {
    std::string title, statusAtStart, statusAfterSelection;
    HWND owner = nullptr;
    bool selected = false, otherWindowEnabled = true;
};

} // namespace

class FolderChooser : public testing::Test {
protected:
    void SetUp() override
    {
        // A visible top-level window of this thread besides the application
        // window, as the main window is in the tool.
        other_ = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 10, 10, 100, 40, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(other_, nullptr);
        ShowWindow(Application->Handle(), SW_SHOWNA);
    }
    void TearDown() override
    {
        DestroyWindow(other_);
        ShowWindow(Application->Handle(), SW_HIDE);
    }

    // Runs the dialog on this thread while a helper thread reads it, selects
    // `select` (when not empty) and presses `button`.
    bool Browse(const std::string& initial, const std::string& select, int button, std::string& path,
                ChooserSeen& view, const std::wstring& root = L"\\\\")
    {
        HWND other = other_;
        DialogAnswerer answerer([&](HWND dialog) {
            LetChooserSettle();
            view.title = ChooserTitle(dialog);
            view.statusAtStart = ChooserStatusLine(dialog);
            view.owner = GetWindow(dialog, GW_OWNER);
            view.otherWindowEnabled = IsWindowEnabled(other) != FALSE;
            if (!select.empty()) {
                view.selected = SelectChooserFolder(dialog, select);
                view.statusAfterSelection = ChooserStatusLine(dialog);
            }
            PressDialogButton(dialog, button);
        });
        const bool result = BrowseForFolderDialog("Choose folder", initial, root, path);
        answerer.Join();
        EXPECT_TRUE(answerer.Answered());
        return result;
    }

    HWND other_ = nullptr;
};

TEST_F(FolderChooser, ConfirmedFolderComesBackWithOneBackslash)
{
    TempFolder folder;
    const std::string chosen = folder.MakeFolder("Some folder");
    std::string path = "stale";
    ChooserSeen view;
    ASSERT_TRUE(Browse(folder.Path(), WithoutTrailingBackslash(chosen), IDOK, path, view));
    EXPECT_EQ(path, chosen);
    EXPECT_EQ(view.title, "Choose folder");
    // The initial folder without its backslash, then the highlighted folder.
    EXPECT_EQ(view.statusAtStart, WithoutTrailingBackslash(folder.Path()));
    EXPECT_EQ(view.statusAfterSelection, WithoutTrailingBackslash(chosen));
    // The application window owns the dialog; the thread's other windows
    // are disabled until the dialog has closed.
    EXPECT_EQ(view.owner, Application->Handle());
    EXPECT_FALSE(view.otherWindowEnabled);
    EXPECT_TRUE(IsWindowEnabled(other_));
}

TEST_F(FolderChooser, ConfirmingTheInitialFolderReturnsIt)
{
    TempFolder folder;
    std::string path;
    ChooserSeen view;
    ASSERT_TRUE(Browse(folder.Path(), "", IDOK, path, view));
    EXPECT_EQ(path, folder.Path());
}

TEST_F(FolderChooser, DriveRootEndsInTwoBackslashes)
{
    std::string path;
    ChooserSeen view;
    ASSERT_TRUE(Browse("", "C:\\", IDOK, path, view));
    ASSERT_TRUE(view.selected) << view.statusAfterSelection;
    EXPECT_EQ(path, "C:\\\\");
}

TEST_F(FolderChooser, CancelGivesFalseAndEmptyPath)
{
    TempFolder folder;
    std::string path = "stale";
    ChooserSeen view;
    EXPECT_FALSE(Browse(folder.Path(), "", IDCANCEL, path, view));
    EXPECT_EQ(path, "");
    EXPECT_TRUE(IsWindowEnabled(other_));
}

TEST_F(FolderChooser, StatusLineSaysTheFolderThatIsSelected)
{
    TempFolder folder;
    const std::string bare = WithoutTrailingBackslash(folder.Path());
    std::string path;

    // The prepared initial folder is selected and shown: one backslash goes.
    for (const std::string& initial : {bare + "\\", bare}) {
        ChooserSeen seen;
        Browse(initial, "", IDCANCEL, path, seen);
        EXPECT_EQ(seen.statusAtStart, bare) << initial;
    }
    // A folder that is not there cannot be selected: the line never names
    // it, only a folder OK would give.
    for (const std::string& initial : {bare + "\\not there\\", std::string()}) {
        ChooserSeen seen;
        Browse(initial, "", IDCANCEL, path, seen);
        EXPECT_NE(seen.statusAtStart, bare + "\\not there") << initial;
        EXPECT_TRUE(seen.statusAtStart.empty() || FolderExistsAt(seen.statusAtStart)) << seen.statusAtStart;
    }
}

TEST_F(FolderChooser, RootThatParsesToNothingOffersTheWholeNamespace)
{
    TempFolder folder;
    const std::string chosen = folder.MakeFolder("x");
    std::string path;
    ChooserSeen view;
    ASSERT_TRUE(Browse(folder.Path(), WithoutTrailingBackslash(chosen), IDOK, path, view,
                       L"C:\\no such folder\\anywhere"));
    ASSERT_TRUE(view.selected) << view.statusAfterSelection;
    EXPECT_EQ(path, chosen);
}
