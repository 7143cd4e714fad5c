#pragma once
// The real main window in a real tool folder: the test program's own folder,
// which is the window's AppFolder, holds the template, the compiler, the name
// helpers and three language files of the dist folder, as a user's unpacked
// tool folder does.
// Whatever a test leaves there goes at its end.
#include "app/Unit1.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Folders.h"
#include "tests/support/Polling.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

class MainWindowTest : public testing::Test {
protected:
    // Places the tool files, then opens the window.
    void SetUp() override;
    // Lets a compiler run end, closes the window and empties the tool folder.
    void TearDown() override;

    // Creates the main window as the tool does at start-up, and shows it.
    void OpenWindow(bool show = true);
    void CloseWindow();

    // The user types (or pastes) `text` into an edit, which reports the change.
    static void TypeInto(TEdit* edit, const std::string& text);
    // Enters a plugin folder and a plugin name.
    void Enter(const std::string& folder, const std::string& name = "MyPlugin");
    // A plugin folder with the main files `mainFiles`, kept until the end of
    // the test; its path.
    std::string PluginFolder(const std::vector<std::string>& mainFiles);
    // Enters such a folder with a typed name; its path.
    std::string EnterPlugin(const std::vector<std::string>& mainFiles = {"fs.wfx"});
    // Waits until the plugin entered has told its name and its helper has let
    // go of the main file, which can then be changed.
    void SettleName();
    void Check(const std::string& language);
    // Clicks "Create setup" as a user does: the loop handles the click.
    void PressCreate();
    // The tool folder's template with `extra` appended (for example a line
    // that makes the compiler slow or fail).
    void ExtendTemplate(const std::string& extra);

    // Runs `script` on a helper thread, which answers the dialogs as they
    // come, while this thread serves the window until the script has ended.
    bool Answer(std::function<void()> script, DWORD timeoutMs = kBuildTimeoutMs);
    // Serves the window until the next message box has appeared, answers it
    // with `button` from the helper thread and tells what it showed.
    DialogView AnswerBox(int button = IDOK);

    // From the helper thread: the next message box, read, answered with
    // `button` and gone; what it showed (nothing when none came).
    static DialogView AnswerMessage(int button, DWORD timeoutMs = 30000);
    // From a helper thread: lets a folder chooser settle, lets `look` read
    // it, selects `folder` (with trailing backslash) unless it is empty,
    // presses `button` and waits until the chooser has gone; whether the
    // folder was selected.
    static bool AnswerChooser(HWND chooser, const std::string& folder, int button = IDOK,
                              const std::function<void(HWND)>& look = {});
    // From the helper thread: answers the destination chooser of a build, as
    // AnswerChooser does, once the build has ended; whether it came.
    static bool AnswerDestination(const std::string& folder, int button = IDOK,
                                  const std::function<void(HWND)>& look = {});

    std::string tool_;
    std::unique_ptr<TFormMain> form_;

private:
    std::thread helper_;
    std::vector<std::unique_ptr<TempFolder>> plugins_;
};
