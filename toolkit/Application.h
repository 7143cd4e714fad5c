#pragma once
// The application object: its zero-size application window (owner of every
// dialog and target of the pending-call wake-up), the message loop, the
// application-wide exception handler and the queue of pending calls.
#include "Component.h"
#include "PendingCalls.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

class TForm;

class TApplication : public TComponent {
public:
    // Creates the application window. One application object per process; it
    // is reachable through the global `Application` while it lives.
    TApplication();
    ~TApplication() override;

    HWND Handle() const noexcept { return handle_; }
    const std::string& Title() const noexcept { return title_; }

    // The main window: closing it ends the message loop. The application
    // window is shown while the main window is shown.
    void SetMainForm(TForm* form) noexcept { mainForm_ = form; }
    TForm* MainForm() const noexcept { return mainForm_; }
    void MainFormVisibilityChanged(bool visible) noexcept;

    // Runs the message loop until the main window is closed.
    void Run();
    // Handles every waiting message, then the pending calls, without blocking.
    void ProcessMessages();
    bool Terminated() const noexcept { return terminated_; }
    void Terminate() noexcept;

    // Shows the failure's message in an error box and returns; never throws.
    void HandleException(std::exception_ptr error) noexcept;

    // Runs `call` on the user-interface thread and blocks until it has run.
    void Synchronize(std::function<void()> call) { pending_.CallAndWait(std::move(call)); }
    // Runs the queued calls; the application window does this on its wake-up
    // message and the loop does it when it goes idle.
    bool CheckSynchronize() { return pending_.RunPending(); }

    DWORD MainThreadId() const noexcept { return mainThreadId_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // Routes keyboard navigation to the main window; dispatches the rest.
    void Dispatch(MSG& message);

    const DWORD mainThreadId_;
    std::string title_;
    HWND handle_ = nullptr;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
    TPendingCalls pending_;
};

extern TApplication* Application;

// The application title for an executable path: the file name cut at its first
// dot, first character kept, every other character lower-cased.
std::string ApplicationTitleFromPath(const std::string& exePath);
