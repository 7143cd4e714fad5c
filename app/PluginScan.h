#pragma once
// The decisions of the plugin folder scan that need no window: which entries
// are plugins, how a folder is listed, and how a WFX plugin is asked for its
// name.
#include <cstddef>
#include <string>
#include <vector>

// Positions in the plugin-type list of the main window.
constexpr int kPluginTypeWfx = 0;
constexpr int kPluginTypeWlx = 1;

// The text from the last dot of an entry name on, dot included, with ASCII
// letters lower-cased; empty when the name has no dot.
std::string LowerExtension(const std::string& entryName);

// kPluginTypeWfx for ".wfx", kPluginTypeWlx for ".wlx" (in any letter case),
// -1 for anything else.
int PluginTypeOf(const std::string& entryName);

// The plugin name made of a root name: the buffer's text up to its first NUL,
// never more than `capacity` characters, keeping only the characters from
// "0" to "z".
std::string FilterRootName(const char* buffer, std::size_t capacity);

// Size of the buffer FsGetDefRootName receives.
constexpr int kRootNameCapacity = 256;

// Loads the WFX plugin library at `libraryPath` into this process, asks it
// for its default root name with FsGetDefRootName and unloads it again.
// Returns true with the filtered name, which is empty when the library cannot
// be loaded or lacks the entry point. Returns false when the plugin's code
// raised an exception while it was loaded, called or unloaded: there is then
// no name to take.
bool ReadPluginRootName(const std::string& libraryPath, std::string& name);
