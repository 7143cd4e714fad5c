// Scan benchmark: the main window's plugin folder scan over a folder of
// 10,000 entries, against a bare FindFirstFileA/FindNextFileA loop over the
// same folder, turn about in the same run. The scan lists every entry in the
// main-file list, so the difference is what filling the list costs.
//
//   scan_bench [--entries N] [--runs N]
//
// Defaults: 10,000 entries (one of them a lister plugin, so that the scan
// goes all the way to the name), 15 runs. Reports the medians and their
// ratio; the goal is a ratio of at most 2.
#include "app/Unit1.h"
#include "base/Handles.h"
#include "toolkit/Application.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string MakeFolder(int entries)
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    const std::string folder = std::string(base) + "scan_bench_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 1; i < entries; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "entry_%05d.dat", i);
        UniqueFile file(CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    UniqueFile plugin(CreateFileA((folder + "viewer.wlx").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return folder;
}

void RemoveFolder(const std::string& folder)
{
    WIN32_FIND_DATAA entry{};
    UniqueFind find(FindFirstFileA((folder + "*").c_str(), &entry));
    if (find) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + entry.cFileName).c_str());
        } while (FindNextFileA(find.Get(), &entry));
    }
    find.Reset();
    RemoveDirectoryA(folder.c_str());
}

// The baseline: every entry enumerated, nothing kept.
int BareEnumeration(const std::string& folder)
{
    int count = 0;
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        ++count;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    int entries = 10000;
    int runs = 15;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--entries") == 0)
            entries = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }

    try {
        TApplication application;
        auto* form = new TFormMain(&application);
        form->Show();

        std::printf("Creating a folder of %d entries...\n", entries);
        const std::string folder = MakeFolder(entries);

        // The first scan is checked, not timed.
        form->ScanPluginFolder(folder);
        application.ProcessMessages();
        const int listed = form->ComboBoxMainFile->Count();
        const int enumerated = BareEnumeration(folder);
        if (listed != enumerated || form->EditName->Text() != "viewer") {
            std::printf("The scan listed %d entries of %d and named the plugin \"%s\"\n", listed, enumerated,
                        form->EditName->Text().c_str());
            RemoveFolder(folder);
            return 1;
        }

        std::vector<double> bare, scan;
        for (int run = 0; run < runs; ++run) {
            double start = Now();
            BareEnumeration(folder);
            bare.push_back(Now() - start);

            start = Now();
            form->ScanPluginFolder(folder);
            scan.push_back(Now() - start);
            // Serve the repaint the list asked for, outside the timing.
            application.ProcessMessages();
        }
        RemoveFolder(folder);

        const double bareMedian = Median(bare), scanMedian = Median(scan);
        std::printf("entries listed:          %d\n", listed);
        std::printf("bare enumeration median: %8.2f ms\n", bareMedian * 1000);
        std::printf("scan median:             %8.2f ms\n", scanMedian * 1000);
        std::printf("ratio scan / bare:       %8.2f (goal: at most 2)\n", scanMedian / bareMedian);
        delete form;
    } catch (...) {
        std::printf("The benchmark failed\n");
        return 1;
    }
    return 0;
}
