#pragma once
// Delivering the installer a build produced: telling a fresh installer from
// one left by an earlier run, and moving it to where the user wants it.
#include <windows.h>

#include <string>

// What a file looked like at one moment.
struct TFileStamp {
    bool Exists = false;
    FILETIME Written{};
    ULONGLONG Size = 0;
};

TFileStamp FileStampOf(const std::string& path);

// Whether `path` now holds a file that differs from what `before` recorded:
// it did not exist then, or it has been written since.
bool WrittenSince(const TFileStamp& before, const std::string& path);

enum class TMoveOutcome {
    Moved,        // the file is at the target
    TargetExists, // the target holds a file already; nothing was moved
    Failed,       // anything else; the file stays where it was
};

// Moves `source` to `target`, replacing a file there only when `replace` is
// set. On failure `error` receives the system's error code.
TMoveOutcome MoveInstaller(const std::string& source, const std::string& target, bool replace, DWORD& error);

// Why a fresh setup may not be placed in `folder`, a sentence; empty when it
// may. The tool folder (with
// trailing backslash) is where the next build writes its setup, and the
// plugin folder, or a folder inside it, is packed by the next build.
std::string DestinationRefusal(const std::string& folder, const std::string& toolFolder,
                               const std::string& pluginFolder);
