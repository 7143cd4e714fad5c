#pragma once
// The application object: its zero-size application window (owner of every
// dialog and target of the pending-call wake-up), the message loop, the
// application-wide exception handler and the queue of pending calls.
//
// The application window owns the taskbar entry: it owns the main window and
// every dialog, and an owned window gets no entry of its own, so the tool shows
// one entry whichever of its windows is up. What the taskbar and the system do
// to that entry is passed on: closing it closes the main window, minimising the
// main window minimises the application, and activating the application
// activates the main window or the dialog open over it.
#include "Component.h"
#include "PendingCalls.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>

class TForm;

class TApplication : public TComponent {
public:
    // Creates the application window. One application object per process; it
    // is reachable through the global `Application` while it lives.
    TApplication();
    // Destroys what it owns first (the main window with its components), then
    // closes the queue of pending calls they may still hand over to.
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
    // Whether the application is closing: Terminate has been called and the
    // loop has not seen the quit yet. A modal dialog that ends meanwhile was
    // closed by that, not answered by the user.
    bool Closing() const noexcept { return closing_; }

    // Hides the application's windows behind its minimised taskbar entry.
    void Minimize() noexcept;
    // Shows them again and activates the main window or its open dialog.
    void Restore() noexcept;

    // Shows the failure's message in an error box and returns; never throws.
    void HandleException(std::exception_ptr error) noexcept;

    // Runs `call` on the user-interface thread and blocks until it has run.
    void Synchronize(std::function<void()> call) { pending_->CallAndWait(std::move(call)); }
    // Runs the queued calls; the application window does this on its wake-up
    // message and the loop does it when it goes idle.
    bool CheckSynchronize() { return pending_->RunPending(); }
    // The queue itself, for worker threads that may outlive this object.
    std::shared_ptr<TPendingCalls> PendingCalls() const noexcept { return pending_; }

    DWORD MainThreadId() const noexcept { return mainThreadId_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Routes keyboard navigation to the main window; dispatches the rest.
    void Dispatch(MSG& message);
    // The window that takes the activation in place of the application
    // window: the open dialog or the main window; null when none can.
    HWND ActivationTarget() const noexcept;
    void ActivateTarget() noexcept;
    // As "Exit" does; without a main window, ends the loop.
    void CloseMainForm();

    const DWORD mainThreadId_;
    std::string title_;
    HWND handle_ = nullptr;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
    bool closing_ = false;
    std::shared_ptr<TPendingCalls> pending_;
};

extern TApplication* Application;

// For window procedures and other system callbacks: no exception may unwind
// through the system's frames, so a failure of `handle` goes to the
// application-wide handler, and the callback returns 0 and goes on.
template <typename Handler>
LRESULT HandleInCallback(Handler&& handle) noexcept
{
    try {
        return handle();
    } catch (...) {
        if (Application != nullptr)
            Application->HandleException(std::current_exception());
        return 0;
    }
}

// The application title for an executable path: the file name cut at its first
// dot, first character kept, every other character lower-cased.
std::string ApplicationTitleFromPath(const std::string& exePath);
