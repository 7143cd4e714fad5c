#pragma once
// Helpers for tests that drive real windows and dialogs under Wine.
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// Handles messages and pending calls until `done` holds or `timeoutMs` passes;
// returns whether `done` held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Handles messages and pending calls for `ms` milliseconds.
void PumpFor(DWORD ms);

// A visible top-level dialog (class #32770) of this process, or null.
HWND FindProcessDialog(HWND except = nullptr);
// Waits, from a helper thread, for such a dialog; null after `timeoutMs`.
HWND WaitForProcessDialog(DWORD timeoutMs = 10000, HWND except = nullptr);
// Text of a window, read with the wide API and converted to the system code page.
std::string WindowTextOf(HWND window);

// A helper thread that answers the next modal dialog: it waits for the dialog
// to appear, runs `answer` on it (from the helper thread) and ends.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<void(HWND dialog)> answer, DWORD timeoutMs = 15000);
    ~DialogAnswerer();
    // Whether a dialog appeared and was answered.
    bool Answered() const { return answered_; }
    // Text of the dialog's static controls, read when it appeared.
    const std::string& Text() const { return text_; }
    void Join();

private:
    std::thread thread_;
    bool answered_ = false;
    std::string text_;
};

// Presses a button of a dialog by its identifier (IDOK, IDCANCEL, IDYES...).
void PressDialogButton(HWND dialog, int id);

// A fresh, empty folder under the system's temporary folder, deleted with its
// contents at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    // Path with trailing backslash.
    const std::string& Path() const { return path_; }
    // Writes a file (creating subfolders) relative to the folder; returns its path.
    std::string Write(const std::string& relative, const std::string& content = std::string()) const;
    std::string MakeFolder(const std::string& relative) const;

private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Folder of the running test program, with trailing backslash.
std::string TestProgramFolder();
// Saves what the screen shows of `window` (with a margin) as a BMP file;
// test.sh turns the saved pictures into PNG files.
bool SaveWindowPicture(HWND window, const std::string& bmpPath, int margin = 0);
// Folder for the pictures a test run saves: <build>/screenshots, with trailing backslash.
std::string PictureFolder();
