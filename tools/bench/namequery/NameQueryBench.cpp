// Name query benchmark: the main window's scan of a folder holding a WFX
// plugin, from the scan until the plugin's name is in the name field (the
// helper started, the plugin loaded and asked, the answer handed to the
// window), against starting an empty program of the helper's kind and
// waiting for its end, turn about in the same run.
//
//   namequery_bench [--runs N]
//
// Defaults: 31 runs. Reports the medians and their ratio, and the median of
// the ratios of each run's two timings, which a machine whose load changes
// during the run disturbs less; the goal is a ratio of at most 1.3.
#include "app/Unit1.h"
#include "base/Paths.h"
#include "base/TextCodes.h"
#include "toolkit/Application.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kGoal = 1.3;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Started as the helper is started, and waited for; -1 when it cannot start.
double EmptyProgramMs(const std::string& program)
{
    const std::wstring path = ToWide(program, CP_ACP);
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    PROCESS_INFORMATION started{};
    const auto start = Clock::now();
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return -1;
    WaitForSingleObject(started.hProcess, INFINITE);
    const double ms = Ms(Clock::now() - start);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return ms;
}

// Scans `folder` and serves the window until the plugin has answered.
double ScanMs(TApplication& application, TFormMain& form, const std::string& folder)
{
    const auto start = Clock::now();
    form.ScanPluginFolder(folder);
    while (form.NameHelper->Running()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        application.ProcessMessages();
    }
    return Ms(Clock::now() - start);
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 31;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }

    try {
        TApplication application;
        auto* form = new TFormMain(&application);
        form->Show();

        const std::string here = FolderOfPath(ModuleFileName());
        const std::string baseline = here + "baseline\\EmptyProgram.exe";
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const std::string folder = std::string(temp) + "namequery_bench_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string plugin = folder + "testfs.wfx";
        CopyFileA((here + "..\\testplugins\\testfs.wfx").c_str(), plugin.c_str(), FALSE);

        // Once untimed, to see that it works: the plugin names itself.
        ScanMs(application, *form, folder);
        const std::string named = form->EditName->Text();
        if (named != "TestFS" || EmptyProgramMs(baseline) < 0) {
            std::printf("The scan named the plugin \"%s\"; the baseline %s\n", named.c_str(), baseline.c_str());
            DeleteFileA(plugin.c_str());
            RemoveDirectoryA(folder.c_str());
            return 1;
        }

        std::vector<double> empty, scan, ratios;
        for (int run = 0; run < runs; ++run) {
            empty.push_back(EmptyProgramMs(baseline));
            scan.push_back(ScanMs(application, *form, folder));
            ratios.push_back(scan.back() / empty.back());
        }
        DeleteFileA(plugin.c_str());
        RemoveDirectoryA(folder.c_str());

        const double emptyMedian = Median(empty), scanMedian = Median(scan);
        std::printf("empty program median:    %8.2f ms\n", emptyMedian);
        std::printf("scan and name median:    %8.2f ms\n", scanMedian);
        std::printf("ratio scan / empty:      %8.2f (goal: at most %.1f)\n", scanMedian / emptyMedian, kGoal);
        std::printf("median ratio of a run:   %8.2f\n", Median(ratios));
        delete form;
    } catch (...) {
        std::printf("The benchmark failed\n");
        return 1;
    }
    return 0;
}
