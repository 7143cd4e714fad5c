// A small program for the launcher's tests. Command line, in any order:
//   --record FILE   write how the program was started into FILE, at once
//   --sleep MS      then wait that many milliseconds
//   --exit CODE     and exit with that code (default 0)
//   --print BYTES   write that many bytes to its standard output first
//   --spawn FILE    start a copy of itself that sleeps for ten minutes, and
//                   write that copy's process id into FILE, first of all
// Started with the environment variable SPAWNPROBE_SPAWN naming a file, as
// a compiler is started with no options of the probe's, it does as
// "--spawn FILE --sleep 600000" would.
// Other arguments are only recorded. The record has three lines:
//   show=<wShowWindow of the start-up information, or "none">
//   args=<every argument after the program's own name, separated by '|'>
//   dir=<the working folder>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// Written under a temporary name and renamed, so that a reader never sees
// half of it.
void WriteWhole(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".part";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void SpawnSleeper(const std::string& idFile)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = "\"" + std::string(self) + "\" --sleep 600000";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        return;
    WriteWhole(idFile, std::to_string(child.dwProcessId));
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string record;
    DWORD sleepMs = 0;
    UINT exitCode = 0;
    std::string args, spawn;
    unsigned long printBytes = 0;
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
            else if (arg == "--print")
                printBytes = std::strtoul(__argv[i + 1], nullptr, 10);
            else if (arg == "--spawn")
                spawn = __argv[i + 1];
        }
    }
    char fromEnvironment[MAX_PATH] = {};
    if (spawn.empty() && GetEnvironmentVariableA("SPAWNPROBE_SPAWN", fromEnvironment, MAX_PATH) > 0) {
        spawn = fromEnvironment;
        sleepMs = 600000;
    }
    // Its copy sleeps and starts nothing.
    SetEnvironmentVariableA("SPAWNPROBE_SPAWN", nullptr);
    if (!spawn.empty())
        SpawnSleeper(spawn);
    if (printBytes != 0) {
        std::string text;
        for (unsigned long i = 0; i < printBytes; ++i)
            text += i % 64 == 63 ? '\n' : 'x';
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
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
        WriteWhole(record, text);
    }
    if (sleepMs != 0)
        Sleep(sleepMs);
    return static_cast<int>(exitCode);
}
