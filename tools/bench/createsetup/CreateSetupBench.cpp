// Measures "Create setup" on the real main window with a 1 MiB template that
// holds 10,000 placeholders, from the click until the compiler has been
// started, against loading and saving the same file with the tool's own file
// routines. A program that ends at once stands in for the compiler. Also
// reports what starting a program through the shell costs on its own, since
// that is part of the click but not of the baseline.
#include "app/AppFolder.h"
#include "app/SetupScript.h"
#include "app/ToolFiles.h"
#include "app/Unit1.h"
#include "app/UnitFiles.h"
#include "toolkit/Application.h"

#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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

// About 1 MiB of script text with 10,000 placeholders spread through it.
std::string LargeTemplate()
{
    const char* placeholders[] = {"*plugin_name*", "*local_folder*", "*main_file*", "*plugin_type*",
                                  "*languages*",   "*license*",      "*pushlang*",  "#01"};
    const std::size_t count = 10000, size = 1u << 20;
    const std::string filler = "  ; a comment line of an installer script that only takes room\r\n";
    std::string text;
    text.reserve(size + 64);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t until = (i + 1) * size / count;
        text += placeholders[i % std::size(placeholders)];
        while (text.size() + filler.size() < until)
            text += filler;
        text.append(until - std::min(until, text.size()), ' ');
    }
    return text;
}

void Pump()
{
    Application->ProcessMessages();
    Sleep(1);
}

// Starts the stand-in compiler through the shell as the launcher does.
double BareStartMs(const std::string& program)
{
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = program.c_str();
    info.nShow = SW_SHOWNORMAL;
    const auto start = Clock::now();
    ShellExecuteExA(&info);
    const double ms = Ms(Clock::now() - start);
    if (info.hProcess != nullptr) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
    return ms;
}

} // namespace

int main()
{
    TApplication application;
    const std::string folder = FolderOfPath(ModuleFileName());
    const std::string templatePath = folder + kTemplateFileName;
    const std::string scriptPath = folder + kScriptFileName;
    const std::string compilerPath = folder + kCompilerFileName;
    const std::string quickExit = folder + "baseline\\QuickExit.exe";
    if (!CopyFileA(quickExit.c_str(), compilerPath.c_str(), FALSE)) {
        std::printf("cannot place the stand-in compiler %s\n", quickExit.c_str());
        return 1;
    }
    SaveTextFile(LargeTemplate(), templatePath);

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string plugin = std::string(temp) + "createsetup_bench_plugin\\";
    CreateDirectoryA(plugin.c_str(), nullptr);
    SaveTextFile("not a library", plugin + "plugin.wlx");

    const int runs = 15;
    std::vector<double> clicks, files, starts, fills;
    TSetupScriptInputs inputs;
    inputs.PluginName = "BenchPlugin";
    inputs.Folder = plugin;
    inputs.MainFile = "plugin.wlx";
    inputs.PluginType = "WLX";
    for (int i = 0; i < runs; ++i) {
        auto* form = new TFormMain(&application);
        form->EditFolder->SetText(plugin);
        form->EditName->SetText("BenchPlugin");
        form->Spawn->OnCompleted.Clear(); // the run's end is not measured
        const auto start = Clock::now();
        form->ButtonCreateClick(form);
        clicks.push_back(Ms(Clock::now() - start));
        while (form->Spawn->EventHandle() != nullptr)
            Pump();
        delete form;

        const auto fileStart = Clock::now();
        SaveTextFile(LoadTextFile(templatePath), scriptPath);
        files.push_back(Ms(Clock::now() - fileStart));

        starts.push_back(BareStartMs(compilerPath));

        const std::string templateText = LoadTextFile(templatePath);
        const auto fillStart = Clock::now();
        const std::string script = FillSetupScript(templateText, inputs);
        fills.push_back(Ms(Clock::now() - fillStart));
    }

    const double click = Median(clicks), file = Median(files), bareStart = Median(starts);
    std::printf("1 MiB template, 10,000 placeholders, median of %d runs\n", runs);
    std::printf("  Create setup, click to compiler started  %8.2f ms\n", click);
    std::printf("  load and save of the same file           %8.2f ms\n", file);
    std::printf("  ratio                                    %8.2f (goal <= 2)\n", click / file);
    std::printf("  of the click, starting a program through the shell alone takes %.2f ms;\n", bareStart);
    std::printf("  without it the ratio is %.2f\n", std::max(0.0, click - bareStart) / file);
    std::printf("  filling the placeholders alone takes %.2f ms\n", Median(fills));

    DeleteFileA((plugin + "plugin.wlx").c_str());
    RemoveDirectoryA(plugin.c_str());
    DeleteFileA(scriptPath.c_str());
    DeleteFileA(templatePath.c_str());
    DeleteFileA(compilerPath.c_str());
    return 0;
}
