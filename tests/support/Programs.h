#pragma once
// Programs run by the tests (the compiler stand-in, installers and their
// uninstallers) and what an installation leaves in the registry.
#include "base/Handles.h"

#include <windows.h>

#include <string>

// A program a test started, with its working folder (empty: this program's)
// and, when `captureOutput`, its standard output and error in a file of its
// own. Ended at the end of the test unless it has ended. A program of the
// Wine host gives no process handle: the test polls for its effect.
class StartedProgram {
public:
    explicit StartedProgram(const std::string& commandLine, const std::string& workingFolder = std::string(),
                            bool captureOutput = false);
    ~StartedProgram() { End(); }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.Get(); }
    // Whether it ended within `timeoutMs`.
    bool WaitFor(DWORD timeoutMs) const;
    DWORD ExitCode() const;
    // What it wrote so far, when its output is captured.
    std::string Output() const;
    // Ends it by force unless it has ended, and waits until it is gone.
    void End() const;

private:
    UniqueHandle process_;
    UniqueFile output_;
    DWORD id_ = 0;
};

struct ProgramRun {
    bool Ended = false; // false: still running at the time limit, and ended by force
    DWORD ExitCode = 0;
    DWORD ProcessId = 0;
    std::string Output; // standard output and standard error together
};

// Whether the process `id` is gone, or goes within a moment.
bool ProcessGone(DWORD id);

// The id of the process the launcher tests' probe started with "--spawn
// <file>", once it has written it into `file`; 0 when it does not.
DWORD SpawnedProcessId(const std::string& file);

// Runs `commandLine` in `workingFolder` with its output captured, and waits
// for it up to `timeoutMs`.
ProgramRun RunProgram(const std::string& commandLine, const std::string& workingFolder, DWORD timeoutMs = 60000);

// Runs a tool folder's makensis.exe as the tool does: its quoted path, the
// quoted script path, the tool folder as working folder.
ProgramRun RunCompiler(const std::string& toolFolder, const std::string& scriptPath);

// Whether a program of the Wine host runs whose command line holds `part`:
// the host's NSIS compiler that the compiler stand-in started, for example.
// Read from the host's /proc, which Wine shows below Z:.
bool HostProcessRunning(const std::string& part);

// Under HKEY_LOCAL_MACHINE (or `root`, such as HKEY_CURRENT_USER), in the
// registry view of this 32-bit program or, with `view` KEY_WOW64_64KEY, in the
// 64-bit one: a text value (empty when the key or value is missing), a number
// (0 then), whether a key exists.
std::string RegistryText(const std::string& key, const char* value, REGSAM view = 0, HKEY root = HKEY_LOCAL_MACHINE);
DWORD RegistryNumber(const std::string& key, const char* value, REGSAM view = 0, HKEY root = HKEY_LOCAL_MACHINE);
bool KeyExists(const std::string& key, REGSAM view = 0, HKEY root = HKEY_LOCAL_MACHINE);

// The entry of an installed plugin in the system's list of programs.
std::string UninstallKey(const std::string& type, const std::string& name);

// Removes at the end of a test what an installation left, had the test
// failed before its uninstaller ran: the folder and the uninstall entry.
class InstallationCleanup {
public:
    InstallationCleanup(std::string folder, std::string key, REGSAM view = 0, HKEY root = HKEY_LOCAL_MACHINE)
        : folder_(std::move(folder)), key_(std::move(key)), view_(view), root_(root)
    {
    }
    ~InstallationCleanup();
    InstallationCleanup(const InstallationCleanup&) = delete;
    InstallationCleanup& operator=(const InstallationCleanup&) = delete;

private:
    std::string folder_, key_;
    REGSAM view_;
    HKEY root_;
};

// Runs the entry's quiet uninstaller as the system does, from elsewhere, and
// waits for it: its entry is gone when it has ended, and its own file, which
// it cannot delete while it runs, a moment later.
void Uninstall(const std::string& key, REGSAM view = 0, HKEY root = HKEY_LOCAL_MACHINE);
