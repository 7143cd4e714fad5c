#include "Dialogs.h"

#include "Application.h"
#include "TaskWindows.h"

#include <commdlg.h>

#include <vector>

namespace {

// A modal loop that receives the application's quit ends its dialog and posts
// the quit again; the file-open dialog then reports a confirmed file under Wine.
bool QuitPending() noexcept
{
    MSG quit;
    return PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

int ShowBox(const std::string& text, UINT type)
{
    const HWND owner = Application != nullptr ? Application->Handle() : nullptr;
    const std::string caption = Application != nullptr ? Application->Title() : std::string();
    TTaskWindowsDisabled disabled(nullptr);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

} // namespace

void ShowMessage(const std::string& text)
{
    ShowBox(text, MB_OK);
}

void ShowErrorBox(const std::string& text)
{
    ShowBox(text, MB_OK | MB_ICONERROR);
}

bool AskYesNo(const std::string& text)
{
    return ShowBox(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool TOpenDialog::Execute()
{
    // The filter's '|' separators become the NULs the dialog expects.
    std::string filter = Filter;
    for (char& c : filter)
        if (c == '|')
            c = '\0';
    filter.append(2, '\0');

    std::vector<char> name(4096, '\0');
    FileName.copy(name.data(), name.size() - 1);

    OPENFILENAMEA request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = Application != nullptr ? Application->Handle() : nullptr;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = name.data();
    request.nMaxFile = static_cast<DWORD>(name.size());
    request.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;

    bool confirmed = false;
    {
        TTaskWindowsDisabled disabled(nullptr);
        confirmed = GetOpenFileNameA(&request) != FALSE && !QuitPending();
    }
    if (confirmed)
        FileName = name.data();
    return confirmed;
}
