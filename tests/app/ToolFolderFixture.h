#pragma once
// A main window working in a real tool folder: the test program's folder gets
// the template, the compiler and a few language files from the dist folder,
// exactly as a user's unpacked tool folder holds them. Everything placed there
// is removed again at the end of each test.
#include "app/ToolFiles.h"
#include "app/Unit1.h"
#include "tests/shell/FolderDialogDriver.h"
#include "tests/support/TestSupport.h"
#include "toolkit/Application.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

class ToolFolderTest : public testing::Test {
protected:
    static std::string DistFolder()
    {
        std::string tests = TestProgramFolder();
        tests.pop_back();
        return tests.substr(0, tests.find_last_of('\\') + 1) + "dist\\";
    }

    void SetUp() override
    {
        tool_ = TestProgramFolder();
        Place(kTemplateFileName);
        Place(kCompilerFileName);
        CreateDirectoryA((tool_ + "languages").c_str(), nullptr);
        for (const char* language : {"English.nlf", "French.nlf", "German.nlf"})
            Place(std::string("languages\\") + language);
        form_.reset(new TFormMain(nullptr));
        FormMain = form_.get();
        Application->SetMainForm(form_.get());
        form_->Show();
        PumpFor(100);
    }

    void TearDown() override
    {
        if (helper_.joinable())
            helper_.join();
        // Let a compiler still running end before its files go.
        PumpUntil([&] { return !form_->Spawn->EventHandle() && !form_->CompilerLog->Running(); }, 30000);
        ShowWindow(form_->Handle(), SW_HIDE);
        Application->SetMainForm(nullptr);
        FormMain = nullptr;
        form_.reset();
        for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) {
            SetFileAttributesA(it->c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(it->c_str());
        }
        RemoveDirectoryA((tool_ + "languages").c_str());
        DeleteFileA((tool_ + kScriptFileName).c_str());
        DeleteFileA((tool_ + kCompilerLogFileName).c_str());
        RemoveDirectoryA((tool_ + kScriptFileName).c_str());
        for (const std::string& name : installers_)
            DeleteFileA((tool_ + name).c_str());
    }

    // Copies a file of the dist folder into the tool folder.
    void Place(const std::string& relative)
    {
        const std::string target = tool_ + relative;
        ASSERT_TRUE(CopyFileA((DistFolder() + relative).c_str(), target.c_str(), FALSE)) << relative << " " << GetLastError();
        placed_.push_back(target);
    }

    // Writes a file into the tool folder, removed at the end.
    void PlaceText(const std::string& relative, const std::string& content)
    {
        const std::string target = tool_ + relative;
        HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
        placed_.push_back(target);
    }

    // The tool folder's template with `extra` appended (for example a line
    // that makes the compiler slow or fail).
    void ExtendTemplate(const std::string& extra)
    {
        const std::string original = ReadWholeFile(DistFolder() + kTemplateFileName);
        PlaceText(kTemplateFileName, original + "\r\n" + extra + "\r\n");
    }

    // An installer name the test expects in the tool folder; removed at the end.
    std::string Installer(const std::string& name)
    {
        installers_.push_back(name);
        return tool_ + name;
    }

    // A plugin folder with a main file `mainFile` and some other files.
    std::unique_ptr<TempFolder> PluginFolder(const std::vector<std::string>& mainFiles)
    {
        auto folder = std::make_unique<TempFolder>();
        for (const std::string& name : mainFiles)
            folder->Write(name, "not a real library");
        folder->Write("readme.txt", "read me");
        folder->Write("data\\settings.ini", "[plugin]");
        return folder;
    }

    // Scans `folder` and types a plugin name.
    void Enter(const TempFolder& folder, const std::string& name = "MyPlugin")
    {
        form_->EditFolder->SetText(folder.Path());
        form_->EditName->SetText(name);
    }

    void Check(const std::string& language)
    {
        for (int i = 0; i < form_->ListLanguages->Count(); ++i)
            if (form_->ListLanguages->Item(i) == language)
                form_->ListLanguages->SetChecked(i, true);
    }

    void PressCreate() { PostMessageA(form_->ButtonCreate->Handle(), BM_CLICK, 0, 0); }

    // Runs `script` on a helper thread, which answers the dialogs as they
    // come, while this thread serves the window until the script has ended.
    bool Answer(std::function<void()> script, DWORD timeoutMs = 60000)
    {
        std::atomic<bool> done{false};
        helper_ = std::thread([&] {
            script();
            done = true;
        });
        const bool ended = PumpUntil([&] { return done.load(); }, timeoutMs);
        if (ended)
            helper_.join();
        return ended;
    }

    // What a message box showed.
    struct TBoxSeen {
        bool Shown = false;
        std::string Text;
        bool Icon = false;
        std::string Caption;
    };

    // Serves the window until the next message box has appeared, answers it
    // with `button` from the helper thread and tells what it showed.
    TBoxSeen AnswerBox(int button = IDOK, DWORD timeoutMs = 60000)
    {
        TBoxSeen seen;
        EXPECT_TRUE(Answer([&] {
            if (HWND box = NextDialog(nullptr, timeoutMs)) {
                seen.Shown = true;
                seen.Text = MessageText(box);
                seen.Icon = HasIcon(box);
                seen.Caption = WindowTextOf(box);
                PressDialogButton(box, button);
            }
        }));
        return seen;
    }

    // From the helper thread: the next dialog of this process other than
    // `except`, once it has settled.
    static HWND NextDialog(HWND except = nullptr, DWORD timeoutMs = 30000)
    {
        HWND dialog = WaitForProcessDialog(timeoutMs, except);
        if (dialog != nullptr)
            Sleep(300);
        return dialog;
    }

    static std::string MessageText(HWND box)
    {
        // The message is the static control with identifier 0xFFFF.
        return WindowTextOf(GetDlgItem(box, 0xFFFF));
    }

    // Whether a message box shows an icon: a visible icon static control
    // that holds one.
    static bool HasIcon(HWND box)
    {
        bool found = false;
        EnumChildWindows(box, MarkIcon, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    static BOOL CALLBACK MarkIcon(HWND child, LPARAM data)
    {
        if (IsWindowVisible(child) && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            SendMessageA(child, STM_GETICON, 0, 0) != 0)
            *reinterpret_cast<bool*>(data) = true;
        return TRUE;
    }

    // From the helper thread: answers a destination chooser with `folder`
    // (with trailing backslash), or cancels it when `folder` is empty.
    static void AnswerChooser(HWND chooser, const std::string& folder)
    {
        LetChooserSettle();
        if (folder.empty()) {
            PressDialogButton(chooser, IDCANCEL);
            return;
        }
        static std::string selection; // must outlive the request
        selection = WithoutTrailingBackslash(folder);
        SelectChooserFolder(chooser, selection);
        PressDialogButton(chooser, IDOK);
    }

    static void WaitGone(HWND dialog)
    {
        for (int i = 0; i < 500 && IsWindow(dialog); ++i)
            Sleep(20);
    }

    std::string tool_;
    std::unique_ptr<TFormMain> form_;
    std::thread helper_;
    std::vector<std::string> placed_;
    std::vector<std::string> installers_;
};
