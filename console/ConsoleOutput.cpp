#include "ConsoleOutput.h"

#include "base/TextCodes.h"

#include <windows.h>

namespace {

void WriteLines(DWORD stdHandle, std::string text)
{
    const HANDLE handle = GetStdHandle(stdHandle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    text += '\n';
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = ToWide(text, CP_ACP);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        const std::string bytes = Utf8FromAnsi(text);
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

} // namespace

void WriteOut(const std::string& text) { WriteLines(STD_OUTPUT_HANDLE, text); }
void WriteError(const std::string& text) { WriteLines(STD_ERROR_HANDLE, text); }
