#include "Unit1.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "core/AppFolder.h"
#include "core/InstallerDelivery.h"
#include "core/PluginScan.h"
#include "core/ToolFiles.h"
#include "../shell/FolderChooser.h"
#include "../toolkit/Application.h"

#include <vector>

std::string AppFolder;
TFormMain* FormMain = nullptr;

// However a handler of the build ends, a build that is over no longer keeps
// other copies of the tool from building.
class TFormMain::TLockWhileBuilding {
public:
    explicit TLockWhileBuilding(TFormMain& form) : form_(form) {}
    ~TLockWhileBuilding()
    {
        if (!form_.Building())
            form_.buildLock_.Release();
    }
    TLockWhileBuilding(const TLockWhileBuilding&) = delete;
    TLockWhileBuilding& operator=(const TLockWhileBuilding&) = delete;

private:
    TFormMain& form_;
};

namespace {

const TFormDesign kDesign{"TFormMain", "Quillon Plugin - Setup creator", 475, 323, 505, 405, "MS Sans Serif", -11};

// A hidden compiler can be neither seen nor closed by the user, and the build
// waits for it: past this it is ended, and its messages are shown as far as
// they got.
constexpr DWORD kMessagesLimitMs = 300 * 1000;

std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    quoted += text;
    quoted += '"';
    return quoted;
}

} // namespace

TFormMain::TFormMain(TComponent* owner) : TForm(owner, kDesign)
{
    Label1 = new TLabel(this, {120, 81, 61, 13}, "Plugin name:");
    Label2 = new TLabel(this, {108, 113, 73, 13}, "Plugin main file:");
    Label3 = new TLabel(this, {32, 14, 149, 13}, "Folder containing all plugin files:");
    Label4 = new TLabel(this, {126, 145, 55, 13}, "Plugin type:");
    Label5 = new TLabel(this, {125, 178, 56, 13}, "Languages:");
    Label6 = new TLabel(this, {95, 50, 86, 13}, "License (optional):");
    EditName = new TEdit(this, {200, 76, 281, 21});
    EditFolder = new TEdit(this, {200, 8, 249, 21});
    ComboBoxType = new TComboBox(this, {200, 140, 97, 21});
    Button2 = new TButton(this, {453, 8, 28, 21}, "...");
    ComboBoxMainFile = new TComboBox(this, {200, 108, 281, 21});
    ButtonCreate = new TButton(this, {112, 330, 137, 25}, "Create setup");
    ButtonExit = new TButton(this, {256, 330, 129, 25}, "Exit");
    ListLanguages = new TCheckListBox(this, {200, 176, 281, 133});
    CheckBoxUninstall = new TCheckBox(this, {312, 142, 165, 17}, "Create uninstaller");
    ButtonLoadLicense = new TButton(this, {453, 44, 28, 21}, "...");
    EditLicense = new TEdit(this, {200, 44, 249, 21});

    Label1->Name = "Label1";
    Label2->Name = "Label2";
    Label3->Name = "Label3";
    Label4->Name = "Label4";
    Label5->Name = "Label5";
    Label6->Name = "Label6";
    EditName->Name = "EditName";
    EditFolder->Name = "EditFolder";
    ComboBoxType->Name = "ComboBoxType";
    Button2->Name = "Button2";
    ComboBoxMainFile->Name = "ComboBoxMainFile";
    ButtonCreate->Name = "ButtonCreate";
    ButtonExit->Name = "ButtonExit";
    ListLanguages->Name = "ListLanguages";
    CheckBoxUninstall->Name = "CheckBoxUninstall";
    ButtonLoadLicense->Name = "ButtonLoadLicense";
    EditLicense->Name = "EditLicense";

    ComboBoxType->SetItems({"WFX", "WLX"});
    ComboBoxType->SetItemIndex(0);

    SetTabOrder({EditFolder, Button2, EditName, ComboBoxMainFile, ComboBoxType, ButtonCreate, ButtonExit,
                 ListLanguages, CheckBoxUninstall, ButtonLoadLicense, EditLicense});

    // The licence field scans nothing: a licence changes no plugin field.
    EditFolder->OnChange = TNotifyEvent(this, &TFormMain::EditFolderChange);
    EditName->OnChange = TNotifyEvent(this, &TFormMain::EditNameChange);
    ComboBoxMainFile->OnChange = TNotifyEvent(this, &TFormMain::ComboBoxMainFileChange);
    Button2->OnClick = TNotifyEvent(this, &TFormMain::Button2Click);
    ButtonCreate->OnClick = TNotifyEvent(this, &TFormMain::ButtonCreateClick);
    ButtonExit->OnClick = TNotifyEvent(this, &TFormMain::ButtonExitClick);
    ButtonLoadLicense->OnClick = TNotifyEvent(this, &TFormMain::ButtonLoadLicenseClick);

    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->Name = "OpenDialog1";
    OpenDialog1->DefaultExt = "txt";
    OpenDialog1->Filter = "License (txt, rtf)|*.txt;*.rtf";

    Spawn = new TStSpawnApplication(this);
    Spawn->Name = "Spawn";
    Spawn->OnCompleted = TStSpawnCompletedEvent(this, &TFormMain::SpawnCompleted);
    Spawn->OnSpawnError = TStSpawnErrorEvent(this, &TFormMain::SpawnError);

    CompilerMessages = new TProcessRun(this);
    CompilerMessages->Name = "CompilerMessages";
    CompilerMessages->OnEnded = TProcessRunEndedEvent(this, &TFormMain::CompilerMessagesEnded);

    NameHelper = new TProcessRun(this);
    NameHelper->Name = "NameHelper";
    NameHelper->OnEnded = TProcessRunEndedEvent(this, &TFormMain::NameHelperEnded);

    OnCloseQuery = TCloseQueryEvent(this, &TFormMain::FormCloseQuery);

    FormCreate(this);
}

