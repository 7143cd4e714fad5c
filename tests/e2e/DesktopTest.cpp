// The tool as a Windows desktop program, where windows are managed as on
// Windows (this program runs in a Wine virtual desktop, and the tool it starts
// runs there too): closing through the application window, minimising and
// restoring, activation and the keyboard focus, read from the system.
#include "ToolDriver.h"

#include "tests/installer/InstallerTestSupport.h"

#include <memory>

#include <gtest/gtest.h>

namespace {

// Generous for a loaded machine; every wait polls and ends as soon as it can.
constexpr DWORD kTimeoutMs = 20000;

struct InputState {
    HWND active = nullptr;
    HWND focus = nullptr;
    bool operator==(const InputState&) const = default;
};

InputState InputOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return {info.hwndActive, info.hwndFocus};
}

// Alt+F4 as typed, to whichever window is in the foreground.
void PressAltF4()
{
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_MENU, VK_F4, VK_F4, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, keys, sizeof(INPUT));
}

// A window of this program, to take the activation away from the tool.
class OtherWindow {
public:
    OtherWindow()
        : window_(CreateWindowExA(0, "STATIC", "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr))
    {
    }
    bool Activate() const
    {
        return Eventually([&] { return SetForegroundWindow(window_.Get()) && GetForegroundWindow() == window_.Get(); },
                          kTimeoutMs);
    }

private:
    UniqueWindow window_;
};

class Desktop : public testing::Test {
protected:
    void Start(const std::string& toolFolder = DistFolder())
    {
        tool_ = std::make_unique<ToolProcess>(toolFolder);
        main_ = tool_->WaitForMainWindow(kTimeoutMs);
        ASSERT_NE(main_, nullptr) << tool_->Describe();
        controls_ = tool_->Controls();
        app_ = GetWindow(main_, GW_OWNER);
        ASSERT_NE(app_, nullptr) << "the main window has no owner";
    }

    // A copy of the tool folder whose compiler is `compiler` (a program of
    // the build), and a plugin folder entered in the tool.
    void StartWithCompiler(const std::string& compiler)
    {
        toolFolder_ = std::make_unique<ToolFolder>();
        const std::string folder = toolFolder_->Path();
        const std::string tool = DistFolder() + "SetupCreator.exe";
        ASSERT_TRUE(CopyFileA(tool.c_str(), (folder + "SetupCreator.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(compiler.c_str(), (folder + "makensis.exe").c_str(), FALSE)) << compiler;
        ASSERT_NO_FATAL_FAILURE(Start(folder));
        plugin_.Write("viewer.wlx");
        SetControlText(controls_.Folder, plugin_.Path());
        ASSERT_TRUE(Eventually([&] { return ControlText(controls_.Name) == "viewer"; }, kTimeoutMs))
            << tool_->Describe();
    }

    bool InputBecomes(HWND active, HWND focus)
    {
        return Eventually([&] { return InputOf(main_) == InputState{active, focus}; }, kTimeoutMs);
    }

    std::string InputReport()
    {
        const InputState now = InputOf(main_);
        char text[160];
        wsprintfA(text, "active %p (main %p, application %p), focus %p\n", static_cast<void*>(now.active),
                  static_cast<void*>(main_), static_cast<void*>(app_), static_cast<void*>(now.focus));
        return text + tool_->Describe();
    }

    HWND OpenDialog(HWND button)
    {
        ClickButton(button);
        return tool_->WaitForDialog(kTimeoutMs);
    }

    TempFolder plugin_;
    std::unique_ptr<ToolFolder> toolFolder_;
    std::unique_ptr<ToolProcess> tool_;
    HWND main_ = nullptr;
    HWND app_ = nullptr;
    MainControls controls_;
};

} // namespace

TEST_F(Desktop, StartsWithTheFocusInTheFolderField)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(InputBecomes(main_, controls_.Folder)) << InputReport();
}

// ---------------------------------------------------------------------------
// Closing through the application window

enum class Open { Nothing, MessageBox, FileDialog, FolderChooser, CompilerRun };
enum class Close { Message, SystemCommand, AltF4 };

struct CloseCase {
    const char* name;
    Open open;
    Close close;
};

class Closing : public Desktop, public testing::WithParamInterface<CloseCase> {};

TEST_P(Closing, EndsTheToolWithExitCodeZero)
{
    const CloseCase& c = GetParam();
    if (c.open == Open::CompilerRun) {
        // A compiler that runs until its window is closed.
        ASSERT_NO_FATAL_FAILURE(StartWithCompiler(TestProgramFolder() + "..\\bench\\baseline\\EmptyWindow.exe"));
        ClickButton(controls_.Create);
        ASSERT_TRUE(Eventually([] { return FindWindowA("TEmptyWindow", nullptr) != nullptr; }, kTimeoutMs))
            << tool_->Describe();
    } else {
        ASSERT_NO_FATAL_FAILURE(Start());
        const HWND buttons[] = {nullptr, controls_.Create, controls_.LoadLicense, controls_.Browse};
        if (const HWND button = buttons[static_cast<int>(c.open)]) {
            ASSERT_NE(OpenDialog(button), nullptr) << tool_->Describe();
        }
    }

    switch (c.close) {
    case Close::Message:
        PostMessageA(app_, WM_CLOSE, 0, 0);
        break;
    case Close::SystemCommand: // what the taskbar's "Close window" sends
        PostMessageA(app_, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Close::AltF4:
        ASSERT_TRUE(Eventually([&] { return SetForegroundWindow(app_) && GetForegroundWindow() != nullptr; },
                               kTimeoutMs));
        PressAltF4();
        break;
    }
    DWORD exitCode = 1;
    const bool ended = tool_->WaitForExit(kTimeoutMs, exitCode);
    EXPECT_TRUE(ended) << tool_->Describe();
    EXPECT_EQ(exitCode, 0u);

    if (const HWND compiler = FindWindowA("TEmptyWindow", nullptr)) {
        PostMessageA(compiler, WM_CLOSE, 0, 0);
        EXPECT_TRUE(Eventually([] { return FindWindowA("TEmptyWindow", nullptr) == nullptr; }, kTimeoutMs));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, Closing,
    testing::Values(CloseCase{"Message", Open::Nothing, Close::Message},
                    CloseCase{"SystemCommand", Open::Nothing, Close::SystemCommand},
                    CloseCase{"AltF4", Open::Nothing, Close::AltF4},
                    CloseCase{"OverMessageBox", Open::MessageBox, Close::SystemCommand},
                    CloseCase{"OverFileDialog", Open::FileDialog, Close::Message},
                    CloseCase{"OverFolderChooser", Open::FolderChooser, Close::SystemCommand},
                    CloseCase{"WhileCompilerRuns", Open::CompilerRun, Close::Message}),
    [](const testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Minimising, restoring and activating

TEST_F(Desktop, MinimisingTheMainWindowMinimisesTheApplicationAndOneClickRestoresIt)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ClickButton(controls_.Uninstall); // the focus on another control than at start-up
    ASSERT_TRUE(InputBecomes(main_, controls_.Uninstall)) << InputReport();

    // The main window's minimise button.
    PostMessageA(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(Eventually([&] { return IsIconic(app_) && !IsWindowVisible(main_); }, kTimeoutMs))
        << "application minimised " << IsIconic(app_) << ", main window visible " << IsWindowVisible(main_);
    EXPECT_TRUE(IsWindowVisible(app_)); // its entry stays on the taskbar

    // A click on the taskbar entry.
    PostMessageA(app_, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(Eventually([&] { return !IsIconic(app_) && IsWindowVisible(main_); }, kTimeoutMs));
    EXPECT_TRUE(InputBecomes(main_, controls_.Uninstall)) << InputReport();
}

TEST_F(Desktop, ActivatingTheApplicationActivatesTheMainWindowOrItsDialog)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(InputBecomes(main_, controls_.Folder)) << InputReport();
    OtherWindow other;

    // As the taskbar and Alt+Tab do: the application's window is brought to
    // the foreground.
    ASSERT_TRUE(other.Activate());
    SetForegroundWindow(app_);
    EXPECT_TRUE(InputBecomes(main_, controls_.Folder)) << InputReport();

    const HWND box = OpenDialog(controls_.Create);
    ASSERT_NE(box, nullptr) << tool_->Describe();
    ASSERT_TRUE(other.Activate());
    SetForegroundWindow(app_);
    EXPECT_TRUE(Eventually([&] { return InputOf(main_).active == box; }, kTimeoutMs)) << InputReport();
    PressDialogButton(box, IDOK);
}

// ---------------------------------------------------------------------------
// Activation and focus after modal dialogs

struct DialogCase {
    const char* name;
    HWND MainControls::*button;
    int answer;
};

class AfterDialog : public Desktop, public testing::WithParamInterface<DialogCase> {};

TEST_P(AfterDialog, TheWindowAndControlThatHadTheFocusHaveItAgain)
{
    const DialogCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start());
    const HWND button = controls_.*c.button;
    const HWND dialog = OpenDialog(button);
    ASSERT_NE(dialog, nullptr) << tool_->Describe();
    Sleep(300); // a dialog still starting may lose the answer
    PressDialogButton(dialog, c.answer);
    EXPECT_TRUE(InputBecomes(main_, button)) << InputReport();
}

INSTANTIATE_TEST_SUITE_P(Desktop, AfterDialog,
                         testing::Values(DialogCase{"MessageBox", &MainControls::Create, IDOK},
                                         DialogCase{"FileDialog", &MainControls::LoadLicense, IDCANCEL},
                                         DialogCase{"FolderChooser", &MainControls::Browse, IDCANCEL}),
                         [](const testing::TestParamInfo<DialogCase>& info) { return info.param.name; });

TEST_F(Desktop, AfterTheErrorBoxOfACompilerRunTheFocusIsBack)
{
    // A compiler that ends at once and writes no installer: the run's end,
    // handed to the window through the queue of pending calls, shows an error.
    ASSERT_NO_FATAL_FAILURE(StartWithCompiler(TestProgramFolder() + "spawnprobe.exe"));
    ClickButton(controls_.Create);
    const HWND box = tool_->WaitForDialog(kTimeoutMs);
    ASSERT_NE(box, nullptr) << tool_->Describe();
    Sleep(300);
    EXPECT_NE(DialogText(box).find("could not be created"), std::string::npos) << DialogText(box);
    PressDialogButton(box, IDOK);
    EXPECT_TRUE(InputBecomes(main_, controls_.Create)) << InputReport();
}
