#include "ReachableNames.h"

namespace {

std::string Line(const std::string& what, const std::string& reason) { return what + ": " + reason + "."; }

} // namespace

std::string UnreachableNameLine(const std::string& folder, const TFolderTree& tree, const std::string& licensePath)
{
    if (const std::string reason = LostCharactersReason(folder); !reason.empty())
        return Line("The folder \"" + folder + "\" cannot be used", reason);
    if (const std::string reason = LostCharactersReason(licensePath); !reason.empty())
        return Line("The license \"" + licensePath + "\" cannot be used", reason);
    if (tree.Unreachable.empty())
        return std::string();
    return Line("\"" + tree.Unreachable + "\" in the plugin folder cannot be packed", tree.UnreachableReason);
}