void TFormMain::FormCreate(TObject* /*Sender*/)
{
    AppFolder = FolderOfPath(ModuleFileName());
    ListLanguages->AddItems(ListLanguageNames(AppFolder + kLanguageFilesPattern));
}

void TFormMain::ButtonLoadLicenseClick(TObject* /*Sender*/)
{
    if (OpenDialog1->Execute())
        EditLicense->SetText(OpenDialog1->FileName);
}

void TFormMain::ButtonExitClick(TObject* /*Sender*/)
{
    Close();
}

void TFormMain::EditFolderChange(TObject* /*Sender*/)
{
    ScanPluginFolder(EditFolder->Text());
}

void TFormMain::EditNameChange(TObject* /*Sender*/)
{
    if (!settingName_) {
        nameDerived_ = false;
        ActOnName(names_.NameTyped());
    }
}

void TFormMain::Button2Click(TObject* /*Sender*/)
{
    const std::string folder = ChooseFolder(EditFolder->Text(), "Choose folder");
    if (folder.empty())
        return;
    // A new text scans through the field's change handler.
    if (EditFolder->Text() == folder)
        ScanPluginFolder(folder);
    else
        EditFolder->SetText(folder);
}

std::string TFormMain::ChooseFolder(const std::string& initialFolder, const std::string& title)
{
    std::string path;
    if (!BrowseForFolderDialog(title, initialFolder, L"\\\\", path))
        return std::string();
    return path;
}

void TFormMain::ScanPluginFolder(std::string path)
{
    if (path.empty())
        return;
    // The field keeps what the user types; the scan works on the full path
    // with its trailing backslash, as the build does.
    const std::string folder = WithTrailingBackslash(FullPathOf(path));
    if (!FolderExistsAt(folder))
        return;

    const TPluginFound found = FindPlugin(folder, AppFolder);
    if (found.Entries.empty())
        return; // the previous folder's list, type and name stay
    if (found.MainFile >= 0)
        DetectPluginType(found.Entries[static_cast<std::size_t>(found.MainFile)]);
    ComboBoxMainFile->SetItems(found.Entries);
    ComboBoxMainFile->SetItemIndex(found.MainFile);
    TakePlugin(found.Plugin);
}

void TFormMain::ComboBoxMainFileChange(TObject* /*Sender*/)
{
    // Another main file is another plugin: its type and name, as a scan
    // finds them.
    const std::string entry = ComboBoxMainFile->SelectedText();
    DetectPluginType(entry);
    TakePlugin(PluginOfMainFile(WithTrailingBackslash(FullPathOf(EditFolder->Text())), entry, AppFolder));
}

void TFormMain::TakePlugin(const TPluginIdentity& plugin)
{
    // Its answer comes later, in NameHelperEnded.
    if (plugin.Type == kPluginTypeWfx)
        ActOnName(names_.Ask(plugin.NameHelper, plugin.PluginPath));
    else
        ActOnName(names_.Derived(plugin.Name));
}

void TFormMain::NameHelperEnded(TObject* /*Sender*/, const TProcessRunEnd& End)
{
    const std::string name = nameQuestion_ ? nameQuestion_->NameAfter(End.End) : std::string();
    nameQuestion_.reset();
    ActOnName(names_.Ended(name));
}

