#include "Paths.h"

#include "Handles.h"

#include <windows.h>

#include <algorithm>

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

std::string WithoutTrailingBackslash(std::string path)
{
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
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

std::string ModuleFileName()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool FolderExistsAt(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExistsAt(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TEntryKind EntryKindAt(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TEntryKind::None;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TEntryKind::Folder : TEntryKind::File;
}

std::vector<std::string> ListFolderEntries(const std::string& pattern)
{
    // Every entry the system returns is taken: no attribute is excluded.
    std::vector<std::string> entries;
    WIN32_FIND_DATAA entry{};
    UniqueFind find(FindFirstFileA(pattern.c_str(), &entry));
    if (!find)
        return entries;
    do {
        entries.emplace_back(entry.cFileName);
    } while (FindNextFileA(find.Get(), &entry));
    return entries;
}

namespace {

// What names a folder whatever path leads to it: a link (a junction, a
// symbolic link) and its target give the same.
struct TFolderIdentity {
    DWORD Volume = 0, IndexHigh = 0, IndexLow = 0;
    bool operator==(const TFolderIdentity&) const = default;
};

bool IdentityOf(const std::string& folder, TFolderIdentity& identity)
{
    const UniqueFile handle(CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle || !GetFileInformationByHandle(handle.Get(), &information))
        return false;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

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

// Appends what `folder` + `prefix` holds. `above` holds the folders on the way
// down to it, so that a link back to one of them is not followed round and
// round.
void AppendTree(const std::string& folder, const std::string& prefix, std::vector<TFolderIdentity>& above,
                std::vector<std::string>& tree)
{
    WIN32_FIND_DATAA entry{};
    UniqueFind find(FindFirstFileA((folder + prefix + "*").c_str(), &entry));
    if (!find)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            tree.push_back(prefix + name);
            continue;
        }
        if (prefix.empty() && IsRootFolder(folder) && IsSystemRootFolder(name))
            continue;
        TFolderIdentity identity;
        const bool known = IdentityOf(folder + prefix + name, identity);
        if (known && std::find(above.begin(), above.end(), identity) != above.end())
            continue; // a link into a loop
        tree.push_back(prefix + name + "\\");
        if (known)
            above.push_back(identity);
        AppendTree(folder, prefix + name + "\\", above, tree);
        if (known)
            above.pop_back();
    } while (FindNextFileA(find.Get(), &entry));
}

} // namespace

std::vector<std::string> ListFolderTree(const std::string& folder)
{
    std::vector<std::string> tree;
    std::vector<TFolderIdentity> above;
    TFolderIdentity identity;
    if (IdentityOf(folder, identity))
        above.push_back(identity);
    AppendTree(folder, std::string(), above, tree);
    return tree;
}
