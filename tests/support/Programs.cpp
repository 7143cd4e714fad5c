#include "Programs.h"

#include "Folders.h"
#include "Polling.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "base/Paths.h"

#include <gtest/gtest.h>

StartedProgram::StartedProgram(const std::string& commandLine, const std::string& workingFolder, bool captureOutput)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    if (captureOutput) {
        char tempFolder[MAX_PATH + 1] = {};
        char outputPath[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH + 1, tempFolder);
        GetTempFileNameA(tempFolder, "out", 0, outputPath);
        SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
        output_.Reset(CreateFileA(outputPath, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (!output_)
            throw EOSError(GetLastError(), "Cannot create the output file");
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output_.Get();
        startup.hStdError = output_.Get();
    }
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, captureOutput, captureOutput ? CREATE_NO_WINDOW : 0,
                        nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process))
        throw EOSError(GetLastError(), "Cannot start " + commandLine + ": " + SystemErrorText(GetLastError()));
    process_.Reset(process.hProcess);
    const UniqueHandle thread(process.hThread);
    id_ = process.dwProcessId;
}

bool StartedProgram::WaitFor(DWORD timeoutMs) const
{
    return process_ && WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD StartedProgram::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

std::string StartedProgram::Output() const
{
    std::string output;
    if (!output_)
        return output;
    SetFilePointer(output_.Get(), 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(output_.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        output.append(buffer, read);
    return output;
}

void StartedProgram::End() const
{
    if (process_ && !WaitFor(0)) {
        TerminateProcess(process_.Get(), 255);
        WaitFor(5000);
    }
}

bool ProcessGone(DWORD id)
{
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    return !process || WaitForSingleObject(process.Get(), 5000) == WAIT_OBJECT_0;
}

DWORD SpawnedProcessId(const std::string& file)
{
    if (!Eventually([&] { return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000))
        return 0;
    return std::strtoul(ReadWholeFile(file).c_str(), nullptr, 10);
}

ProgramRun RunProgram(const std::string& commandLine, const std::string& workingFolder, DWORD timeoutMs)
{
    const StartedProgram program(commandLine, workingFolder, true);
    ProgramRun run;
    run.ProcessId = program.Id();
    run.Ended = program.WaitFor(timeoutMs);
    program.End();
    run.ExitCode = program.ExitCode();
    run.Output = program.Output();
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
    EXPECT_FALSE(KeyExists(key, view, root)) << "still registered: " << key;
    // Its own file, which it cannot delete while it runs, goes a moment later.
    const std::string uninstaller = quiet.substr(1, quiet.find('"', 1) - 1);
    EXPECT_TRUE(Eventually([&] { return !FileExistsAt(uninstaller); }, 10000)) << uninstaller;
}
