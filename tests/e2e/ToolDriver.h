#pragma once
// Drives the built tool from outside, as a user would: it runs as a process of
// its own, and everything here reaches its windows through messages, with
// memory in the tool's process wherever a message carries a pointer.
#include "base/Handles.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A block of memory in another process, for messages whose pointer the
// receiving control dereferences in its own process.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, std::size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }
    void Write(const void* data, std::size_t size, std::size_t offset = 0);
    void Read(void* data, std::size_t size, std::size_t offset = 0) const;

private:
    HANDLE process_;
    void* address_;
};

// The controls of the tool's main window, found by kind and place.
struct MainControls {
    HWND Folder = nullptr;
    HWND License = nullptr;
    HWND Name = nullptr;
    HWND MainFile = nullptr;
    HWND Type = nullptr;
    HWND Languages = nullptr;
    HWND Uninstall = nullptr;
    HWND Create = nullptr;
    HWND Exit = nullptr;
    HWND Browse = nullptr;      // "..." beside the folder field
    HWND LoadLicense = nullptr; // "..." beside the licence field
};

// SetupCreator.exe of a tool folder, started as its own process. A process
// still running when the object goes is ended by force.
class ToolProcess {
public:
    explicit ToolProcess(const std::string& toolFolder);
    ~ToolProcess();

    HANDLE Handle() const { return process_.Get(); }
    DWORD Id() const { return id_; }

    // The main window, once it is shown; null after `timeoutMs`.
    HWND WaitForMainWindow(DWORD timeoutMs = 20000);
    MainControls Controls() const { return controls_; }

    // A visible dialog (#32770) of the tool other than `except`, or null.
    HWND FindDialog(HWND except = nullptr) const;
    HWND WaitForDialog(DWORD timeoutMs, HWND except = nullptr) const;

    // Whether the process ended within `timeoutMs`; its exit code then.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode) const;

    // Every visible top-level window of the tool with its class, caption and
    // the text of its controls: what the user would see, for failure reports.
    std::string Describe() const;

private:
    UniqueHandle process_;
    UniqueHandle thread_;
    DWORD id_ = 0;
    HWND main_ = nullptr;
    MainControls controls_;
};

// Text of a window of any process, asked for with the wide message and
// converted to the system code page.
std::string ControlText(HWND window);
// Sets an edit's text as pasting it would; the edit reports the change.
void SetControlText(HWND window, const std::string& text);
// The selected item of a drop-down list, empty when none; and all its items.
std::string ComboSelection(HWND combo);
std::vector<std::string> ComboItems(HWND combo);
// Text of the static controls of a dialog, one line each.
std::string DialogText(HWND dialog);

// Items of a check list (a list box whose item data are the check states).
std::vector<std::string> CheckListItems(HWND list);
bool CheckListChecked(HWND list, int item);
// Scrolls the item into view and clicks its check box with the mouse.
bool ClickCheckListBox(HWND list, int item);

// Clicks a button as the mouse would, without waiting for its handler.
void ClickButton(HWND button);
bool ButtonChecked(HWND button);

// The folder chooser's title line and status line.
std::string ChooserTitleText(HWND chooser);
std::string ChooserStatusText(HWND chooser);
// Moves the chooser's selection to `folder` (no trailing backslash); the
// path lives in the tool's memory for the request. Whether the status line
// shows it.
bool SelectFolderInChooser(HANDLE process, HWND chooser, const std::string& folder);

// Polls `done` up to `timeoutMs` while serving this program's own messages.
bool Eventually(const std::function<bool()>& done, DWORD timeoutMs);
