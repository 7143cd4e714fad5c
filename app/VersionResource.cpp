#include "VersionResource.h"

#include "base/LazyLibrary.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

// Bound when a setup is first created, not at start-up.
template <typename Function>
Function Version(const char* name)
{
    return LazyFunction<Function>("version.dll", name);
}

} // namespace

std::string VersionStringOf(const std::string& file, const std::string& key)
{
    DWORD ignored = 0;
    const DWORD size = Version<decltype(&GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA")(file.c_str(), &ignored);
    if (size == 0)
        return std::string();
    std::vector<char> resource(size);
    if (!Version<decltype(&GetFileVersionInfoA)>("GetFileVersionInfoA")(file.c_str(), 0, size, resource.data()))
        return std::string();

    // Language and code page of the string tables; "040904B0" (US English,
    // UTF-16) when the resource does not say.
    struct Translation {
        WORD Language;
        WORD CodePage;
    };
    Translation first{0x0409, 1200};
    void* translations = nullptr;
    UINT length = 0;
    if (Version<decltype(&VerQueryValueA)>("VerQueryValueA")(resource.data(), "\\VarFileInfo\\Translation", &translations, &length) &&
        length >= sizeof(Translation))
        first = *static_cast<const Translation*>(translations);

    char block[32];
    std::snprintf(block, sizeof(block), "\\StringFileInfo\\%04X%04X\\", first.Language, first.CodePage);
    void* text = nullptr;
    if (!Version<decltype(&VerQueryValueA)>("VerQueryValueA")(resource.data(), (block + key).c_str(), &text, &length) || length == 0)
        return std::string();
    // The length counts the terminating NUL; the text is NUL-terminated.
    return std::string(static_cast<const char*>(text));
}
