// A small program for the launcher's tests. Command line, in any order:
//   --record FILE   write how the program was started into FILE, at once
//   --sleep MS      then wait that many milliseconds
//   --exit CODE     and exit with that code (default 0)
// Other arguments are only recorded. The record has three lines:
//   show=<wShowWindow of the start-up information, or "none">
//   args=<every argument after the program's own name, separated by '|'>
//   dir=<the working folder>
#include <windows.h>

#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string record;
    DWORD sleepMs = 0;
    UINT exitCode = 0;
    std::string args;
    for (int i = 1; i < __argc; ++i) {
        const std::string arg = __argv[i];
        if (i > 1)
            args += '|';
        args += arg;
        if (i + 1 < __argc) {
            if (arg == "--record")
                record = __argv[i + 1];
            else if (arg == "--sleep")
                sleepMs = std::strtoul(__argv[i + 1], nullptr, 10);
            else if (arg == "--exit")
                exitCode = std::strtoul(__argv[i + 1], nullptr, 10);
        }
    }

    if (!record.empty()) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        GetStartupInfoA(&startup);
        char dir[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, dir);
        std::string text = "show=";
        text += (startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(startup.wShowWindow) : "none";
        text += "\r\nargs=" + args + "\r\ndir=" + dir + "\r\n";
        // Written under a temporary name and renamed, so that a reader never
        // sees half a record.
        const std::string temporary = record + ".part";
        HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(file);
            MoveFileExA(temporary.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    if (sleepMs != 0)
        Sleep(sleepMs);
    return static_cast<int>(exitCode);
}
