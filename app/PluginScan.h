#pragma once
// The decisions of the plugin folder scan that need no window: which entries
// are plugins, which of them is the main file, and how a root name becomes
// the plugin name.
#include "namehelper/NameHelperProtocol.h"

#include <cstddef>
#include <string>
#include <vector>

// Positions in the plugin-type list of the main window.
constexpr int kPluginTypeWfx = 0;
constexpr int kPluginTypeWlx = 1;

// The text from the last dot of an entry name on, dot included, with ASCII
// letters lower-cased; empty when the name has no dot.
std::string LowerExtension(const std::string& entryName);

// kPluginTypeWfx for ".wfx" and ".wfx64", kPluginTypeWlx for ".wlx" and
// ".wlx64" (in any letter case), -1 for anything else.
int PluginTypeOf(const std::string& entryName);

// The position of the main file among a folder's entries: the last plugin
// entry of a 32-bit build (".wfx", ".wlx"), or where there is none, the last
// of a 64-bit build (".wfx64", ".wlx64"); -1 when no entry is a plugin.
int SelectMainFile(const std::vector<std::string>& entries);

// The plugin name made of a root name: the buffer's text up to its first NUL,
// never more than `capacity` characters, keeping only the characters from
// "0" to "z".
std::string FilterRootName(const char* buffer, std::size_t capacity);
