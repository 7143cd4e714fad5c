// Entry point: the application object, the main window, the message loop.
#include "Unit1.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "../toolkit/Application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        TApplication application;
        FormMain = new TFormMain(&application);
        application.SetMainForm(FormMain);
        FormMain->Show();
        application.Run();
    } catch (...) {
        // Start-up itself failed: there is no loop to return to, and perhaps
        // no application object to take the title from.
        const std::string text = ExceptionDisplayText(ExceptionMessage(std::current_exception()));
        MessageBoxA(nullptr, text.c_str(), ApplicationTitleFromPath(ModuleFileName()).c_str(), MB_OK | MB_ICONERROR);
        return 1;
    }
    return 0;
}
