#include "UnitFiles.h"

#include "base/Handles.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

#include <windows.h>

namespace {

// The messages are French on purpose; those with an accent are turned into
// this program's code page where they are used.
const char kOpenFailed[] = "Impossible d'ouvrir le fichier \"";
const wchar_t kCreateFailed[] = L"Impossible de cr\u00E9er le fichier \"";
const wchar_t kWriteFailed[] = L"Erreur d'\u00E9criture dans le flux";

// "<prefix><full path>". <system text>", for the error code taken before
// anything else could overwrite it.
std::string FileFailureText(const std::string& prefix, const std::string& fileName, DWORD error)
{
    return prefix + FullPathOf(fileName) + "\". " + SystemErrorText(error);
}

} // namespace

EWriteError::EWriteError() : Exception(FromWide(kWriteFailed, CP_ACP)) {}

UniqueFile OpenFileToRead(const std::string& fileName)
{
    UniqueFile file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EFOpenError(FileFailureText(kOpenFailed, fileName, GetLastError()));
    return file;
}

std::string LoadTextFile(const std::string& fileName)
{
    const UniqueFile file = OpenFileToRead(fileName);
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
    if (!file) {
        const DWORD error = GetLastError();
        throw EFCreateError(FileFailureText(FromWide(kCreateFailed, CP_ACP), fileName, error));
    }
    if (text.empty())
        return;
    DWORD written = 0;
    if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
        throw EWriteError();
}
