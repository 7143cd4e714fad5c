// The tool as a Windows desktop program, where windows are managed as on
// Windows (this program runs in a Wine virtual desktop, and the tool it starts
// runs there too): closing through the application window, minimising and
// activation, and the keyboard focus, read from the system.
#include "ToolDriver.h"

#include "base/Paths.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Folders.h"
#include "tests/support/Polling.h"
#include "toolkit/Application.h"

#include <memory>
#include <utility>

#include <gtest/gtest.h>

namespace {

// Generous for a loaded machine; every wait polls and ends as soon as it can.
constexpr DWORD kTimeoutMs = 20000;

// The tool's active window and the window with the keyboard focus.
std::pair<HWND, HWND> InputOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return {info.hwndActive, info.hwndFocus};
}

enum class Compiler { None, EndsAtOnce, RunsUntilClosed, Real };

class Desktop : public testing::Test {
protected:
    // The tool of the dist folder, or of a copy whose compiler is the real
    // one or a program of the build, with a plugin folder entered.
    void Start(Compiler compiler = Compiler::None)
    {
        std::string folder = DistFolder();
        if (compiler != Compiler::None) {
            toolFolder_ = std::make_unique<ToolFolder>();
            folder = toolFolder_->Path();
            CopyFileTo(DistFolder() + "SetupCreator.exe", folder + "SetupCreator.exe");
            if (compiler == Compiler::Real) {
                PlaceToolFiles(folder, {"English.nlf"});
            } else {
                const std::string program = compiler == Compiler::EndsAtOnce
                                                ? SpawnProbe()
                                                : BuildFolder() + "bench\\baseline\\EmptyWindow.exe";
                CopyFileTo(program, folder + "makensis.exe");
            }
        }
        tool_ = std::make_unique<ToolProcess>(folder);
        main_ = tool_->WaitForMainWindow(kTimeoutMs);
        ASSERT_NE(main_, nullptr) << tool_->Describe();
        controls_ = tool_->Controls();
        app_ = GetWindow(main_, GW_OWNER); // the owner gets the taskbar entry; the main window none
        ASSERT_NE(app_, nullptr);
        if (compiler != Compiler::None) {
            CopyFileTo(TestPlugin("viewer.wlx"), plugin_.Path() + "viewer.wlx");
            SetControlText(controls_.Folder, plugin_.Path());
            ASSERT_TRUE(Eventually([&] { return WindowTextOf(controls_.Name) == "viewer"; }, kTimeoutMs));
        }
    }

    bool InputBecomes(HWND active, HWND focus)
    {
        return Eventually([&] { return InputOf(main_) == std::make_pair(active, focus); }, kTimeoutMs);
    }

    // The tool ends within the time limit, with exit code 0.
    void ExpectEndsWithExitCodeZero()
    {
        DWORD exitCode = 1;
        EXPECT_TRUE(tool_->WaitForExit(kTimeoutMs, exitCode)) << tool_->Describe();
        EXPECT_EQ(exitCode, 0u);
    }

    HWND OpenDialog(HWND button)
    {
        ClickButton(button);
        return tool_->WaitForDialog(kTimeoutMs);
    }

    TempFolder plugin_;
    std::unique_ptr<ToolFolder> toolFolder_;
    std::unique_ptr<ToolProcess> tool_;
    HWND main_ = nullptr, app_ = nullptr;
    MainControls controls_;
};

} // namespace

TEST_F(Desktop, StartsWithTheFocusInTheFolderField)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(InputBecomes(main_, controls_.Folder)) << tool_->Describe();
}

enum class Close { Message, SystemCommand, AltF4 };

struct CloseCase {
    const char* name;
    Compiler compiler;
    HWND MainControls::*button; // what is open: the dialog of this button, or the compiler it starts
    Close close;
};

class Closing : public Desktop, public testing::WithParamInterface<CloseCase> {};

