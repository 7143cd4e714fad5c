#pragma once
// Which processor a plugin library is built for, read from its file header,
// and what follows from that: which program can load it, and whether a
// plugin folder is for 64-bit Windows only.
#include "LibraryImage.h"

#include <string>
#include <vector>

// By the machine field of the library's PE header; Unknown when the file
// cannot be read, is no intact PE image or is built for another processor.
TLibraryMachine LibraryMachineOf(const std::string& path);

// Whether the system runs 64-bit programs (this 32-bit tool runs on it
// through its 32-bit layer).
bool SystemRuns64BitPrograms();

// Whether the plugin files of `folder` (with trailing backslash) itself are
// all 64-bit libraries, and there is one at least: such a plugin is for 64-bit
// Windows only. `tree` is what the folder holds, as WalkFolderTree gives it;
// what lies in its subfolders does not count. The main file `mainFile` is
// known as `mainImage` already.
bool Only64BitPlugins(const std::string& folder, const std::vector<std::string>& tree, const std::string& mainFile,
                      const TLibraryImage& mainImage);
