#pragma once
// Reading and answering the windows and dialogs of this process or of the
// tool's process. A helper thread answers the dialogs that a modal loop of
// the user-interface thread shows; texts are read with the wide messages,
// which work for windows of any process.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Sends a message to a window of any process and waits for its answer, for
// no longer than a window may stay busy; 0 when none came. The wide form for
// texts: Wine hands another process's ANSI text over in wide characters.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
LRESULT AskWide(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Text of a window of any process, in the system code page.
std::string WindowTextOf(HWND window);
std::string ClassOf(HWND window);

// The visible top-level windows of a process, and their child windows.
std::vector<HWND> WindowsOfProcess(DWORD processId);
std::vector<HWND> ChildrenOf(HWND parent);
// The first child window, at any depth, of `className` (any case) and, when
// given, with exactly `text`; null when there is none.
HWND FindChild(HWND parent, const std::string& className, const std::string& text = "");

// A visible dialog (class #32770) of a process other than `except`, or null.
HWND FindDialog(HWND except = nullptr, DWORD processId = GetCurrentProcessId());
// Waits for such a dialog and gives it time to set itself up, as a dialog
// still starting loses what it is sent; null after `timeoutMs`.
HWND NextDialog(HWND except = nullptr, DWORD timeoutMs = 30000, DWORD processId = GetCurrentProcessId());
// Whether the dialog is gone (or hidden) within `timeoutMs`.
bool Gone(HWND dialog, DWORD timeoutMs = 10000);

// What a dialog shows: its caption, the texts of its static controls (one
// line each), the icon of a visible icon control, and its owner.
struct DialogView {
    std::string Caption;
    std::string Text;
    HICON Icon = nullptr;
    HWND Owner = nullptr;
};
DialogView ReadDialog(HWND dialog);

// `text` without its line breaks: a message box breaks a long path into lines.
std::string WithoutLineBreaks(std::string text);

// Presses a button of a dialog by its identifier (IDOK, IDCANCEL, IDYES...).
void PressDialogButton(HWND dialog, int id);

// A helper thread that answers the next dialog of this process: it waits
// for the dialog, reads it, runs `answer` on it (from the helper thread) and
// ends.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<void(HWND dialog)> answer, DWORD timeoutMs = 15000);
    ~DialogAnswerer();
    // Whether a dialog appeared and was answered.
    bool Answered() const { return answered_; }
    // What the dialog showed when it appeared.
    const DialogView& Seen() const { return seen_; }
    void Join();

private:
    std::thread thread_;
    std::atomic<bool> answered_{false};
    DialogView seen_;
};

// Runs `action` (which may return at once or only when the box has closed)
// while a helper thread confirms the box that a failure shows, and serves
// this thread until it has; the box's text, empty when none came.
std::string FailureBoxOf(const std::function<void()>& action, DWORD timeoutMs = 20000);

// Runs `openDialog`, which returns when its modal dialog has closed. Once the
// dialog is up, a worker queues a call for this thread, which must run on
// this thread inside the dialog's loop, while the dialog is still open; then
// the dialog is closed with `closeButton`.
void ExpectQueuedCallRunsInside(const std::function<void()>& openDialog, int closeButton);

// The title of the chooser that asks where a built installer goes, and how
// long a build by the real compiler may take on a busy machine before it asks.
inline constexpr char kDestinationQuestion[] = "In which folder would you like to place the setup?";
constexpr DWORD kBuildTimeoutMs = 60000;

// The shell's folder chooser, of this process or another: the caller's title
// above the tree, and the status line below it.
std::string ChooserTitle(HWND chooser);
std::string ChooserStatusLine(HWND chooser);
// The chooser loses selection requests sent while it is still starting.
void LetChooserSettle();
// Moves the chooser's selection to `folder` (no trailing backslash); whether
// its status line then shows the folder.
bool SelectChooserFolder(HWND chooser, const std::string& folder);

// Saves what the screen shows of `window` (with a margin), painted whole
// first, as a BMP file in the pictures folder; test.sh turns the saved
// pictures into PNG files.
bool SaveWindowPicture(HWND window, const std::string& fileName, int margin = 0);
