// Measures what the user waits for after pressing "Create setup": from the
// click on the real main window until the tool asks where to put the
// installer (the destination chooser is created), with the real template and
// the tool folder's real makensis.exe. Two comparisons, each against a
// baseline measured in the same run:
// - a plugin of two files, against that compiler alone on the script the
//   click wrote: what the tool adds to the compiler's work;
// - flat folders of 3,500 and of 10,000 small files, against that compiler
//   alone on the simplest script that packs the same folder (one "File /r",
//   the template's compressor lines): compile time must grow with the
//   folder as the compiler's own does.
#include "core/AppFolder.h"
#include "core/PluginScan.h"
#include "core/ToolFiles.h"
#include "app/Unit1.h"
#include "core/UnitFiles.h"
#include "base/Paths.h"
#include "toolkit/Application.h"

#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kGoal = 1.2;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// When the UI thread created its first dialog since the last reset; the
// dialog is cancelled as soon as its loop runs.
Clock::time_point askedAt;
bool asked = false;

LRESULT CALLBACK NoteTheQuestion(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HCBT_CREATEWND && !asked) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        char name[16] = {};
        GetClassNameA(window, name, sizeof(name));
        if (std::string(name) == "#32770") {
            askedAt = Clock::now();
            asked = true;
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void PumpUntil(bool (*done)(TFormMain&), TFormMain& form)
{
    while (!done(form)) {
        Application->ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Presses "Create setup" on a fresh main window showing `plugin`; the time
// until the destination is asked for, or -1 when the tool asked something
// else (the cancelled question deletes the installer it built).
double ClickUntilAskedMs(TApplication& application, const std::string& plugin, const std::string& installer)
{
    auto* form = new TFormMain(&application);
    form->EditFolder->SetText(plugin);
    form->EditName->SetText("BenchPlugin");
    asked = false;
    const auto start = Clock::now();
    form->ButtonCreateClick(form);
    PumpUntil([](TFormMain& f) { return asked && f.Spawn->EventHandle() == nullptr; }, *form);
    delete form;
    return FileExistsAt(installer) ? -1 : Ms(askedAt - start);
}

// Runs the compiler on `script` as the launcher does (the shell, verb
// "open", shown normally, the tool folder as working folder) and waits for
// its end.
double CompilerAloneMs(const std::string& folder, const std::string& script)
{
    const std::string program = "\"" + folder + kCompilerFileName + "\"";
    const std::string parameters = "\"" + folder + script + "\"";
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    const auto start = Clock::now();
    if (!ShellExecuteExA(&info) || info.hProcess == nullptr)
        return -1;
    WaitForSingleObject(info.hProcess, INFINITE);
    const double ms = Ms(Clock::now() - start);
    CloseHandle(info.hProcess);
    return ms;
}

void PrintRatio(const char* what, double click, const char* baselineWhat, double baseline)
{
    std::printf("  Create setup, click until the destination is asked for  %10.2f ms\n", click);
    std::printf("  the compiler alone, %-36s %10.2f ms\n", baselineWhat, baseline);
    std::printf("  ratio (%s)%*s %8.2f (goal <= %.1f)\n", what, static_cast<int>(47 - std::string(what).size()), "",
                click / baseline, kGoal);
}

// The lister plugin library the build makes for the tests, which the tool
// takes for a real plugin.
std::string viewer;

// The two-file plugin: the click against the compiler on the script it wrote.
bool MeasureToolOverhead(TApplication& application, const std::string& tool, const std::string& temp)
{
    const std::string plugin = temp + "createsetup_bench_plugin\\";
    CreateDirectoryA(plugin.c_str(), nullptr);
    CopyFileA(viewer.c_str(), (plugin + "plugin.wlx").c_str(), FALSE);
    SaveTextFile("read me", plugin + "readme.txt");
    const std::string installer = tool + "plugin.wlx" + kInstallerSuffix;
    const int runs = 7;
    std::vector<double> clicks, alone;
    for (int i = 0; i < runs; ++i) {
        clicks.push_back(ClickUntilAskedMs(application, plugin, installer));
        // The script the click wrote, compiled again by the compiler alone.
        alone.push_back(CompilerAloneMs(tool, kScriptFileName));
        if (clicks.back() < 0 || !DeleteFileA(installer.c_str())) {
            std::printf("the tool asked something else, or the compiler alone wrote no installer\n");
            return false;
        }
    }
    std::printf("plugin.nsi of the tool folder, a plugin of two files, median of %d runs\n", runs);
    PrintRatio("tool / compiler", Median(clicks), "on the same script", Median(alone));
    DeleteFileA((plugin + "plugin.wlx").c_str());
    DeleteFileA((plugin + "readme.txt").c_str());
    RemoveDirectoryA(plugin.c_str());
    return true;
}

// The simplest script that packs `folder` with the compressor lines of the
// template.
std::string PackingScript(const std::string& templateText, const std::string& folder, const std::string& outFile)
{
    std::string script = "Unicode true\r\n";
    for (std::size_t at = 0; at < templateText.size();) {
        const std::size_t end = std::min(templateText.find('\n', at), templateText.size());
        const std::string line = templateText.substr(at, end - at);
        if (line.rfind("SetCompressor", 0) == 0)
            script += line + "\n";
        at = end + 1;
    }
    return script + "OutFile \"" + outFile + "\"\r\nSection\r\n  SetOutPath \"$INSTDIR\"\r\n  File /r \"" + folder +
           "*\"\r\nSectionEnd\r\n";
}

// A flat folder of `count` small files, one of them the plugin.
bool MeasureFlatFolder(TApplication& application, const std::string& tool, const std::string& temp, int count)
{
    const std::string plugin = temp + "createsetup_bench_flat" + std::to_string(count) + "\\";
    CreateDirectoryA(plugin.c_str(), nullptr);
    CopyFileA(viewer.c_str(), (plugin + "plugin.wlx").c_str(), FALSE);
    for (int i = 1; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "file%05d.txt", i);
        SaveTextFile("small file " + std::to_string(i) + "\r\n", plugin + name);
    }
    const std::string installer = tool + "plugin.wlx" + kInstallerSuffix, baseline = "flat_baseline.exe";
    SaveTextFile(PackingScript(LoadTextFile(tool + kTemplateFileName), plugin, baseline), tool + "flat_baseline.nsi");
    const int runs = 5;
    std::vector<double> clicks, script, alone;
    bool built = true;
    for (int i = 0; i < runs && built; ++i) {
        clicks.push_back(ClickUntilAskedMs(application, plugin, installer));
        script.push_back(CompilerAloneMs(tool, kScriptFileName));
        alone.push_back(CompilerAloneMs(tool, "flat_baseline.nsi"));
        built = clicks.back() >= 0 && DeleteFileA(installer.c_str()) && DeleteFileA((tool + baseline).c_str());
    }
    for (const std::string& name : ListFolderEntries(plugin + "*"))
        DeleteFileA((plugin + name).c_str());
    RemoveDirectoryA(plugin.c_str());
    DeleteFileA((tool + "flat_baseline.nsi").c_str());
    if (!built) {
        std::printf("the tool asked something else, or the compiler alone wrote no installer\n");
        return false;
    }
    std::printf("a flat folder of %d small files, median of %d runs\n", count, runs);
    // For the record: how much of it is the compiler's work on the script.
    std::printf("  (the compiler alone on the script the click wrote            %10.2f ms)\n", Median(script));
    PrintRatio("tool / File /r", Median(clicks), "File /r of the folder", Median(alone));
    return true;
}

} // namespace

int main()
{
    TApplication application;
    const std::string folder = FolderOfPath(ModuleFileName());
    std::string dist = folder.substr(0, folder.size() - 1);
    dist = dist.substr(0, dist.find_last_of('\\') + 1) + "dist\\";
    viewer = dist + "..\\testplugins\\viewer.wlx";
    // The template's include lies beside it, as in the tool folder.
    const char* const include = kTemplateIncludeFileName;
    for (const char* name : {kTemplateFileName, include, kCompilerFileName}) {
        if (!CopyFileA((dist + name).c_str(), (folder + name).c_str(), FALSE)) {
            std::printf("cannot copy %s from %s\n", name, dist.c_str());
            return 1;
        }
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);

    const HHOOK hook = SetWindowsHookExA(WH_CBT, NoteTheQuestion, nullptr, GetCurrentThreadId());
    bool measured = MeasureToolOverhead(application, folder, temp);
    for (const int count : {3500, 10000})
        measured = measured && MeasureFlatFolder(application, folder, temp, count);
    UnhookWindowsHookEx(hook);

    for (const char* name : {kScriptFileName, kTemplateFileName, include, kCompilerFileName})
        DeleteFileA((folder + name).c_str());
    return measured ? 0 : 1;
}
