#include "AppFolder.h"

#include "PluginScan.h"

#include <windows.h>

std::string FolderOfPath(const std::string& path)
{
    const std::size_t end = path.find_last_of("\\:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

std::string WithTrailingBackslash(std::string folder)
{
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    return folder;
}

std::string FullPathOf(const std::string& path)
{
    std::string full(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}

std::string NameWithoutExtension(const std::string& name)
{
    const std::size_t dot = name.find_last_of(".\\:");
    if (dot == std::string::npos || name[dot] != '.')
        return name;
    return name.substr(0, dot);
}

std::vector<std::string> ListLanguageNames(const std::string& pattern)
{
    std::vector<std::string> names = ListFolderEntries(pattern);
    for (std::string& name : names)
        name = NameWithoutExtension(name);
    return names;
}
