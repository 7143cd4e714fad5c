#include "InstallerTestSupport.h"

#include "app/SetupScript.h"
#include "app/VersionResource.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "base/Paths.h"

#include <algorithm>

std::string DistFolder()
{
    // Test programs live in <build>\tests\, the dist folder in <build>\dist\.
    std::string folder = TestProgramFolder();
    folder.pop_back();
    return folder.substr(0, folder.find_last_of('\\') + 1) + "dist\\";
}

ToolFolder::ToolFolder(const std::string& subfolder)
    : path_(subfolder.empty() ? root_.Path() : root_.MakeFolder(subfolder))
{
    const std::string dist = DistFolder();
    for (const char* name : {"makensis.exe", "plugin.nsi"}) {
        if (!CopyFileA((dist + name).c_str(), (Path() + name).c_str(), FALSE))
            throw EOSError(GetLastError(), std::string("Cannot copy ") + name + " from " + dist);
    }
    const std::string languages = path_ + "languages\\";
    CreateDirectoryA(languages.c_str(), nullptr);
    WIN32_FIND_DATAA entry{};
    UniqueFind find(FindFirstFileA((dist + "languages\\*.nlf").c_str(), &entry));
    if (!find)
        throw EOSError(GetLastError(), "No language files in " + dist);
    do {
        CopyFileA((dist + "languages\\" + entry.cFileName).c_str(), (languages + entry.cFileName).c_str(), FALSE);
    } while (FindNextFileA(find.Get(), &entry));
}

std::string ToolFolder::Write(const std::string& relative, const std::string& content) const
{
    const std::string path = path_ + relative;
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr))
        throw EOSError(GetLastError(), "Cannot write " + path);
    return path;
}

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

std::vector<std::string> TreeOf(const std::string& folder)
{
    std::vector<std::string> tree = ListFolderTree(folder);
    std::sort(tree.begin(), tree.end());
    return tree;
}

void DeleteTree(const std::string& folder)
{
    std::vector<std::string> tree = TreeOf(folder);
    // Deepest first: a folder's entries sort after it.
    for (auto entry = tree.rbegin(); entry != tree.rend(); ++entry) {
        const std::string path = folder + *entry;
        if (path.back() == '\\') {
            RemoveDirectoryA(path.c_str());
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(folder.c_str());
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(100);
    }
    return true;
}

std::string MakePluginFolder(const TempFolder& parent, const std::string& name, const std::string& mainFile)
{
    const std::string folder = parent.MakeFolder(name);
    parent.Write(name + "\\" + mainFile, std::string("MZ plugin \0 bytes", 17));
    parent.Write(name + "\\readme.txt", "Read me\r\n");
    parent.Write(name + "\\language\\de.lng", "[German]\r\n");
    parent.Write(name + "\\language\\more\\fr.lng", "[French]\r\n");
    parent.MakeFolder(name + "\\empty folder");
    return folder;
}

ProgramRun CompileSetupScript(const ToolFolder& tool, TSetupScriptInputs inputs)
{
    // What "Create setup" reads from the plugin folder.
    inputs.Files = ListFolderTree(WithTrailingBackslash(inputs.Folder));
    inputs.Publisher = VersionStringOf(WithTrailingBackslash(inputs.Folder) + inputs.MainFile, "CompanyName");
    tool.Write("temp.nsi", FillSetupScript(ReadWholeFile(DistFolder() + "plugin.nsi"), inputs));
    return RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
}

std::string RegistryText(const std::string& key, const char* value)
{
    char data[2048] = {};
    DWORD size = sizeof(data) - 1;
    DWORD kind = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return std::string();
    const LONG result = RegQueryValueExA(handle, value, nullptr, &kind, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS && kind == REG_SZ ? std::string(data) : std::string();
}

DWORD RegistryNumber(const std::string& key, const char* value)
{
    DWORD data = 0;
    DWORD size = sizeof(data);
    return RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size) ==
                   ERROR_SUCCESS
               ? data
               : 0;
}

bool KeyExists(const std::string& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}
