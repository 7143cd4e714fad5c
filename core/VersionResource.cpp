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

// The whole version resource of `file`; empty when it has none.
std::vector<char> VersionResourceOf(const std::string& file)
{
    DWORD ignored = 0;
    const DWORD size = Version<decltype(&GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA")(file.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<char> resource(size);
    if (!Version<decltype(&GetFileVersionInfoA)>("GetFileVersionInfoA")(file.c_str(), 0, size, resource.data()))
        return {};
    return resource;
}

// The file version of a version resource, from its fixed part.
std::string FileVersionIn(std::vector<char>& resource)
{
    void* fixed = nullptr;
    UINT length = 0;
    if (resource.empty() ||
        !Version<decltype(&VerQueryValueA)>("VerQueryValueA")(resource.data(), "\\", &fixed, &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    const auto& info = *static_cast<const VS_FIXEDFILEINFO*>(fixed);
    if (info.dwSignature != VS_FFI_SIGNATURE)
        return std::string();
    char text[48];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(info.dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(info.dwFileVersionMS)), static_cast<unsigned>(HIWORD(info.dwFileVersionLS)),
                  static_cast<unsigned>(LOWORD(info.dwFileVersionLS)));
    return text;
}

// The text of `key` in a version resource's first string table.
std::string StringIn(std::vector<char>& resource, const std::string& key)
{
    if (resource.empty())
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

} // namespace

TVersionInfo ReadVersionInfo(const std::string& file)
{
    std::vector<char> resource = VersionResourceOf(file);
    return {StringIn(resource, "CompanyName"), FileVersionIn(resource)};
}

std::string VersionStringOf(const std::string& file, const std::string& key)
{
    std::vector<char> resource = VersionResourceOf(file);
    return StringIn(resource, key);
}
