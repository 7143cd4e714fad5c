#include "NsisInstallation.h"

#include "ToolFiles.h"

#include "base/Handles.h"
#include "base/Paths.h"

#include <windows.h>

namespace {

const char kNsisKey[] = "Software\\NSIS";

// The key's default value as text; empty when it is missing or not text.
std::string DefaultValueOf(REGSAM view)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNsisKey, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
        return std::string();
    UniqueRegKey key(opened);
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.Get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return std::string();
    std::string value(size, '\0');
    if (RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
        return std::string();
    // The stored text may or may not carry its terminating NUL.
    value.resize(size < value.size() ? size : value.size());
    const std::size_t end = value.find('\0');
    if (end != std::string::npos)
        value.resize(end);
    return value;
}

} // namespace

std::string InstalledNsisFolder()
{
    // A 32-bit NSIS on 64-bit Windows records itself in the 32-bit view; this
    // program's own view is that one too unless it is built for 64 bits.
    for (const REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY)}) {
        std::string folder = DefaultValueOf(view);
        while (!folder.empty() && folder.back() == '\\')
            folder.pop_back();
        if (!folder.empty() && FileExistsAt(folder + "\\" + kCompilerFileName))
            return folder;
    }
    return std::string();
}
