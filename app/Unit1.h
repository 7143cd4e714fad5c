#pragma once
// The main window and its handlers: the whole workflow from plugin folder to
// placed installer is driven from here.
#include "../launcher/StSpawn.h"
#include "../toolkit/Controls.h"
#include "../toolkit/Dialogs.h"
#include "../toolkit/Form.h"

#include <string>

// The folder of the running executable, with trailing backslash. Set once
// while the main window is created.
extern std::string AppFolder;

class TFormMain : public TForm {
public:
    explicit TFormMain(TComponent* owner);

    TLabel* Label1;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TLabel* Label5;
    TLabel* Label6;
    TEdit* EditName;
    TEdit* EditFolder;
    TComboBox* ComboBoxType;
    TButton* Button2;
    TComboBox* ComboBoxMainFile;
    TButton* ButtonCreate;
    TButton* ButtonExit;
    TCheckListBox* ListLanguages;
    TCheckBox* CheckBoxUninstall;
    TButton* ButtonLoadLicense;
    TEdit* EditLicense;

    TOpenDialog* OpenDialog1;
    // Starts the script compiler and reports its end.
    TStSpawnApplication* Spawn;

    void FormCreate(TObject* Sender);
    void ButtonLoadLicenseClick(TObject* Sender);
    void ButtonExitClick(TObject* Sender);
    void EditFolderChange(TObject* Sender);
    void Button2Click(TObject* Sender);

    // The shell's folder chooser: the chosen folder with a trailing
    // backslash, or empty when the user cancels.
    std::string ChooseFolder(const std::string& initialFolder, const std::string& title);
    // Lists the folder's entries as main files, selects the last plugin among
    // them, sets its type and derives the plugin name.
    void ScanPluginFolder(std::string path);
    // Whether the entry is a plugin file by its extension; selects its type.
    bool DetectPluginType(const std::string& entryName);
};

extern TFormMain* FormMain;
