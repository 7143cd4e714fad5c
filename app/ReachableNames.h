#pragma once
// Names the system cannot give the tool. The tool takes every name through
// the ANSI entry points, in its own code page: UTF-8 where Windows honours
// the tool's declaration, else the system's code page, which lacks most
// scripts of the world. A file whose name comes out with "?" in place of
// such characters, or whose path is longer than the system lets those entry
// points reach, could not be packed, and the installer would lack it.
#include <string>

// The line (ending CR LF) of the validation message that refuses the first
// such name: the plugin folder's or the licence file's path, or an entry
// below the folder, in the order the folder is listed. Empty when there is
// none. `folder`: the folder field's text; `licensePath`: the licence field's.
std::string UnreachableNameLine(const std::string& folder, const std::string& licensePath);
