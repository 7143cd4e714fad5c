// Installer size: a realistic plugin folder (a 32- and a 64-bit build of one
// library, language files, a readme) filled into the shipped template as
// "Create setup" fills it, with an uninstaller, and compiled by the tool
// folder's makensis.exe; the installer's size against xz -9e of the same
// folder, measured on the host in the same run. For the record, the same
// script without the template's compression lines (the compiler's default,
// zlib) gives the size and compile time the compression is measured against.
// The installer must carry the folder: it is installed silently and every
// file compared, then removed by its uninstaller.
//
// The folder is <build>\bench\installersize-plugin\ (the build makes it), the
// template and compiler those of <build>\dist\. Prints sizes, ratios and the
// median compile times of 3 runs each; the goal is at most 1.05 times xz.
#include "core/ScriptFile.h"
#include "core/ToolFiles.h"
#include "core/UnitFiles.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "base/FolderTree.h"
#include "base/Paths.h"
#include "base/TextCodes.h"
#include "tools/makensis/HostPaths.h"
#include "tools/makensis/ScriptMapping.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kGoal = 1.05;
constexpr int kRuns = 3;
constexpr DWORD kProgramTimeoutMs = 10 * 60 * 1000;
const char kMainFile[] = "benchfs.wfx";

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs a Windows program and waits for its end; its exit code.
DWORD RunAndWait(std::string commandLine, const std::string& folder)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info))
        throw EOSError(GetLastError(), "Cannot start " + commandLine + ": " + SystemErrorText(GetLastError()));
    UniqueHandle process(info.hProcess), thread(info.hThread);
    if (WaitForSingleObject(process.Get(), kProgramTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        throw Exception(commandLine + " did not end");
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.Get(), &exitCode);
    return exitCode;
}

// What a host shell command printed. A host program started from Wine cannot
// be waited for, so the shell leaves its exit code in a file at its end.
std::string HostCommandOutput(const std::string& command, const std::string& workFolder)
{
    const std::string output = workFolder + "host.out", status = workFolder + "host.status";
    const auto host = [](const std::string& path) { return ShellQuote(HostPathOf(path)); };
    SaveTextFile("(" + command + ") >" + host(output) + " 2>&1\necho $? >" + host(status + ".part") + " && mv " +
                     host(status + ".part") + " " + host(status) + "\n",
                 workFolder + "host.sh");
    const std::wstring shell = WindowsPathOfHost("/bin/sh");
    std::wstring commandLine = L"\"" + shell + L"\" \"" + ToWide(HostPathOf(workFolder + "host.sh"), CP_UTF8) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        throw EOSError(GetLastError(), "Cannot start /bin/sh: " + SystemErrorText(GetLastError()));
    UniqueHandle process(info.hProcess), thread(info.hThread);
    const auto start = Clock::now();
    while (!FileExistsAt(status)) {
        if (Clock::now() - start > std::chrono::milliseconds(kProgramTimeoutMs))
            throw Exception("The host command did not end: " + command);
        Sleep(100);
    }
    if (std::atoi(LoadTextFile(status).c_str()) != 0)
        throw Exception("The host command failed: " + command + "\n" + LoadTextFile(output));
    return LoadTextFile(output);
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        throw EOSError(GetLastError(), "No file " + path);
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// The template without its compression lines: the compiler's default.
std::string WithoutCompression(const std::string& templateText)
{
    std::string result;
    std::size_t removed = 0;
    for (std::size_t start = 0; start < templateText.size();) {
        std::size_t end = templateText.find('\n', start);
        end = end == std::string::npos ? templateText.size() : end + 1;
        if (templateText.compare(start, 13, "SetCompressor") == 0)
            ++removed;
        else
            result.append(templateText, start, end - start);
        start = end;
    }
    if (removed == 0)
        throw Exception("The template sets no compressor");
    return result;
}

struct TBuild {
    long long Size = 0;
    std::vector<double> Seconds;
};

// Fills `templateText` for the plugin folder, compiles it in the tool
// folder and keeps the installer as `installerName` there.
void BuildInstaller(const std::string& templateText, const TSetupScriptInputs& inputs, const std::string& tool,
                    const std::string& installerName, TBuild& build)
{
    WriteSetupScript(templateText, inputs, tool);
    const std::string installer = tool + kMainFile + kInstallerSuffix;
    DeleteFileA(installer.c_str());
    const auto start = Clock::now();
    // The compiler's messages go to its log, as the tool has it write them.
    const DWORD exitCode = RunAndWait("\"" + tool + kCompilerFileName + "\" /O" + kCompilerLogFileName + " \"" +
                                          tool + kScriptFileName + "\"",
                                      tool);
    build.Seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (exitCode != 0)
        throw Exception("The compiler failed with exit code " + std::to_string(exitCode) + ":\n" +
                        LoadTextFile(tool + kCompilerLogFileName));
    build.Size = FileSize(installer);
    if (!MoveFileExA(installer.c_str(), (tool + installerName).c_str(), MOVEFILE_REPLACE_EXISTING))
        throw EOSError(GetLastError(), "Cannot keep the installer: " + SystemErrorText(GetLastError()));
}

// Installs silently into `target`, compares every file with the plugin
// folder's, and uninstalls again; throws at the first difference.
void CheckInstallation(const std::string& installer, const std::string& plugin, const std::string& target,
                       const std::vector<std::string>& entries)
{
    if (RunAndWait("\"" + installer + "\" /S /D=" + target.substr(0, target.size() - 1), FolderOfPath(installer)) != 0)
        throw Exception("The installer failed");
    std::vector<std::string> expected = entries;
    expected.push_back("uninstall.exe");
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> installed = ListFolderTree(target);
    std::sort(installed.begin(), installed.end());
    if (installed != expected)
        throw Exception("The installed folder does not hold the plugin folder's entries");
    for (const std::string& entry : entries) {
        if (entry.back() != '\\' && LoadTextFile(target + entry) != LoadTextFile(plugin + entry))
            throw Exception("The installed " + entry + " differs from the plugin folder's");
    }

    if (RunAndWait("\"" + target + "uninstall.exe\" /S _?=" + target.substr(0, target.size() - 1), target) != 0)
        throw Exception("The uninstaller failed");
    for (const std::string& entry : entries) {
        if (entry.back() != '\\' && FileExistsAt(target + entry))
            throw Exception("The uninstaller left " + entry);
    }
}

void DeleteFolderTree(const std::string& folder)
{
    std::vector<std::string> entries = ListFolderTree(folder);
    // Deepest first: each folder comes before what it holds.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (entry->back() == '\\')
            RemoveDirectoryA((folder + *entry).c_str());
        else
            DeleteFileA((folder + *entry).c_str());
    }
    RemoveDirectoryA(folder.c_str());
}

