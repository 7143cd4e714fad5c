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

// What a main file makes of the plugin: its type and how it is named.
struct TPluginIdentity {
    // kPluginTypeWfx, kPluginTypeWlx, or -1 when the entry is no plugin file.
    int Type = -1;
    // The name, as far as it is known without asking the plugin: a lister
    // plugin's file name; empty otherwise.
    std::string Name;
    // A file-system plugin names itself: the helper to ask (a full path) and
    // the plugin library to ask about. Empty when there is nothing to ask, or
    // nobody here can load the library.
    std::string NameHelper;
    std::string PluginPath;
};

// The plugin whose main file is `entry` of `folder` (a full path with
// trailing backslash). An entry that is no file, or no plugin file, names
// nothing.
TPluginIdentity PluginOfMainFile(const std::string& folder, const std::string& entry, const std::string& toolFolder);

// A plugin folder as the scan finds it.
struct TPluginFound {
    // The folder's entries in the file system's order, offered as main files.
    std::vector<std::string> Entries;
    // The position of the main file among them (SelectMainFile); -1: none.
    int MainFile = -1;
    TPluginIdentity Plugin;
};

// Finds the plugin in `folder` (a full path with trailing backslash), with
// the tool's name helpers in `toolFolder`: the one routine of the window's
// scan and of the console program.
TPluginFound FindPlugin(const std::string& folder, const std::string& toolFolder);

// The plugins among a folder's entries, of `type` (kPluginTypeWfx or
// kPluginTypeWlx; -1 for either), each by the main file SelectMainFile would
// take: a 32-bit and a 64-bit build of one plugin ("x.wfx" and "x.wfx64")
// are one plugin.
std::vector<std::string> PluginsAmong(const std::vector<std::string>& entries, int type);

// "WFX" or "WLX" for a plugin type; empty for -1.
std::string PluginTypeText(int type);
