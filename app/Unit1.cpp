#include "Unit1.h"

#include "AppFolder.h"
#include "PluginScan.h"

#include "../shell/FolderChooser.h"
#include "../toolkit/Application.h"

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
    ButtonExit->OnClick = TNotifyEvent(this, &TFormMain::ButtonExitClick);
    ButtonLoadLicense->OnClick = TNotifyEvent(this, &TFormMain::ButtonLoadLicenseClick);

    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->Name = "OpenDialog1";
    OpenDialog1->DefaultExt = "txt";
    OpenDialog1->Filter = "License (txt, rtf)|*.txt;*.rtf";

    Spawn = new TStSpawnApplication(this);
    Spawn->Name = "Spawn";

    FormCreate(this);
}

void TFormMain::FormCreate(TObject* /*Sender*/)
{
    AppFolder = FolderOfPath(ModuleFileName());
    ListLanguages->AddItems(ListLanguageNames(AppFolder + "languages\\*.nlf"));
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
    if (path.back() != '\\')
        path += '\\';
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
