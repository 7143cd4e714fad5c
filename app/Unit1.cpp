#include "Unit1.h"

#include "AppFolder.h"
#include "InstallerDelivery.h"
#include "PluginScan.h"
#include "ReachableNames.h"
#include "ScriptFile.h"
#include "SetupScript.h"
#include "ToolFiles.h"
#include "UnitFiles.h"
#include "VersionResource.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "../shell/FolderChooser.h"
#include "../toolkit/Application.h"

#include <vector>

std::string AppFolder;
TFormMain* FormMain = nullptr;

namespace {

const TFormDesign kDesign{"TFormMain", "Quillon Plugin - Setup creator", 475, 323, 505, 405, "MS Sans Serif", -11};

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

    EditFolder->OnChange = TNotifyEvent(this, &TFormMain::EditFolderChange);
    EditLicense->OnChange = TNotifyEvent(this, &TFormMain::EditFolderChange);
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

    CompilerLog = new TCompilerLogRun(this);
    CompilerLog->Name = "CompilerLog";
    CompilerLog->OnEnded = TNotifyEvent(this, &TFormMain::CompilerLogEnded);

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
    // Also the licence field's handler: it rescans the folder field's folder.
    ScanPluginFolder(EditFolder->Text());
}

void TFormMain::Button2Click(TObject* /*Sender*/)
{
    ScanPluginFolder(ChooseFolder(EditFolder->Text(), "Choose folder"));
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
    path = WithTrailingBackslash(path);
    if (!FolderExistsAt(path))
        return;

    // A different text runs this scan once more, nested, from the field's
    // change handler; that run finds the text equal and gives the same result.
    if (EditFolder->Text() != path) {
        EditFolder->SetText(path);
        // Setting the text puts the caret at its start; the user typing the
        // path goes on at its end.
        const auto end = static_cast<WPARAM>(path.size());
        SendMessageA(EditFolder->Handle(), EM_SETSEL, end, static_cast<LPARAM>(end));
    }

    const std::vector<std::string> entries = ListFolderEntries(path + "*.*");
    if (entries.empty())
        return; // the previous folder's list, type and name stay

    int selected = -1;
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        if (DetectPluginType(entries[static_cast<std::size_t>(i)]))
            selected = i;
    }
    ComboBoxMainFile->SetItems(entries);
    ComboBoxMainFile->SetItemIndex(selected);
    if (selected < 0)
        return;

    const std::string& entry = entries[static_cast<std::size_t>(selected)];
    if (!FileExistsAt(EditFolder->Text() + entry))
        return; // a folder named like a plugin gives no name

    switch (PluginTypeOf(entry)) {
    case kPluginTypeWfx: {
        // The plugin's own code runs here; whatever goes wrong in it leaves
        // the name field as it was.
        std::string name;
        if (ReadPluginRootName(EditFolder->Text() + entry, name))
            EditName->SetText(name);
        break;
    }
    case kPluginTypeWlx:
        EditName->SetText(NameWithoutExtension(entry));
        break;
    default:
        break;
    }
}

bool TFormMain::DetectPluginType(const std::string& entryName)
{
    const int type = PluginTypeOf(entryName);
    if (type < 0)
        return false;
    ComboBoxType->SetItemIndex(type);
    return true;
}

