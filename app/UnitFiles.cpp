#include "UnitFiles.h"

#include "base/Handles.h"
#include "base/Paths.h"

#include <windows.h>

namespace {

// The messages are French on purpose; 0xE9 is the system code page's "e acute".
const char kOpenFailed[] = "Impossible d'ouvrir le fichier \"";
const char kCreateFailed[] = "Impossible de cr\xE9" "er le fichier \"";
const char kWriteFailed[] = "Erreur d'\xE9" "criture dans le flux";

// "<prefix><full path>". <system text>", for the error code taken before
// anything else could overwrite it.
std::string FileFailureText(const char* prefix, const std::string& fileName, DWORD error)
{
    return prefix + FullPathOf(fileName) + "\". " + SystemErrorText(error);
}

} // namespace

EWriteError::EWriteError() : Exception(kWriteFailed) {}

std::string LoadTextFile(const std::string& fileName)
{
    UniqueFile file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EFOpenError(FileFailureText(kOpenFailed, fileName, GetLastError()));

    const DWORD size = GetFileSize(file.Get(), nullptr);
    std::string text(size == INVALID_FILE_SIZE ? 0 : size, '\0');
    DWORD read = 0;
    if (!text.empty() && !ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr))
        read = 0;
    // A short read is no failure, but the text never carries bytes that were
    // not read from the file.
    text.resize(read);
    return text;
}

void SaveTextFile(const std::string& text, const std::string& fileName)
{
    UniqueFile file(CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file)
        throw EFCreateError(FileFailureText(kCreateFailed, fileName, GetLastError()));
    if (text.empty())
        return;
    DWORD written = 0;
    if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
        throw EWriteError();
}
