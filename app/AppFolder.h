#pragma once
// Path and listing rules of the tool's own folder.
#include <string>
#include <vector>

// The folder part of a path, including its trailing backslash (or the drive's
// colon when there is no backslash); empty when the path has neither.
std::string FolderOfPath(const std::string& path);

// `folder` ending in a backslash: one is appended unless it is empty or has one.
std::string WithTrailingBackslash(std::string folder);

// `path` expanded to a full path; the path itself when it cannot be expanded.
std::string FullPathOf(const std::string& path);

// A file name without its extension: the text from the last dot on goes.
std::string NameWithoutExtension(const std::string& name);

// Entries matching `pattern`, every attribute admitted, in the file system's
// order; each listed without its last extension. No match gives an empty list.
std::vector<std::string> ListLanguageNames(const std::string& pattern);
