#pragma once
// Everything a folder holds, at any depth.
#include <string>
#include <vector>

// The files and subfolders below `folder` (with trailing backslash) as paths
// relative to it, a subfolder ending with a backslash and followed by what it
// holds; each level in the order the file system returns it. Hidden and
// system entries count; "." and ".." do not. Empty when the folder is missing.
std::vector<std::string> ListFolderTree(const std::string& folder);
