#include "BuildLock.h"

#include "ToolFiles.h"

std::string TBuildLock::RefusalText()
{
    return "Another copy of the setup creator is creating a setup in this folder. Please wait until it has finished.";
}

bool TBuildLock::Take(const std::string& toolFolder)
{
    if (Held())
        return true;
    file_.Reset(CreateFileA((toolFolder + kBuildLockFileName).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return Held() || GetLastError() != ERROR_SHARING_VIOLATION;
}
