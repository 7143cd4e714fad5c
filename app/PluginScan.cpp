#include "PluginScan.h"

#include "FaultGuard.h"

#include "base/Handles.h"

#include <windows.h>

#include <utility>

std::string LowerExtension(const std::string& entryName)
{
    const std::size_t dot = entryName.rfind('.');
    if (dot == std::string::npos)
        return std::string();
    std::string extension = entryName.substr(dot);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

int PluginTypeOf(const std::string& entryName)
{
    const std::string extension = LowerExtension(entryName);
    if (extension == ".wfx")
        return kPluginTypeWfx;
    if (extension == ".wlx")
        return kPluginTypeWlx;
    return -1;
}

std::string FilterRootName(const char* buffer, std::size_t capacity)
{
    std::string name;
    for (std::size_t i = 0; i < capacity && buffer[i] != '\0'; ++i) {
        const auto code = static_cast<unsigned char>(buffer[i]);
        if (code >= '0' && code <= 'z')
            name += buffer[i];
    }
    return name;
}

namespace {

using FsGetDefRootNameProc = void(__stdcall*)(char* defRootName, int maxlen);

// A plugin library loaded into this process. Its start-up code (while it is
// loaded), its clean-up code (while it is unloaded) and every call into it
// run behind a fault guard; Faulted() tells whether any of them faulted.
class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& path)
    {
        // A fault in the start-up code either reaches our frame or is caught
        // by the loader, which then fails the load. A fault that the plugin
        // handled itself leaves a library that loaded.
        TFaultWatch watch;
        const bool returned = RunGuarded([&]() noexcept { module_ = LoadLibraryA(path.c_str()); });
        faulted_ = !returned || (module_ == nullptr && watch.Seen());
    }
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary() { Unload(); }

    bool Loaded() const noexcept { return module_ != nullptr; }
    bool Faulted() const noexcept { return faulted_; }

    FARPROC EntryPoint(const char* name) const noexcept
    {
        return module_ != nullptr ? GetProcAddress(module_, name) : nullptr;
    }

    template <typename Routine>
    void Call(Routine&& routine) noexcept
    {
        if (!RunGuarded(std::forward<Routine>(routine)))
            faulted_ = true;
    }

    void Unload() noexcept
    {
        if (module_ == nullptr)
            return;
        HMODULE module = std::exchange(module_, nullptr);
        // The loader swallows a fault in the clean-up code and reports
        // success; the watch tells.
        TFaultWatch watch;
        if (!RunGuarded([module]() noexcept { FreeLibrary(module); }) || watch.Seen())
            faulted_ = true;
    }

private:
    HMODULE module_ = nullptr;
    bool faulted_ = false;
};

} // namespace

bool ReadPluginRootName(const std::string& libraryPath, std::string& name)
{
    char buffer[kRootNameCapacity] = {};
    PluginLibrary library(libraryPath);
    if (library.Loaded()) {
        const auto entryPoint = reinterpret_cast<FsGetDefRootNameProc>(
            reinterpret_cast<void*>(library.EntryPoint("FsGetDefRootName")));
        if (entryPoint != nullptr)
            library.Call([&]() noexcept { entryPoint(buffer, kRootNameCapacity); });
        library.Unload();
    }
    if (library.Faulted())
        return false;
    name = FilterRootName(buffer, sizeof(buffer));
    return true;
}