TEST_P(Closing, ThroughTheApplicationWindowEndsTheToolWithExitCodeZero)
{
    const CloseCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(c.compiler));
    if (c.button != nullptr) {
        ASSERT_NE(OpenDialog(controls_.*c.button), nullptr) << tool_->Describe();
    }
    if (c.close == Close::Message)
        PostMessageA(app_, WM_CLOSE, 0, 0);
    if (c.close == Close::SystemCommand) // as the taskbar's "Close window"
        PostMessageA(app_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (c.close == Close::AltF4) {
        SetForegroundWindow(app_);
        const std::pair<BYTE, DWORD> keys[] = {{VK_MENU, 0}, {VK_F4, 0}, {VK_F4, KEYEVENTF_KEYUP},
                                               {VK_MENU, KEYEVENTF_KEYUP}};
        for (const auto& [key, flags] : keys)
            keybd_event(key, 0, flags, 0);
    }
    ExpectEndsWithExitCodeZero();
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, Closing,
    testing::Values(CloseCase{"Message", Compiler::None, nullptr, Close::Message},
                    CloseCase{"SystemCommand", Compiler::None, nullptr, Close::SystemCommand},
                    CloseCase{"AltF4", Compiler::None, nullptr, Close::AltF4},
                    CloseCase{"OverMessageBox", Compiler::None, &MainControls::Create, Close::SystemCommand},
                    CloseCase{"OverFileDialog", Compiler::None, &MainControls::LoadLicense, Close::Message},
                    CloseCase{"OverFolderChooser", Compiler::None, &MainControls::Browse, Close::SystemCommand}),
    [](const testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

// Closing the tool while a setup is being created, or waits to be placed,
// asks first: No keeps everything, Yes ends the compiler (and whatever it
// started) or deletes the setup, and the tool ends. Nothing of the build is
// left in the tool folder, where the next build would take it for its own.
enum class Stage { Compiling, AtTheDestinationChooser, AtTheReplaceQuestion };

std::string StageName(Stage stage)
{
    switch (stage) {
    case Stage::Compiling: return "Compiling";
    case Stage::AtTheDestinationChooser: return "AtTheDestinationChooser";
    case Stage::AtTheReplaceQuestion: return "AtTheReplaceQuestion";
    }
    return std::string();
}

class ClosingDuringABuild : public Desktop, public testing::WithParamInterface<Stage> {
protected:
    // Closes the tool from its taskbar entry and answers its question.
    std::string CloseAndAnswer(HWND over, int answer)
    {
        PostMessageA(app_, WM_SYSCOMMAND, SC_CLOSE, 0);
        const HWND question = tool_->WaitForDialog(kTimeoutMs, over);
        if (question == nullptr)
            return "no question\n" + tool_->Describe();
        const std::string text = ReadDialog(question).Text;
        PressDialogButton(question, answer);
        return text;
    }
};

TEST_P(ClosingDuringABuild, AsksAndLeavesNothingOfTheBuild)
{
    const Stage stage = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(stage == Stage::Compiling ? Compiler::RunsUntilClosed : Compiler::Real));
    TempFolder selected;
    if (stage == Stage::AtTheReplaceQuestion)
        selected.Write("viewer.wlx_setup.exe", "someone else's file");
    const std::vector<std::string> before = TreeOf(selected.Path());
    ClickButton(controls_.Create);
    HWND open = nullptr;
    if (stage == Stage::Compiling) {
        ASSERT_TRUE(Eventually([] { return FindWindowA("TEmptyWindow", nullptr) != nullptr; }, kTimeoutMs));
    } else {
        open = tool_->WaitForDialog(kBuildTimeoutMs);
        ASSERT_NE(open, nullptr) << tool_->Describe();
        ASSERT_EQ(ChooserTitle(open), kDestinationQuestion);
        LetChooserSettle();
        ASSERT_TRUE(SelectChooserFolder(open, WithoutTrailingBackslash(selected.Path())));
        if (stage == Stage::AtTheReplaceQuestion) {
            const HWND chooser = open;
            PressDialogButton(chooser, IDOK);
            open = tool_->WaitForDialog(kTimeoutMs, chooser);
            ASSERT_NE(open, nullptr) << tool_->Describe();
            ASSERT_NE(ReadDialog(open).Text.find("Do you want to replace it?"), std::string::npos);
        }
    }

    const std::string asked = CloseAndAnswer(open, IDNO);
    EXPECT_NE(asked.find(stage == Stage::Compiling ? "being created" : "has not been placed yet"), std::string::npos)
        << asked;
    DWORD exitCode = 0;
    EXPECT_FALSE(tool_->WaitForExit(500, exitCode)) << "closed after No";
    EXPECT_TRUE(IsWindow(stage == Stage::Compiling ? FindWindowA("TEmptyWindow", nullptr) : open));

    CloseAndAnswer(open, IDYES);
    ExpectEndsWithExitCodeZero();
    EXPECT_TRUE(Eventually([] { return FindWindowA("TEmptyWindow", nullptr) == nullptr; }, kTimeoutMs))
        << "the compiler runs on";
    EXPECT_FALSE(FileExistsAt(toolFolder_->Path() + "viewer.wlx_setup.exe"));
    EXPECT_EQ(TreeOf(selected.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(Desktop, ClosingDuringABuild,
                         testing::Values(Stage::Compiling, Stage::AtTheDestinationChooser, Stage::AtTheReplaceQuestion),
                         [](const testing::TestParamInfo<Stage>& info) { return StageName(info.param); });

TEST_F(Desktop, MinimiseRestoreAndActivationGoThroughTheApplication)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ClickButton(controls_.Uninstall); // the focus on another control than at start-up
    ASSERT_TRUE(InputBecomes(main_, controls_.Uninstall)) << tool_->Describe();

    // The main window's minimise button, then a click on the taskbar entry.
    PostMessageA(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(Eventually([&] { return IsIconic(app_) && IsWindowVisible(app_) && !IsWindowVisible(main_); },
                           kTimeoutMs));
    PostMessageA(app_, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(Eventually([&] { return !IsIconic(app_) && IsWindowVisible(main_); }, kTimeoutMs));
    EXPECT_TRUE(InputBecomes(main_, controls_.Uninstall)) << tool_->Describe();

    // Another program takes the activation; the taskbar or Alt+Tab bring the
    // application back: its main window, or the dialog open over it.
    const HWND other = Application->Handle();
    ShowWindow(other, SW_SHOW);
    for (const bool withDialog : {false, true}) {
        const HWND expected = withDialog ? OpenDialog(controls_.Create) : main_;
        ASSERT_NE(expected, nullptr) << tool_->Describe();
        ASSERT_TRUE(Eventually([&] { return SetForegroundWindow(other) && InputOf(main_).first == nullptr; },
                               kTimeoutMs));
        SetForegroundWindow(app_);
        EXPECT_TRUE(Eventually([&] { return InputOf(main_).first == expected; }, kTimeoutMs)) << tool_->Describe();
    }
    ShowWindow(other, SW_HIDE);
}

struct DialogCase {
    const char* name;
    Compiler compiler;
    HWND MainControls::*button;
    int answer;
};

class AfterDialog : public Desktop, public testing::WithParamInterface<DialogCase> {};

TEST_P(AfterDialog, TheWindowAndControlThatHadTheFocusHaveItAgain)
{
    const DialogCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(c.compiler));
    const HWND button = controls_.*c.button;
    const HWND dialog = OpenDialog(button);
    ASSERT_NE(dialog, nullptr) << tool_->Describe();
    if (c.compiler == Compiler::EndsAtOnce) {
        const std::string text = ReadDialog(dialog).Text;
        EXPECT_NE(text.find("could not be created"), std::string::npos) << text;
    }
    PressDialogButton(dialog, c.answer);
    EXPECT_TRUE(InputBecomes(main_, button)) << tool_->Describe();
}

// The compiler that ends at once writes no installer: the run's end, handed
// to the window through the queue of pending calls, shows the error box.
INSTANTIATE_TEST_SUITE_P(
    Desktop, AfterDialog,
    testing::Values(DialogCase{"MessageBox", Compiler::None, &MainControls::Create, IDOK},
                    DialogCase{"FileDialog", Compiler::None, &MainControls::LoadLicense, IDCANCEL},
                    DialogCase{"FolderChooser", Compiler::None, &MainControls::Browse, IDCANCEL},
                    DialogCase{"ErrorBoxOfACompilerRun", Compiler::EndsAtOnce, &MainControls::Create, IDOK}),
    [](const testing::TestParamInfo<DialogCase>& info) { return info.param.name; });
