#include "AppFolder.h"

#include "base/Paths.h"

std::vector<std::string> ListLanguageNames(const std::string& pattern)
{
    std::vector<std::string> names = ListFolderEntries(pattern);
    for (std::string& name : names)
        name = NameWithoutExtension(name);
    return names;
}
