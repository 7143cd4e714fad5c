#pragma once
// Names the system cannot give the tool (see base/FolderTree.h): a file whose
// name comes out with "?", or whose path is longer than the system lets the
// tool reach, could not be packed, and the installer would lack it.
#include "base/FolderTree.h"

#include <string>

// The line of the validation message that refuses the first
// such name: the plugin folder's or the licence file's path, or an entry of
// `tree`, what the folder holds. Empty when there is none. `folder`: the
// folder field's text; `licensePath`: the licence field's.
std::string UnreachableNameLine(const std::string& folder, const TFolderTree& tree, const std::string& licensePath);
