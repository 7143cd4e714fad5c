#include "Unit1.h"

#include "AppFolder.h"

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
    ButtonExit->OnClick = TNotifyEvent(this, &TFormMain::ButtonExitClick);
    ButtonLoadLicense->OnClick = TNotifyEvent(this, &TFormMain::ButtonLoadLicenseClick);

    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->Name = "OpenDialog1";
    OpenDialog1->DefaultExt = "txt";
    OpenDialog1->Filter = "License (txt, rtf)|*.txt;*.rtf";

    FormCreate(this);
}

void TFormMain::FormCreate(TObject* /*Sender*/)
{
    AppFolder = FolderOfPath(ModuleFileName());
    for (const std::string& language : ListLanguageNames(AppFolder + "languages\\*.nlf"))
        ListLanguages->Add(language);
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
}