void TFormMain::ButtonCreateClick(TObject* /*Sender*/)
{
    if (build_.Running()) {
        ShowMessage(TSetupBuild::RefusalText());
        return;
    }

    std::vector<std::string> checkedLanguages;
    for (int i = 0; i < ListLanguages->Count(); ++i) {
        if (ListLanguages->Checked(i))
            checkedLanguages.push_back(ListLanguages->Item(i));
    }

    // The script is built from what the window shows: the folder as typed and
    // the main file as selected must both be there. It takes the folder with a
    // trailing backslash, also when it was typed without one.
    const std::string folder = EditFolder->Text();
    const std::string mainFile = ComboBoxMainFile->SelectedText();
    const std::string mainFilePath = WithTrailingBackslash(folder) + mainFile;
    const bool folderExists = !folder.empty() && FolderExistsAt(folder);
    const bool mainFileExists =
        ComboBoxMainFile->ItemIndex() >= 0 && (FileExistsAt(mainFilePath) || FolderExistsAt(mainFilePath));
    const std::string problems = ValidateSetupInputs(EditName->Text(), folder, ComboBoxMainFile->Count(),
                                                     ComboBoxMainFile->ItemIndex(), folderExists, mainFileExists) +
                                 UnreachableNameLine(folder, EditLicense->Text());
    if (!problems.empty()) {
        ShowMessage(problems);
        return;
    }

    TSetupScriptInputs inputs;
    inputs.PluginName = EditName->Text();
    inputs.Folder = folder;
    inputs.MainFile = mainFile;
    inputs.PluginType = ComboBoxType->SelectedText();
    inputs.CheckedLanguages = checkedLanguages;
    inputs.LicensePath = EditLicense->Text();
    inputs.LicenseExists = !inputs.LicensePath.empty() && FileExistsAt(inputs.LicensePath);
    inputs.Uninstaller = CheckBoxUninstall->Checked();
    inputs.Files = ListFolderTree(WithTrailingBackslash(folder));
    inputs.Publisher = VersionStringOf(mainFilePath, "CompanyName");

    WriteSetupScript(LoadTextFile(AppFolder + kTemplateFileName), inputs, AppFolder);

    Spawn->FileName = "\"" + AppFolder + kCompilerFileName + "\"";
    Spawn->RunParameters = "\"" + AppFolder + kScriptFileName + "\"";
    Spawn->DefaultDir = AppFolder;

    // The installer this build will write, fixed now: the selection may
    // change while the compiler runs.
    build_.Start(AppFolder, inputs.MainFile + kInstallerSuffix);
    HANDLE process = nullptr;
    try {
        process = Spawn->Execute();
    } catch (...) {
        build_.Abandon();
        throw;
    }
    Act(build_.Started(process != nullptr));
}

void TFormMain::SpawnError(TObject* /*Sender*/, std::uint16_t Error)
{
    Act(build_.SpawnError(Error));
}

void TFormMain::SpawnCompleted(TObject* /*Sender*/)
{
    Act(build_.CompilerEnded(Spawn->LastExitCode()));
}

void TFormMain::CompilerLogEnded(TObject* /*Sender*/)
{
    Act(build_.LogEnded());
}

void TFormMain::Act(const TBuildReply& reply)
{
    switch (reply.Action) {
    case TBuildAction::None:
        break;
    case TBuildAction::Report:
        ShowErrorBox(reply.Text);
        break;
    case TBuildAction::Deliver:
        PlaceInstaller();
        break;
    case TBuildAction::RunLog:
        RunCompilerForLog();
        break;
    case TBuildAction::ShowLog:
        ShowTextBox(reply.Text, reply.Log);
        break;
    }
}

void TFormMain::RunCompilerForLog()
{
    DWORD error = ERROR_SUCCESS;
    bool started = false;
    try {
        started = CompilerLog->Start(build_.CompilerPath(), build_.ScriptPath(), build_.LogPath(), AppFolder, error);
    } catch (...) {
        build_.Abandon();
        throw;
    }
    if (!started)
        Act(build_.LogEnded()); // no log: the exit code is told
}

void TFormMain::PlaceInstaller()
{
    const std::string installerName = build_.InstallerName();
    const std::string installer = AppFolder + installerName;
    const std::string folder = ChooseFolder(AppFolder, "In which folder would you like to place the setup?");
    if (folder.empty()) {
        // Closing the tool ends the question unanswered: the installer stays
        // in the tool folder rather than being thrown away.
        if (!Application->Closing())
            DeleteFileA(installer.c_str());
        return;
    }
    DeliverInstaller(installer, WithTrailingBackslash(folder) + installerName);
}

void TFormMain::DeliverInstaller(const std::string& installer, const std::string& target)
{
    if (SamePath(installer, target))
        return; // chosen the tool's own folder: it is there already
    DWORD error = ERROR_SUCCESS;
    TMoveOutcome outcome = MoveInstaller(installer, target, false, error);
    if (outcome == TMoveOutcome::TargetExists) {
        if (!AskYesNo("\"" + target + "\" already exists.\r\nDo you want to replace it?")) {
            ShowMessage("The new setup was left in \"" + installer + "\".");
            return;
        }
        outcome = MoveInstaller(installer, target, true, error);
    }
    if (outcome != TMoveOutcome::Moved)
        ShowErrorBox("The setup could not be moved to \"" + target + "\": " + SystemErrorText(error) +
                     ".\r\nIt is still in \"" + installer + "\".");
}
