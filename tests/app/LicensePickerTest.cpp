// The licence picker driven through the real file-open dialog: a helper
// thread finds the dialog, types into its file-name field and confirms or
// cancels it.
#include "app/Unit1.h"
#include "tests/support/TestSupport.h"
#include "toolkit/Application.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The file-name field of the Explorer-style dialog: an edit, or a combo box
// (extended or not) with the edit inside.
constexpr int kFileNameField = 0x047C;

BOOL CALLBACK FindEdit(HWND window, LPARAM data)
{
    char name[32] = {};
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpiA(name, "Edit") == 0) {
        *reinterpret_cast<HWND*>(data) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FileNameEdit(HWND dialog)
{
    const HWND field = GetDlgItem(dialog, kFileNameField);
    if (field == nullptr)
        return nullptr;
    char name[32] = {};
    GetClassNameA(field, name, sizeof(name));
    if (lstrcmpiA(name, "Edit") == 0)
        return field;
    HWND edit = nullptr;
    EnumChildWindows(field, FindEdit, reinterpret_cast<LPARAM>(&edit));
    return edit;
}

struct DialogSeen {
    std::atomic<bool> mainWindowDisabled{false};
    std::atomic<bool> ownedByApplicationWindow{false};
    std::atomic<bool> typed{false};
};

class LicensePicker : public testing::Test {
protected:
    void SetUp() override
    {
        form_.reset(new TFormMain(nullptr));
        FormMain = form_.get();
        Application->SetMainForm(form_.get());
        form_->Show();
        // Count the licence field's change events, then run the handler wired to it.
        const TNotifyEvent wired = form_->EditLicense->OnChange;
        ASSERT_TRUE(wired.Assigned());
        form_->EditLicense->OnChange = TNotifyEvent([this, wired](TObject* sender) {
            senders_.push_back(sender);
            wired(sender);
        });
    }

    void TearDown() override
    {
        ShowWindow(form_->Handle(), SW_HIDE);
        Application->SetMainForm(nullptr);
        FormMain = nullptr;
        form_.reset();
    }

    // Clicks the licence button; the dialog gets `fileName` typed into its
    // file-name field and is confirmed, or is cancelled when `fileName` is null.
    void Pick(const char* fileName, DialogSeen& seen)
    {
        const HWND main = form_->Handle();
        DialogAnswerer answerer([&, main](HWND dialog) {
            seen.mainWindowDisabled = !IsWindowEnabled(main);
            seen.ownedByApplicationWindow = GetWindow(dialog, GW_OWNER) == Application->Handle();
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
        const bool answered = PumpUntil([&] { return answerer.Answered(); }, 20000);
        // Wait until the dialog is gone and the handler has returned.
        PumpUntil([&] { return FindProcessDialog() == nullptr && IsWindowEnabled(main); }, 10000);
        PumpFor(100);
        answerer.Join();
        ASSERT_TRUE(answered);
        if (fileName != nullptr) {
            ASSERT_TRUE(seen.typed);
        }
        EXPECT_EQ(FindProcessDialog(), nullptr);
        EXPECT_TRUE(seen.mainWindowDisabled);
        EXPECT_TRUE(seen.ownedByApplicationWindow);
        EXPECT_TRUE(IsWindowEnabled(main));
    }

    std::unique_ptr<TFormMain> form_;
    std::vector<TObject*> senders_;
};

} // namespace

TEST_F(LicensePicker, CancelLeavesTheFieldUnchanged)
{
    form_->EditLicense->SetText("C:\\licences\\old.txt");
    senders_.clear();
    DialogSeen seen;
    Pick(nullptr, seen);
    EXPECT_EQ(form_->EditLicense->Text(), "C:\\licences\\old.txt");
    EXPECT_TRUE(senders_.empty());
}

TEST_F(LicensePicker, PickedFileSetsItsPathOnceAndTheSameFileAgainRaisesNothing)
{
    TempFolder folder;
    const std::string licence = folder.Write("licence.txt", "Use it freely.\r\n");
    {
        DialogSeen seen;
        Pick(licence.c_str(), seen);
    }
    EXPECT_EQ(form_->EditLicense->Text(), licence);
    ASSERT_EQ(senders_.size(), 1u);
    EXPECT_EQ(senders_[0], form_->EditLicense);

    // The very file the field already names: nothing changes, nothing rescans.
    {
        DialogSeen seen;
        Pick(licence.c_str(), seen);
    }
    EXPECT_EQ(form_->EditLicense->Text(), licence);
    EXPECT_EQ(senders_.size(), 1u);

    // Another file is a change again.
    const std::string other = folder.Write("other.rtf", "{\\rtf1 x}");
    {
        DialogSeen seen;
        Pick(other.c_str(), seen);
    }
    EXPECT_EQ(form_->EditLicense->Text(), other);
    EXPECT_EQ(senders_.size(), 2u);
}

TEST_F(LicensePicker, TypedNameOfAMissingFileIsAccepted)
{
    TempFolder folder;
    const std::string missing = folder.Path() + "missing-licence.txt";
    ASSERT_FALSE(FileExists(missing));
    {
        DialogSeen seen;
        Pick(missing.c_str(), seen);
    }
    EXPECT_EQ(form_->EditLicense->Text(), missing);
    EXPECT_EQ(senders_.size(), 1u);
    EXPECT_FALSE(FileExists(missing)); // nothing was created either
}

TEST_F(LicensePicker, PendingCallRunsInsideTheFileDialogsLoop)
{
    std::atomic<bool> ran{false};
    std::atomic<bool> ranBeforeClose{false};
    std::atomic<DWORD> ranOn{0};
    std::thread worker;
    DialogAnswerer answerer([&](HWND dialog) {
        worker = std::thread([&] {
            Application->Synchronize([&] {
                ranOn = GetCurrentThreadId();
                ran = true;
            });
        });
        const DWORD start = GetTickCount();
        while (!ran && GetTickCount() - start < 10000)
            Sleep(10);
        ranBeforeClose = ran.load();
        PressDialogButton(dialog, IDCANCEL);
    });
    SendMessageA(form_->ButtonLoadLicense->Handle(), BM_CLICK, 0, 0); // returns when the dialog has closed
    answerer.Join();
    if (worker.joinable()) {
        PumpUntil([&] { return ran.load(); }, 5000);
        worker.join();
    }
    ASSERT_TRUE(answerer.Answered());
    EXPECT_TRUE(ranBeforeClose);
    EXPECT_EQ(ranOn, GetCurrentThreadId());
    EXPECT_TRUE(senders_.empty());
}
