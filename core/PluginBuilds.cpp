#include "PluginBuilds.h"

#include "PluginScan.h"

#include <windows.h>

TLibraryMachine LibraryMachineOf(const std::string& path)
{
    const TLibraryImage image = ReadLibraryImage(path);
    return image.Kind == TLibraryKind::Library ? image.Machine : TLibraryMachine::Unknown;
}

bool SystemRuns64BitPrograms()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool Only64BitPlugins(const std::string& folder, const std::vector<std::string>& tree, const std::string& mainFile,
                      const TLibraryImage& mainImage)
{
    const auto machineOf = [&](const std::string& entry) {
        if (entry != mainFile)
            return LibraryMachineOf(folder + entry);
        return mainImage.Kind == TLibraryKind::Library ? mainImage.Machine : TLibraryMachine::Unknown;
    };
    bool any = false;
    for (const std::string& entry : tree) {
        // Subfolders end in a backslash, and what they hold has one.
        if (PluginTypeOf(entry) < 0 || entry.find('\\') != std::string::npos)
            continue;
        if (machineOf(entry) != TLibraryMachine::X64)
            return false;
        any = true;
    }
    return any;
}
