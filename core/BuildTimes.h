#pragma once
// The times that go into a setup. The compiler stores the last-write time of
// every file it packs; a file the tool generates for the setup is dated by
// the plugin folder (as its newest file), never by the clock, so that the same
// folder gives the same setup, byte for byte. A release build that sets
// SOURCE_DATE_EPOCH (seconds since 1970, as reproducible builds define it)
// gets no time later than that: files newer than it are packed from a copy
// dated then, so that two checkouts of one release give the same setup
// whenever they were made. Times are FILETIME ticks (100 ns since 1601).
#include <string>
#include <vector>

struct TSourceDate {
    // SOURCE_DATE_EPOCH is set, to `Latest`.
    bool Set = false;
    unsigned long long Latest = 0;
    // Why its value cannot be taken; empty when it can, or when it is not set.
    std::string Problem;
};

// SOURCE_DATE_EPOCH of this program's environment.
TSourceDate SourceDateEpoch();

// The file time of `seconds` since the beginning of 1970 (UTC).
unsigned long long FileTimeOfUnixSeconds(unsigned long long seconds);

// Sets the last-write time of the file at `path`. Throws EOSError.
void SetLastWriteTime(const std::string& path, unsigned long long time);

// Copies the files and folders of `entries` (relative paths as
// WalkFolderTree gives them, a folder's ending with a backslash) from
// `folder` into the new folder `stage`, each file dated `latest` when it is
// newer. Throws EOSError.
void CopyDatedAtMost(const std::string& folder, const std::vector<std::string>& entries, const std::string& stage,
                     unsigned long long latest);

// Removes `folder` with everything in it; what cannot be removed stays.
void RemoveFolderTree(const std::string& folder) noexcept;
