#pragma once
// Task-window disabling around a modal dialog: every visible, enabled
// top-level window of the calling thread except one is disabled, and
// afterwards those of them that still exist are enabled again. Disablings
// nest; each restores only what it disabled itself. Every modal dialog of the
// tool is wrapped in one, which also gives the activation and the keyboard
// focus back to where they were before the dialog.
#include <windows.h>

#include <vector>

// The calling thread's active window and focused control, taken when this is
// made and given back when it goes, where they can still take them: when a
// dialog closes, the system activates its owner (the application window),
// which has nothing to type into.
class TSavedActivation {
public:
    TSavedActivation() noexcept : active_(GetActiveWindow()), focus_(GetFocus()) {}
    ~TSavedActivation();
    TSavedActivation(const TSavedActivation&) = delete;
    TSavedActivation& operator=(const TSavedActivation&) = delete;

private:
    HWND active_;
    HWND focus_;
};

class TTaskWindowsDisabled {
public:
    // `exclude` stays enabled (the owner of a shell dialog); null excludes none.
    explicit TTaskWindowsDisabled(HWND exclude);
    ~TTaskWindowsDisabled();
    TTaskWindowsDisabled(const TTaskWindowsDisabled&) = delete;
    TTaskWindowsDisabled& operator=(const TTaskWindowsDisabled&) = delete;

    // The windows this disabling disabled, in the order it disabled them.
    const std::vector<HWND>& Disabled() const noexcept { return disabled_; }

private:
    void EnableAgain() noexcept;

    // Given back after the windows are enabled again: a disabled window
    // cannot be activated.
    TSavedActivation activation_;
    HWND exclude_;
    std::vector<HWND> disabled_;
};
