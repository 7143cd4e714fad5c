// The licence picker driven through the real file-open dialog: a helper
// thread finds the dialog, types into its file-name field and confirms or
// cancels it.
#include "base/Paths.h"
#include "tests/support/MainWindowFixture.h"
#include "toolkit/Application.h"

#include <atomic>
#include <vector>

namespace {

// The file-name field of the Explorer-style dialog: an edit, or a combo box
// (extended or not) with the edit inside.
constexpr int kFileNameField = 0x047C;

HWND FileNameEdit(HWND dialog)
{
    const HWND field = GetDlgItem(dialog, kFileNameField);
    if (field == nullptr || lstrcmpiA(ClassOf(field).c_str(), "Edit") == 0)
        return field;
    for (HWND child : ChildrenOf(field))
        if (lstrcmpiA(ClassOf(child).c_str(), "Edit") == 0)
            return child;
    return nullptr;
}

struct DialogSeen {
    std::atomic<bool> mainWindowDisabled{false};
    std::atomic<bool> typed{false};
};

class LicensePicker : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        // Count the licence field's change events; the field has no handler of its own.
        ASSERT_FALSE(form_->EditLicense->OnChange.Assigned());
        form_->EditLicense->OnChange = TNotifyEvent([this](TObject* sender) { senders_.push_back(sender); });
    }

    // Clicks the licence button; the dialog gets `fileName` typed into its
    // file-name field and is confirmed, or is cancelled when `fileName` is null.
    void Pick(const char* fileName)
    {
        DialogSeen seen;
        const HWND main = form_->Handle();
        DialogAnswerer answerer([&, main](HWND dialog) {
            seen.mainWindowDisabled = !IsWindowEnabled(main);
            if (fileName == nullptr) {
                PressDialogButton(dialog, IDCANCEL);
                return;
            }
            const HWND edit = FileNameEdit(dialog);
            if (edit == nullptr)
                return; // the test fails below: the dialog is still up
            SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fileName));
            seen.typed = true;
            PressDialogButton(dialog, IDOK);
        });
        // A posted click, as a user's: the dialog's modal loop runs in the pump.
        PostMessageA(form_->ButtonLoadLicense->Handle(), BM_CLICK, 0, 0);
        const bool answered = Eventually([&] { return answerer.Answered(); }, 20000);
        // Wait until the dialog is gone and the handler has returned.
        Eventually([&] { return FindDialog() == nullptr && IsWindowEnabled(main); });
        PumpFor(100);
        answerer.Join();
        // The working folder stays, so that a relative plugin folder keeps its meaning.
        char working[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, working);
        EXPECT_EQ(WithTrailingBackslash(working), tool_);
        ASSERT_TRUE(answered);
        if (fileName != nullptr) {
            ASSERT_TRUE(seen.typed);
        }
        EXPECT_EQ(FindDialog(), nullptr);
        EXPECT_TRUE(seen.mainWindowDisabled);
        EXPECT_EQ(answerer.Seen().Owner, Application->Handle());
        EXPECT_TRUE(IsWindowEnabled(main));
    }

    std::vector<TObject*> senders_;
};

} // namespace

TEST_F(LicensePicker, CancelLeavesTheFieldUnchanged)
{
    form_->EditLicense->SetText("C:\\licences\\old.txt");
    senders_.clear();
    Pick(nullptr);
    EXPECT_EQ(form_->EditLicense->Text(), "C:\\licences\\old.txt");
    EXPECT_TRUE(senders_.empty());
}

TEST_F(LicensePicker, PickedFileSetsItsPathOnceAndTheSameFileAgainRaisesNothing)
{
    TempFolder folder;
    const std::string licence = folder.Write("licence.txt", "Use it freely.\r\n");
    const std::string other = folder.Write("other.rtf", "{\\rtf1 x}");
    // The very file the field already names again: nothing changes, nothing
    // rescans; another file is a change again.
    const std::pair<std::string, std::size_t> picks[] = {{licence, 1}, {licence, 1}, {other, 2}};
    for (const auto& [file, changes] : picks) {
        Pick(file.c_str());
        EXPECT_EQ(form_->EditLicense->Text(), file);
        EXPECT_EQ(senders_.size(), changes);
    }
    EXPECT_EQ(senders_[0], form_->EditLicense);
}

TEST_F(LicensePicker, TypedNameOfAMissingFileIsAccepted)
{
    TempFolder folder;
    const std::string missing = folder.Path() + "missing-licence.txt";
    ASSERT_FALSE(FileExistsAt(missing));
    Pick(missing.c_str());
    EXPECT_EQ(form_->EditLicense->Text(), missing);
    EXPECT_EQ(senders_.size(), 1u);
    EXPECT_FALSE(FileExistsAt(missing)); // nothing was created either
}

TEST_F(LicensePicker, PendingCallRunsInsideTheFileDialogsLoop)
{
    ExpectQueuedCallRunsInside([&] { SendMessageA(form_->ButtonLoadLicense->Handle(), BM_CLICK, 0, 0); }, IDCANCEL);
    EXPECT_TRUE(senders_.empty());
}
