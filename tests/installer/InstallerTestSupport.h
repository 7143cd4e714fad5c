#pragma once
// A tool folder like the one users get (makensis.exe, plugin.nsi, languages),
// and programs run in it the way the tool runs the compiler.
#include "app/SetupScript.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <string>
#include <vector>

// The build's dist folder, with trailing backslash.
std::string DistFolder();

// A temporary copy of the dist folder's compiler stand-in, template and
// language files, in `subfolder` of a fresh temporary folder when one is given.
class ToolFolder {
public:
    explicit ToolFolder(const std::string& subfolder = std::string());
    // With trailing backslash.
    const std::string& Path() const { return path_; }
    // Writes a file relative to the tool folder; returns its path.
    std::string Write(const std::string& relative, const std::string& content) const;

private:
    TempFolder root_;
    std::string path_;
};

struct ProgramRun {
    bool Ended = false;   // false: still running at the time limit, and ended by force
    DWORD ExitCode = 0;
    DWORD ProcessId = 0;
    std::string Output;   // standard output and standard error together
};

// Runs `commandLine` in `workingFolder` with its output captured, and waits
// for it up to `timeoutMs`.
ProgramRun RunProgram(const std::string& commandLine, const std::string& workingFolder, DWORD timeoutMs = 60000);

// Runs the tool folder's makensis.exe as the tool does: its quoted path, the
// quoted script path, the tool folder as working folder.
ProgramRun RunCompiler(const std::string& toolFolder, const std::string& scriptPath);

// A text value under HKEY_LOCAL_MACHINE; empty when the key or value is missing.
std::string RegistryText(const std::string& key, const char* value);
// A number under HKEY_LOCAL_MACHINE; 0 when the key or value is missing.
DWORD RegistryNumber(const std::string& key, const char* value);
bool KeyExists(const std::string& key);

// Every file and folder below `folder` (with trailing backslash), as relative
// paths, folders ending with a backslash, sorted.
std::vector<std::string> TreeOf(const std::string& folder);

// Removes a folder with everything in it; nothing happens when it is missing.
void DeleteTree(const std::string& folder);

// Polls `done` every 100 ms up to `timeoutMs`; whether it held.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);

// A plugin folder with a main file, other files, subfolders and an empty
// subfolder, under `parent` as "<name>\"; returns its path.
std::string MakePluginFolder(const TempFolder& parent, const std::string& name, const std::string& mainFile);

// Fills the dist folder's template with `inputs` and what the plugin folder
// holds, as "Create setup" does, into the tool folder's temp.nsi and compiles
// it there with the stand-in.
ProgramRun CompileSetupScript(const ToolFolder& tool, TSetupScriptInputs inputs);