void TFormMain::ActOnName(const TNameReply& reply)
{
    if (reply.StopHelper) {
        NameHelper->Stop();
        nameQuestion_.reset();
    }
    if (reply.SetName)
        SetDerivedName(reply.Name);
    if (!reply.Helper.empty()) {
        std::string failure;
        try {
            nameQuestion_ = std::make_unique<TNameQuestion>(reply.Helper, reply.PluginPath);
            NameHelper->Start(nameQuestion_->Start(), kNameHelperLimitMs);
            nameQuestion_->Started();
        } catch (const EOSError& e) {
            failure = e.Message();
        } catch (...) {
            names_.Abandon();
            throw;
        }
        if (!failure.empty())
            ActOnName(names_.StartFailed(failure));
    }
    if (!reply.Report.empty())
        ShowErrorBox(reply.Report);
}

void TFormMain::SetDerivedName(const std::string& name)
{
    if (name.empty() && !nameDerived_)
        return; // a typed name stays
    settingName_ = true;
    EditName->SetText(name);
    settingName_ = false;
    nameDerived_ = !name.empty();
}

bool TFormMain::DetectPluginType(const std::string& entryName)
{
    const int type = PluginTypeOf(entryName);
    if (type < 0)
        return false;
    ComboBoxType->SetItemIndex(type);
    return true;
}

TSetupRequest TFormMain::RequestOfFields() const
{
    // The setup is built from what the window shows: the folder as typed (a
    // relative one as the full path the scan listed) and the main file as
    // selected.
    TSetupRequest request;
    request.Folder = EditFolder->Text();
    request.EntriesListed = ComboBoxMainFile->Count() > 0;
    request.MainFile = ComboBoxMainFile->SelectedText();
    request.PluginType = ComboBoxType->SelectedText();
    request.PluginName = EditName->Text();
    request.NameAsked = names_.Asking();
    for (int i = 0; i < ListLanguages->Count(); ++i) {
        if (ListLanguages->Checked(i))
            request.Languages.push_back(ListLanguages->Item(i));
    }
    request.LicensePath = EditLicense->Text();
    request.Uninstaller = CheckBoxUninstall->Checked();
    return request;
}

void TFormMain::ButtonCreateClick(TObject* /*Sender*/)
{
    if (Building()) {
        ShowMessage("A setup is already being created. Please wait until the compiler has finished.");
        return;
    }
    const TSetupPlan plan = PlanSetup(RequestOfFields(), AppFolder);
    if (!plan.Problems.empty()) {
        ShowMessage(JoinedLines(plan.Problems));
        return;
    }

    // Another copy of the tool in this folder would write the same script and
    // installer.
    if (!buildLock_.Take(AppFolder)) {
        ShowMessage(TBuildLock::RefusalText());
        return;
    }
    const TLockWhileBuilding lock(*this);
    if (!plan.Notices.empty())
        ShowMessage(JoinedLines(plan.Notices));
    // The setup this build writes is fixed now: the selection may change
    // while the compiler runs.
    build_ = WriteBuildFiles(plan, AppFolder);

    Spawn->FileName = Quoted(build_.CompilerPath());
    Spawn->RunParameters = Quoted(build_.ScriptPath());
    Spawn->DefaultDir = AppFolder;
    startError_ = ERROR_SUCCESS;
    step_ = TBuildStep::Starting;
    HANDLE process = nullptr;
    try {
        process = Spawn->Execute();
    } catch (...) {
        step_ = TBuildStep::Idle;
        throw;
    }
    if (process == nullptr) {
        Act(JudgeCompile(CompilerNotStarted(startError_), build_));
        return;
    }
    // The compiler, and whatever it starts, ends with the build or with the
    // tool, never after it; what it started before it joined joins too.
    compilerJob_ = TProcessJob();
    compilerJob_.AddWithDescendants(process);
    step_ = TBuildStep::Compiling;
}

void TFormMain::FormCloseQuery(TObject* /*Sender*/, bool& CanClose)
{
    // A question of this kind is open already: it decides.
    if (closeAsked_) {
        CanClose = false;
        return;
    }
    closeAsked_ = true;
    struct TAsked {
        bool& asked;
        ~TAsked() { asked = false; }
    } asked{closeAsked_};
    if (Building()) {
        CanClose = AskYesNo("A setup is being created. Do you want to stop it and close the setup creator?");
        // The compiler may have ended while the question was open.
        if (CanClose && Building())
            StopBuild();
    } else if (!placing_.empty()) {
        CanClose = AskYesNo("The new setup \"" + placing_ + "\" has not been placed yet.\r\n"
                            "Do you want to close the setup creator and delete it?");
    }
}

