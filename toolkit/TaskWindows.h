#pragma once
// Task-window disabling around a modal dialog: every visible, enabled
// top-level window of the calling thread except one is disabled, and
// afterwards those of them that still exist are enabled again. Disablings
// nest; each restores only what it disabled itself.
#include <windows.h>

#include <vector>

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

    HWND exclude_;
    std::vector<HWND> disabled_;
};
