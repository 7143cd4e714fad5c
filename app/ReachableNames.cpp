#include "ReachableNames.h"

#include "base/Handles.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

#include <windows.h>

namespace {

const char kLostCharacters[] = "its name holds characters that this system cannot give the tool (shown as \"?\"); "
                               "rename it, or create the setup on Windows 10 version 1903 or later";

// A path the system gave with "?" for what its code page lacks: no name on
// Windows can hold a "?". In UTF-8 nothing is lost that way.
bool LostCharacters(const std::string& path)
{
    return GetACP() != CP_UTF8 && path.find('?') != std::string::npos;
}

// Why the entry `name`, which this program's code page gives as `given`, at
// `path`, is out of the tool's reach; empty when it is not.
std::string Unreachable(const std::wstring& name, const std::string& given, const std::string& path)
{
    if (ToWide(given, CP_ACP) != name)
        return kLostCharacters;
    // A folder listing gives at most MAX_PATH - 1 bytes of a name. A path of
    // fewer bytes than the shortest limit (a folder's) is within them all;
    // a longer one is tried.
    if (given.size() >= MAX_PATH ||
        (path.size() >= MAX_PATH - 12 && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES))
        return "its path is longer than this system allows; shorten it, or allow long paths in Windows";
    return std::string();
}

// The first entry below `folder` out of reach, listed by the wide entry
// points, which see every name: its path relative to `folder` and why.
bool FindUnreachable(const std::string& folder, const std::wstring& wideFolder, const std::string& prefix,
                     std::string& entry, std::string& reason)
{
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW((wideFolder + L"*").c_str(), &found));
    if (!find)
        return false;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::string given = FromWide(name, CP_ACP);
        entry = prefix + given;
        reason = Unreachable(name, given, folder + entry);
        if (!reason.empty())
            return true;
        // A link is not followed: it may lead back up the tree.
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            FindUnreachable(folder, wideFolder + name + L"\\", entry + "\\", entry, reason))
            return true;
    } while (FindNextFileW(find.Get(), &found));
    return false;
}

std::string Line(const std::string& what, const std::string& reason) { return what + ": " + reason + ".\r\n"; }

} // namespace

std::string UnreachableNameLine(const std::string& folder, const std::string& licensePath)
{
    if (LostCharacters(folder))
        return Line("The folder \"" + folder + "\" cannot be used", kLostCharacters);
    if (LostCharacters(licensePath))
        return Line("The license \"" + licensePath + "\" cannot be used", kLostCharacters);
    if (folder.empty() || !FolderExistsAt(folder))
        return std::string();
    const std::string base = WithTrailingBackslash(folder);
    std::string entry, reason;
    if (!FindUnreachable(base, ToWide(base, CP_ACP), std::string(), entry, reason))
        return std::string();
    return Line("\"" + entry + "\" in the plugin folder cannot be packed", reason);
}
