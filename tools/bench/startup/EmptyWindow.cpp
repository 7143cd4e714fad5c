// The baseline of the start-up benchmark: the least a Win32 window program
// does to show an idle top-level window. It ends when the window is closed.
#include "BaselineWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const HWND window = CreateBaselineWindow(instance, "TEmptyWindow", "Empty window", 0, WS_OVERLAPPEDWINDOW);
    return window == nullptr ? 1 : RunBaselineWindow(window, false);
}
