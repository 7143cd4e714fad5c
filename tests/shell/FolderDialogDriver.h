#pragma once
// Drives the shell's folder dialog from a helper thread.
#include "base/Paths.h"
#include "tests/support/TestSupport.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

// Control identifiers of the shell's folder dialog: the caller's title above
// the tree, and the status line below it.
constexpr int kChooserTitleLine = 0x3742;
constexpr int kChooserStatusLine = 0x3743;

inline std::string ChooserStatusLine(HWND dialog)
{
    return WindowTextOf(GetDlgItem(dialog, kChooserStatusLine));
}

inline std::string ChooserTitle(HWND dialog)
{
    return WindowTextOf(GetDlgItem(dialog, kChooserTitleLine));
}

// The dialog loses selection requests sent while it is still starting.
inline void LetChooserSettle() { Sleep(1000); }

// Moves the dialog's selection to `folder` (no trailing backslash), from
// outside the dialog's thread; the text must stay valid in this process.
// Under Wine the first request after a start on an empty folder can be lost,
// so it is repeated until the status line shows the folder. Returns whether
// it does.
inline bool SelectChooserFolder(HWND dialog, const std::string& folder)
{
    // Wine's dialog sometimes keeps the old selection; moving it to the
    // drive's root first and then to the folder has been seen to help.
    static std::string root;
    root = folder.substr(0, 3);
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (attempt % 2 == 1) {
            SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(root.c_str()));
            Sleep(200);
        }
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
        Sleep(300);
        if (ChooserStatusLine(dialog) == folder)
            return true;
    }
    return false;
}
