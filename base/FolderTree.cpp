#include "FolderTree.h"

#include "Handles.h"
#include "TextCodes.h"

#include <windows.h>

#include <algorithm>

namespace {

const char kLostCharacters[] = "its name holds characters that this system cannot give the tool (shown as \"?\"); "
                               "rename it, or create the setup on Windows 10 version 1903 or later";

// A drive's root ("C:\\") or a share's ("\\\\server\\share\\").
bool IsRootFolder(const std::string& folder)
{
    if (folder.size() == 3 && folder[1] == ':')
        return true;
    if (folder.rfind("\\\\", 0) != 0)
        return false;
    const std::size_t share = folder.find('\\', 2);
    return share != std::string::npos && folder.find('\\', share + 1) == folder.size() - 1;
}

// Folders the system keeps in a drive's root for itself.
bool IsSystemRootFolder(const std::string& name)
{
    return lstrcmpiA(name.c_str(), "$RECYCLE.BIN") == 0 || lstrcmpiA(name.c_str(), "System Volume Information") == 0;
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

class TTreeWalk {
public:
    TTreeWalk(const std::string& folder, TFolderTree& tree)
        : folder_(folder), wideFolder_(ToWide(folder, CP_ACP)), tree_(tree)
    {
    }

    void Walk()
    {
        TFolderIdentity identity;
        if (FolderIdentityOf(folder_, identity))
            above_.push_back(identity);
        Append(std::string(), std::wstring());
    }

private:
    // Appends what the folder `prefix` below the walked one holds. `above_`
    // holds the folders on the way down to it, so that a link back to one of
    // them is not followed round and round.
    void Append(const std::string& prefix, const std::wstring& widePrefix)
    {
        WIN32_FIND_DATAW found{};
        UniqueFind find(FindFirstFileW((wideFolder_ + widePrefix + L"*").c_str(), &found));
        if (!find)
            return;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::string given = FromWide(name, CP_ACP);
            const std::string entry = prefix + given;
            const std::string reason = Unreachable(name, given, folder_ + entry);
            if (!reason.empty()) {
                if (tree_.Unreachable.empty()) {
                    tree_.Unreachable = entry;
                    tree_.UnreachableReason = reason;
                }
                continue;
            }
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                tree_.Entries.push_back(entry);
                const unsigned long long written =
                    (static_cast<unsigned long long>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                    found.ftLastWriteTime.dwLowDateTime;
                tree_.NewestWrite = std::max(tree_.NewestWrite, written);
                continue;
            }
            if (prefix.empty() && IsRootFolder(folder_) && IsSystemRootFolder(given))
                continue;
            TFolderIdentity identity;
            const bool known = FolderIdentityOf(folder_ + entry, identity);
            if (known && std::find(above_.begin(), above_.end(), identity) != above_.end())
                continue; // a link into a loop
            tree_.Entries.push_back(entry + "\\");
            if (known)
                above_.push_back(identity);
            Append(entry + "\\", widePrefix + name + L"\\");
            if (known)
                above_.pop_back();
        } while (FindNextFileW(find.Get(), &found));
    }

    const std::string& folder_;
    const std::wstring wideFolder_;
    TFolderTree& tree_;
    std::vector<TFolderIdentity> above_;
};

} // namespace

bool FolderIdentityOf(const std::string& folder, TFolderIdentity& identity)
{
    const UniqueFile handle(CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle || !GetFileInformationByHandle(handle.Get(), &information))
        return false;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

TFolderTree WalkFolderTree(const std::string& folder)
{
    TFolderTree tree;
    TTreeWalk(folder, tree).Walk();
    return tree;
}

std::vector<std::string> ListFolderTree(const std::string& folder)
{
    return WalkFolderTree(folder).Entries;
}

std::string LostCharactersReason(const std::string& path)
{
    // No name on Windows can hold a "?"; in UTF-8 nothing is lost that way.
    return GetACP() != CP_UTF8 && path.find('?') != std::string::npos ? kLostCharacters : std::string();
}
