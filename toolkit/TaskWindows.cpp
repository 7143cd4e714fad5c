#include "TaskWindows.h"

#include <exception>

namespace {

struct EnumState {
    HWND exclude;
    std::vector<HWND>* disabled;
    std::exception_ptr failure;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM data) noexcept
{
    auto& state = *reinterpret_cast<EnumState*>(data);
    try {
        if (window != state.exclude && IsWindowVisible(window) && IsWindowEnabled(window)) {
            state.disabled->push_back(window);
            EnableWindow(window, FALSE);
        }
    } catch (...) {
        if (!state.failure)
            state.failure = std::current_exception();
    }
    return TRUE; // always to the end
}

bool CanTakeInput(HWND window) noexcept
{
    return window != nullptr && IsWindow(window) && IsWindowVisible(window) && IsWindowEnabled(window);
}

} // namespace

TSavedActivation::~TSavedActivation()
{
    if (!CanTakeInput(active_))
        return;
    if (GetActiveWindow() != active_)
        SetActiveWindow(active_);
    if (CanTakeInput(focus_) && (focus_ == active_ || IsChild(active_, focus_)))
        SetFocus(focus_);
}

TTaskWindowsDisabled::TTaskWindowsDisabled(HWND exclude) : exclude_(exclude)
{
    EnumState state{exclude, &disabled_, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&state));
    if (state.failure) {
        EnableAgain();
        std::rethrow_exception(state.failure);
    }
}

TTaskWindowsDisabled::~TTaskWindowsDisabled() { EnableAgain(); }

void TTaskWindowsDisabled::EnableAgain() noexcept
{
    // Newest first, skipping windows destroyed while the dialog was up.
    for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it) {
        if (IsWindow(*it))
            EnableWindow(*it, TRUE);
    }
    disabled_.clear();
}
