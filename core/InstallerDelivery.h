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

enum class TPlaceOutcome {
    Placed,       // the setup is at the target, and no longer at its source
    TargetExists, // the target holds a file, which was not to be replaced
    Failed,       // the target is as it was, and the setup still at its source
};

struct TPlacing {
    TPlaceOutcome Outcome = TPlaceOutcome::Failed;
    // The system's error code of a failure.
    DWORD Error = ERROR_SUCCESS;
};

// Places the setup at `source` as `target`, replacing a file there only when
// `replace` is set, all or nothing: the setup is written beside the target
// under a name of its own, complete and flushed to the disk, and only then
// takes the target's name in one step. Whatever fails on the way (a full
// disk, a file in use), the target is as it was and nothing of the new setup
// is left beside it.
TPlacing PlaceSetup(const std::string& source, const std::string& target, bool replace);

// What the user is told when placing `target` failed with `error`: the
// reason, and that an earlier file of that name was kept.
std::string PlacingFailureText(const std::string& target, DWORD error, bool earlierKept);

// Why a fresh setup may not be placed in `folder`, a sentence; empty when it
// may. The tool folder (with
// trailing backslash) is where the next build writes its setup, and the
// plugin folder, or a folder inside it, is packed by the next build.
std::string DestinationRefusal(const std::string& folder, const std::string& toolFolder,
                               const std::string& pluginFolder);
