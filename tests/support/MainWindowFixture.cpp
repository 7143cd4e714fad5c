#include "MainWindowFixture.h"

#include "core/ToolFiles.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "toolkit/Application.h"

#include <atomic>

void MainWindowTest::SetUp()
{
    tool_ = TestProgramFolder();
    PlaceToolFiles(tool_, {"English.nlf", "French.nlf", "German.nlf"});
    OpenWindow();
}

void MainWindowTest::TearDown()
{
    if (helper_.joinable())
        helper_.join();
    // Let a compiler still running end before its files go.
    if (form_)
        Eventually([&] { return !form_->Spawn->EventHandle() && !form_->CompilerMessages->Running(); }, 30000);
    CloseWindow();
    plugins_.clear();
    EmptyFolder(tool_, ModuleFileName().substr(tool_.size()));
}

void MainWindowTest::OpenWindow(bool show)
{
    form_ = std::make_unique<TFormMain>(nullptr);
    FormMain = form_.get();
    Application->SetMainForm(form_.get());
    if (show) {
        form_->Show();
        PumpFor(100);
    }
}

void MainWindowTest::CloseWindow()
{
    if (form_)
        ShowWindow(form_->Handle(), SW_HIDE);
    Application->SetMainForm(nullptr);
    FormMain = nullptr;
    form_.reset();
}

void MainWindowTest::TypeInto(TEdit* edit, const std::string& text)
{
    SendMessageA(edit->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindowTest::Enter(const std::string& folder, const std::string& name)
{
    TypeInto(form_->EditFolder, folder);
    TypeInto(form_->EditName, name);
}

std::string MainWindowTest::PluginFolder(const std::vector<std::string>& mainFiles)
{
    return MakePluginFolder(*plugins_.emplace_back(std::make_unique<TempFolder>()), "", mainFiles);
}

std::string MainWindowTest::EnterPlugin(const std::vector<std::string>& mainFiles)
{
    const std::string folder = PluginFolder(mainFiles);
    Enter(folder);
    return folder;
}

void MainWindowTest::SettleName()
{
    ASSERT_TRUE(Eventually([&] { return !form_->NameHelper->Running(); }));
    const std::string mainFile =
        WithTrailingBackslash(FullPathOf(form_->EditFolder->Text())) + form_->ComboBoxMainFile->SelectedText();
    ASSERT_TRUE(Eventually([&] {
        return UniqueFile(CreateFileA(mainFile.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)).Valid();
    })) << mainFile;
}

void MainWindowTest::Check(const std::string& language)
{
    for (int i = 0; i < form_->ListLanguages->Count(); ++i)
        if (form_->ListLanguages->Item(i) == language)
            form_->ListLanguages->SetChecked(i, true);
}

void MainWindowTest::PressCreate() { PostMessageA(form_->ButtonCreate->Handle(), BM_CLICK, 0, 0); }

void MainWindowTest::ExtendTemplate(const std::string& extra)
{
    const std::string original = ReadWholeFile(DistFolder() + kTemplateFileName);
    WriteWholeFile(tool_ + kTemplateFileName, original + "\r\n" + extra + "\r\n");
}

bool MainWindowTest::Answer(std::function<void()> script, DWORD timeoutMs)
{
    std::atomic<bool> done{false};
    helper_ = std::thread([&done, script] {
        script();
        done = true;
    });
    const bool ended = Eventually([&] { return done.load(); }, timeoutMs);
    if (ended)
        helper_.join();
    return ended;
}

DialogView MainWindowTest::AnswerBox(int button)
{
    DialogView seen;
    EXPECT_TRUE(Answer([&] { seen = AnswerMessage(button, kBuildTimeoutMs); }));
    EXPECT_FALSE(seen.Caption.empty()) << "no message box appeared";
    return seen;
}

DialogView MainWindowTest::AnswerMessage(int button, DWORD timeoutMs)
{
    HWND box = NextDialog(nullptr, timeoutMs);
    if (box == nullptr)
        return DialogView();
    const DialogView seen = ReadDialog(box);
    PressDialogButton(box, button);
    Gone(box);
    return seen;
}

bool MainWindowTest::AnswerChooser(HWND chooser, const std::string& folder, int button,
                                   const std::function<void(HWND)>& look)
{
    LetChooserSettle();
    if (look)
        look(chooser);
    const bool selected = !folder.empty() && SelectChooserFolder(chooser, WithoutTrailingBackslash(folder));
    PressDialogButton(chooser, button);
    Gone(chooser);
    return selected;
}

bool MainWindowTest::AnswerDestination(const std::string& folder, int button, const std::function<void(HWND)>& look)
{
    HWND chooser = NextDialog(nullptr, kBuildTimeoutMs);
    if (chooser != nullptr)
        AnswerChooser(chooser, folder, button, look);
    return chooser != nullptr;
}
