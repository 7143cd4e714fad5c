#include "Programs.h"

#include "Folders.h"
#include "Polling.h"
#include "base/Errors.h"
#include "base/Handles.h"

#include <gtest/gtest.h>

ProgramRun RunProgram(const std::string& commandLine, const std::string& workingFolder, DWORD timeoutMs)
{
    char tempFolder[MAX_PATH + 1] = {};
    char outputPath[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH + 1, tempFolder);
    GetTempFileNameA(tempFolder, "out", 0, outputPath);
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueFile output(CreateFileA(outputPath, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!output)
        throw EOSError(GetLastError(), "Cannot create the output file");

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        workingFolder.c_str(), &startup, &process))
        throw EOSError(GetLastError(), "Cannot start " + commandLine + ": " + SystemErrorText(GetLastError()));
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);

    ProgramRun run;
    run.ProcessId = process.dwProcessId;
    run.Ended = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!run.Ended) {
        TerminateProcess(process.hProcess, 255);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &run.ExitCode);

    SetFilePointer(output.Get(), 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(output.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        run.Output.append(buffer, read);
    return run;
}

ProgramRun RunCompiler(const std::string& toolFolder, const std::string& scriptPath)
{
    return RunProgram("\"" + toolFolder + "makensis.exe\" \"" + scriptPath + "\"", toolFolder);
}

bool HostProcessRunning(const std::string& part)
{
    for (const std::string& id : EntriesOf("Z:\\proc\\*")) {
        if (id.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // Empty once it has ended meanwhile.
        if (ReadWholeFile("Z:\\proc\\" + id + "\\cmdline").find(part) != std::string::npos)
            return true;
    }
    return false;
}

namespace {

UniqueRegKey OpenKey(HKEY root, const std::string& key, REGSAM view)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
        handle = nullptr;
    return UniqueRegKey(handle);
}

} // namespace

std::string RegistryText(const std::string& key, const char* value, REGSAM view, HKEY root)
{
    char data[2048] = {};
    DWORD size = sizeof(data) - 1;
    const UniqueRegKey opened = OpenKey(root, key, view);
    return opened && RegGetValueA(opened.Get(), nullptr, value, RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS
               ? std::string(data)
               : std::string();
}

DWORD RegistryNumber(const std::string& key, const char* value, REGSAM view, HKEY root)
{
    DWORD data = 0;
    DWORD size = sizeof(data);
    const UniqueRegKey opened = OpenKey(root, key, view);
    return opened && RegGetValueA(opened.Get(), nullptr, value, RRF_RT_REG_DWORD, nullptr, &data, &size) ==
                         ERROR_SUCCESS
               ? data
               : 0;
}

bool KeyExists(const std::string& key, REGSAM view, HKEY root) { return static_cast<bool>(OpenKey(root, key, view)); }

std::string UninstallKey(const std::string& type, const std::string& name)
{
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon " + type + " plugin " + name;
}

InstallationCleanup::~InstallationCleanup()
{
    DeleteTree(folder_);
    RegDeleteKeyExA(root_, key_.c_str(), view_, 0);
}

void Uninstall(const std::string& key, REGSAM view, HKEY root)
{
    const std::string quiet = RegistryText(key, "QuietUninstallString", view, root);
    ASSERT_FALSE(quiet.empty()) << key;
    TempFolder elsewhere;
    const ProgramRun uninstall = RunProgram(quiet, elsewhere.Path());
    ASSERT_TRUE(uninstall.Ended);
    EXPECT_EQ(uninstall.ExitCode, 0u);
    EXPECT_TRUE(Eventually([&] { return !KeyExists(key, view, root); }, 30000)) << "still registered: " << key;
}
