#pragma once
// Paths as plain text of the system code page, and what the file system holds
// at them. A folder path that the tool builds ends in a backslash.
#include <string>
#include <vector>

// The folder part of a path, including its trailing backslash (or the drive's
// colon when there is no backslash); empty when the path has neither.
std::string FolderOfPath(const std::string& path);

// `folder` ending in a backslash: one is appended unless it is empty or has one.
std::string WithTrailingBackslash(std::string folder);
// `path` without one trailing backslash, when it has one.
std::string WithoutTrailingBackslash(std::string path);

// `path` expanded to a full path; the path itself when it cannot be expanded.
std::string FullPathOf(const std::string& path);

// A file name without its extension: the text from the last dot on goes.
std::string NameWithoutExtension(const std::string& name);

// Full path of the running executable.
std::string ModuleFileName();

// Whether a folder, or a file that is not a folder, exists at `path`.
bool FolderExistsAt(const std::string& path);
bool FileExistsAt(const std::string& path);

// What lies at a path.
enum class TEntryKind { None, File, Folder };
TEntryKind EntryKindAt(const std::string& path);

// The names of every entry matching `pattern` (subfolders, hidden and system
// entries, "." and ".." where reported), in the order the file system
// returns them. Empty when nothing matches.
std::vector<std::string> ListFolderEntries(const std::string& pattern);
