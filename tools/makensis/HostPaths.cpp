#include "HostPaths.h"

#include "base/Errors.h"
#include "base/TextCodes.h"

#include <windows.h>

#include <memory>

namespace {

// Both return memory from the process heap, which the caller frees.
using UnixFileNameFunction = char*(__cdecl*)(const WCHAR* dosPath);
using DosFileNameFunction = WCHAR*(__cdecl*)(const char* unixPath);

struct HeapFreer {
    void operator()(void* memory) const noexcept { HeapFree(GetProcessHeap(), 0, memory); }
};
template <typename T>
using HeapText = std::unique_ptr<T, HeapFreer>;

template <typename Function>
Function Kernel32Function(const char* name)
{
    // kernel32 stays loaded for the life of the process: no ownership here.
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 == nullptr ? nullptr
                               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The host path of a path that Wine resolves as a whole, or empty.
std::string ResolvedHostPath(const std::string& windowsPath)
{
    static const auto toUnix = Kernel32Function<UnixFileNameFunction>("wine_get_unix_file_name");
    if (toUnix == nullptr)
        return std::string();
    const HeapText<char> unixPath(toUnix(ToWide(windowsPath, CP_UTF8).c_str()));
    return unixPath ? std::string(unixPath.get()) : std::string();
}

} // namespace

bool HostPathsAvailable()
{
    return Kernel32Function<UnixFileNameFunction>("wine_get_unix_file_name") != nullptr &&
           Kernel32Function<DosFileNameFunction>("wine_get_dos_file_name") != nullptr;
}

std::string HostPathOf(const std::string& windowsPath)
{
    std::string path = windowsPath;
    const bool trailingSeparator = path.size() > 3 && IsSeparator(path.back());
    while (path.size() > 3 && IsSeparator(path.back()))
        path.pop_back();

    // Cut components off the end until the rest resolves; the drive root
    // ("X:\", three characters) is the last try.
    std::string rest;
    for (;;) {
        std::string host = ResolvedHostPath(path);
        if (!host.empty()) {
            if (!rest.empty()) {
                if (host.back() != '/')
                    host += '/';
                host += rest;
            }
            if (trailingSeparator && host.back() != '/')
                host += '/';
            return host;
        }
        if (path.size() <= 3)
            break;
        std::size_t cut = path.find_last_of("\\/");
        if (cut == std::string::npos || cut < 2)
            break;
        std::string component = path.substr(cut + 1);
        rest = rest.empty() ? component : component + "/" + rest;
        path.erase(cut == 2 ? 3 : cut); // keep the root's separator
    }
    throw EOSError(ERROR_PATH_NOT_FOUND, "No host path for " + windowsPath);
}

std::wstring WindowsPathOfHost(const std::string& hostPath)
{
    static const auto toDos = Kernel32Function<DosFileNameFunction>("wine_get_dos_file_name");
    const HeapText<WCHAR> dosPath(toDos != nullptr ? toDos(hostPath.c_str()) : nullptr);
    if (!dosPath)
        throw EOSError(ERROR_PATH_NOT_FOUND, "No Windows path for " + hostPath);
    return std::wstring(dosPath.get());
}
