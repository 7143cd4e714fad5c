#include "BuildTimes.h"

#include "base/Errors.h"
#include "base/Handles.h"
#include "base/TextCodes.h"

#include <windows.h>

#include <cstdlib>

namespace {

// From 1601 to 1970, in 100-nanosecond ticks.
constexpr unsigned long long kTicksTo1970 = 116444736000000000ull;
constexpr unsigned long long kTicksPerSecond = 10000000ull;

FILETIME FileTimeOf(unsigned long long ticks)
{
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

unsigned long long TicksOf(const FILETIME& time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

[[noreturn]] void Fail(const std::string& what)
{
    const DWORD error = GetLastError();
    throw EOSError(error, what + ": " + SystemErrorText(error));
}

} // namespace

TSourceDate SourceDateEpoch()
{
    TSourceDate date;
    char value[64] = {};
    const DWORD length = GetEnvironmentVariableA("SOURCE_DATE_EPOCH", value, sizeof(value));
    if (length == 0)
        return date;
    date.Set = true;
    char* end = nullptr;
    const unsigned long long seconds = length < sizeof(value) ? std::strtoull(value, &end, 10) : 0;
    const std::string given = length < sizeof(value) ? value : "(longer than a number)";
    // Windows dates files up to the year 30828.
    if (end == value || end == nullptr || *end != '\0' || given.find_first_not_of("0123456789") != std::string::npos ||
        seconds > 900000000000ull)
        date.Problem = "SOURCE_DATE_EPOCH is \"" + given + "\", which is no number of seconds since 1970";
    else
        date.Latest = FileTimeOfUnixSeconds(seconds);
    return date;
}

unsigned long long FileTimeOfUnixSeconds(unsigned long long seconds) { return kTicksTo1970 + seconds * kTicksPerSecond; }

void SetLastWriteTime(const std::string& path, unsigned long long time)
{
    const UniqueFile file(CreateFileW(ToWide(path, CP_ACP).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const FILETIME written = FileTimeOf(time);
    if (!file || !SetFileTime(file.Get(), nullptr, nullptr, &written))
        Fail("\"" + path + "\" could not be dated");
}

void CopyDatedAtMost(const std::string& folder, const std::vector<std::string>& entries, const std::string& stage,
                     unsigned long long latest)
{
    if (!CreateDirectoryW(ToWide(stage, CP_ACP).c_str(), nullptr))
        Fail("The folder \"" + stage + "\" could not be created");
    for (const std::string& entry : entries) {
        const std::wstring from = ToWide(folder + entry, CP_ACP), to = ToWide(stage + entry, CP_ACP);
        if (!entry.empty() && entry.back() == '\\') {
            if (!CreateDirectoryW(to.c_str(), nullptr))
                Fail("The folder \"" + stage + entry + "\" could not be created");
            continue;
        }
        if (!CopyFileW(from.c_str(), to.c_str(), TRUE))
            Fail("\"" + folder + entry + "\" could not be copied to \"" + stage + "\"");
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &data) && TicksOf(data.ftLastWriteTime) > latest)
            SetLastWriteTime(stage + entry, latest);
    }
}

namespace {

void RemoveWideTree(const std::wstring& folder) noexcept
{
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &found));
    if (find) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            // A link to a folder goes, never what it leads to.
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveWideTree(folder + name + L"\\");
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW((folder + name).c_str());
            } else {
                SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((folder + name).c_str());
            }
        } while (FindNextFileW(find.Get(), &found));
    }
    find.Reset();
    RemoveDirectoryW(folder.c_str());
}

} // namespace

void RemoveFolderTree(const std::string& folder) noexcept
{
    std::wstring wide = ToWide(folder, CP_ACP);
    if (!wide.empty() && wide.back() != L'\\')
        wide += L'\\';
    RemoveWideTree(wide);
}
