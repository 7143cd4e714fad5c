#include "PluginScan.h"

#include "PluginNameHelper.h"

#include "base/Paths.h"

#include <windows.h>

#include <algorithm>

std::string LowerExtension(const std::string& entryName)
{
    const std::size_t dot = entryName.rfind('.');
    if (dot == std::string::npos)
        return std::string();
    std::string extension = entryName.substr(dot);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

int PluginTypeOf(const std::string& entryName)
{
    const std::string extension = LowerExtension(entryName);
    if (extension == ".wfx" || extension == ".wfx64")
        return kPluginTypeWfx;
    if (extension == ".wlx" || extension == ".wlx64")
        return kPluginTypeWlx;
    return -1;
}

int SelectMainFile(const std::vector<std::string>& entries)
{
    int selected = -1;
    bool selected32 = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (PluginTypeOf(entries[i]) < 0)
            continue;
        const bool is32 = !LowerExtension(entries[i]).ends_with("64");
        if (is32 || !selected32) {
            selected = static_cast<int>(i);
            selected32 = is32;
        }
    }
    return selected;
}

std::string FilterRootName(const char* buffer, std::size_t capacity)
{
    std::string name;
    for (std::size_t i = 0; i < capacity && buffer[i] != '\0'; ++i) {
        const auto code = static_cast<unsigned char>(buffer[i]);
        if (code >= '0' && code <= 'z')
            name += buffer[i];
    }
    return name;
}

TPluginIdentity PluginOfMainFile(const std::string& folder, const std::string& entry, const std::string& toolFolder)
{
    TPluginIdentity plugin;
    plugin.Type = PluginTypeOf(entry);
    // A folder named like a plugin file names nothing.
    if (plugin.Type < 0 || !FileExistsAt(folder + entry))
        return plugin;
    if (plugin.Type == kPluginTypeWlx) {
        plugin.Name = NameWithoutExtension(entry);
    } else {
        plugin.PluginPath = folder + entry;
        plugin.NameHelper = NameHelperFor(plugin.PluginPath, toolFolder);
    }
    return plugin;
}

TPluginFound FindPlugin(const std::string& folder, const std::string& toolFolder)
{
    TPluginFound found;
    found.Entries = ListFolderEntries(folder + "*.*");
    found.MainFile = SelectMainFile(found.Entries);
    if (found.MainFile >= 0)
        found.Plugin = PluginOfMainFile(folder, found.Entries[static_cast<std::size_t>(found.MainFile)], toolFolder);
    return found;
}

std::vector<std::string> PluginsAmong(const std::vector<std::string>& entries, int type)
{
    // The builds of each plugin, by its type and its name without extension.
    std::vector<std::pair<std::string, std::vector<std::string>>> plugins;
    for (const std::string& entry : entries) {
        const int entryType = PluginTypeOf(entry);
        if (entryType < 0 || (type >= 0 && entryType != type))
            continue;
        std::string key = PluginTypeText(entryType) + ":" + NameWithoutExtension(entry);
        CharLowerA(key.data());
        auto plugin = std::find_if(plugins.begin(), plugins.end(), [&](const auto& p) { return p.first == key; });
        if (plugin == plugins.end())
            plugin = plugins.insert(plugins.end(), {key, {}});
        plugin->second.push_back(entry);
    }
    std::vector<std::string> mainFiles;
    for (const auto& plugin : plugins)
        mainFiles.push_back(plugin.second[static_cast<std::size_t>(SelectMainFile(plugin.second))]);
    return mainFiles;
}

std::string PluginTypeText(int type)
{
    return type == kPluginTypeWfx ? "WFX" : type == kPluginTypeWlx ? "WLX" : std::string();
}