double Megabytes(long long bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void Run(const std::string& work)
{
    const std::string bench = FolderOfPath(ModuleFileName());
    const std::string dist = bench + "..\\dist\\";
    const std::string plugin = bench + "installersize-plugin\\";
    const std::string tool = work + "tool\\";
    CreateDirectoryA(tool.c_str(), nullptr);
    if (!CopyFileA((dist + kCompilerFileName).c_str(), (tool + kCompilerFileName).c_str(), FALSE))
        throw Exception("Cannot copy " + dist + kCompilerFileName + "; build first");

    TSetupScriptInputs inputs;
    inputs.PluginName = "Bench FS";
    inputs.Folder = plugin;
    inputs.MainFile = kMainFile;
    inputs.PluginType = "WFX";
    inputs.Uninstaller = true;
    inputs.Files = ListFolderTree(plugin);
    long long folderSize = 0;
    for (const std::string& entry : inputs.Files)
        folderSize += entry.back() == '\\' ? 0 : FileSize(plugin + entry);

    const std::string shipped = LoadTextFile(dist + kTemplateFileName);
    const std::string zlib = WithoutCompression(shipped);
    TBuild compressed, plain;
    for (int run = 0; run < kRuns; ++run) {
        BuildInstaller(shipped, inputs, tool, "compressed.exe", compressed);
        BuildInstaller(zlib, inputs, tool, "zlib.exe", plain);
    }
    const long long xz = std::atoll(
        HostCommandOutput("cd " + ShellQuote(HostPathOf(plugin)) + " && tar --sort=name -cf - . | xz -9e -T1 | wc -c",
                          work)
            .c_str());
    if (xz <= 0)
        throw Exception("xz gave no size");

    CheckInstallation(tool + "compressed.exe", plugin, work + "installed\\", inputs.Files);

    const double ratio = static_cast<double>(compressed.Size) / static_cast<double>(xz);
    std::printf("plugin folder: %zu entries, %.2f MB\n", inputs.Files.size(), Megabytes(folderSize));
    std::printf("  xz -9e of the folder                   %8.2f MB\n", Megabytes(xz));
    std::printf("  installer, shipped template             %8.2f MB  ratio to xz %.3f (goal at most %.2f): %s\n",
                Megabytes(compressed.Size), ratio, kGoal, ratio <= kGoal ? "met" : "NOT met");
    std::printf("  installer, compiler's default (zlib)    %8.2f MB  ratio to xz %.3f\n", Megabytes(plain.Size),
                static_cast<double>(plain.Size) / static_cast<double>(xz));
    std::printf("  compile time, median of %d: shipped %.2f s, zlib %.2f s, ratio %.2f\n", kRuns,
                Median(compressed.Seconds), Median(plain.Seconds),
                Median(compressed.Seconds) / Median(plain.Seconds));
    std::printf("  installed silently: every file carried; uninstalled again\n");
}

} // namespace

int main()
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string work = std::string(temp) + "installersize_bench\\";
    DeleteFolderTree(work);
    CreateDirectoryA(work.c_str(), nullptr);
    int status = 0;
    try {
        Run(work);
    } catch (const Exception& e) {
        std::printf("installersize_bench: %s\n", e.Message().c_str());
        status = 1;
    }
    DeleteFolderTree(work);
    return status;
}