void TFormMain::StopBuild()
{
    const TLockWhileBuilding lock(*this);
    compilerJob_.Terminate();
    if (const HANDLE process = Spawn->ProcessHandle()) {
        TerminateProcess(process, 1);
        // Ended once its handle is signalled; only then is what it wrote its last.
        WaitForSingleObject(process, kStopWaitMs);
    }
    CompilerMessages->Stop();
    step_ = TBuildStep::Idle;
    build_.DeleteWrittenSetup();
    build_.RemoveStage();
}

void TFormMain::SpawnError(TObject* /*Sender*/, std::uint16_t Error)
{
    if (step_ == TBuildStep::Starting) {
        startError_ = Error; // Execute returns next, and tells
    } else if (step_ == TBuildStep::Compiling) {
        TCompileFacts facts;
        facts.WaitError = Error;
        Act(JudgeCompile(facts, build_));
    }
}

void TFormMain::SpawnCompleted(TObject* /*Sender*/)
{
    if (step_ != TBuildStep::Compiling)
        return;
    TCompileFacts facts;
    facts.ExitCode = exitCode_ = Spawn->LastExitCode();
    facts.SetupWritten = build_.SetupWritten();
    Act(JudgeCompile(facts, build_));
}

void TFormMain::CompilerMessagesEnded(TObject* /*Sender*/, const TProcessRunEnd& End)
{
    if (step_ != TBuildStep::ReadingMessages)
        return;
    KeepCompilerMessages(build_, End.Output);
    TCompileFacts facts;
    facts.ExitCode = exitCode_;
    facts.MessagesRead = true;
    facts.Messages = End.Output;
    Act(JudgeCompile(facts, build_));
}

void TFormMain::Act(const TCompileJudgement& judgement)
{
    const TLockWhileBuilding lock(*this);
    switch (judgement.Verdict) {
    case TCompileVerdict::Deliver:
        step_ = TBuildStep::Idle;
        build_.RemoveStage();
        PlaceInstaller();
        break;
    case TCompileVerdict::ReadMessages:
        // The compiler's console window has closed with its messages.
        step_ = TBuildStep::ReadingMessages;
        try {
            CompilerMessages->Start(HiddenCompile(build_), kMessagesLimitMs);
        } catch (const EOSError&) {
            // No messages: the exit code is all there is to tell.
            CompilerMessagesEnded(CompilerMessages, TProcessRunEnd());
        } catch (...) {
            step_ = TBuildStep::Idle;
            throw;
        }
        break;
    case TCompileVerdict::Failed:
        step_ = TBuildStep::Idle;
        build_.DeleteWrittenSetup();
        build_.RemoveStage();
        if (judgement.Log.empty())
            ShowErrorBox(judgement.Text);
        else
            ShowTextBox(judgement.Text, judgement.Log);
        break;
    }
}

void TFormMain::PlaceInstaller()
{
    const std::string installerName = build_.InstallerName;
    const std::string installer = build_.SetupPath();
    placing_ = installerName;
    struct TPlaced {
        std::string& placing;
        ~TPlaced() { placing.clear(); }
    } placed{placing_};
    // Where the last setup of this run went, else beside the plugin folder.
    const std::string initial =
        lastDestination_.empty() ? FolderOfPath(WithoutTrailingBackslash(build_.PluginFolder)) : lastDestination_;
    for (;;) {
        const std::string folder = ChooseFolder(initial, "In which folder would you like to place the setup?");
        // Cancelled, or the tool is closing: a setup that was not placed is
        // not left where the next build would overwrite it.
        if (folder.empty() || Application->Closing()) {
            DeleteFileA(installer.c_str());
            return;
        }
        const std::string refusal = DestinationRefusal(folder, AppFolder, build_.PluginFolder);
        if (!refusal.empty()) {
            ShowMessage(refusal + "\r\nPlease choose another folder.");
            continue;
        }
        if (DeliverInstaller(installer, WithTrailingBackslash(folder) + installerName)) {
            lastDestination_ = WithTrailingBackslash(folder);
            return;
        }
        if (Application->Closing()) {
            DeleteFileA(installer.c_str());
            return;
        }
    }
}

bool TFormMain::DeliverInstaller(const std::string& installer, const std::string& target)
{
    TPlacing placing = PlaceSetup(installer, target, false);
    if (placing.Outcome == TPlaceOutcome::TargetExists) {
        if (!AskYesNo("\"" + target + "\" already exists.\r\nDo you want to replace it?"))
            return false; // another folder is asked for
        placing = PlaceSetup(installer, target, true);
    }
    if (placing.Outcome == TPlaceOutcome::Placed)
        return true;
    ShowErrorBox(PlacingFailureText(target, placing.Error, FileExistsAt(target)) + "\r\nPlease choose another folder.");
    return false;
}
