#pragma once
// One build at a time per tool folder: every copy of the tool started from
// that folder writes the same script and installer there, so a copy takes
// the folder's lock file before it writes anything and holds it until its
// build is over. The file is opened without sharing and deleted when it is
// closed, also by the system when the process ends without closing it.
#include "base/Handles.h"

#include <string>

class TBuildLock {
public:
    // Shown when another copy of the tool is building in the same folder.
    static std::string RefusalText();

    // Takes the lock of `toolFolder` (with trailing backslash). False only
    // when another copy holds it; a folder where the lock file cannot be made
    // at all is not refused here, since writing the script there fails and
    // says why.
    bool Take(const std::string& toolFolder);
    void Release() noexcept { file_.Reset(); }
    bool Held() const noexcept { return file_.Valid(); }

private:
    UniqueFile file_;
};
