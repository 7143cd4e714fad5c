#include "InstallerDelivery.h"

#include "base/Errors.h"
#include "base/FilePieces.h"
#include "base/FolderTree.h"
#include "base/Handles.h"
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

namespace {

// A name beside `target` that no file has: where the setup is written
// before it takes the target's place.
std::string FreeNameBeside(const std::string& target)
{
    for (unsigned attempt = 0;; ++attempt) {
        const std::string name = target + "." + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(GetTickCount() + attempt) + ".part";
        if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES || attempt > 1000)
            return name;
    }
}

// Copies `source` to `target`, a new file, and flushes it to the disk; false,
// the target removed, on failure.
bool CopyFlushed(const std::string& source, const std::string& target)
{
    const UniqueFile from(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!from)
        return false;
    bool copied = false;
    {
        const UniqueFile to(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!to)
            return false;
        const auto writePiece = [&](const BYTE* bytes, DWORD count) {
            DWORD written = 0;
            return WriteFile(to.Get(), bytes, count, &written, nullptr) && written == count;
        };
        copied = ReadInPieces(from.Get(), writePiece) && FlushFileBuffers(to.Get());
    }
    if (!copied) {
        const DWORD error = GetLastError();
        DeleteFileA(target.c_str());
        SetLastError(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error);
    }
    return copied;
}

} // namespace

TPlacing PlaceSetup(const std::string& source, const std::string& target, bool replace)
{
    if (!replace && GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES)
        return {TPlaceOutcome::TargetExists, ERROR_FILE_EXISTS};
    // On the target's drive the setup is renamed there, which moves no data;
    // to another drive it is copied, complete before anything else happens.
    const std::string beside = FreeNameBeside(target);
    const bool renamed = MoveFileExA(source.c_str(), beside.c_str(), MOVEFILE_WRITE_THROUGH);
    if (renamed) {
        // What the compiler wrote may still wait in the system's cache.
        const UniqueFile written(CreateFileA(beside.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (written)
            FlushFileBuffers(written.Get());
    } else if (!CopyFlushed(source, beside)) {
        return {TPlaceOutcome::Failed, GetLastError()};
    }
    if (MoveFileExA(beside.c_str(), target.c_str(), (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH)) {
        if (!renamed)
            DeleteFileA(source.c_str());
        return {TPlaceOutcome::Placed, ERROR_SUCCESS};
    }
    const DWORD error = GetLastError();
    // The setup goes back where it was, for another destination.
    if (!renamed || !MoveFileExA(beside.c_str(), source.c_str(), MOVEFILE_WRITE_THROUGH))
        DeleteFileA(beside.c_str());
    if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
        return {TPlaceOutcome::TargetExists, error};
    return {TPlaceOutcome::Failed, error};
}

std::string PlacingFailureText(const std::string& target, DWORD error, bool earlierKept)
{
    std::string text = "The setup could not be placed as \"" + target + "\": " + SystemErrorText(error) + ".";
    if (earlierKept)
        text += "\r\nThe earlier setup there was kept as it was.";
    return text;
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
