#pragma once
// Drives the built tool from outside, as a user would: it runs as a process of
// its own, and everything here reaches its windows through messages.
#include "tests/support/Programs.h"

#include <windows.h>

#include <string>
#include <vector>

// The controls of the tool's main window, found by kind and place.
struct MainControls {
    // The edits and the drop-down lists, from top to bottom.
    HWND Folder = nullptr, License = nullptr, Name = nullptr;
    HWND MainFile = nullptr, Type = nullptr;
    HWND Languages = nullptr, Uninstall = nullptr, Create = nullptr, Exit = nullptr;
    // "..." beside the folder field and beside the licence field.
    HWND Browse = nullptr, LoadLicense = nullptr;
};

// SetupCreator.exe of a tool folder, started as its own process. A process
// still running when the object goes is ended by force.
class ToolProcess {
public:
    explicit ToolProcess(const std::string& toolFolder);

    HANDLE Handle() const { return program_.Handle(); }
    DWORD Id() const { return id_; }

    // The main window, once it is shown; null after `timeoutMs`.
    HWND WaitForMainWindow(DWORD timeoutMs = 20000);
    MainControls Controls() const { return controls_; }

    // The next dialog of the tool other than `except`, as NextDialog finds it.
    HWND WaitForDialog(DWORD timeoutMs, HWND except = nullptr) const;

    // Whether the process ended within `timeoutMs`; its exit code then.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode) const;

    // Every visible top-level window of the tool with its class, caption and
    // the text of its controls: what the user would see, for failure reports.
    std::string Describe() const;

private:
    StartedProgram program_;
    DWORD id_ = 0;
    HWND main_ = nullptr;
    MainControls controls_;
};

// Sets an edit's text as pasting it would; the edit reports the change.
void SetControlText(HWND window, const std::string& text);
// The items of a drop-down list or a list box, and the selected one (empty
// when none).
std::vector<std::string> ItemsOf(HWND list);
std::string ComboSelection(HWND combo);

// Whether an item of a check list (a list box whose item data are the check
// states) is checked.
bool CheckListChecked(HWND list, int item);
// Scrolls the item into view and clicks its check box with the mouse.
bool ClickCheckListBox(HWND list, int item);

// Clicks a button as the mouse would, without waiting for its handler.
void ClickButton(HWND button);
bool ButtonChecked(HWND button);
