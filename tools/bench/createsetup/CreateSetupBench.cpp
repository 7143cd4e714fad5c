// Measures what the user waits for after pressing "Create setup": from the
// click on the real main window until the tool asks where to put the
// installer (the destination chooser is created), with the real template and
// the tool folder's real makensis.exe. The baseline, measured in the same
// run, is that compiler alone on the same script: started the way the tool
// starts it and waited for until it has ended.
#include "app/AppFolder.h"
#include "app/PluginScan.h"
#include "app/ToolFiles.h"
#include "app/Unit1.h"
#include "app/UnitFiles.h"
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

// Runs the compiler as the launcher does (the shell, verb "open", shown
// normally, the tool folder as working folder) and waits for its end.
double CompilerAloneMs(const std::string& folder)
{
    const std::string program = "\"" + folder + kCompilerFileName + "\"";
    const std::string script = "\"" + folder + kScriptFileName + "\"";
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = program.c_str();
    info.lpParameters = script.c_str();
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

} // namespace

int main()
{
    TApplication application;
    const std::string folder = FolderOfPath(ModuleFileName());
    std::string dist = folder.substr(0, folder.size() - 1);
    dist = dist.substr(0, dist.find_last_of('\\') + 1) + "dist\\";
    for (const char* name : {kTemplateFileName, kCompilerFileName}) {
        if (!CopyFileA((dist + name).c_str(), (folder + name).c_str(), FALSE)) {
            std::printf("cannot copy %s from %s\n", name, dist.c_str());
            return 1;
        }
    }

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string plugin = std::string(temp) + "createsetup_bench_plugin\\";
    CreateDirectoryA(plugin.c_str(), nullptr);
    SaveTextFile("not a library", plugin + "plugin.wlx");
    SaveTextFile("read me", plugin + "readme.txt");
    const std::string installer = folder + "plugin.wlx" + kInstallerSuffix;

    const HHOOK hook = SetWindowsHookExA(WH_CBT, NoteTheQuestion, nullptr, GetCurrentThreadId());
    const int runs = 7;
    std::vector<double> clicks, alone;
    for (int i = 0; i < runs; ++i) {
        auto* form = new TFormMain(&application);
        form->EditFolder->SetText(plugin);
        form->EditName->SetText("BenchPlugin");
        asked = false;
        const auto start = Clock::now();
        form->ButtonCreateClick(form);
        PumpUntil([](TFormMain& f) { return asked && f.Spawn->EventHandle() == nullptr; }, *form);
        clicks.push_back(Ms(askedAt - start));
        delete form;
        if (FileExistsAt(installer)) { // the cancelled question deletes it
            std::printf("the tool asked, but not where the installer goes\n");
            return 1;
        }

        // The script the click wrote, compiled again by the compiler alone.
        alone.push_back(CompilerAloneMs(folder));
        if (!DeleteFileA(installer.c_str())) {
            std::printf("the compiler alone wrote no installer\n");
            return 1;
        }
    }
    UnhookWindowsHookEx(hook);

    const double click = Median(clicks), baseline = Median(alone);
    std::printf("plugin.nsi of the tool folder, median of %d runs\n", runs);
    std::printf("  Create setup, click until the destination is asked for  %8.2f ms\n", click);
    std::printf("  the compiler alone on the same script                   %8.2f ms\n", baseline);
    std::printf("  ratio                                                   %8.2f (goal <= 1.2)\n", click / baseline);

    DeleteFileA((plugin + "plugin.wlx").c_str());
    DeleteFileA((plugin + "readme.txt").c_str());
    RemoveDirectoryA(plugin.c_str());
    for (const char* name : {kScriptFileName, kTemplateFileName, kCompilerFileName})
        DeleteFileA((folder + name).c_str());
    return 0;
}
