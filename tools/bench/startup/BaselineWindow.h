#pragma once
// What the start-up baselines share: a top-level window of the tool's main
// window's size and place, and the loop that runs until it is closed.
#include <windows.h>

// Registers `className` and creates its window, not yet shown; null when
// either fails. The window ends the loop when it is destroyed.
HWND CreateBaselineWindow(HINSTANCE instance, const char* className, const char* caption, DWORD exStyle,
                          DWORD style);

// Shows the window and serves messages until it is closed; the exit code.
// With `dialogKeys`, Tab and the arrow keys move between its controls.
int RunBaselineWindow(HWND window, bool dialogKeys);
