#pragma once
// Modal dialogs of the tool. Each is owned by the application window and
// wrapped in task-window disabling that excludes no window; afterwards the
// window and control that were active before it are active again.
#include "Component.h"

#include <cstddef>
#include <string>

// Whether the modal dialog that just returned was ended by the application's
// quit (the tool is closing): its loop then ends the dialog and posts the
// quit again, and under Wine the file-open dialog reports a confirmed file and
// the folder chooser the folder it had selected. Such a dialog is unanswered.
bool DialogEndedByQuit() noexcept;

// `text` for a message box, which wraps lines at blanks only and grows as
// wide as the longest word: a word longer than `maxWord` characters (a long
// path) is broken into lines, after a backslash or slash where it has one.
std::string WrappedForMessageBox(const std::string& text, std::size_t maxWord = 80);

// Plain message: application title as caption, no icon, one OK button.
void ShowMessage(const std::string& text);
// Failure message: as ShowMessage, with the error icon.
void ShowErrorBox(const std::string& text);
// A question with Yes and No buttons; true for Yes.
bool AskYesNo(const std::string& text);
// A message above a long text that the user can scroll, select and copy:
// application title as caption, one OK button, resizable, centred on the
// screen. The text shows its end first. Enter and Escape close it, Tab moves
// between the button and the text, Ctrl+A selects the whole text.
void ShowTextBox(const std::string& message, const std::string& text);

class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}

    std::string DefaultExt; // without the dot
    std::string Filter;     // "Description|patterns|Description|patterns"
    std::string FileName;   // the chosen file's full path after Execute

    // True when the user confirmed a file name; the file need not exist.
    // False when the dialog ended because the application is closing.
    bool Execute();
};
