// Task-window disabling with real top-level windows of this thread, and the
// disabling around a real message box.
#include "base/Handles.h"
#include "TestForm.h"
#include "tests/support/Dialogs.h"
#include "toolkit/Application.h"
#include "toolkit/Dialogs.h"
#include "toolkit/TaskWindows.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Every WM_ENABLE the test windows receive, in order: (window, enabled).
std::vector<std::pair<HWND, bool>> enableLog;

LRESULT CALLBACK LoggingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENABLE)
        enableLog.emplace_back(window, wParam != 0);
    return DefWindowProcA(window, message, wParam, lParam);
}

UniqueWindow MakeWindow(bool visible, bool enabled)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = LoggingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TTaskWindowsTestWindow";
        RegisterClassA(&windowClass);
        registered = true;
    }
    const DWORD style = WS_POPUP | (visible ? WS_VISIBLE : 0) | (enabled ? 0 : WS_DISABLED);
    return UniqueWindow(CreateWindowExA(WS_EX_TOOLWINDOW, "TTaskWindowsTestWindow", "", style, 10, 10, 50, 50,
                                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
}

bool Enabled(const UniqueWindow& window) { return IsWindowEnabled(window.Get()) != FALSE; }

bool Contains(const std::vector<HWND>& list, HWND window)
{
    return std::find(list.begin(), list.end(), window) != list.end();
}

// Disables the task windows, runs `meanwhile` with the list of those it
// disabled, and ends the disabling; what the test windows were told then.
std::vector<std::pair<HWND, bool>> EnablingsAfter(const std::function<void(const std::vector<HWND>&)>& meanwhile)
{
    {
        TTaskWindowsDisabled disabled(nullptr);
        meanwhile(disabled.Disabled());
        enableLog.clear();
    }
    return enableLog;
}

} // namespace

TEST(TaskWindows, DisablesVisibleEnabledWindowsAndRestoresOnlyThose)
{
    UniqueWindow first = MakeWindow(true, true);
    UniqueWindow second = MakeWindow(true, true);
    UniqueWindow alreadyDisabled = MakeWindow(true, false);
    UniqueWindow hidden = MakeWindow(false, true);
    ASSERT_TRUE(first && second && alreadyDisabled && hidden);

    {
        TTaskWindowsDisabled disabled(nullptr);
        EXPECT_FALSE(Enabled(first));
        EXPECT_FALSE(Enabled(second));
        EXPECT_FALSE(Enabled(alreadyDisabled));
        EXPECT_TRUE(Enabled(hidden)); // invisible windows are not touched
        EXPECT_TRUE(Contains(disabled.Disabled(), first.Get()));
        EXPECT_TRUE(Contains(disabled.Disabled(), second.Get()));
        EXPECT_FALSE(Contains(disabled.Disabled(), alreadyDisabled.Get()));
        EXPECT_FALSE(Contains(disabled.Disabled(), hidden.Get()));
        // Windows of other threads are none of its business.
        for (HWND window : disabled.Disabled()) {
            EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
        }
    }
    EXPECT_TRUE(Enabled(first));
    EXPECT_TRUE(Enabled(second));
    EXPECT_FALSE(Enabled(alreadyDisabled)); // kept its state
    EXPECT_TRUE(Enabled(hidden));
}

TEST(TaskWindows, ExcludedWindowStaysEnabled)
{
    UniqueWindow owner = MakeWindow(true, true);
    UniqueWindow other = MakeWindow(true, true);
    {
        TTaskWindowsDisabled disabled(owner.Get());
        EXPECT_TRUE(Enabled(owner));
        EXPECT_FALSE(Enabled(other));
        EXPECT_FALSE(Contains(disabled.Disabled(), owner.Get()));
    }
    EXPECT_TRUE(Enabled(owner));
    EXPECT_TRUE(Enabled(other));
}

TEST(TaskWindows, ReenablesNewestFirst)
{
    UniqueWindow a = MakeWindow(true, true);
    UniqueWindow b = MakeWindow(true, true);
    UniqueWindow c = MakeWindow(true, true);
    std::vector<std::pair<HWND, bool>> expected;
    const auto told = EnablingsAfter([&](const std::vector<HWND>& disabled) {
        for (HWND window : disabled)
            if (window == a.Get() || window == b.Get() || window == c.Get())
                expected.emplace(expected.begin(), window, true);
    });
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(told, expected);
}

TEST(TaskWindows, NestedDisablingsRestoreOnlyTheirOwnWindows)
{
    UniqueWindow main = MakeWindow(true, true);
    UniqueWindow alreadyDisabled = MakeWindow(true, false);
    auto outer = std::make_unique<TTaskWindowsDisabled>(nullptr);
    EXPECT_FALSE(Enabled(main));

    // A dialog opened while the first is up, and a second dialog over it.
    UniqueWindow firstDialog = MakeWindow(true, true);
    {
        TTaskWindowsDisabled inner(nullptr);
        EXPECT_FALSE(Enabled(firstDialog));
        EXPECT_FALSE(Contains(inner.Disabled(), main.Get())); // already disabled by the outer one
        UniqueWindow secondDialog = MakeWindow(true, true);
        {
            TTaskWindowsDisabled innermost(nullptr);
            EXPECT_FALSE(Enabled(secondDialog));
            EXPECT_FALSE(Enabled(firstDialog));
        }
        EXPECT_TRUE(Enabled(secondDialog));
        EXPECT_FALSE(Enabled(firstDialog)); // still under the inner disabling
        EXPECT_FALSE(Enabled(main));
    }
    EXPECT_TRUE(Enabled(firstDialog));
    EXPECT_FALSE(Enabled(main)); // the outer disabling still holds it
    outer.reset();
    EXPECT_TRUE(Enabled(main));
    EXPECT_TRUE(Enabled(firstDialog));
    EXPECT_FALSE(Enabled(alreadyDisabled));
}

TEST(TaskWindows, WindowDestroyedMeanwhileIsSkipped)
{
    UniqueWindow kept = MakeWindow(true, true);
    UniqueWindow doomed = MakeWindow(true, true);
    const HWND doomedHandle = doomed.Get();
    const auto told = EnablingsAfter([&](const std::vector<HWND>& disabled) {
        EXPECT_TRUE(Contains(disabled, doomedHandle));
        doomed.Reset(); // destroyed while the dialog is up
    });
    EXPECT_FALSE(IsWindow(doomedHandle));
    EXPECT_TRUE(Enabled(kept));
    for (const auto& entry : told)
        EXPECT_NE(entry.first, doomedHandle);
}

TEST(TaskWindows, MessageBoxDisablesTheToolsWindowsWhileItIsUp)
{
    auto form = MakeTestForm();
    UniqueWindow alreadyDisabled = MakeWindow(true, false);
    std::atomic<bool> formEnabledDuringBox{true};
    std::atomic<bool> otherEnabledDuringBox{true};
    UniqueWindow other = MakeWindow(true, true);
    DialogAnswerer answerer([&](HWND box) {
        formEnabledDuringBox = IsWindowEnabled(form->Handle()) != FALSE;
        otherEnabledDuringBox = IsWindowEnabled(other.Get()) != FALSE;
        PressDialogButton(box, IDOK);
    });
    ShowMessage("Disabled?");
    answerer.Join();
    ASSERT_TRUE(answerer.Answered());
    EXPECT_FALSE(formEnabledDuringBox);
    EXPECT_FALSE(otherEnabledDuringBox);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
    EXPECT_TRUE(Enabled(other));
    EXPECT_FALSE(Enabled(alreadyDisabled));
}
