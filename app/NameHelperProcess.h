#pragma once
// The name helper's process: a WFX plugin asked for its name in a program of
// its own beside the tool, so that nothing the plugin's code does (fault,
// hang, end its process, damage memory) reaches the tool. The helper and
// whatever it starts belong to a job that ends with the question. The window
// waits for it on a thread of its own (NameHelperRun.h); a console program
// can simply wait (AskPluginName).
#include "base/Handles.h"
#include "base/ProcessJob.h"

#include <windows.h>

#include <cstdint>
#include <string>

// How a question ended.
struct TNameHelperEnd {
    // The helper ended by itself within the time limit; otherwise it was ended.
    bool InTime = false;
    // Its exit code, when it ended in time.
    DWORD ExitCode = 0;
    // What it wrote to its pipe, as bytes.
    std::string Answer;
};

// A plugin answers within milliseconds; a big one with many libraries to
// load from a slow disk that a virus scanner reads first within a second or
// two. Past this the helper is ended, and the user has waited for the name
// no longer than a glance at the other fields takes.
constexpr std::int32_t kNameHelperLimitSeconds = 5;

struct TNameHelperProcess {
    TProcessJob job;
    UniqueHandle process;
    DWORD processId = 0;
    // The read end of the helper's pipe.
    UniqueHandle answer;

    // Ends the helper and everything it started; harmless once they ended.
    void End() noexcept;
    ~TNameHelperProcess() { End(); }

    // How it ended: `inTime` when it ended by itself, and then its exit code
    // and answer.
    TNameHelperEnd Ending(bool inTime) const;
};

// Starts `helper` (a full path) for the plugin library `pluginPath`. False,
// with the system's error code, when it cannot be started.
bool StartNameHelper(const std::string& helper, const std::string& pluginPath, TNameHelperProcess& run,
                     DWORD& error);

// The plugin name an ended question gives; empty when the plugin could not
// name itself.
std::string PluginNameOf(const TNameHelperEnd& end);

// The helper beside the tool (in `toolFolder`, with trailing backslash) that
// can load the library at `pluginPath`, as a full path; empty when none can
// here.
std::string NameHelperFor(const std::string& pluginPath, const std::string& toolFolder);

// Asks the WFX plugin at `pluginPath` for its name and waits for the answer,
// within the time limit; empty when it cannot name itself. `problem` tells
// why a helper could not be started (empty otherwise).
std::string AskPluginName(const std::string& pluginPath, const std::string& toolFolder, std::string& problem);
