#include "InstallerDelivery.h"

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

bool SamePath(const std::string& a, const std::string& b)
{
    return lstrcmpiA(FullPathOf(a).c_str(), FullPathOf(b).c_str()) == 0;
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
