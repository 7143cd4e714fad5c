#include "FolderTree.h"

#include "PluginScan.h"

namespace {

void AppendTree(const std::string& folder, const std::string& prefix, std::vector<std::string>& tree)
{
    for (const std::string& name : ListFolderEntries(folder + prefix + "*")) {
        if (name == "." || name == "..")
            continue;
        if (FolderExistsAt(folder + prefix + name)) {
            tree.push_back(prefix + name + "\\");
            AppendTree(folder, prefix + name + "\\", tree);
        } else {
            tree.push_back(prefix + name);
        }
    }
}

} // namespace

std::vector<std::string> ListFolderTree(const std::string& folder)
{
    std::vector<std::string> tree;
    AppendTree(folder, std::string(), tree);
    return tree;
}
