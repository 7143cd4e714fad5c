#pragma once
// The main window and its handlers: the whole workflow from plugin folder to
// placed installer is driven from here.
#include "PluginNameQuery.h"
#include "ProcessRun.h"

#include "base/ProcessJob.h"
#include "core/BuildLock.h"
#include "core/CompileJudgement.h"
#include "core/PluginNameHelper.h"
#include "core/PluginScan.h"
#include "core/SetupPlan.h"
#include "../launcher/StSpawn.h"
#include "../toolkit/CheckListBox.h"
#include "../toolkit/Controls.h"
#include "../toolkit/Dialogs.h"
#include "../toolkit/Form.h"

#include <cstdint>
#include <memory>
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
    // Compiles a rejected script once more, hidden, for the compiler's messages.
    TProcessRun* CompilerMessages;
    // Asks a WFX plugin for its name in the helper program beside the tool.
    TProcessRun* NameHelper;

    void FormCreate(TObject* Sender);
    void ButtonLoadLicenseClick(TObject* Sender);
    void ButtonExitClick(TObject* Sender);
    void EditFolderChange(TObject* Sender);
    void EditNameChange(TObject* Sender);
    void ComboBoxMainFileChange(TObject* Sender);
    void Button2Click(TObject* Sender);
    void ButtonCreateClick(TObject* Sender);
    void SpawnCompleted(TObject* Sender);
    void SpawnError(TObject* Sender, std::uint16_t Error);
    void CompilerMessagesEnded(TObject* Sender, const TProcessRunEnd& End);
    void NameHelperEnded(TObject* Sender, const TProcessRunEnd& End);
    // Asks before the window closes while a setup is being created or waits
    // to be placed.
    void FormCloseQuery(TObject* Sender, bool& CanClose);

    // The shell's folder chooser: the chosen folder with a trailing
    // backslash, or empty when the user cancels.
    std::string ChooseFolder(const std::string& initialFolder, const std::string& title);
    // Lists the folder's entries as main files, selects the plugin among
    // them (SelectMainFile), sets its type and derives the plugin name; a
    // WFX plugin's name comes later, when the helper has asked it.
    void ScanPluginFolder(std::string path);
    // Whether the entry is a plugin file by its extension; selects its type.
    bool DetectPluginType(const std::string& entryName);
    // The name a scan found for the plugin. An empty one (the plugin could
    // not name itself) clears a name derived from an earlier folder; a name
    // the user typed stays either way.
    void SetDerivedName(const std::string& name);

private:
    // Does what the plugin name's question answered: ends or starts the
    // helper, sets the name, tells the user.
    void ActOnName(const TNameReply& reply);
    // Takes the plugin a main file makes: its type, and its name as a scan
    // derives it (a WFX plugin is asked, a WLX plugin named after its file).
    void TakePlugin(const TPluginIdentity& plugin);
    // The setup the window's fields ask for.
    TSetupRequest RequestOfFields() const;
    // Does what the judgement of the compile says: delivers the setup, runs
    // the compiler for its messages, or tells what failed.
    void Act(const TCompileJudgement& judgement);
    // Asks where the fresh installer goes and moves it there, asking again
    // for a folder it cannot go to; a cancelled question deletes it.
    void PlaceInstaller();
    // Moves the installer to `target`, asking before it replaces a file
    // there; false, the user told why, when it stays where it is.
    bool DeliverInstaller(const std::string& installer, const std::string& target);
    // Ends the compiler and whatever it started, waits for its end, and
    // removes what it wrote.
    void StopBuild();

    // The build in progress, at most one at a time: which step it is at,
    // and its files.
    enum class TBuildStep { Idle, Starting, Compiling, ReadingMessages };
    TBuildStep step_ = TBuildStep::Idle;
    bool Building() const noexcept { return step_ != TBuildStep::Idle; }
    TBuildFiles build_;
    // What the compile's end told so far: the launcher's error while it
    // starts the compiler, the compiler's exit code.
    DWORD startError_ = ERROR_SUCCESS;
    DWORD exitCode_ = 0;
    // Held from the start of a build until it is over, delivery included.
    TBuildLock buildLock_;
    // Holds the compiler of the build going, and whatever it starts.
    TProcessJob compilerJob_;
    // How long a stopped compiler may take to end.
    static constexpr DWORD kStopWaitMs = 10000;
    // The installer being placed, while its destination is asked for.
    std::string placing_;
    // The folder the last setup of this run went to (with trailing backslash).
    std::string lastDestination_;
    // Set while the user is asked whether the window may close.
    bool closeAsked_ = false;
    // Lets go of the tool folder when a handler ends and the build is over.
    class TLockWhileBuilding;
    // The plugin name being asked of a WFX plugin, at most one at a time, and
    // the pipe of its answer.
    TPluginNameQuery names_;
    std::unique_ptr<TNameQuestion> nameQuestion_;
    // Whether EditName holds what a scan derived rather than what the user typed.
    bool nameDerived_ = false;
    // Set while a scan writes EditName, so that its change is not taken for typing.
    bool settingName_ = false;
};

extern TFormMain* FormMain;
