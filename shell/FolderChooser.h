#pragma once
// The shell's folder-browsing dialog, with the ANSI entry points: the user
// picks one folder and gets back its path with a trailing backslash.
#include <windows.h>

#include <string>

// Shows the dialog, owned by the application window, with `title` above the
// folder tree, the tree rooted at what the desktop folder parses
// `rootDisplayName` to (the desktop itself when that parses to nothing), and
// `initialFolder` (less one trailing backslash) preselected; the status line
// shows the folder that is selected. Returns true when the user confirmed a folder: `path` is then
// its file-system path followed by one backslash (two for a drive's root).
// Returns false, with `path` empty, when the user cancelled, the tool closed
// the dialog on its way out (see DialogEndedByQuit) or the shell's
// task allocator is not available (then no dialog is shown).
// The other windows of the thread, except the application window, are
// disabled while the dialog is up. Everything acquired is released before
// the routine returns, also when an exception passes through.
bool BrowseForFolderDialog(const std::string& title, const std::string& initialFolder,
                           const std::wstring& rootDisplayName, std::string& path);

// The dialog's callback. `data` points to the characters of the prepared
// initial folder. On BFFM_INITIALIZED it selects that folder; on
// BFFM_SELCHANGED it shows the highlighted folder's path in the status line,
// or empties it for a folder without one. Always returns 0; no exception
// leaves it.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM argument, LPARAM data) noexcept;
