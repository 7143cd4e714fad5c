/* A lister plugin: the setup creator names it after its file and never loads
   it, so a single export is enough to make it a real one. */
#include <windows.h>

__declspec(dllexport) HWND __stdcall ListLoad(HWND parentWin, char* fileToLoad, int showFlags)
{
    (void)parentWin;
    (void)fileToLoad;
    (void)showFlags;
    return NULL;
}
