#include "InstallerDelivery.h"

#include "base/FolderTree.h"
#include "base/Paths.h"

TFileStamp FileStampOf(const std::string& path)
{
    TFileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        stamp.Exists = true;
        stamp.Written = data.ftLastWriteTime;
        stamp.Size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return stamp;
}

bool WrittenSince(const TFileStamp& before, const std::string& path)
{
    const TFileStamp now = FileStampOf(path);
    if (!now.Exists)
        return false;
    if (!before.Exists)
        return true;
    return CompareFileTime(&now.Written, &before.Written) != 0 || now.Size != before.Size;
}

TMoveOutcome MoveInstaller(const std::string& source, const std::string& target, bool replace, DWORD& error)
{
    error = ERROR_SUCCESS;
    // Another drive is fine: the file is copied there and then removed here.
    DWORD flags = MOVEFILE_COPY_ALLOWED;
    if (replace)
        flags |= MOVEFILE_REPLACE_EXISTING;
    if (MoveFileExA(source.c_str(), target.c_str(), flags))
        return TMoveOutcome::Moved;
    error = GetLastError();
    if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
        return TMoveOutcome::TargetExists;
    return TMoveOutcome::Failed;
}

namespace {

// Whether `folder` is `other`, or lies inside it, by the folders' identities:
// another spelling, letter case or short name of a folder is the same folder.
bool IsOrIsInside(std::string folder, const std::string& other, bool insideToo)
{
    TFolderIdentity target;
    if (other.empty() || !FolderIdentityOf(other, target))
        return false;
    folder = WithoutTrailingBackslash(FullPathOf(folder));
    for (;;) {
        TFolderIdentity identity;
        if (FolderIdentityOf(WithTrailingBackslash(folder), identity) && identity == target)
            return true;
        const std::size_t parent = folder.find_last_of('\\');
        if (!insideToo || parent == std::string::npos || parent + 1 == folder.size())
            return false;
        folder.resize(parent);
        if (!folder.empty() && folder.back() == ':')
            folder += '\\'; // the drive's root
        else if (folder.empty() || folder == "\\")
            return false;
    }
}

} // namespace

std::string DestinationRefusal(const std::string& folder, const std::string& toolFolder,
                               const std::string& pluginFolder)
{
    if (IsOrIsInside(folder, toolFolder, false))
        return "The setup can't be placed in the setup creator's own folder: the next setup created there would "
               "replace it.";
    if (IsOrIsInside(folder, pluginFolder, true))
        return "The setup can't be placed in the plugin folder or a folder inside it: the next setup of this plugin "
               "would pack it.";
    return std::string();
}
